// What the Windows shell and desktop do to the running program, for the scenario runner:
//   shell_events remove     takes the icon of the program's window (class TallimerWindow) away,
//                           as an Explorer that ends does
//   shell_events created    tells every window that the notification area started afresh
//   shell_events colours light|dark|high-contrast
//                           the system's colours, and high contrast on or off, as the Settings
//                           app sets them: for the programs that run and those that start later
//   shell_events font menu|message PIXELS
//                           the menus' or the messages' font this tall, for this session
// Ends with status 1 when there is no such window or the system refused.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

namespace {

constexpr int Elements[] = {COLOR_BTNFACE,   COLOR_BTNTEXT,   COLOR_WINDOW,        COLOR_WINDOWTEXT,
                            COLOR_GRAYTEXT,  COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_3DLIGHT,
                            COLOR_3DHILIGHT, COLOR_3DSHADOW,  COLOR_3DDKSHADOW};
constexpr COLORREF Light[] = {RGB(245, 245, 245), RGB(0, 0, 0),       RGB(255, 255, 255),
                              RGB(0, 0, 0),       RGB(166, 166, 166), RGB(48, 150, 250),
                              RGB(255, 255, 255), RGB(227, 227, 227), RGB(255, 255, 255),
                              RGB(166, 166, 166), RGB(106, 106, 106)};
constexpr COLORREF Dark[] = {RGB(43, 43, 43),    RGB(255, 255, 255), RGB(32, 32, 32),
                             RGB(255, 255, 255), RGB(140, 140, 140), RGB(0, 120, 215),
                             RGB(255, 255, 255), RGB(70, 70, 70),    RGB(90, 90, 90),
                             RGB(30, 30, 30),    RGB(10, 10, 10)};
// Windows' "High Contrast Black".
constexpr COLORREF Contrast[] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0, 0, 0),
                                 RGB(255, 255, 255), RGB(63, 242, 63),   RGB(26, 235, 255),
                                 RGB(0, 0, 0),       RGB(255, 255, 255), RGB(255, 255, 255),
                                 RGB(255, 255, 255), RGB(255, 255, 255)};

bool SetColours(const char* scheme) {
    const COLORREF* colours = std::strcmp(scheme, "dark") == 0            ? Dark
                              : std::strcmp(scheme, "high-contrast") == 0 ? Contrast
                              : std::strcmp(scheme, "light") == 0         ? Light
                                                                          : nullptr;
    if (colours == nullptr)
        return false;
    HIGHCONTRASTA contrast{};
    contrast.cbSize = sizeof contrast;
    contrast.dwFlags = colours == Contrast ? HCF_HIGHCONTRASTON : 0;
    SystemParametersInfoA(SPI_SETHIGHCONTRAST, sizeof contrast, &contrast,
                          SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    return SetSysColors(int(std::size(Elements)), Elements, colours) != FALSE;
}

bool SetFont(const char* which, const char* pixels) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    const int height = std::atoi(pixels);
    if (height <= 0 || !SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return false;
    if (std::strcmp(which, "menu") == 0) {
        metrics.lfMenuFont.lfHeight = -height;
        metrics.iMenuHeight = height + 4;
    } else if (std::strcmp(which, "message") == 0) {
        metrics.lfMessageFont.lfHeight = -height;
    } else {
        return false;
    }
    return SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics,
                                 SPIF_SENDCHANGE) != FALSE;
}

} // namespace

int main(int argc, char** argv) {
    const char* command = argc >= 2 ? argv[1] : "";
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
    if (std::strcmp(command, "colours") == 0 && argc == 3)
        return SetColours(argv[2]) ? 0 : 1;
    if (std::strcmp(command, "font") == 0 && argc == 4)
        return SetFont(argv[2], argv[3]) ? 0 : 1;
    std::fprintf(stderr, "usage: shell_events remove|created|colours SCHEME|font WHICH PIXELS\n");
    return 2;
}
