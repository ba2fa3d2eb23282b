#include "platform/instance.h"

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
    // FNV-1a: the same bytes give the same name in every copy and build of the program.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : programFolder) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("tallimer-") + digits;
}

} // namespace platform
