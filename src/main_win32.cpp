// Tallimer on Windows.
#include "platform/win32/windowsystem.h"
#include "ui/program.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int) {
    platform::Win32WindowSystem system(module);
    return ui::RunProgram(system);
}
