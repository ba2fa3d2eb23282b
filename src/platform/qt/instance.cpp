#include "platform/qt/instance.h"

#include "platform/posix/localsocket.h"
#include "platform/qt/x11.h"

#include <QApplication>
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

namespace platform {
namespace {

constexpr qsizetype MaxMessage = 4096;
// The tokens a desktop gives a program it starts, with which that program, or the one it
// hands over to, may take the focus: Wayland's, and X11's startup notification.
constexpr const char* WaylandToken = "XDG_ACTIVATION_TOKEN";
constexpr const char* X11Token = "DESKTOP_STARTUP_ID";

} // namespace

QtProgramInstance::QtProgramInstance(const std::string& folder, QObject* parent) : QObject(parent) {
    // $XDG_RUNTIME_DIR, or a folder of the user's own that Qt makes when it is unset; nothing
    // where neither can be had, which QDir would take for the current folder.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const std::string name = InstanceName(folder);
    if (!runtime.isEmpty()) {
        runtime_ = QFile::encodeName(runtime).toStdString();
        lockPath_ = runtime_ + '/' + name + ".lock";
        socketPath_ = runtime_ + '/' + name;
    }
    name_ = std::string(1, '\0') + name + '-' + std::to_string(getuid());
}

QtProgramInstance::~QtProgramInstance() = default;

InstanceLock::Attempt QtProgramInstance::TryLock() {
    OwnedDescriptor lock;
    if (!lockPath_.empty())
        lock = OwnedDescriptor(
            open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (lock && flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return Attempt::Held;
    // A copy whose runtime folder could not hold the lock file holds only the name.
    OwnedDescriptor named = ListenLocal(name_);
    if (!named && ReachLocal(name_))
        return Attempt::Held;
    if (!lock && !named)
        return Attempt::Unavailable;
    lock_ = std::move(lock);
    named_ = std::move(named);
    return Attempt::Taken;
}

std::string QtProgramInstance::WhyUnavailable() const {
    return (runtime_.empty() ? std::string("there is no runtime folder ($XDG_RUNTIME_DIR)")
                             : "its runtime folder " + runtime_ + " takes no lock file") +
           ", and the name its copies find each other by cannot be had";
}

bool QtProgramInstance::TellTheFirst() {
    QByteArray message = "activate\n";
    for (const char* token : {WaylandToken, X11Token})
        if (const QByteArray value = qgetenv(token); !value.isEmpty() && !value.contains('\n'))
            message += token + QByteArray("=") + value + '\n';
    message += '\n';
    const std::string_view text(message.constData(), size_t(message.size()));
    return (!socketPath_.empty() && SendLocal(socketPath_, text)) || SendLocal(name_, text);
}

void QtProgramInstance::Pause(int milliseconds) {
    QThread::msleep(milliseconds);
}

void QtProgramInstance::Listen(QWidget* window, std::function<void()> anotherStart) {
    window_ = window;
    anotherStart_ = std::move(anotherStart);
    if (lock_)
        server_ = ListenLocal(socketPath_); // the one a killed copy left is taken over
    Watch(server_);
    Watch(named_);
}

void QtProgramInstance::Watch(const OwnedDescriptor& server) {
    if (!server)
        return;
    auto* waiting = new QSocketNotifier(server.get(), QSocketNotifier::Read, this);
    connect(waiting, &QSocketNotifier::activated, this, [this, fd = server.get()] { Accept(fd); });
}

void QtProgramInstance::Accept(int server) {
    while (OwnedDescriptor socket = AcceptLocal(server)) {
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

void QtProgramInstance::SetStartupId(const QByteArray& id) {
    if (window_ != nullptr)
        x11::SetStartupId(*window_, id);
}

} // namespace platform
