#include "platform/files.h"
#include "platform/system.h"
#include "testfiles.h"

#include <doctest/doctest.h>
#include <filesystem>

TEST_CASE("replacing a file leaves only the new content") {
    TempDir dir;
    const std::string target = dir.file("uptime.txt");
    CHECK(platform::ReplaceFileContents(target, "1\r\n"));
    CHECK(platform::ReplaceFileContents(target, "22\r\n"));
    CHECK(ReadAll(target) == "22\r\n");
    CHECK(dir.listing() == "uptime.txt");
}

// A temporary left by a killed writer is taken over, not added to.
TEST_CASE("replacing takes over a stray temporary") {
    TempDir dir;
    const std::string target = dir.file("Settings.ini");
    REQUIRE(WriteAll(platform::TemporaryFor(target), "half of an old wri"));
    for (const auto flush : {platform::Flush::No, platform::Flush::BeforeReplacing}) {
        CHECK(platform::ReplaceFileContents(target, "new\r\n", flush));
        CHECK(ReadAll(target) == "new\r\n");
        CHECK(dir.listing() == "Settings.ini");
    }
}

TEST_CASE("paths that name no file") {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    for (const std::string& path :
         {std::string(), dir.file("folder"), dir.file("a") + std::string(1, '\0') + "b",
          dir.file("missing") + platform::PathSeparator + "x.txt"}) {
        CAPTURE(path);
        CHECK(!platform::ReplaceFileContents(path, "x"));
        CHECK(!platform::IsRegularFile(path));
    }
    CHECK(!platform::ReadRegularFile(std::string()).has_value());
    CHECK(!platform::ReadRegularFile(dir.file("folder")).has_value());
    CHECK(platform::ReadRegularFile(dir.file("absent")) == std::string());
    CHECK(dir.listing() == "folder");
}

TEST_CASE("reading a regular file gives all its bytes") {
    TempDir dir;
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    REQUIRE(WriteAll(dir.file("f"), bytes));
    CHECK(platform::IsRegularFile(dir.file("f")));
    CHECK(platform::ReadRegularFile(dir.file("f")) == bytes);
}
