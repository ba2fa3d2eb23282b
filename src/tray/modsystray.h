#pragma once

#include "platform/shellicon.h"

#include <QString>

// The program's one notification-area icon. The record is kept from the add so that the
// delete can send the same record back.
class modSysTray {
public:
    explicit modSysTray(platform::ShellIconService& shell) : shell_(shell) {}

    bool TrayIconShown() const { return trayIconShown_; }
    const platform::NOTIFYICONDATA& TrayIconRecord() const { return record_; }
    bool NotificationAreaAvailable() const { return shell_.IsAvailable(); }
    void SetPanelMenu(QMenu* menu) { shell_.SetPanelMenu(menu); }

    // Shows the icon with the window's icon and the tip; does nothing while one is shown.
    // The window receives the icon's notifications and lends it its "windowIcon".
    void AddTrayIcon(QObject* window, const QString& tip);
    // Takes the icon away; does nothing while none is shown.
    void RemoveTrayIcon();

    // The tip as the shell sees it: at most 63 characters, NUL, then blanks.
    static std::array<char, platform::TipBytes> TipField(const QString& tip);

private:
    platform::ShellIconService& shell_;
    bool trayIconShown_ = false;
    platform::NOTIFYICONDATA record_;
};
