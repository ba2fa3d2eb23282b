#include "platform/qt/shellicon.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QMenu>
#include <QMouseEvent>
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

QtShellIconService::QtShellIconService() = default;

QtShellIconService::~QtShellIconService() {
    qDeleteAll(icons_);
}

bool QtShellIconService::IsAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtShellIconService::SetPanelMenu(QMenu* menu) {
    panelMenu_ = menu;
}

void QtShellIconService::Notify(QObject* window, int code) {
    const QPointF position(code, 0);
    QCoreApplication::postEvent(window,
                                new QMouseEvent(QEvent::MouseMove, position, position, Qt::NoButton,
                                                Qt::NoButton, Qt::NoModifier));
}

bool QtShellIconService::ShellNotifyIcon(std::uint32_t message, const NotifyIconData& data) {
    // The window's handle is its QObject; the icon is the window's own.
    auto* window = static_cast<QObject*>(data.hWnd);
    const Key key{window, data.uID};
    if (message == NimDelete) {
        QSystemTrayIcon* icon = icons_.take(key);
        delete icon;
        return icon != nullptr;
    }
    if (message != NimAdd || window == nullptr || icons_.contains(key))
        return false;

    auto* icon = new QSystemTrayIcon;
    if (data.uFlags & NifIcon)
        icon->setIcon(window->property("windowIcon").value<QIcon>());
    if (data.uFlags & NifTip) {
        const char* tip = data.szTip.data();
        icon->setToolTip(QString::fromLocal8Bit(tip, qsizetype(strnlen(tip, data.szTip.size()))));
    }
    if ((data.uFlags & NifMessage) && data.uCallbackMessage == WmMouseMove) {
        const bool statusNotifier = IsStatusNotifierTray();
        if (statusNotifier && panelMenu_)
            icon->setContextMenu(panelMenu_);
        QPointer<QObject> target = window;
        QObject::connect(icon, &QSystemTrayIcon::activated, icon,
                         [this, target, statusNotifier](QSystemTrayIcon::ActivationReason reason) {
                             const auto code = NotificationCode(reason, statusNotifier);
                             if (target && code)
                                 Notify(target, *code);
                         });
        QObject::connect(icon, &QSystemTrayIcon::messageClicked, icon, [this, target] {
            if (target)
                Notify(target, NinBalloonUserClick);
        });
    }
    icons_.insert(key, icon);
    icon->show();
    return true;
}

} // namespace platform
