// Tallimer on Qt: the window, its tray icon and the system services, wired to Form1.
#include "platform/qt/instance.h"
#include "platform/qt/shellicon.h"
#include "platform/qt/terminationrequests.h"
#include "platform/qt/window.h"
#include "platform/system.h"
#include "tray/modsystray.h"
#include "ui/filesplace.h"
#include "ui/form1.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(AppTitle.data(), AppTitle.size()));

    // A second start of a copy that keeps its files where this one does brings the running
    // copy back and ends.
    const ui::FilesPlace files =
        ui::PlaceFiles(platform::FactsOf(platform::ApplicationFolder()), platform::UserFolder());
    platform::QtProgramInstance instance(files.instanceKey);
    const platform::Claimed claimed = platform::ClaimFolder(instance, files.instanceKey);
    if (!claimed.problem.empty())
        platform::ReportProblem(claimed.problem);
    if (const auto status = platform::ExitStatusAtStart(claimed.claim))
        return *status;

    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    platform::QtWindow window;
    platform::QtShellIconService shell(window.windowIcon());
    modSysTray tray(shell);
    Form1 form({window, ticks, clock,
                [] { return std::make_unique<platform::SystemFileService>(); },
                platform::ApplicationFolder, files, platform::ReportProblem, tray});
    window.SetEvents(&form);
    shell.SetEvents(&form);
    shell.SetPanelMenu(window.Menu());

    // The end of the desktop session, a kill and Ctrl+C close the window as its close
    // button does, so that the options are saved.
    const platform::TerminationRequests termination;
    QObject::connect(&termination, &platform::TerminationRequests::requested, &window,
                     &QWidget::close);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &QWidget::close);

    form.Start();
    instance.Listen(&window, [&form] { form.AnotherStart(); });
    return app.exec();
}
