#include "platform/files.h"

#include "platform/win32/owned.h"
#include "platform/win32/text.h"

#include <array>
#include <optional>
#include <windows.h>

namespace platform {
namespace {

// What a replaced file keeps of the attributes its owner gave it. Its content is new, so it
// is to be archived again, whatever the old file said.
constexpr DWORD KeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE OpenExisting(const std::string& path, DWORD access) {
    return CreateFileW(WidePath(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

DWORD AttributesOf(const std::string& path) {
    return GetFileAttributesW(WidePath(path).c_str());
}

// A file on a disk, not a folder, a device or a pipe.
bool IsDiskFile(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteAll(HANDLE handle, std::string_view content) {
    while (!content.empty()) {
        DWORD written = 0;
        const auto chunk = DWORD(std::min<size_t>(content.size(), 1 << 20));
        if (!WriteFile(handle, content.data(), chunk, &written, nullptr) || written == 0)
            return false;
        content.remove_prefix(written);
    }
    return true;
}

// The file that replacing path changes: where its links lead, so that a link stays a link. A
// link that leads nowhere gives nothing, as on Linux: what it stands for is missing.
std::optional<std::string> TargetOf(const std::string& path) {
    if (AttributesOf(path) == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        // Wine shows a link that leads nowhere as no file at all; an exclusive create finds it.
        const OwnedFile probe(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        return probe ? std::optional(path) : std::nullopt;
    }
    const OwnedFile file(OpenExisting(path, 0));
    if (!file)
        return std::nullopt;
    std::wstring target(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(file.get(), target.data(), DWORD(target.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= target.size())
        return std::nullopt;
    target.resize(n);
    // The system's own long form, \\?\C:\... or \\?\UNC\server\...; WidePath puts it back
    // where a name needs it.
    if (target.starts_with(L"\\\\?\\UNC\\"))
        return "\\\\" + Utf8(std::wstring_view(target).substr(8));
    if (target.starts_with(L"\\\\?\\"))
        return Utf8(std::wstring_view(target).substr(4));
    return Utf8(target);
}

// Gives the open file the attributes; the times stay as they are.
bool SetAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO info{};
    info.FileAttributes = attributes;
    return SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info) != FALSE;
}

} // namespace

bool IsRegularFile(const std::string& path) {
    if (!NamesAFile(path))
        return false;
    const OwnedFile file(OpenExisting(path, 0));
    return file && IsDiskFile(file.get());
}

std::optional<std::string> ReadRegularFile(const std::string& path) {
    if (!NamesAFile(path))
        return std::nullopt;
    const OwnedFile file(OpenExisting(path, GENERIC_READ));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::string();
        return std::nullopt;
    }
    if (!IsDiskFile(file.get()))
        return std::nullopt;
    std::string content;
    std::array<char, 65536> chunk{};
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.get(), chunk.data(), DWORD(chunk.size()), &n, nullptr))
            return std::nullopt;
        if (n == 0)
            return content;
        content.append(chunk.data(), n);
    }
}

std::string TemporaryFor(const std::string& target) {
    const auto slash = target.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + ".tallimer-new";
}

bool ReplaceFileContents(const std::string& path, std::string_view content, Flush flush) {
    if (!NamesAFile(path))
        return false;
    {
        // A device or a pipe is written in place.
        const OwnedFile existing(OpenExisting(path, 0));
        if (existing && !IsDiskFile(existing.get())) {
            const OwnedFile device(OpenExisting(path, GENERIC_WRITE));
            return device && WriteAll(device.get(), content);
        }
    }
    const std::optional<std::string> target = TargetOf(path);
    if (!target)
        return false;
    // A folder is no file, and a file marked read-only stays as it is.
    const DWORD attributes = AttributesOf(*target);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
    // Shared with nobody but a rename while it is written: another writer cannot open it, and
    // a stray one left by a killed process is simply emptied and taken over.
    const std::string temporary = TemporaryFor(*target);
    const std::wstring wideTemporary = WidePath(temporary);
    OwnedFile file(CreateFileW(wideTemporary.c_str(),
                               GENERIC_WRITE | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_DELETE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    bool ok = WriteAll(file.get(), content);
    // The new file keeps what the user set on the old one (hidden, say).
    if (exists)
        ok =
            ok && SetAttributes(file.get(), (attributes & KeptAttributes) | FILE_ATTRIBUTE_ARCHIVE);
    if (flush == Flush::BeforeReplacing)
        ok = ok && FlushFileBuffers(file.get());
    // Moved while still open, so that no other writer can step in between.
    ok = ok && MoveFileExW(wideTemporary.c_str(), WidePath(*target).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileW(wideTemporary.c_str());
    return file.Reset() && ok;
}

} // namespace platform
