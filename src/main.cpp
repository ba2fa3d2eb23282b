#include "platform/qtshellicon.h"
#include "platform/system.h"
#include "platform/terminationrequests.h"
#include "tray/modsystray.h"
#include "ui/form1.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(AppTitle);

    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    platform::QtShellIconService shell;
    modSysTray tray(shell);
    Form1 form({ticks, clock, [] { return std::make_unique<platform::SystemFileService>(); },
                platform::ApplicationFolder, tray});

    // The end of the desktop session, a kill and Ctrl+C close the window as its close
    // button does, so that the options are saved.
    const platform::TerminationRequests termination;
    QObject::connect(&termination, &platform::TerminationRequests::requested, &form,
                     &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, &QWidget::close);

    form.Form_Load();
    if (!tray.TrayIconShown()) // started straight into the tray
        form.show();
    return app.exec();
}
