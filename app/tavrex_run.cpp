// tavrex-run: runs one conversion without any window, from options, and
// prints the log lines as they are written. A developer's tool for tests and
// benchmarks; it drives the same engine the wizard drives.

#include "app/logprinter.h"
#include "connections/profiles.h"
#include "engine/conversionrun.h"
#include "engine/core/errors.h"
#include "engine/core/prompts.h"
#include "settings/checkoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <vector>

using namespace tavrex;

namespace {

class StdoutPrompts : public Prompts {
public:
    void information(const QString &, const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool question(const QString &, const QString &) override { return false; }
    void error(const QString &, const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrex-run"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Converts MySQL tables into an Oracle schema without a window."));
    parser.addHelpOption();
    const QCommandLineOption host(QStringLiteral("host"), "MySQL host; empty or localhost: the local socket.", "name");
    const QCommandLineOption port(QStringLiteral("port"), "MySQL port.", "port", "3306");
    const QCommandLineOption user(QStringLiteral("user"), "MySQL user.", "name");
    const QCommandLineOption password(QStringLiteral("password"), "MySQL password.", "text");
    const QCommandLineOption database(QStringLiteral("database"), "The MySQL database to convert.", "name");
    const QCommandLineOption charset(QStringLiteral("charset"), "Server character set of the data connection.", "name");
    const QCommandLineOption service(QStringLiteral("oracle-service"), "Oracle service, or embedded:PATH.", "name");
    const QCommandLineOption oracleUser(QStringLiteral("oracle-user"), "Oracle user (the schema owner).", "name");
    const QCommandLineOption oraclePassword(QStringLiteral("oracle-password"), "Oracle password.", "text");
    const QCommandLineOption policy(QStringLiteral("existing"), "Existing tables: overwrite, merge or skip.", "policy", "overwrite");
    parser.addOptions({host, port, user, password, database, charset, service, oracleUser, oraclePassword, policy});
    // One switch per check-box option; each turns its option away from the
    // default.
    std::vector<QCommandLineOption> switches;
    for (const CheckOption &option : kCheckOptions) {
        if (isNumberOption(option))
            switches.emplace_back(QString::fromLatin1(option.commandLine), QString::fromUtf8(option.commandLineHelp),
                                  QStringLiteral("N"), QString::number(numberDefault(option)));
        else
            switches.emplace_back(QString::fromLatin1(option.commandLine), QString::fromUtf8(option.commandLineHelp));
        parser.addOption(switches.back());
    }
    const QCommandLineOption logFolder(QStringLiteral("log-folder"), "Folder of the log file.", "path");
    parser.addOption(logFolder);
    parser.addPositionalArgument(QStringLiteral("tables"), QStringLiteral("Tables to convert, in order; none: all."));
    parser.process(app);

    TConversionSettings s;
    s.AccessMode = parser.value(host).isEmpty() || parser.value(host) == QLatin1String("localhost") ? 0 : 1;
    s.Host = parser.value(host);
    s.Port = parser.value(port);
    s.MySqlUser = parser.value(user);
    s.MySqlPassword = parser.value(password);
    s.ConnectDatabase = parser.value(database);
    s.ServerCharSet = parser.value(charset);
    s.OracleService = parser.value(service);
    s.OracleUser = parser.value(oracleUser);
    s.OraclePassword = parser.value(oraclePassword);
    const QString p = parser.value(policy).toLower();
    if (p == QLatin1String("merge"))
        s.ExistingTables = TExistingTablePolicy::Merge;
    else if (p == QLatin1String("skip"))
        s.ExistingTables = TExistingTablePolicy::Skip;
    else if (p != QLatin1String("overwrite")) {
        std::fprintf(stderr, "--existing must be overwrite, merge or skip\n");
        return 2;
    }
    for (int i = 0; i < kCheckOptionCount; ++i) {
        const CheckOption &option = kCheckOptions[i];
        if (!isNumberOption(option)) {
            s.*option.setting = parser.isSet(switches[i]) != optionDefault(option);
            continue;
        }
        bool ok = false;
        const int n = parser.value(switches[i]).toInt(&ok);
        if (!ok || n < option.minimum || n > option.maximum) {
            std::fprintf(stderr, "--%s must be a whole number from %d to %d\n", option.commandLine, option.minimum,
                         option.maximum);
            return 2;
        }
        s.*option.number = n;
    }

    DatabaseObjects db;
    TRunLog log;
    RunControl control;
    control.setPump([] { QCoreApplication::processEvents(); });
    LogPrinter printer;
    printer.attach(log);
    StdoutPrompts prompts;
    try {
        ListChoice databases;
        step2Click(db, s, databases, prompts, QStringLiteral("tavrex-run"));
        step3Click(db, s);
        QStringList tables;
        s.SourceDatabase = step4Click(db, databases, tables);
        s.SelectedTables = parser.positionalArguments().isEmpty() ? tables : parser.positionalArguments();
        ConversionRun run(db, s, log, control);
        run.setCaptions({QStringLiteral("Conversion is Completed"),
                         QStringLiteral("Wizard has migrated your MySQL database to Oracle server successfully."),
                         QString()});
        if (parser.isSet(logFolder))
            run.setLogFolder(parser.value(logFolder) + QLatin1Char('/'));
        else
            EnsureLogFolder();
        const RunOutcome outcome = run.run();
        printer.flush();
        std::fprintf(stderr, "log saved to %s\n", qPrintable(run.savedLogPath()));
        return outcome == RunOutcome::Stopped ? 1 : 0;
    } catch (const SilentAbort &) {
        printer.flush();
        return 1;
    } catch (const std::exception &e) {
        printer.flush();
        std::fprintf(stderr, "%s\n", qPrintable(errorMessage(e)));
        return 1;
    }
}
