#include "platform/posix/localsocket.h"

#include "base/hash.h"

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

// The socket's address and its length. A path too long for an address (a deep runtime folder)
// becomes a name in Linux's abstract namespace, made from the whole path: it needs no folder,
// and nothing of it outlives the program. Any user may reach that name, so both ends check
// the other's user.
socklen_t AddressOf(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty())
        return 0;
    if (path.size() < sizeof address.sun_path) {
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        return sizeof address;
    }
    const std::string name =
        "tallimer-" + std::to_string(base::Fnv1a64(path)) + '-' + std::to_string(getuid());
    std::memcpy(address.sun_path + 1, name.data(), name.size()); // after the leading NUL
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
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

} // namespace

OwnedDescriptor ListenLocal(const std::string& path) {
    sockaddr_un address{};
    const socklen_t length = AddressOf(path, address);
    if (length == 0)
        return {};
    OwnedDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket)
        return {};
    if (!IsAbstract(address))
        unlink(path.c_str());
    // Made for this user alone: no other may hand this copy a message.
    const mode_t mask = umask(0077);
    const bool bound = bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
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

bool SendLocal(const std::string& path, std::string_view message) {
    sockaddr_un address{};
    const socklen_t length = AddressOf(path, address);
    OwnedDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    // A name that another user holds is not this user's program.
    if (length == 0 || !socket ||
        connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        !SameUser(socket.get()))
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
