// tavrex: the wizard. Start-up in this order: the application and its title,
// the main window (its FormCreate runs inside the constructor: log folder,
// batch mode, language, remembered settings, batch settings file), the batch
// window, then the message loop; the main window's FormDestroy saves the
// settings when it is destroyed on the way out, however the program ended.
//
//   tavrex                       the wizard
//   tavrex FILE                  replays the batch settings file FILE in the window
//   tavrex --no-window FILE      replays FILE without any window, printing the log;
//                                exits 0 only when the conversion completed
//   tavrex --help | --version

#include "app/logprinter.h"
#include "engine/errors.h"
#include "engine/prompts.h"
#include "settings/batchmode.h"
#include "settings/batchwindow.h"
#include "settings/settingsstore.h"
#include "wizard/mainwindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace tavrex;

namespace {

const char kUsage[] =
    "Usage: tavrex [FILE]\n"
    "       tavrex --no-window FILE\n"
    "\n"
    "Converts MySQL tables into an Oracle schema through a six-step wizard.\n"
    "\n"
    "  FILE               a batch settings file (.qelt): replays the recorded conversion\n"
    "                     unattended and writes its log next to the file\n"
    "  --no-window FILE   replays FILE the same way without showing any window, printing\n"
    "                     the log lines; the exit code is 0 only when the conversion completed\n"
    "  --help             shows this text\n"
    "  --version          shows the version\n";

// The prompts of a replay without a window: nothing can be answered, so an
// error is printed with the page it stopped on and the program ends with a
// failure code.
class ConsolePrompts : public Prompts {
public:
    void setWindow(Taaform1 *window) { window_ = window; }
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
        std::fprintf(stderr, "Error on page %d: %s\n", window_ ? window_->CurrentPage() : 0, qPrintable(text));
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    }

    Taaform1 *window_ = nullptr;
    bool failed_ = false;
};

} // namespace

int main(int argc, char **argv)
{
    bool noWindow = false;
    for (int i = 1; i < argc; ++i) {
        if (i == 1 && std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i == 1 && std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tavrex 4.0\n");
            return 0;
        }
        if (i == 1 && std::strcmp(argv[i], "--no-window") == 0)
            noWindow = true;
    }
    if (noWindow) {
        if (argc < 3) {
            std::fputs("tavrex: --no-window needs a batch settings file\n", stderr);
            return 2;
        }
        // No display is needed: nothing is shown.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    setApplicationTitle();
    // The file names as Qt decodes the command line (Unicode on Windows).
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (noWindow)
        arguments.removeFirst();

    ConsolePrompts console;
    BatchReplay replay;
    std::unique_ptr<Tmarfrm_bat> batchWindow;
    WindowOptions options;
    options.arguments = arguments;
    if (noWindow)
        options.prompts = &console;
    options.loadSettings = [](ControlValues &values) { LoadSettings(values); };
    options.saveSettings = [](const ControlValues &values) { SaveSettings(values); };
    installBatchMode(options, replay, [&batchWindow]() -> Tmarfrm_bat & { return *batchWindow; });

    // The replay without a window prints each log line once it is final.
    LogPrinter printer;

    Taaform1 window(std::move(options));
    console.setWindow(&window);
    batchWindow = std::make_unique<Tmarfrm_bat>(window.prompts());

    if (noWindow) {
        for (const QString &line : window.log().lines())
            std::printf("%s\n", qPrintable(line));
        printer.attach(window.log());
    }
    // A batch settings file that could not be loaded ends the program before
    // the window is shown; its log line is written next to it.
    if (window.endRequested())
        return 1;
    if (console.failed())
        return 1;
    // Without a window the offscreen platform shows it nowhere; it is still
    // "shown", so that closing it at the end of the replay ends the program.
    window.show();
    const int code = app.exec();
    printer.flush();
    return code;
}
