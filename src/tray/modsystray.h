#pragma once

#include "platform/shellicon.h"

#include <array>
#include <string_view>

// The program's one notification-area icon. The record is kept from the add so that the
// delete can send the same record back.
class modSysTray {
public:
    explicit modSysTray(platform::ShellIconService& shell) : shell_(shell) {}

    bool TrayIconShown() const { return trayIconShown_; }
    bool NotificationAreaAvailable() const { return shell_.IsAvailable(); }

    // Shows the icon for the window, with its icon and the tip; does nothing while one is
    // shown. The window receives the icon's notifications.
    void AddTrayIcon(platform::WindowHandle window, platform::IconHandle icon,
                     std::string_view tip);
    // Takes the icon away; does nothing while none is shown.
    void RemoveTrayIcon();

    // The tip as the shell sees it: at most 63 bytes of whole characters, NUL, then blanks.
    static std::array<char, platform::TipBytes> TipField(std::string_view tip);

private:
    platform::ShellIconService& shell_;
    bool trayIconShown_ = false;
    platform::NotifyIconData record_;
};
