#pragma once

#include <cstdint>
#include <string_view>

namespace base {

// FNV-1a over the bytes: the same bytes give the same number in every copy and build of the
// program, which makes names that copies find each other by.
constexpr std::uint64_t Fnv1a64(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

} // namespace base
