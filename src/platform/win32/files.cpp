#include "platform/files.h"

#include <array>
#include <windows.h>

namespace platform {
namespace {

// An open handle that closes itself.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool Close() {
        const bool closed = !ok() || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

HANDLE OpenExisting(const std::string& path, DWORD access) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

} // namespace

bool IsNormalFile(const std::string& path) {
    if (!NamesAFile(path))
        return false;
    const Handle file(OpenExisting(path, 0));
    return file.ok() && IsDiskFile(file.get());
}

std::optional<std::string> ReadRegularFile(const std::string& path) {
    if (!NamesAFile(path))
        return std::nullopt;
    const Handle file(OpenExisting(path, GENERIC_READ));
    if (!file.ok()) {
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
    // A folder is no file, and a file marked read-only stays as it is.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
    {
        // A device or a pipe is written in place.
        const Handle existing(OpenExisting(path, 0));
        if (existing.ok() && !IsDiskFile(existing.get())) {
            const Handle device(OpenExisting(path, GENERIC_WRITE));
            return device.ok() && WriteAll(device.get(), content);
        }
    }
    // Shared with nobody but a rename while it is written: another writer cannot open it, and
    // a stray one left by a killed process is simply emptied and taken over.
    const std::string temporary = TemporaryFor(path);
    Handle file(CreateFileA(temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.ok())
        return false;
    bool ok = WriteAll(file.get(), content);
    if (flush == Flush::BeforeReplacing)
        ok = ok && FlushFileBuffers(file.get());
    // Moved while still open, so that no other writer can step in between.
    ok = ok && MoveFileExA(temporary.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileA(temporary.c_str());
    return file.Close() && ok;
}

} // namespace platform
