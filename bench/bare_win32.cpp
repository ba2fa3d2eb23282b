// The yardstick for the Windows program: a bare Win32 window with the same controls, fonts
// and band, whose one-second timer only changes the label's text, as a refresh does; with
// --write it also replaces uptime.txt each second, the least way there is to do so atomically.
#include <cstdio>
#include <windows.h>

namespace {

HWND label = nullptr;
HBRUSH grey = nullptr;
int ticks = 0;
bool write = false;

void ReplaceFile(const char* text) {
    const HANDLE file = CreateFileW(L".uptime.txt.new", GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text, DWORD(lstrlenA(text)), &written, nullptr);
    MoveFileExW(L".uptime.txt.new", L"uptime.txt", MOVEFILE_REPLACE_EXISTING);
    CloseHandle(file);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: {
        char text[64];
        std::snprintf(text, sizeof text, "Uptime: 0d 1h 2m %ds", ++ticks % 60);
        if (write)
            ReplaceFile("3720\r\n");
        SetWindowTextA(label, text);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != label)
            break;
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(224, 224, 224));
        return reinterpret_cast<LRESULT>(grey);
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        const HDC dc = BeginPaint(window, &paint);
        const RECT band{-8, 0, 241, 17};
        FillRect(dc, &band, grey);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    write = lstrcmpA(arguments, "--write") == 0;
    grey = CreateSolidBrush(RGB(224, 224, 224));
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "Bare";
    RegisterClassExA(&windowClass);
    constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, 233, 137};
    AdjustWindowRectEx(&frame, Style, FALSE, 0);
    const HWND window =
        CreateWindowExA(0, "Bare", "Bare", Style, 395, 300, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    const HFONT font =
        CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FF_SWISS, "Arial");
    const HFONT bold =
        CreateFontA(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FF_SWISS, "Arial");
    const struct {
        const char* kind;
        const char* text;
        DWORD style;
        int x, y, width, height;
    } controls[] = {{"STATIC", "Uptime", SS_CENTER, 0, 8, 233, 33},
                    {"STATIC", "Update interval, seconds:", SS_LEFT, 8, 48, 129, 17},
                    {"EDIT", "30", ES_AUTOHSCROLL | WS_BORDER, 136, 48, 89, 19},
                    {"BUTTON", "Start", BS_PUSHBUTTON, 144, 72, 81, 25},
                    {"BUTTON", "Use file method", BS_3STATE, 8, 72, 97, 17},
                    {"BUTTON", "Send To Tray", BS_PUSHBUTTON, 144, 104, 81, 25},
                    {"BUTTON", "Auto start", BS_3STATE, 8, 88, 73, 17},
                    {"BUTTON", "Auto send to tray", BS_3STATE, 8, 104, 105, 17}};
    for (const auto& c : controls) {
        const HWND control =
            CreateWindowExA(0, c.kind, c.text, WS_CHILD | WS_VISIBLE | c.style, c.x, c.y, c.width,
                            c.height, window, nullptr, instance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(label ? font : bold), FALSE);
        if (label == nullptr)
            label = control;
    }
    SetTimer(window, 1, 1000, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
