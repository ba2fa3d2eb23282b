#include "platform/system.h"

namespace platform {

Instant SystemClock::CurrentDateTime() const {
    return std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now());
}

} // namespace platform
