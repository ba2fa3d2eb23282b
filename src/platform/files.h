#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whole files, read and replaced in one piece. Paths are the system's file names: bytes on
// Linux, UTF-8 on Windows (whose 8-bit code page may lack a folder's letters; see
// FileNameFromText). An empty path, or one with a NUL inside (which would silently name
// another file), names no file.
namespace platform {

// Whether the system's calls can take path as a file's name: it is not empty and has no NUL.
inline bool NamesAFile(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

// Whether path names a regular file (following links): not a folder, a device or a FIFO.
bool IsRegularFile(const std::string& path);

// Whether anything is at path, a link that points nowhere included.
bool Exists(const std::string& path);

// Makes the folder, and those above it that are missing, for this user alone; true when it is
// there afterwards.
bool MakeFolders(const std::string& path);

// The bytes of a regular file; the empty text for a path where nothing is; nothing for a file
// that cannot be read or is not a regular file (a FIFO or a device is never opened in a way
// that could wait).
std::optional<std::string> ReadRegularFile(const std::string& path);

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
bool ReplaceFileContents(const std::string& path, std::string_view content,
                         Flush flush = Flush::No);

// The name of the temporary that replacing the file at target goes through.
std::string TemporaryFor(const std::string& target);

} // namespace platform
