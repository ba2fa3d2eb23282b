#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Access to the settings file, one key at a time.
namespace modMisc {

// The key's value, at most 254 characters; the empty text for anything missing.
QString ReadSetting(const QString& section, const QString& key, const QString& file);

// Nonzero on success. Creates the file and the section when they are missing.
qint16 WriteSetting(const QString& section, const QString& key, const QString& value,
                    const QString& file);

// Conversions of what the file holds: blanks around a number with an optional fraction,
// rounded halves to even; anything else, and a number out of range, fails.
std::optional<qint32> ToInterval(const QString& text);
std::optional<qint16> ToCheckValue(const QString& text);

} // namespace modMisc
