#include "settings/modmisc.h"

#include "base/numeric.h"
#include "platform/profile.h"

#include <array>

namespace modMisc {
namespace {

constexpr std::uint32_t BufferSize = 255;

} // namespace

std::string ReadSetting(const std::string& section, const std::string& key,
                        const std::string& file) {
    std::array<char, BufferSize> buffer{};
    const std::uint32_t count =
        platform::GetPrivateProfileStringA(section, key, "", buffer.data(), BufferSize, file);
    return std::string(buffer.data(), count);
}

std::int16_t WriteSetting(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& file) {
    return std::int16_t(platform::WritePrivateProfileStringA(section, key, value, file));
}

std::int16_t WriteSettings(const std::string& section,
                           const std::vector<std::pair<std::string, std::string>>& entries,
                           const std::string& file) {
    return std::int16_t(platform::WriteProfileStrings(section, entries, file));
}

std::optional<std::int32_t> ToInterval(std::string_view text) {
    const auto number = base::ParseNumber(text);
    return number ? base::ToInt32(*number) : std::nullopt;
}

std::optional<std::int16_t> ToCheckValue(std::string_view text) {
    const auto number = base::ParseNumber(text);
    return number ? base::ToInt16(*number) : std::nullopt;
}

} // namespace modMisc
