#pragma once

#include "platform/instance.h"
#include "platform/posix/descriptor.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <list>
#include <string>

class QSocketNotifier;
class QWidget;

namespace platform {

// The copies for one folder of files (the folder ui::PlaceFiles names them by) on Linux. Their
// lock is a name in the abstract namespace, which a copy holds while it runs and which needs
// no folder, together with a lock file in the user's runtime folder where there is one: a
// name that another user took cannot keep this user's copies apart, and the file can. The
// copy that runs hears of later starts on a socket at that name, and on one in the runtime
// folder. Never beside the program, which may be read-only, nor in the current folder. A killed
// copy's locks go with it, and its socket is taken over by the next first copy. The sockets
// are the system's own, watched in Qt's event loop: Qt's network library would cost more
// memory than the program's whole window.
class QtProgramInstance final : public QObject, public InstanceLock {
    Q_OBJECT
public:
    explicit QtProgramInstance(const std::string& folder, QObject* parent = nullptr);
    ~QtProgramInstance() override;
    QtProgramInstance(const QtProgramInstance&) = delete;
    QtProgramInstance& operator=(const QtProgramInstance&) = delete;

    Attempt TryLock() override;
    std::string WhyUnavailable() const override;
    // The desktop's activation token for this start goes with the message, so that the other
    // copy may come to the front.
    bool TellTheFirst() override;
    void Pause(int milliseconds) override;
    // From now on, calls back when a later copy starts, with its activation token in force for
    // the window.
    void Listen(QWidget* window, std::function<void()> anotherStart);

private:
    // A later copy telling this one, until its message has come whole.
    struct Caller {
        OwnedDescriptor socket;
        QSocketNotifier* readable;
        QByteArray message;
    };

    void Watch(const OwnedDescriptor& server);
    void Accept(int server);
    // Reads what has come; false when the caller is done with, whole or not.
    bool Read(Caller& caller);
    void Receive(const QByteArray& message);
    void SetStartupId(const QByteArray& id);

    std::string runtime_;    // the user's runtime folder; empty where there is none to be had
    std::string lockPath_;   // in it, or empty
    std::string socketPath_; // in it, or empty
    std::string name_;       // the name in the abstract namespace, NUL first
    OwnedDescriptor lock_;
    OwnedDescriptor named_; // listening at the name, which it holds
    OwnedDescriptor server_;
    std::list<Caller> callers_;
    QWidget* window_ = nullptr;
    std::function<void()> anotherStart_;
};

} // namespace platform
