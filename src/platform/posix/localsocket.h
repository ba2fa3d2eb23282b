#pragma once

#include "platform/posix/descriptor.h"

#include <string>
#include <string_view>

// Local (Unix-domain) stream sockets, by which the copies of the program from one folder hear
// of each other.
namespace platform {

// A socket that listens at path for this user alone, and never blocks; one left there by a
// killed copy is replaced. None where it cannot be made.
OwnedDescriptor ListenLocal(const std::string& path);

// The next connection waiting at a listening socket, which never blocks; none when none waits.
OwnedDescriptor AcceptLocal(int listening);

// Sends the message whole to the socket at path, then ends the connection; false when nothing
// listens there or it takes more than a few seconds.
bool SendLocal(const std::string& path, std::string_view message);

} // namespace platform
