#pragma once

#include <QByteArray>

class QWidget;

// What the Qt window asks of an X11 window manager beyond what Qt asks; nothing elsewhere (a
// Wayland session, no display).
namespace platform::x11 {

// The next time the window is mapped, it comes up in the normal state (ICCCM's initial state),
// not in the one it was last shown in.
void MapNormalNext(const QWidget& window);

// Whether an XEmbed notification area (a system tray manager) runs on the display.
bool TrayManagerPresent();

// Marks the window as answering the desktop's startup notification with this id.
void SetStartupId(const QWidget& window, const QByteArray& id);

} // namespace platform::x11
