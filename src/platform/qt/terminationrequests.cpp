#include "platform/qt/terminationrequests.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::array<int, 3> Caught = {SIGTERM, SIGINT, SIGHUP};

// The end of the pipe that the handler writes, which the instance owns.
int handlerEnd = -1;
std::array<struct sigaction, Caught.size()> previous{};

void OnSignal(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    (void)!write(handlerEnd, &byte, 1); // a full pipe already holds a request
    errno = saved;
}

} // namespace

TerminationRequests::TerminationRequests(QObject* parent) : QObject(parent) {
    std::array<int, 2> ends{};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends.data()) != 0)
        return;
    writeEnd_ = OwnedDescriptor(ends[0]);
    readEnd_ = OwnedDescriptor(ends[1]);
    handlerEnd = writeEnd_.get();
    notifier_ = new QSocketNotifier(readEnd_.get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationRequests::Drain);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < Caught.size(); ++i) {
        // A signal ignored from the start stays ignored: that is how nohup and the shell's
        // background jobs keep a program alive.
        if (sigaction(Caught[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler != SIG_IGN)
            sigaction(Caught[i], &action, nullptr);
    }
}

TerminationRequests::~TerminationRequests() {
    if (notifier_ == nullptr)
        return;
    for (size_t i = 0; i < Caught.size(); ++i)
        if (previous[i].sa_handler != SIG_IGN)
            sigaction(Caught[i], &previous[i], nullptr);
    delete notifier_;
    handlerEnd = -1;
}

void TerminationRequests::Drain() {
    std::array<unsigned char, 16> numbers{};
    int first = 0;
    for (;;) {
        const ssize_t n = read(readEnd_.get(), numbers.data(), numbers.size());
        if (n <= 0)
            break;
        if (first == 0)
            first = numbers[0];
    }
    if (first != 0 && !sent_) {
        sent_ = true;
        emit requested(first);
    }
}

} // namespace platform
