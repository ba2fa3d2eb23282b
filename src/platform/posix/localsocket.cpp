#include "platform/posix/localsocket.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace platform {
namespace {

constexpr int WaitMs = 2000;

// The socket's address; false for a path too long for one.
bool AddressOf(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

OwnedDescriptor ListenLocal(const std::string& path) {
    sockaddr_un address{};
    if (!AddressOf(path, address))
        return {};
    OwnedDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket)
        return {};
    unlink(path.c_str());
    // Made for this user alone: no other may hand this copy a message.
    const mode_t mask = umask(0077);
    const bool bound =
        bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    umask(mask);
    if (!bound || listen(socket.get(), 8) != 0)
        return {};
    return socket;
}

OwnedDescriptor AcceptLocal(int listening) {
    return OwnedDescriptor(accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
}

bool SendLocal(const std::string& path, std::string_view message) {
    sockaddr_un address{};
    OwnedDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!AddressOf(path, address) || !socket ||
        connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return false;
    while (!message.empty()) {
        const ssize_t sent = send(socket.get(), message.data(), message.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            message.remove_prefix(size_t(sent));
            continue;
        }
        pollfd writable{socket.get(), POLLOUT, 0};
        if ((sent < 0 && errno != EAGAIN && errno != EINTR) || poll(&writable, 1, WaitMs) <= 0)
            return false;
    }
    return shutdown(socket.get(), SHUT_WR) == 0;
}

} // namespace platform
