#pragma once

#include "platform/instance.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QLocalServer;
class QWidget;

namespace platform {

// The copies of one program folder on Linux: a lock file held while a copy runs, and a local
// socket on which it hears of later starts, both in the user's runtime folder (never beside
// the program, which may be read-only). A killed copy's lock goes with it, and its socket is
// taken over by the next first copy.
class QtProgramInstance final : public QObject {
    Q_OBJECT
public:
    explicit QtProgramInstance(const std::string& programFolder, QObject* parent = nullptr);
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
    bool TryLock();
    bool TellTheFirst();
    void Receive(const QByteArray& message);
    void SetStartupId(const QByteArray& id);

    QString lockPath_;
    QString serverName_;
    int lockFile_ = -1;
    QLocalServer* server_ = nullptr;
    QWidget* window_ = nullptr;
    std::function<void()> anotherStart_;
};

} // namespace platform
