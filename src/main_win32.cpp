// Tallimer on Windows: the window, its tray icon and the system services, wired to Form1.
#include "platform/system.h"
#include "platform/win32/instance.h"
#include "platform/win32/shellicon.h"
#include "platform/win32/window.h"
#include "tray/modsystray.h"
#include "ui/filesplace.h"
#include "ui/form1.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int) {
    // A second start of a copy that keeps its files where this one does brings the running
    // copy back and ends.
    const ui::FilesPlace files =
        ui::PlaceFiles(platform::FactsOf(platform::ApplicationFolder()), platform::UserFolder());
    platform::Win32ProgramInstance instance(files.instanceKey);
    const platform::Claimed claimed = platform::ClaimFolder(instance, files.instanceKey);
    if (!claimed.problem.empty())
        platform::ReportProblem(claimed.problem);
    if (const auto status = platform::ExitStatusAtStart(claimed.claim))
        return *status;

    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    platform::Win32ShellIconService shell;
    modSysTray tray(shell);
    platform::Win32Window window(module);
    Form1 form({window, ticks, clock,
                [] { return std::make_unique<platform::SystemFileService>(); },
                platform::ApplicationFolder, files, platform::ReportProblem, tray});
    if (!form.Created())
        return 1;
    window.SetEvents(&form);
    window.OnRegisteredMessage("TaskbarCreated", [&shell] { shell.AddAgain(); });

    form.Start();
    instance.Listen(window, [&form] { form.AnotherStart(); });
    return window.Run();
}
