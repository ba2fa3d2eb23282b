// Tallimer on Windows: the window, its tray icon and the system services, wired to Form1.
#include "platform/system.h"
#include "platform/win32/shellicon.h"
#include "platform/win32/window.h"
#include "tray/modsystray.h"
#include "ui/controls.h"
#include "ui/form1.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    platform::Win32ShellIconService shell;
    modSysTray tray(shell);
    platform::Win32Window window(controls::Form1, instance);
    if (!window.Created())
        return 1;
    Form1 form({window, ticks, clock,
                [] { return std::make_unique<platform::SystemFileService>(); },
                platform::ApplicationFolder, tray});
    window.SetEvents(&form);
    window.OnTaskbarCreated([&shell] { shell.AddAgain(); });

    form.Form_Load();
    if (!tray.TrayIconShown()) // started straight into the tray
        window.Show();
    return window.Run();
}
