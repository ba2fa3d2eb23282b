#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Access to the settings file, one key at a time.
namespace modMisc {

// The key's value, at most 254 characters; the empty text for anything missing.
std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file);

// Nonzero on success. Creates the file and the section when they are missing.
std::int16_t WriteSetting(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& file);

// Several keys of a section, as WriteSetting would write them one after the other, in one
// replacement of the file. Nonzero on success.
std::int16_t WriteSettings(const std::string& section,
                           const std::vector<std::pair<std::string, std::string>>& entries,
                           const std::string& file);

// Conversions of what the file holds: blanks around a number with an optional fraction,
// rounded halves to even; anything else, and a number out of range, fails.
std::optional<std::int32_t> ToInterval(std::string_view text);
std::optional<std::int16_t> ToCheckValue(std::string_view text);

} // namespace modMisc
