#include "platform/win32/shellicon.h"

#include <algorithm>
#include <cstddef>
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

namespace platform {
namespace {

// The first, 8-bit form of the record, as the shell reads it: five 32-bit fields around two
// handles, which are pointer-sized, then 64 bytes of tip. Checked for either architecture
// when it is built, whether or not its program can run here.
#ifdef _WIN64
static_assert(offsetof(NOTIFYICONDATAA, hWnd) == 8 && offsetof(NOTIFYICONDATAA, uID) == 16 &&
              offsetof(NOTIFYICONDATAA, uFlags) == 20 &&
              offsetof(NOTIFYICONDATAA, uCallbackMessage) == 24 &&
              offsetof(NOTIFYICONDATAA, hIcon) == 32 && offsetof(NOTIFYICONDATAA, szTip) == 40);
static_assert(NOTIFYICONDATAA_V1_SIZE == 104);
#else
static_assert(offsetof(NOTIFYICONDATAA, hWnd) == 4 && offsetof(NOTIFYICONDATAA, uID) == 8 &&
              offsetof(NOTIFYICONDATAA, uFlags) == 12 &&
              offsetof(NOTIFYICONDATAA, uCallbackMessage) == 16 &&
              offsetof(NOTIFYICONDATAA, hIcon) == 20 && offsetof(NOTIFYICONDATAA, szTip) == 24);
static_assert(NOTIFYICONDATAA_V1_SIZE == 88);
#endif
static_assert(sizeof(NOTIFYICONDATAA::szTip) >= TipBytes);

bool Send(std::uint32_t message, const NotifyIconData& data) {
    // The first, 8-bit form of the record, in this architecture's layout.
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = static_cast<HWND>(data.hWnd);
    record.uID = data.uID;
    record.uFlags = data.uFlags;
    record.uCallbackMessage = data.uCallbackMessage;
    record.hIcon = static_cast<HICON>(data.hIcon);
    std::copy_n(data.szTip.begin(), TipBytes, record.szTip);
    return Shell_NotifyIconA(message == NimAdd ? NIM_ADD : NIM_DELETE, &record) != FALSE;
}

} // namespace

bool Win32ShellIconService::ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) {
    if (message == NimAdd)
        shown_ = data;
    else if (message == NimDelete)
        shown_.reset();
    return Send(message, data);
}

bool Win32ShellIconService::IsAvailable() const {
    return FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
}

void Win32ShellIconService::AddAgain() {
    if (shown_)
        Send(NimAdd, *shown_);
}

} // namespace platform
