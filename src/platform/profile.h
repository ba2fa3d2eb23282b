#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Settings files of the profile (INI) form, read and written key by key with 8-bit text.
namespace platform {

// Copies the value of key in section (or the default when there is none, or it is empty)
// into buffer, cut to size - 1 characters and NUL-terminated; returns the count copied.
// Names match without regard to ASCII case or surrounding blanks.
quint32 GetPrivateProfileStringA(const QByteArray& section, const QByteArray& key,
                                 const QByteArray& defaultValue, char* buffer, quint32 size,
                                 const QString& fileName);

// Sets key in section to value, creating the file and the section when they are missing and
// leaving every other line as it stands. Nonzero on success.
qint32 WritePrivateProfileStringA(const QByteArray& section, const QByteArray& key,
                                  const QByteArray& value, const QString& fileName);

} // namespace platform
