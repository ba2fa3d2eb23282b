#include "platform/win32/shellicon.h"

#include <algorithm>
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

namespace platform {
namespace {

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
