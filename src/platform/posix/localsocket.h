#pragma once

#include "platform/posix/descriptor.h"

#include <string>
#include <string_view>

// Local (Unix-domain) stream sockets, by which the copies of the program for one folder hear of
// each other. An address is a path, or a name in Linux's abstract namespace written with a
// NUL in front: such a name needs no folder, is held by one socket at a time and goes with it.
// Any user may reach a name, so both ends check that the other runs as this user.
namespace platform {

// A socket that listens at the address for this user alone, and never blocks; one left at a
// path by a killed copy is replaced. None where it cannot be made, or the name is held.
OwnedDescriptor ListenLocal(const std::string& address);

// The next connection waiting at a listening socket, which never blocks; none when none waits.
OwnedDescriptor AcceptLocal(int listening);

// Whether a program of this user listens at the address.
bool ReachLocal(const std::string& address);

// Sends the message whole to the socket at the address, then ends the connection; false when
// nothing of this user listens there or it takes more than a few seconds.
bool SendLocal(const std::string& address, std::string_view message);

} // namespace platform
