#include "platform/qt/shellicon.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QMenu>
#include <cstring>

namespace platform {

std::optional<int> NotificationCode(QSystemTrayIcon::ActivationReason reason,
                                    bool statusNotifierTray) {
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        return WmLButtonDblClk;
    case QSystemTrayIcon::Trigger:
        if (statusNotifierTray)
            return WmLButtonDblClk;
        return std::nullopt;
    case QSystemTrayIcon::Context:
        return WmRButtonUp;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return std::nullopt;
}

bool IsStatusNotifierTray() {
    // The same question Qt asks before it chooses the D-Bus tray over XEmbed.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                           QStringLiteral("/StatusNotifierWatcher"),
                           QStringLiteral("org.kde.StatusNotifierWatcher"), bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

QtShellIconService::QtShellIconService(QIcon icon) : icon_(std::move(icon)) {}

QtShellIconService::~QtShellIconService() {
    qDeleteAll(icons_);
}

bool QtShellIconService::IsAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtShellIconService::SetPanelMenu(QMenu* menu) {
    panelMenu_ = menu;
}

void QtShellIconService::Notify(int code) {
    if (events_ != nullptr)
        events_->MouseMove({.x = double(code)});
}

void QtShellIconService::Activated(QSystemTrayIcon::ActivationReason reason,
                                   bool statusNotifierTray) {
    if (const auto code = NotificationCode(reason, statusNotifierTray))
        Notify(*code);
}

bool QtShellIconService::ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) {
    const Key key{data.hWnd, data.uID};
    if (message == NimDelete) {
        QSystemTrayIcon* icon = icons_.take(key);
        delete icon;
        return icon != nullptr;
    }
    if (message != NimAdd || data.hWnd == nullptr || icons_.contains(key))
        return false;

    auto* icon = new QSystemTrayIcon;
    if (data.uFlags & NifIcon)
        icon->setIcon(icon_);
    if (data.uFlags & NifTip) {
        const char* tip = data.szTip.data();
        icon->setToolTip(QString::fromLocal8Bit(tip, qsizetype(strnlen(tip, data.szTip.size()))));
    }
    if ((data.uFlags & NifMessage) && data.uCallbackMessage == WmMouseMove) {
        const bool statusNotifier = IsStatusNotifierTray();
        if (statusNotifier && panelMenu_)
            icon->setContextMenu(panelMenu_);
        QObject::connect(icon, &QSystemTrayIcon::activated, icon,
                         [this, statusNotifier](QSystemTrayIcon::ActivationReason reason) {
                             Activated(reason, statusNotifier);
                         });
        QObject::connect(icon, &QSystemTrayIcon::messageClicked, icon,
                         [this] { Notify(NinBalloonUserClick); });
    }
    icons_.insert(key, icon);
    icon->show();
    return true;
}

} // namespace platform
