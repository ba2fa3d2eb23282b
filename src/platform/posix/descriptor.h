#pragma once

#include "platform/owned.h"

#include <unistd.h>

namespace platform {

// A file descriptor, closed when its owner goes.
struct DescriptorTraits {
    using Handle = int;
    static Handle Empty() { return -1; }
    static bool Release(Handle fd) { return close(fd) == 0; }
};
using OwnedDescriptor = Owned<DescriptorTraits>;

} // namespace platform
