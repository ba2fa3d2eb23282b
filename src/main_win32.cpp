// Tallimer on Windows: the window, its tray icon and the system services, wired to Form1.
#include "platform/system.h"
#include "platform/win32/instance.h"
#include "platform/win32/shellicon.h"
#include "platform/win32/window.h"
#include "tray/modsystray.h"
#include "ui/form1.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int) {
    // A second start from this folder brings the first copy back and ends.
    platform::Win32ProgramInstance instance(platform::ApplicationFolder());
    if (const auto status = platform::ExitStatusAtStart(instance.Claim()))
        return *status;

    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    platform::Win32ShellIconService shell;
    modSysTray tray(shell);
    platform::Win32Window window(module);
    Form1 form({window, ticks, clock,
                [] { return std::make_unique<platform::SystemFileService>(); },
                platform::ApplicationFolder, platform::FactsOf, platform::UserFolder, tray});
    if (!form.Created())
        return 1;
    window.SetEvents(&form);
    window.OnRegisteredMessage("TaskbarCreated", [&shell] { shell.AddAgain(); });

    form.Start();
    instance.Listen(window, [&form] { form.AnotherStart(); });
    return window.Run();
}
