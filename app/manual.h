#pragma once

// The program's manual: one source text (docs/tavrex.1.txt, its format
// described at its top) from which the build makes both the text of
// "tavrex --help" and the troff manual page tavrex(1). Standard C++ only: the
// generator runs before anything else of the program is built.

#include <stdexcept>
#include <string>
#include <vector>

namespace tavrex::manual {

struct Item {
    std::string term;
    std::string text;  // the description's lines joined by single spaces
};

struct Block {
    enum class Kind { Paragraph, List, Example };
    Kind kind = Kind::Paragraph;
    std::vector<std::string> lines;  // as written in the source
    std::vector<Item> items;         // a list's items
};

struct Section {
    std::string title;    // the manual page's section title
    bool inHelp = false;  // --help prints it too
    std::string heading;  // the line --help prints above it, empty for none
    std::vector<Block> blocks;
};

// A source line that does not fit the format, with its 1-based line number.
class SourceError : public std::runtime_error {
public:
    SourceError(int line, const std::string &what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what), line_(line)
    {
    }
    int line() const { return line_; }

private:
    int line_;
};

// Longest line --help may print.
constexpr std::size_t kHelpWidth = 92;

// Reads the source; throws SourceError for a line that does not fit, a help
// line wider than kHelpWidth or a character outside printable ASCII.
std::vector<Section> parse(const std::string &source);

// The text of --help: the help sections in the order of the source.
std::string helpText(const std::vector<Section> &sections);

// The manual page in troff (man macros) for the program NAME, section 1;
// VERSION goes into its header ("Tavrex 4.0"). Sections of the same title
// are merged at the place of the first.
std::string troffPage(const std::vector<Section> &sections, const std::string &name, const std::string &version);

// TEXT as a C++ string literal (split after each line break).
std::string cppStringLiteral(const std::string &text);

// Text for troff: backslashes escaped, hyphens that start a word (and every
// hyphen of such a word, as in "--no-window") as minus signs, and a leading
// "." or "'" guarded so that it is not read as a request.
std::string troffText(const std::string &text);

// A term of a list or a synopsis line for troff: upper-case words such as
// FILE in italics, everything else but the separators " [ ] |" in bold.
std::string troffTerm(const std::string &term);

} // namespace tavrex::manual
