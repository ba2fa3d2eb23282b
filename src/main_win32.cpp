// Tallimer on Windows: the window, its tray icon and the system services, wired to Form1.
#include "platform/system.h"
#include "platform/win32/shellicon.h"
#include "platform/win32/window.h"
#include "tray/modsystray.h"
#include "ui/form1.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    platform::Win32ShellIconService shell;
    modSysTray tray(shell);
    platform::Win32Window window(instance);
    Form1 form({window, ticks, clock,
                [] { return std::make_unique<platform::SystemFileService>(); },
                platform::ApplicationFolder, tray});
    if (!form.Created())
        return 1;
    window.SetEvents(&form);
    window.OnTaskbarCreated([&shell] { shell.AddAgain(); });

    form.Start();
    return window.Run();
}
