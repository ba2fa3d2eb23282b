#include "platform/qtshellicon.h"
#include "platform/system.h"
#include "tray/modsystray.h"
#include "ui/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppTitle);

    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    platform::QtShellIconService shell;
    modSysTray tray(shell);
    Form1 form({ticks, clock, [] { return std::make_unique<platform::SystemFileService>(); },
                platform::ApplicationFolder, tray});
    form.Form_Load();
    if (!tray.TrayIconShown()) // started straight into the tray
        form.show();
    return app.exec();
}
