#include "settings/modmisc.h"

#include "platform/numeric.h"
#include "platform/profile.h"

#include <array>

namespace modMisc {
namespace {

constexpr quint32 BufferSize = 255;

} // namespace

QString ReadSetting(const QString& section, const QString& key, const QString& file) {
    std::array<char, BufferSize> buffer{};
    const quint32 count = platform::GetPrivateProfileStringA(
        section.toLocal8Bit(), key.toLocal8Bit(), "", buffer.data(), BufferSize, file);
    return QString::fromLocal8Bit(buffer.data(), qsizetype(count));
}

qint16 WriteSetting(const QString& section, const QString& key, const QString& value,
                    const QString& file) {
    return qint16(platform::WritePrivateProfileStringA(section.toLocal8Bit(), key.toLocal8Bit(),
                                                       value.toLocal8Bit(), file));
}

std::optional<qint32> ToInterval(const QString& text) {
    const auto number = platform::ParseNumber(text);
    return number ? platform::ToInt32(*number) : std::nullopt;
}

std::optional<qint16> ToCheckValue(const QString& text) {
    const auto number = platform::ParseNumber(text);
    return number ? platform::ToInt16(*number) : std::nullopt;
}

} // namespace modMisc
