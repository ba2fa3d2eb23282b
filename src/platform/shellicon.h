#pragma once

#include <array>
#include <cstdint>

// The shell's notification-area icons. An icon is described by a record, sent with an add or
// a delete message; what the user does with a shown icon comes back to the record's window
// as mouse-move events whose horizontal position, in pixels, is the notification code. The
// names are the shell's own, spelt so that <windows.h>, which makes macros of them, can be
// included before or after this header.
namespace platform {

// A window and an icon, as the window system knows them.
using WindowHandle = void*;
using IconHandle = void*;

constexpr std::uint32_t NimAdd = 0;
constexpr std::uint32_t NimDelete = 2;

constexpr std::uint32_t NifMessage = 1;
constexpr std::uint32_t NifIcon = 2;
constexpr std::uint32_t NifTip = 4;

constexpr std::uint32_t WmMouseMove = 0x200;

// Notification codes.
constexpr int WmLButtonDblClk = 0x203;
constexpr int WmRButtonUp = 0x205;
constexpr int NinBalloonUserClick = 0x405;

// The shell sees this many bytes of tip, its terminating NUL included.
constexpr int TipBytes = 64;

struct NotifyIconData {
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
    // NimAdd or NimDelete. The icon is matched by hWnd and uID.
    virtual bool ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) = 0;
    // Whether the desktop has a notification area at all.
    virtual bool IsAvailable() const = 0;
};

} // namespace platform
