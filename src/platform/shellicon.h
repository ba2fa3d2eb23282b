#pragma once

#include <array>
#include <cstdint>

// The shell's notification-area icons. An icon is described by a record, sent with an add or
// a delete message; what the user does with a shown icon comes back to the record's window
// as mouse-move events whose horizontal position, in pixels, is the notification code.
namespace platform {

// A window and an icon, as the window system knows them.
using WindowHandle = void*;
using IconHandle = void*;

constexpr std::uint32_t NIM_ADD = 0;
constexpr std::uint32_t NIM_DELETE = 2;

constexpr std::uint32_t NIF_MESSAGE = 1;
constexpr std::uint32_t NIF_ICON = 2;
constexpr std::uint32_t NIF_TIP = 4;

constexpr std::uint32_t WM_MOUSEMOVE = 0x200;

// Notification codes.
constexpr int WM_LBUTTONDBLCLK = 0x203;
constexpr int WM_RBUTTONUP = 0x205;
constexpr int NIN_BALLOONUSERCLICK = 0x405;

// The shell sees this many bytes of tip, its terminating NUL included.
constexpr int TipBytes = 64;

struct NOTIFYICONDATA {
    std::uint32_t cbSize = 0;
    WindowHandle hWnd = nullptr;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    IconHandle hIcon = nullptr;
    std::array<char, TipBytes> szTip{};
};

class ShellIconService {
public:
    virtual ~ShellIconService() = default;
    // NIM_ADD or NIM_DELETE. The icon is matched by hWnd and uID.
    virtual bool Shell_NotifyIcon(std::uint32_t message, const NOTIFYICONDATA& data) = 0;
    // Whether the desktop has a notification area at all.
    virtual bool IsAvailable() const = 0;
};

} // namespace platform
