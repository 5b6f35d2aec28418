// tavrex: the wizard. Start-up in this order: the application and its title,
// the main window (its FormCreate runs inside the constructor: log folder,
// batch mode, language, remembered settings, batch settings file), the batch
// window, then the message loop; the main window's FormDestroy saves the
// settings when it is destroyed on the way out, however the program ended.
//
//   tavrex                       the wizard
//   tavrex FILE                  replays the batch settings file FILE in the window
//   tavrex --no-window FILE      replays FILE without any window, printing the log
//                                (and, on a terminal, one progress line on stderr)
//   tavrex --check FILE          checks what a replay of FILE would do, writing nothing
//                                to Oracle: FILE.check.html and FILE.check.json beside it
//   tavrex --help | --version
//
// A check exits 0 when the run would copy every value as it is, 2 when it
// would refuse, change or fail something, and 1 when the check could not run.
// A replay exits 0 when the conversion completed without any error, 2 when
// it completed with errors, 1 when it could not run or ended early, and 130
// when SIGINT or SIGTERM stopped it (its log, ledger and report are saved).
// The texts of --help and --version are made with the manual page tavrex(1)
// from docs/tavrex.1.txt (tavrex_usage.h, generated).

#include "app/logprinter.h"
#include "engine/core/errors.h"
#include "engine/core/prompts.h"
#include "engine/runreport.h"
#include "settings/batchcheck.h"
#include "settings/settingsstore.h"
#include "wizard/batchmode.h"
#include "wizard/batchwindow.h"
#include "wizard/mainwindow.h"
#include "wizard/runview.h"

#include "tavrex_usage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace tavrex;

namespace {

// The help pages: "help" beside the program in the build tree; an installed
// program finds them in its data folder (TAVREX_INSTALLED_HELP, relative to
// the program's folder).
QString helpFolder()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString beside = programFolder + QStringLiteral("/help");
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(programFolder + QStringLiteral("/" TAVREX_INSTALLED_HELP));
}

// SIGINT and SIGTERM: the handler only writes a byte into a pipe, which the
// event loop reads; a second signal ends the program at once.
int signalPipe[2] = {-1, -1};
volatile sig_atomic_t signalsSeen = 0;

extern "C" void onStopSignal(int)
{
    if (signalsSeen++ > 0)
        _exit(130);
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
}

void installStopSignals()
{
    if (pipe(signalPipe) != 0)
        return;
    fcntl(signalPipe[0], F_SETFD, FD_CLOEXEC);
    fcntl(signalPipe[1], F_SETFD, FD_CLOEXEC);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The number of --parallel N: a whole number from 1 to 16; -1 otherwise.
int parallelArgument(const char *text)
{
    bool ok = false;
    const int n = QString::fromLocal8Bit(text).toInt(&ok, 10);
    return ok && n >= kMinParallelTables && n <= kMaxParallelTables ? n : -1;
}

// "--language=en" and "--language=cn": the language in one argument.
bool isJoinedLanguage(const char *a)
{
    return std::strcmp(a, "--language=en") == 0 || std::strcmp(a, "--language=cn") == 0;
}

// The command line: at most one file, the known options, no empty argument.
// Returns false when it does not understand it.
bool checkArguments(int argc, char **argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (a[0] == '\0')
            return false;
        if (std::strcmp(a, "--no-window") == 0 || std::strcmp(a, "--check") == 0 || std::strcmp(a, "--resume") == 0 ||
            isJoinedLanguage(a))
            continue;
        if (std::strcmp(a, "--language") == 0) {
            if (i + 1 >= argc || (std::strcmp(argv[i + 1], "en") != 0 && std::strcmp(argv[i + 1], "cn") != 0))
                return false;
            ++i;
            continue;
        }
        if (std::strcmp(a, "--parallel") == 0) {
            if (i + 1 >= argc || parallelArgument(argv[i + 1]) < 0)
                return false;
            ++i;
            continue;
        }
        if (a[0] == '-' && a[1] != '\0')
            return false;
        ++files;
    }
    return files <= 1;
}

// The progress of a replay without a window: one line on standard error,
// rewritten in place, only when standard error is a terminal. It is cleared
// before any other output, so the log lines on standard output stay whole
// where both go to the same terminal.
class TerminalProgress {
public:
    TerminalProgress() : enabled_(isatty(STDERR_FILENO) == 1) {}
    bool enabled() const { return enabled_; }

    void show(const RunProgress &progress, const QString &languageCode)
    {
        if (!enabled_)
            return;
        const double rate = rate_.update(progress);
        if (progress.table.isEmpty()) {
            clear();
            return;
        }
        // A new table shows at once; within a table a few times a second.
        const bool newTable = progress.table != table_ || progress.tablesDone != tablesDone_;
        if (!newTable && shown_ && sinceShown_.isValid() && sinceShown_.elapsed() < 100)
            return;
        table_ = progress.table;
        tablesDone_ = progress.tablesDone;
        sinceShown_.start();
        const QString line = fitted(progressLine(progressTexts(progress, rate, runViewCaptions(languageCode))));
        std::fprintf(stderr, "\r%s\033[K", line.toLocal8Bit().constData());
        std::fflush(stderr);
        shown_ = true;
    }

    void clear()
    {
        if (!shown_)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }

private:
    // Cut to the terminal's width, so that "\r" returns to the line's start:
    // a line that wrapped would leave its first part behind. Wide (CJK)
    // characters take two columns.
    static QString fitted(const QString &line)
    {
        winsize size = {};
        const int columns = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
        int used = 0;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const char16_t c = line.at(i).unicode();
            const bool wide = (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0xa4cf) ||
                              (c >= 0xac00 && c <= 0xd7a3) || (c >= 0xf900 && c <= 0xfaff) ||
                              (c >= 0xfe30 && c <= 0xfe4f) || (c >= 0xff00 && c <= 0xff60) ||
                              (c >= 0xffe0 && c <= 0xffe6);
            used += wide ? 2 : 1;
            if (used > columns - 1)
                return line.left(i);
        }
        return line;
    }

    bool enabled_;
    bool shown_ = false;
    RowRate rate_;
    QString table_;
    int tablesDone_ = -1;
    QElapsedTimer sinceShown_;
};

// The prompts of a replay without a window: nothing can be answered, so an
// error is printed with the page it stopped on and the program ends with a
// failure code.
class ConsolePrompts : public Prompts {
public:
    void setWindow(Taaform1 *window) { window_ = window; }
    void setProgress(TerminalProgress *progress) { progress_ = progress; }
    bool failed() const { return failed_; }

    // The one message an unattended replay can meet is the blank-database
    // message of page 2, after which the walk stops: without a window that
    // ends the replay as a failure.
    void information(const QString &, const QString &text) override
    {
        fail(text);
    }
    bool question(const QString &, const QString &text) override
    {
        if (progress_)
            progress_->clear();
        std::fprintf(stderr, "%s (answered No: no window)\n", qPrintable(text));
        return false;
    }
    void error(const QString &, const QString &text) override
    {
        fail(text);
    }

private:
    void fail(const QString &text)
    {
        failed_ = true;
        if (progress_)
            progress_->clear();
        std::fprintf(stderr, "Error on page %d: %s\n", window_ ? window_->CurrentPage() : 0, qPrintable(text));
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    }

    Taaform1 *window_ = nullptr;
    TerminalProgress *progress_ = nullptr;
    bool failed_ = false;
};

// The prompts of a check: nothing can be answered; an information is an
// error that ends the check.
class CheckPrompts : public Prompts {
public:
    void information(const QString &, const QString &text) override
    {
        std::fprintf(stderr, "tavrex: %s\n", qPrintable(text));
    }
    bool question(const QString &, const QString &) override { return false; }
    void error(const QString &, const QString &text) override
    {
        std::fprintf(stderr, "tavrex: %s\n", qPrintable(text));
    }
};

// tavrex --check FILE: the report beside the settings file, in the language
// of --language or else the window's remembered one.
int runCheck(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    setApplicationTitle();
    QString file, language;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--language"))
            language = arguments.value(++i);
        else if (arguments.at(i) == QLatin1String("--parallel"))
            ++i;  // the check converts nothing, at once or not
        else if (!arguments.at(i).startsWith(QLatin1Char('-')))
            file = arguments.at(i);
    }
    if (file.isEmpty()) {
        std::fputs("tavrex: --check needs a batch settings file\n\n", stderr);
        std::fputs(kUsageText, stderr);
        return 2;
    }
    RunControl control;
    CheckPrompts prompts;
    try {
        QString remembered;
        const CheckReport report = checkBatchFile(file, control, prompts, &remembered);
        if (language.isEmpty())
            language = remembered;
        saveCheckReport(report, checkViewCaptions(language).report, checkHtmlPath(file), checkJsonPath(file));
        std::printf("%s\n%s\n", qPrintable(checkHtmlPath(file)), qPrintable(checkJsonPath(file)));
        return report.exitCode();
    } catch (const SilentAbort &) {
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tavrex: the check could not run: %s\n", qPrintable(errorMessage(e)));
        return 1;
    }
}

} // namespace

int main(int argc, char **argv)
{
    bool noWindow = false;
    for (int i = 1; i < argc; ++i) {
        // --help and --version answer wherever they stand.
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsageText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(kVersionText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--no-window") == 0)
            noWindow = true;
    }
    if (!checkArguments(argc, argv)) {
        std::fputs(kUsageText, stderr);
        return 2;
    }
    // A settings file named like a file of a replay's record would be
    // written over by a replay: refused before anything is written.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--language") == 0 || std::strcmp(argv[i], "--parallel") == 0) {
            ++i;
            continue;
        }
        const QString file = QString::fromLocal8Bit(argv[i]);
        if (!file.startsWith(QLatin1Char('-')) && isRunRecordFileName(file)) {
            std::fprintf(stderr,
                         "tavrex: %s cannot be a settings file: a replay writes its log, ledger and report into "
                         "files named like it (.log, .rejects.csv, .report.json, .check.html, .check.json)\n",
                         argv[i]);
            return 1;
        }
    }
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--check") == 0)
            return runCheck(argc, argv);
    if (noWindow) {
        bool file = false;
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--language") == 0 || std::strcmp(argv[i], "--parallel") == 0)
                ++i;
            else if (std::strcmp(argv[i], "--no-window") != 0 && std::strcmp(argv[i], "--resume") != 0 &&
                     !isJoinedLanguage(argv[i]))
                file = true;
        }
        if (!file) {
            std::fputs("tavrex: --no-window needs a batch settings file\n\n", stderr);
            std::fputs(kUsageText, stderr);
            return 2;
        }
        // No display is needed: nothing is shown.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    setApplicationTitle();
    // The desktop matches the window with its menu entry (tavrex.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("tavrex"));
    // The file names as Qt decodes the command line (Unicode on Windows).
    QStringList arguments = QCoreApplication::arguments().mid(1);
    arguments.removeAll(QStringLiteral("--no-window"));

    ConsolePrompts console;
    TerminalProgress progress;
    const Taaform1 *progressWindow = nullptr;
    BatchReplay replay;
    // --parallel N holds for this replay only: it takes the place of the
    // file's value and is no argument of the window.
    for (qsizetype i = arguments.indexOf(QStringLiteral("--parallel")); i >= 0 && i + 1 < arguments.size();
         i = arguments.indexOf(QStringLiteral("--parallel"))) {
        replay.overrideOption(QStringLiteral("paralleltables"), arguments.at(i + 1));
        arguments.remove(i, 2);
    }
    std::unique_ptr<Tmarfrm_bat> batchWindow;
    WindowOptions options;
    options.arguments = arguments;
    if (noWindow) {
        options.prompts = &console;
        options.headless = true;
        console.setProgress(&progress);
        if (progress.enabled())
            options.runProgress = [&progress, &progressWindow](const RunProgress &p) {
                progress.show(p, progressWindow ? progressWindow->LanguageCode() : QStringLiteral("en"));
            };
    }
    options.helpFolder = helpFolder();
    options.loadSettings = [](ControlValues &values) { LoadSettings(values); };
    options.saveSettings = [&replay](const ControlValues &values) {
        // --parallel holds for this replay only: the file's value is kept.
        ControlValues kept = values;
        replay.keepFileValues(kept);
        SaveSettings(kept);
    };
    installBatchMode(options, replay, [&batchWindow]() -> Tmarfrm_bat & { return *batchWindow; });

    // The replay without a window prints each log line once it is final.
    LogPrinter printer;

    Taaform1 window(std::move(options));
    console.setWindow(&window);
    progressWindow = &window;
    batchWindow = std::make_unique<Tmarfrm_bat>(window.prompts());

    if (noWindow) {
        for (const QString &line : window.log().lines())
            std::printf("%s\n", qPrintable(line));
        // Before the printer's own listener: the progress line goes away
        // before a log line is printed.
        window.log().addListener([&progress](TRunLog::Change change, const QString &) {
            if (change == TRunLog::Change::Appended)
                progress.clear();
        });
        printer.attach(window.log());
    }
    // A batch settings file that could not be loaded ends the program before
    // the window is shown; its log line is written next to it.
    if (window.endRequested())
        return 1;
    if (console.failed())
        return 1;
    // SIGINT and SIGTERM stop a replay the way "Stop" answered Yes would, and
    // the stopped run saves its record; outside a run they end the program.
    bool signalled = false;
    installStopSignals();
    std::unique_ptr<QSocketNotifier> signals;
    if (signalPipe[0] >= 0) {
        signals = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signals.get(), &QSocketNotifier::activated, [&] {
            char byte;
            [[maybe_unused]] const ssize_t n = read(signalPipe[0], &byte, 1);
            signalled = true;
            progress.clear();
            std::fputs("tavrex: stopping on a signal\n", stderr);
            if (!window.requestStopAndSave())
                QCoreApplication::exit(130);
        });
    }

    // Without a window the offscreen platform shows it nowhere; it is still
    // "shown", so that closing it at the end of the replay ends the program.
    window.show();
    const int code = app.exec();
    progress.clear();
    printer.flush();
    // The closing summary says where the run's record is.
    if (noWindow && !window.lastLogPath().isEmpty())
        std::printf("The log, ledger and report are in %s\n",
                    qPrintable(QDir::toNativeSeparators(QFileInfo(window.lastLogPath()).absolutePath())));
    if (signalled)
        return 130;
    if (code != 0 || console.failed())
        return code != 0 ? code : 1;
    if (window.BatchMode()) {
        // A replay: its exit code tells what the run did.
        const std::optional<RunReport> &report = window.lastRunReport();
        if (!report)
            return 1;
        if (report->outcome == RunResultOutcome::Failed || report->outcome == RunResultOutcome::Stopped)
            return 1;
        return exitCodeFor(report->outcome);
    }
    return code;
}
