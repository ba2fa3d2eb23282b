#include "platform/qt/instance.h"

#include "platform/posix/localsocket.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace platform {
namespace {

constexpr int WaitMs = 10000;
constexpr qsizetype MaxMessage = 4096;
// The tokens a desktop gives a program it starts, with which that program, or the one it
// hands over to, may take the focus: Wayland's, and X11's startup notification.
constexpr const char* WaylandToken = "XDG_ACTIVATION_TOKEN";
constexpr const char* X11Token = "DESKTOP_STARTUP_ID";

// The X server's number for a name, or none.
xcb_atom_t Atom(xcb_connection_t* connection, const QByteArray& name) {
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()),
        nullptr);
    const xcb_atom_t result = atom != nullptr ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(atom);
    return result;
}

} // namespace

QtProgramInstance::QtProgramInstance(const std::string& folder, QObject* parent) : QObject(parent) {
    // $XDG_RUNTIME_DIR, or a folder of the user's own that Qt makes when there is none.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString name = QString::fromStdString(InstanceName(folder));
    lockPath_ =
        QFile::encodeName(QDir(runtime).filePath(name + QStringLiteral(".lock"))).toStdString();
    socketPath_ = QFile::encodeName(QDir(runtime).filePath(name)).toStdString();
}

QtProgramInstance::~QtProgramInstance() = default;

bool QtProgramInstance::TryLock() {
    OwnedDescriptor lock(open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock)
        return true; // no lock to be had: this copy runs on its own
    if (flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    lock_ = std::move(lock);
    return true;
}

bool QtProgramInstance::TellTheFirst() {
    QByteArray message = "activate\n";
    for (const char* token : {WaylandToken, X11Token})
        if (const QByteArray value = qgetenv(token); !value.isEmpty() && !value.contains('\n'))
            message += token + QByteArray("=") + value + '\n';
    message += '\n';
    return SendLocal(socketPath_, std::string_view(message.constData(), size_t(message.size())));
}

InstanceClaim QtProgramInstance::Claim() {
    const QDeadlineTimer deadline(WaitMs);
    for (;;) {
        if (TryLock())
            return InstanceClaim::First;
        if (TellTheFirst())
            return InstanceClaim::HandedOver;
        // The other copy is still starting, or ending and about to let go of the lock.
        if (deadline.hasExpired())
            return InstanceClaim::Failed;
        QThread::msleep(100);
    }
}

void QtProgramInstance::Listen(QWidget* window, std::function<void()> anotherStart) {
    window_ = window;
    anotherStart_ = std::move(anotherStart);
    server_ = ListenLocal(socketPath_); // the one a killed copy left is taken over
    if (!server_)
        return;
    auto* waiting = new QSocketNotifier(server_.get(), QSocketNotifier::Read, this);
    connect(waiting, &QSocketNotifier::activated, this, &QtProgramInstance::Accept);
}

void QtProgramInstance::Accept() {
    while (OwnedDescriptor socket = AcceptLocal(server_.get())) {
        const int fd = socket.get();
        Caller& caller = callers_.emplace_back(Caller{std::move(socket), nullptr, {}});
        caller.readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        const auto at = std::prev(callers_.end());
        connect(caller.readable, &QSocketNotifier::activated, this, [this, at] {
            if (!Read(*at)) {
                at->readable->setEnabled(false);
                at->readable->deleteLater();
                callers_.erase(at);
            }
        });
    }
}

bool QtProgramInstance::Read(Caller& caller) {
    char chunk[1024];
    for (;;) {
        const ssize_t n = read(caller.socket.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true; // more to come
        if (n <= 0)
            return false;
        caller.message.append(chunk, n);
        if (caller.message.size() > MaxMessage)
            return false;
        if (caller.message.endsWith("\n\n")) {
            Receive(caller.message);
            return false;
        }
    }
}

void QtProgramInstance::Receive(const QByteArray& message) {
    if (!message.startsWith("activate\n"))
        return;
    for (const QByteArray& line : message.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        const QByteArray name = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (equals <= 0 || value.isEmpty())
            continue;
        if (name == WaylandToken)
            qputenv(WaylandToken, value); // Qt's Wayland window takes it when it asks to come up
        else if (name == X11Token)
            SetStartupId(value);
    }
    if (anotherStart_)
        anotherStart_();
}

// An X11 window that comes up carries the startup it answers, whose time tells the window
// manager that the user asked for it just now.
void QtProgramInstance::SetStartupId(const QByteArray& id) {
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || window_ == nullptr)
        return;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t property = Atom(connection, "_NET_STARTUP_ID");
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    if (property == XCB_ATOM_NONE)
        return;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window_->winId()), property,
                        utf8 != XCB_ATOM_NONE ? utf8 : xcb_atom_t(XCB_ATOM_STRING), 8,
                        uint32_t(id.size()), id.constData());
    xcb_flush(connection);
}

} // namespace platform
