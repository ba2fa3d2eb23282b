#include "platform/instance.h"

#include "base/hash.h"

#include <cstdint>
#include <cstdio>

namespace platform {

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

std::string InstanceName(std::string_view programFolder) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx",
                  static_cast<unsigned long long>(base::Fnv1a64(programFolder)));
    return std::string("tallimer-") + digits;
}

} // namespace platform
