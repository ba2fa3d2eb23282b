#pragma once

#include "platform/shellicon.h"

#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <memory>
#include <optional>

namespace platform {

// The notification code for one of Qt's activation reasons, or nothing for reasons that
// mean nothing to the program. A StatusNotifierItem panel reports no double-click: there
// the host's activation stands for it.
std::optional<int> NotificationCode(QSystemTrayIcon::ActivationReason reason,
                                    bool statusNotifierTray);

// Whether Qt will show icons through a StatusNotifierItem host on the session bus rather
// than embedding them in an XEmbed tray.
bool IsStatusNotifierTray();

class QtShellIconService final : public ShellIconService {
public:
    QtShellIconService();
    ~QtShellIconService() override;

    bool ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) override;
    bool IsAvailable() const override;
    // The menu that panels drawing their own icon menus should show.
    void SetPanelMenu(QMenu* menu);

private:
    using Key = std::pair<QObject*, std::uint32_t>;
    void Notify(QObject* window, int code);

    QHash<Key, QSystemTrayIcon*> icons_;
    QPointer<QMenu> panelMenu_;
};

} // namespace platform
