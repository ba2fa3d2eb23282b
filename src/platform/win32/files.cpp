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

// The basic information of an open file (its attributes and times). Asked alone: the whole
// record that GetFileInformationByHandle fills also looks up the file's name and its volume's
// serial number, which under Wine means a look at every drive and a call to another process.
std::optional<FILE_BASIC_INFO> BasicInfo(HANDLE handle) {
    FILE_BASIC_INFO info{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &info, sizeof info))
        return std::nullopt;
    return info;
}

// A file on a disk, not a folder, a device or a pipe.
bool IsDiskFile(HANDLE handle) {
    const auto info = BasicInfo(handle);
    return GetFileType(handle) == FILE_TYPE_DISK && info &&
           !(info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY);
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

// The file that replacing a path changes, found through a handle to what the path names now.
struct Target {
    std::string path; // where the path's links lead, so that a link stays a link
    DWORD attributes; // INVALID_FILE_ATTRIBUTES: there is no file yet
};

// The path of the open file, without the system's long prefix (WidePath puts it back where a
// name needs it).
std::optional<std::string> FinalPath(HANDLE file) {
    std::wstring target(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(file, target.data(), DWORD(target.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= target.size())
        return std::nullopt;
    target.resize(n);
    if (target.starts_with(L"\\\\?\\UNC\\"))
        return "\\\\" + Utf8(std::wstring_view(target).substr(8));
    if (target.starts_with(L"\\\\?\\"))
        return Utf8(std::wstring_view(target).substr(4));
    return Utf8(target);
}

// Where the last replacement through a path was put, and that file's times right after: the
// same times at the path next time mean the same file, neither moved nor linked to anew since
// (either changes its change time), so its links still lead where they led. Asking the system
// where they lead costs a look at every drive under Wine, each second.
struct Placed {
    std::string path;
    std::string final;
    FILE_BASIC_INFO info{};
};
Placed lastPlaced;

bool SameTimes(const FILE_BASIC_INFO& a, const FILE_BASIC_INFO& b) {
    return a.CreationTime.QuadPart == b.CreationTime.QuadPart &&
           a.LastWriteTime.QuadPart == b.LastWriteTime.QuadPart &&
           a.ChangeTime.QuadPart == b.ChangeTime.QuadPart;
}

std::optional<std::string> FinalPathOf(const std::string& path, HANDLE file,
                                       const FILE_BASIC_INFO& info) {
    if (lastPlaced.path == path && SameTimes(lastPlaced.info, info))
        return lastPlaced.final;
    return FinalPath(file);
}

// Nothing where no file is yet, as long as nothing else stands at the name: a link that leads
// nowhere gives nothing, as on Linux, for what it stands for is missing.
std::optional<Target> NewTarget(const std::string& path, DWORD openError) {
    if (openError != ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    // Windows shows such a link as a reparse point; Wine shows it as nothing at all, which an
    // exclusive create finds.
    if (GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    const OwnedFile probe(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return probe ? std::optional(Target{path, INVALID_FILE_ATTRIBUTES}) : std::nullopt;
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

bool Exists(const std::string& path) {
    return NamesAFile(path) &&
           GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFolders(const std::string& path) {
    if (!NamesAFile(path))
        return false;
    // Each folder from the top down; those there already, or above what this user may see
    // (a share's name, a drive), refuse and are passed by: the last one tells.
    const std::wstring wide = WidePath(path);
    for (size_t at = wide.find_first_of(L"\\/", wide.starts_with(L"\\\\") ? 4 : 0);
         at != std::wstring::npos; at = wide.find_first_of(L"\\/", at + 1))
        CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(wide.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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
    std::optional<Target> target;
    {
        // One look at what the path names: a device or a pipe is written in place, a file on
        // a disk is replaced where its links lead.
        const OwnedFile existing(OpenExisting(path, 0));
        if (!existing) {
            target = NewTarget(path, GetLastError());
        } else if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
            const OwnedFile device(OpenExisting(path, GENERIC_WRITE));
            return device && WriteAll(device.get(), content);
        } else if (const auto info = BasicInfo(existing.get())) {
            if (const auto final = FinalPathOf(path, existing.get(), *info))
                target = Target{*final, info->FileAttributes};
        }
    }
    // A folder is no file, and a file marked read-only stays as it is.
    if (!target || (target->attributes != INVALID_FILE_ATTRIBUTES &&
                    (target->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))))
        return false;
    // Shared with nobody but a rename while it is written: another writer cannot open it, and
    // a stray one left by a killed process is simply emptied and taken over.
    const std::wstring temporary = WidePath(TemporaryFor(target->path));
    OwnedFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE | FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!file)
        return false;
    bool ok = WriteAll(file.get(), content);
    // The new file keeps what the user set on the old one (hidden, say).
    if (target->attributes != INVALID_FILE_ATTRIBUTES && (target->attributes & KeptAttributes))
        ok = ok && SetAttributes(file.get(),
                                 (target->attributes & KeptAttributes) | FILE_ATTRIBUTE_ARCHIVE);
    if (flush == Flush::BeforeReplacing)
        ok = ok && FlushFileBuffers(file.get());
    // Moved while still open, so that no other writer can step in between.
    ok = ok && MoveFileExW(temporary.c_str(), WidePath(target->path).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    const auto placed = ok ? BasicInfo(file.get()) : std::nullopt;
    lastPlaced = placed ? Placed{path, target->path, *placed} : Placed{};
    if (!ok)
        DeleteFileW(temporary.c_str());
    return file.Reset() && ok;
}

} // namespace platform
