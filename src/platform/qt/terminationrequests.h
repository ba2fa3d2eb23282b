#pragma once

#include "platform/posix/descriptor.h"

#include <QObject>

class QSocketNotifier;

namespace platform {

// Turns the signals that ask a desktop program to end (SIGTERM at logout or shutdown, SIGINT
// from Ctrl+C in a terminal, SIGHUP when the terminal goes away) into one Qt signal on the
// event loop. The handler only writes the signal's number into a pipe; everything else
// happens on the event loop's thread. One instance at a time.
class TerminationRequests final : public QObject {
    Q_OBJECT
public:
    explicit TerminationRequests(QObject* parent = nullptr);
    ~TerminationRequests() override;
    TerminationRequests(const TerminationRequests&) = delete;
    TerminationRequests& operator=(const TerminationRequests&) = delete;

signals:
    // Once, at the first request; later signals are taken but change nothing.
    void requested(int signalNumber);

private:
    void Drain();

    OwnedDescriptor writeEnd_; // by the signal handler
    OwnedDescriptor readEnd_;  // on the event loop
    QSocketNotifier* notifier_ = nullptr;
    bool sent_ = false;
};

} // namespace platform
