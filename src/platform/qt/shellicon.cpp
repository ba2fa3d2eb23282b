#include "platform/qt/shellicon.h"

#include "platform/qt/x11.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QMenu>
#include <algorithm>
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
    // The same question Qt asks before it chooses the D-Bus tray over XEmbed; asked only of a
    // watcher that runs, which a desktop without one would otherwise be asked to start.
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcher))
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    constexpr int WaitMs = 1000;
    const QDBusReply<QDBusVariant> host = bus.call(get, QDBus::Block, WaitMs);
    return host.isValid() && host.value().variant().toBool();
}

// Plasma's panels take names of their own as hosts, and its watcher, which outlives them, goes on
// saying that one is registered when none is. On a bus where such a name was once seen, a host
// runs while one is there; elsewhere the watcher's word is all there is (GNOME's is its own host).
bool QtShellIconService::StatusNotifierHostRuns() const {
    const QStringList names =
        QDBusConnection::sessionBus().interface()->registeredServiceNames().value();
    const bool named = std::any_of(names.begin(), names.end(), [](const QString& name) {
        return name.startsWith(QStringLiteral("org.kde.StatusNotifierHost-"));
    });
    hostsHaveNames_ = hostsHaveNames_ || named;
    return named || !hostsHaveNames_;
}

QtShellIconService::QtShellIconService(QIcon icon) : icon_(std::move(icon)) {}

QtShellIconService::~QtShellIconService() {
    qDeleteAll(icons_);
}

// Qt takes one way into the panel, D-Bus or XEmbed, when the first icon is made, and keeps to it:
// until then either will do, afterwards only that one. Qt is not asked before: its answer would
// be kept from a moment when no panel was up, and a panel that comes after it go unused.
bool QtShellIconService::IsAvailable() const {
    if (way_ != Way::XEmbed && IsStatusNotifierTray() && StatusNotifierHostRuns())
        return true;
    return way_ != Way::StatusNotifier && x11::TrayManagerPresent();
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

    // Qt asks the same question as it makes its first icon.
    if (way_ == Way::Unknown)
        way_ = IsStatusNotifierTray() ? Way::StatusNotifier : Way::XEmbed;
    auto* icon = new QSystemTrayIcon;
    if (data.uFlags & NifIcon)
        icon->setIcon(icon_);
    if (data.uFlags & NifTip) {
        const char* tip = data.szTip.data();
        icon->setToolTip(QString::fromLocal8Bit(tip, qsizetype(strnlen(tip, data.szTip.size()))));
    }
    if ((data.uFlags & NifMessage) && data.uCallbackMessage == WmMouseMove) {
        const bool statusNotifier = way_ == Way::StatusNotifier;
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
