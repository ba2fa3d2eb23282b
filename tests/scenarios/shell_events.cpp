// What the Windows shell does to a program's notification-area icon when Explorer restarts:
// the icon is gone, then "TaskbarCreated" goes to every top-level window.
//   shell_events remove    takes the running program's icon away (window class TallimerWindow)
//   shell_events created   tells every window that the notification area has started afresh
// Ends with status 1 when there is no such window or the message could not be sent.
#include <cstdio>
#include <cstring>
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

int main(int argc, char** argv) {
    const char* command = argc == 2 ? argv[1] : "";
    if (std::strcmp(command, "remove") == 0) {
        const HWND window = FindWindowA("TallimerWindow", nullptr);
        if (window == nullptr)
            return 1;
        NOTIFYICONDATAA icon{};
        icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
        icon.hWnd = window;
        icon.uID = 1;
        Shell_NotifyIconA(NIM_DELETE, &icon); // refused where the window has no icon
        return 0;
    }
    if (std::strcmp(command, "created") == 0) {
        const UINT created = RegisterWindowMessageA("TaskbarCreated");
        return PostMessageA(HWND_BROADCAST, created, 0, 0) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: shell_events remove|created\n");
    return 2;
}
