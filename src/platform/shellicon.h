#pragma once

#include <QIcon>
#include <QObject>
#include <QtGlobal>
#include <array>

class QMenu;

// The shell's notification-area icons. An icon is described by a record, sent with an add or
// a delete message; what the user does with a shown icon comes back to the record's window
// as mouse-move events whose horizontal position, in pixels, is the notification code.
namespace platform {

constexpr quint32 NIM_ADD = 0;
constexpr quint32 NIM_DELETE = 2;

constexpr quint32 NIF_MESSAGE = 1;
constexpr quint32 NIF_ICON = 2;
constexpr quint32 NIF_TIP = 4;

constexpr quint32 WM_MOUSEMOVE = 0x200;

// Notification codes.
constexpr int WM_LBUTTONDBLCLK = 0x203;
constexpr int WM_RBUTTONUP = 0x205;
constexpr int NIN_BALLOONUSERCLICK = 0x405;

// The shell sees this many bytes of tip, its terminating NUL included.
constexpr int TipBytes = 64;

struct NOTIFYICONDATA {
    quint32 cbSize = 0;
    QObject* hWnd = nullptr;
    quint32 uID = 0;
    quint32 uFlags = 0;
    quint32 uCallbackMessage = 0;
    QIcon hIcon;
    std::array<char, TipBytes> szTip{};
};

class ShellIconService {
public:
    virtual ~ShellIconService() = default;
    // NIM_ADD or NIM_DELETE. The icon is matched by hWnd and uID.
    virtual bool Shell_NotifyIcon(quint32 message, const NOTIFYICONDATA& data) = 0;
    // Whether the desktop has a notification area at all.
    virtual bool IsAvailable() const = 0;
    // The menu that panels drawing their own icon menus should show.
    virtual void SetPanelMenu(QMenu* menu) = 0;
};

} // namespace platform
