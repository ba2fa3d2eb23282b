// What the Windows shell does to a program's notification-area icon when Explorer restarts:
// the icon is gone, then "TaskbarCreated" goes to every top-level window.
//   shell_events restart   for the running program's window (class TallimerWindow)
#include <cstdio>
#include <cstring>
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "restart") != 0) {
        std::fprintf(stderr, "usage: shell_events restart\n");
        return 2;
    }
    const HWND window = FindWindowA("TallimerWindow", nullptr);
    if (window != nullptr) {
        NOTIFYICONDATAA icon{};
        icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
        icon.hWnd = window;
        icon.uID = 1;
        Shell_NotifyIconA(NIM_DELETE, &icon);
    }
    const UINT created = RegisterWindowMessageA("TaskbarCreated");
    return PostMessageA(HWND_BROADCAST, created, 0, 0) ? 0 : 1;
}
