#include "testfiles.h"

#include "platform/system.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace fs = std::filesystem;

fs::path Native(const std::string& path) {
    return fs::path(std::u8string(path.begin(), path.end()));
}

std::string FromNative(const fs::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(Native(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteAll(const std::string& path, std::string_view bytes) {
    std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out.flush());
}

TempDir::TempDir() {
    std::random_device random;
    for (;;) {
        const fs::path candidate =
            fs::temp_directory_path() / ("tallimer-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = FromNative(candidate);
            return;
        }
        if (error)
            std::abort();
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(Native(path_), ignored);
}

std::string TempDir::file(std::string_view name) const {
    return path_ + platform::PathSeparator + std::string(name);
}

std::string TempDir::listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Native(path_)))
        names.push_back(FromNative(entry.path().filename()));
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

bool Needs(bool present) {
    const char* ci = std::getenv("CI");
    return present || (ci != nullptr && std::string_view(ci) == "true");
}

#ifndef _WIN32
namespace {

bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

ReadOnlyFolder::ReadOnlyFolder(const std::string& path) : path_(path) {
    if (!Run("mount --bind '" + path + "' '" + path + "'"))
        return;
    mounted_ = true;
    if (!Run("mount -o remount,bind,ro '" + path + "'")) {
        Run("umount '" + path + "'");
        mounted_ = false;
    }
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (mounted_)
        Run("umount '" + path_ + "'");
}

bool ReadOnlyFoldersWork() {
    static const bool work = [] {
        const TempDir probe;
        const ReadOnlyFolder folder(probe.path());
        return folder.ok() && !WriteAll(probe.file("probe"), "x");
    }();
    return work;
}
#endif
