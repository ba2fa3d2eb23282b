#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

enum class Flush {
    No,              // a reader sees the old or the new content, never a part
    BeforeReplacing, // and after a power loss too: the new content is on disk before it counts
};

// Replaces the whole content of the file at path so that a reader sees either the old or
// the new content, never a part: the bytes go to a temporary file beside it, which is then
// renamed over the old one with the old one's permissions. The temporary has a fixed name
// per target, so a process killed midway leaves at most one behind, which the next write
// takes over. A symbolic link is followed, so the link stays and its target gets the
// content. A path that names something other than a regular file (a FIFO, a device) is
// written in place, without waiting for a reader. Returns false, leaving the old content as
// it was, when anything fails, also while another process is replacing the same file.
bool ReplaceFileContents(const QString& path, const QByteArray& content, Flush flush = Flush::No);

// The name of the temporary that replacing the file at target goes through.
QByteArray TemporaryFor(const QByteArray& target);

} // namespace platform
