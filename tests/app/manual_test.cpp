#include "app/manual.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace tavrex::manual;

namespace {

const char kSource[] = R"(# a comment
@ NAME
prog - does things

@ SYNOPSIS |
prog [--opt VALUE] [FILE]
prog --help

@ DESCRIPTION |
Does things.

@ OPTIONS |
  FILE          a file, read
                line by line
  --opt VALUE   a value

@ EXIT STATUS | Exit codes:
  0    done

@ DESCRIPTION
More on how, with six-step words
and a backslash \ here.

    .start of an example
    prog --opt -1 FILE
)";

std::string readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<cannot read " + path.toStdString() + ">";
    return f.readAll().toStdString();
}

} // namespace

TEST(Manual, HelpHoldsTheHelpSectionsAsWritten)
{
    EXPECT_EQ(helpText(parse(kSource)), "Usage: prog [--opt VALUE] [FILE]\n"
                                        "       prog --help\n"
                                        "\n"
                                        "Does things.\n"
                                        "\n"
                                        "  FILE          a file, read\n"
                                        "                line by line\n"
                                        "  --opt VALUE   a value\n"
                                        "\n"
                                        "Exit codes:\n"
                                        "  0    done\n");
}

TEST(Manual, PageHoldsEverySectionOnceWithTheSameTexts)
{
    EXPECT_EQ(troffPage(parse(kSource), "prog", "Prog 1.0"),
              ".TH PROG 1 \"\" \"Prog 1.0\" \"User Commands\"\n"
              ".nh\n"
              ".SH NAME\n"
              "prog \\- does things\n"
              ".SH SYNOPSIS\n"
              "\\fBprog\\fR [\\fB\\-\\-opt\\fR \\fIVALUE\\fR] [\\fIFILE\\fR]\n"
              ".br\n"
              "\\fBprog\\fR \\fB\\-\\-help\\fR\n"
              ".SH DESCRIPTION\n"
              "Does things.\n"
              ".PP\n"
              "More on how, with six-step words and a backslash \\e here.\n"
              ".PP\n"
              ".RS 4\n"
              ".nf\n"
              "\\&.start of an example\n"
              "prog \\-\\-opt \\-1 FILE\n"
              ".fi\n"
              ".RE\n"
              ".SH OPTIONS\n"
              ".TP\n"
              "\\fIFILE\\fR\n"
              "a file, read line by line\n"
              ".TP\n"
              "\\fB\\-\\-opt\\fR \\fIVALUE\\fR\n"
              "a value\n"
              ".SH EXIT STATUS\n"
              ".TP\n"
              "\\fB0\\fR\n"
              "done\n");
}

TEST(Manual, TermsSetPlaceholdersInItalicsAndTheRestInBold)
{
    const struct {
        const char *term;
        const char *troff;
    } cases[] = {
        {"--language en|cn", "\\fB\\-\\-language\\fR \\fBen\\fR|\\fBcn\\fR"},
        {"TAVREX_MYSQL_TIMEOUT=SECONDS", "\\fBTAVREX_MYSQL_TIMEOUT=\\fR\\fISECONDS\\fR"},
        {"FILE.rejects/", "\\fIFILE\\fR\\fB.rejects/\\fR"},
        {"~/.config/Kestrova/Tavrex.conf", "\\fB~/.config/Kestrova/Tavrex.conf\\fR"},
        {"130", "\\fB130\\fR"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(troffTerm(c.term), c.troff) << c.term;
}

TEST(Manual, SourceErrorsNameTheirLine)
{
    const struct {
        const char *what;
        std::string source;
        int line;
    } cases[] = {
        {"text before any section", "# c\nwords\n", 2},
        {"a section without a title", "@ | Heading:\n", 1},
        {"indentation of one space", "@ A\n x\n", 2},
        {"indentation of three spaces", "@ A\n   x\n", 2},
        {"an item without a gap", "@ A\n  FILE a file\n", 2},
        {"an indented line in a paragraph", "@ A\ntext\n  more\n", 3},
        {"a list line without indentation", "@ A\n  T  t\nmore\n", 3},
        {"an indented synopsis", "@ SYNOPSIS |\n  prog\n", 2},
        {"a help line too wide", "@ A |\n" + std::string(kHelpWidth + 1, 'x') + "\n", 2},
        {"a synopsis too wide with its prefix", "@ SYNOPSIS |\n" + std::string(kHelpWidth - 6, 'x') + "\n", 2},
        {"a character outside ASCII", "@ A\n\xc3\xa9t\xc3\xa9\n", 2},
        {"a tab", "@ A\n\tx\n", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        try {
            parse(c.source);
            ADD_FAILURE() << "accepted";
        } catch (const SourceError &e) {
            EXPECT_EQ(e.line(), c.line) << e.what();
        }
    }
    // A line as wide as --help allows is fine, also in a manual-only section.
    EXPECT_NO_THROW(parse("@ A |\n" + std::string(kHelpWidth, 'x') + "\n@ B\n" + std::string(200, 'y') + "\n"));
}

TEST(Manual, StringLiteralEscapesQuotesBackslashesAndLineBreaks)
{
    EXPECT_EQ(cppStringLiteral("a \"b\" \\c\nd\n"), "\"a \\\"b\\\" \\\\c\\n\"\n    \"d\\n\"");
    EXPECT_EQ(cppStringLiteral(""), "\"\"");
}

// The built program and the built manual page both come from the source in
// docs/: --help prints its help text and the page is its rendering.
TEST(Manual, ProgramAndPageFollowTheSource)
{
    const std::vector<Section> sections =
        parse(readFile(tavrex::test::sourceDir() + "/docs/tavrex.1.txt"));
    QProcess program;
    program.start(tavrex::test::binaryDir() + "/app/tavrex", {"--help"});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput().toStdString(), helpText(sections));
    EXPECT_EQ(readFile(tavrex::test::binaryDir() + "/app/tavrex.1"), troffPage(sections, "tavrex", "Tavrex 4.0"));
}
