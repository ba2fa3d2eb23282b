#include "platform/posix/localsocket.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int WaitMs = 2000;

// The socket's address and its length; none for a path too long for an address.
socklen_t AddressOf(const std::string& address, sockaddr_un& to) {
    to = {};
    to.sun_family = AF_UNIX;
    if (address.empty() || address.size() > sizeof to.sun_path ||
        (address[0] != '\0' && address.size() == sizeof to.sun_path))
        return 0;
    std::memcpy(to.sun_path, address.data(), address.size());
    return socklen_t(offsetof(sockaddr_un, sun_path) + address.size());
}

bool IsAbstract(const sockaddr_un& address) {
    return address.sun_path[0] == '\0';
}

// Whether the process at the other end of a connected socket runs as this user.
bool SameUser(int socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

// A connection to a program of this user at the address; none where none listens there. A name
// that another user holds is not this user's program.
OwnedDescriptor Connect(const std::string& address) {
    sockaddr_un to{};
    const socklen_t length = AddressOf(address, to);
    OwnedDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (length == 0 || !socket ||
        connect(socket.get(), reinterpret_cast<const sockaddr*>(&to), length) != 0 ||
        !SameUser(socket.get()))
        return {};
    return socket;
}

} // namespace

OwnedDescriptor ListenLocal(const std::string& address) {
    sockaddr_un to{};
    const socklen_t length = AddressOf(address, to);
    if (length == 0)
        return {};
    OwnedDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket)
        return {};
    if (!IsAbstract(to))
        unlink(address.c_str());
    // Made for this user alone: no other may hand this copy a message.
    const mode_t mask = umask(0077);
    const bool bound = bind(socket.get(), reinterpret_cast<const sockaddr*>(&to), length) == 0;
    umask(mask);
    if (!bound || listen(socket.get(), 8) != 0)
        return {};
    return socket;
}

OwnedDescriptor AcceptLocal(int listening) {
    for (;;) {
        OwnedDescriptor socket(accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket || SameUser(socket.get()))
            return socket;
        // Another user's connection is dropped unheard.
    }
}

bool ReachLocal(const std::string& address) {
    return bool(Connect(address));
}

bool SendLocal(const std::string& address, std::string_view message) {
    const OwnedDescriptor socket = Connect(address);
    if (!socket)
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
