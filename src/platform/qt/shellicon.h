#pragma once

#include "platform/shellicon.h"
#include "platform/window.h"

#include <QHash>
#include <QIcon>
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

// Icons in the panel's notification area, each showing the window's icon. What the user does
// with one goes to the window's events as the shell's notifications do on Windows: a mouse
// move whose horizontal position, in pixels, is the notification code.
class QtShellIconService final : public ShellIconService {
public:
    explicit QtShellIconService(QIcon icon);
    ~QtShellIconService() override;

    bool ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) override;
    bool IsAvailable() const override;
    // Where the icons' notifications go; none are sent before this is called.
    void SetEvents(WindowEvents* events) { events_ = events; }
    // The menu that panels drawing their own icon menus should show.
    void SetPanelMenu(QMenu* menu);
    // The panel reports what the user did with an icon.
    void Activated(QSystemTrayIcon::ActivationReason reason, bool statusNotifierTray);

private:
    using Key = std::pair<WindowHandle, std::uint32_t>;
    void Notify(int code);
    bool StatusNotifierHostRuns() const;

    QIcon icon_;
    WindowEvents* events_ = nullptr;
    QHash<Key, QSystemTrayIcon*> icons_;
    // How Qt shows the icons: decided with the first one, and kept.
    enum class Way { Unknown, StatusNotifier, XEmbed } way_ = Way::Unknown;
    mutable bool hostsHaveNames_ = false; // once seen with names, hosts are known by them
    QPointer<QMenu> panelMenu_;
};

} // namespace platform
