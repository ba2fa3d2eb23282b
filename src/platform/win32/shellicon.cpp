#include "platform/win32/shellicon.h"

#include <algorithm>
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

// The shell's header names its 8-bit forms through these; here they mean the program's own.
#undef NOTIFYICONDATA
#undef Shell_NotifyIcon

namespace platform {
namespace {

bool Send(std::uint32_t message, const NOTIFYICONDATA& data) {
    // The first, 8-bit form of the record, in this architecture's layout.
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = static_cast<HWND>(data.hWnd);
    record.uID = data.uID;
    record.uFlags = data.uFlags;
    record.uCallbackMessage = data.uCallbackMessage;
    record.hIcon = static_cast<HICON>(data.hIcon);
    std::copy_n(data.szTip.begin(), TipBytes, record.szTip);
    return ::Shell_NotifyIconA(message == NIM_ADD ? NIM_ADD : NIM_DELETE, &record) != FALSE;
}

} // namespace

bool Win32ShellIconService::Shell_NotifyIcon(std::uint32_t message, const NOTIFYICONDATA& data) {
    if (message == NIM_ADD)
        shown_ = data;
    else if (message == NIM_DELETE)
        shown_.reset();
    return Send(message, data);
}

bool Win32ShellIconService::IsAvailable() const {
    return FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
}

void Win32ShellIconService::AddAgain() {
    if (shown_)
        Send(NIM_ADD, *shown_);
}

} // namespace platform
