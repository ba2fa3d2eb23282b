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

// The copies that keep their files in one folder (the folder ui::PlaceFiles names them by) on
// Linux: a lock file held while a copy runs, and a local socket on which it hears of later
// starts, both in the user's runtime folder (never beside the program, which may be
// read-only). A killed copy's lock goes with it, and its socket is
// taken over by the next first copy. The socket is the system's own, watched in Qt's event
// loop: Qt's network library would cost more memory than the program's whole window.
class QtProgramInstance final : public QObject {
    Q_OBJECT
public:
    explicit QtProgramInstance(const std::string& folder, QObject* parent = nullptr);
    ~QtProgramInstance() override;
    QtProgramInstance(const QtProgramInstance&) = delete;
    QtProgramInstance& operator=(const QtProgramInstance&) = delete;

    // Claims the folder for this copy, or tells the copy that has it to come back, waiting a
    // few seconds at most for one that is still starting or ending. The desktop's activation
    // token for this start goes with the message, so that the other copy may come to the front.
    InstanceClaim Claim();
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

    bool TryLock();
    bool TellTheFirst();
    void Accept();
    // Reads what has come; false when the caller is done with, whole or not.
    bool Read(Caller& caller);
    void Receive(const QByteArray& message);
    void SetStartupId(const QByteArray& id);

    std::string lockPath_;
    std::string socketPath_;
    OwnedDescriptor lock_; // none where no lock is to be had: this copy runs on its own then
    OwnedDescriptor server_;
    std::list<Caller> callers_;
    QWidget* window_ = nullptr;
    std::function<void()> anotherStart_;
};

} // namespace platform
