// tavrex: the wizard. Start-up in this order: the application and its title,
// the main window (its FormCreate runs inside the constructor), then the
// message loop; the main window's FormDestroy saves the settings when it is
// destroyed on the way out, however the program ended.

#include "settings/settingsstore.h"
#include "wizard/mainwindow.h"

#include <QApplication>

using namespace tavrex;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    setApplicationTitle();

    WindowOptions options;
    options.arguments = QCoreApplication::arguments().mid(1);
    options.loadSettings = [](ControlValues &values) { LoadSettings(values); };
    options.saveSettings = [](const ControlValues &values) { SaveSettings(values); };
    Taaform1 window(std::move(options));

    // A batch settings file that could not be loaded ends the program before
    // the window is shown.
    if (window.endRequested())
        return 0;
    window.show();
    return app.exec();
}
