#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Settings files of the profile (INI) form, read and written key by key with 8-bit text.
// Windows uses these too, not kernel32's functions of the same names: those rewrite a file in
// place and normalise every line of it, where these replace it in one flushed step and keep
// every byte they do not change.
namespace platform {

// Copies the value of key in section (or the default when there is none, or it is empty)
// into buffer, cut to size - 1 characters and NUL-terminated; returns the count copied.
// Names match without regard to ASCII case or surrounding blanks.
std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                       const std::string& defaultValue, char* buffer,
                                       std::uint32_t size, const std::string& fileName);

// Sets key in section to value, creating the file and the section when they are missing and
// leaving every other line as it stands. Nonzero on success.
std::int32_t WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                        const std::string& value, const std::string& fileName);

// A key and its value.
using ProfileEntry = std::pair<std::string, std::string>;

// Sets each key in section as WritePrivateProfileStringA does, one after the other, and
// replaces the file once for them all (not at all where none changes). Nonzero on success;
// nothing is written where any of them could not be.
std::int32_t WriteProfileStrings(const std::string& section,
                                 const std::vector<ProfileEntry>& entries,
                                 const std::string& fileName);

} // namespace platform
