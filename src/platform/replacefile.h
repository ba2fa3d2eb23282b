#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Replaces the whole content of the file at path so that a reader sees either the old or
// the new content, never a part: the bytes go to a temporary file in the same folder, which
// is then renamed over the old one with the old one's permissions. A symbolic link is
// followed, so the link stays and its target gets the content. A path that names something
// other than a regular file (a FIFO, a device) is written in place, without waiting for a
// reader. Returns false, leaving the old content as it was, when anything fails.
bool ReplaceFileContents(const QString& path, const QByteArray& content);

} // namespace platform
