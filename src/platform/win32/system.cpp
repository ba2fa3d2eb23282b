#include "platform/system.h"

#include "platform/files.h"
#include "platform/win32/text.h"

#include <windows.h>

#include <shlobj.h> // after windows.h, which it needs

namespace platform {
namespace {

// FILETIME counts 100 ns from 1601; the Unix epoch is this many of them later.
constexpr std::int64_t EpochAsFileTime = 116444736000000000;

} // namespace

std::string ApplicationFolder() {
    // In the wide form, whatever its letters and however long it is.
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, program.data(), DWORD(program.size()));
        if (n == 0)
            return ".";
        if (n < program.size()) {
            program.resize(n);
            break;
        }
        if (program.size() >= 32768)
            return ".";
        program.resize(program.size() * 2);
    }
    return Utf8(program.substr(0, program.find_last_of(L"\\/")));
}

namespace {

std::wstring KnownFolder(int id) {
    std::wstring path(MAX_PATH, L'\0');
    if (FAILED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path.data())))
        return {};
    path.resize(path.find(L'\0'));
    return path;
}

// Whether the folder is the root or lies within it, as Windows compares names: ignoring case.
bool Within(const std::wstring& folder, std::wstring root) {
    if (root.empty())
        return false;
    if (root.back() != L'\\')
        root += L'\\';
    return folder.size() >= root.size() &&
           CompareStringOrdinal(folder.c_str(), int(root.size()), root.c_str(), int(root.size()),
                                TRUE) == CSTR_EQUAL;
}

// The folder as the file system names it: an 8.3 name in full, a junction or a symbolic link
// followed to where it leads. As given where the system cannot say.
std::wstring Resolved(const std::wstring& folder) {
    const HANDLE handle =
        CreateFileW(WidePath(Utf8(folder)).c_str(), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr); // a folder opens only with this flag
    if (handle == INVALID_HANDLE_VALUE)
        return folder;
    std::wstring path(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()), 0);
    if (n >= path.size()) {
        path.resize(n + 1);
        n = GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()), 0);
    }
    CloseHandle(handle);
    if (n == 0 || n >= path.size())
        return folder;
    path.resize(n);
    // \\?\C:\... for a drive, \\?\UNC\server\share\... for a share.
    if (path.starts_with(L"\\\\?\\UNC\\"))
        return L"\\" + path.substr(7);
    return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
}

// The folder Tallimer's installer put this user's installation in, in whichever folder it was
// told: the entry that Apps & features shows.
std::wstring InstallLocation() {
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallimer";
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"InstallLocation", RRF_RT_REG_SZ, nullptr, nullptr,
                     &bytes) != ERROR_SUCCESS ||
        bytes < sizeof(wchar_t))
        return {};
    std::wstring location(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"InstallLocation", RRF_RT_REG_SZ, nullptr,
                     location.data(), &bytes) != ERROR_SUCCESS)
        return {};
    location.resize(location.find(L'\0'));
    return location.empty() ? location : Resolved(location);
}

bool IsInstallLocation(const std::wstring& folder) {
    const std::wstring location = InstallLocation();
    return !folder.empty() && !location.empty() &&
           CompareStringOrdinal(folder.c_str(), int(folder.size()), location.c_str(),
                                int(location.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

FolderFacts FactsOf(const std::string& folder) {
    const std::wstring own = Resolved(Widen(folder));
    const std::string resolved = Utf8(own);
    std::wstring wide = own;
    if (!wide.empty() && wide.back() != L'\\')
        wide += L'\\';
    // Program Files (both of a 64-bit system, whichever this program is), and the folder that
    // installers for one user take.
    std::wstring native(MAX_PATH, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", native.data(), MAX_PATH);
    native.resize(length < MAX_PATH ? length : 0);
    const std::wstring local = KnownFolder(CSIDL_LOCAL_APPDATA);
    const bool installed =
        Within(wide, KnownFolder(CSIDL_PROGRAM_FILES)) ||
        Within(wide, KnownFolder(CSIDL_PROGRAM_FILESX86)) || Within(wide, native) ||
        (!local.empty() && Within(wide, local + L"\\Programs")) || IsInstallLocation(own);
    if (installed)
        return {true, false, resolved}; // asked nothing: an installed copy never writes there
    // The rights that count are the system's, for this user, on this folder: try them.
    const std::string probeName =
        Utf8(wide) + ".tallimer-probe-" + std::to_string(GetCurrentProcessId());
    const HANDLE probe =
        CreateFileW(WidePath(probeName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const bool writable = probe != INVALID_HANDLE_VALUE;
    if (writable)
        CloseHandle(probe);
    return {false, writable, resolved};
}

void ReportProblem(const std::string& text) {
    const HANDLE log = RegisterEventSourceW(nullptr, L"Tallimer");
    if (log == nullptr)
        return;
    const std::wstring wide = Widen(text);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(log, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(log);
}

std::string UserFolder() {
    const std::wstring local = KnownFolder(CSIDL_LOCAL_APPDATA);
    return local.empty() ? std::string() : Utf8(local) + "\\Tallimer";
}

std::uint64_t SystemTickCounter::GetTickCount64() const {
    return ::GetTickCount64();
}

std::optional<BootFileInfo> SystemFileService::GetFile(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!NamesAFile(path) ||
        !GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const std::int64_t stamp = std::int64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                               data.ftLastWriteTime.dwLowDateTime;
    const auto ms = (stamp - EpochAsFileTime) / 10000;
    return BootFileInfo{Instant(std::chrono::milliseconds(ms))};
}

} // namespace platform
