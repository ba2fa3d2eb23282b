#include "platform/instance.h"

#include "base/hash.h"

#include <cstdint>
#include <cstdio>

namespace platform {

Claimed ClaimFolder(InstanceLock& lock, std::string_view folder) {
    constexpr int PauseMs = 100;
    constexpr int Pauses = 100;
    for (int paused = 0;; ++paused) {
        switch (lock.TryLock()) {
        case InstanceLock::Attempt::Taken:
            return {InstanceClaim::First, ""};
        case InstanceLock::Attempt::Unavailable:
            return {InstanceClaim::First, "Tallimer cannot make sure that it runs only once for " +
                                              std::string(folder) + ": " + lock.WhyUnavailable() +
                                              ". It runs, and a second start may run beside it."};
        case InstanceLock::Attempt::Held:
            break;
        }
        if (lock.TellTheFirst())
            return {InstanceClaim::HandedOver, ""};
        if (paused == Pauses)
            return {InstanceClaim::Failed, "Tallimer did not start: the copy that runs for " +
                                               std::string(folder) +
                                               " did not answer for 10 seconds."};
        lock.Pause(PauseMs);
    }
}

std::optional<int> ExitStatusAtStart(InstanceClaim claim) {
    switch (claim) {
    case InstanceClaim::First:
        break;
    case InstanceClaim::HandedOver:
        return 0;
    case InstanceClaim::Failed:
        return 1;
    }
    return std::nullopt;
}

std::string InstanceName(std::string_view folder) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx",
                  static_cast<unsigned long long>(base::Fnv1a64(folder)));
    return std::string("tallimer-") + digits;
}

} // namespace platform
