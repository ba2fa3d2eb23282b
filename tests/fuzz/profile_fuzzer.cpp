// Feeds arbitrary bytes to the settings reader and writer as a settings file. Every read
// must stay within its buffer, every write must read back, and keys written together leave
// the bytes that writing them one after the other leaves.
#include "platform/files.h"
#include "platform/profile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

namespace {

const std::string& File() {
    static const std::string file = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "profile-fuzz-XXXXXX");
        const char* dir = mkdtemp(pattern.data());
        if (dir == nullptr)
            abort();
        return std::string(dir) + "/Settings.ini";
    }();
    return file;
}

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    Check(platform::ReplaceFileContents(File(), content));

    static const char* const keys[][2] = {{"Paths", "BootFile"},          {"Paths", "Output File"},
                                          {"Options", "Interval"},        {"Options", "AutoStart"},
                                          {"Options", "Use file method"}, {"x", "y"}};
    char buffer[255];
    for (const auto& key : keys) {
        const std::uint32_t count =
            platform::GetPrivateProfileStringA(key[0], key[1], "", buffer, sizeof buffer, File());
        Check(count < sizeof buffer && buffer[count] == '\0');
    }

    const auto& target = keys[size % std::size(keys)];
    const auto& next = keys[(size + 1) % std::size(keys)];
    Check(platform::WritePrivateProfileStringA(target[0], target[1], "42", File()) != 0);
    const std::uint32_t count =
        platform::GetPrivateProfileStringA(target[0], target[1], "", buffer, sizeof buffer, File());
    Check(std::string(buffer, count) == "42");
    Check(platform::WritePrivateProfileStringA(target[0], next[1], "7", File()) != 0);
    const auto oneByOne = platform::ReadRegularFile(File());

    Check(platform::ReplaceFileContents(File(), content));
    Check(platform::WriteProfileStrings(target[0], {{target[1], "42"}, {next[1], "7"}}, File()) !=
          0);
    Check(platform::ReadRegularFile(File()) == oneByOne);
    return 0;
}
