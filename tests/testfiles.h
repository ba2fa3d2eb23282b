#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A file name as the program keeps it (UTF-8 on Windows) as the standard library takes one,
// and back.
std::filesystem::path Native(const std::string& path);
std::string FromNative(const std::filesystem::path& path);

// Whole files, for tests.
std::string ReadAll(const std::string& path);
bool WriteAll(const std::string& path, std::string_view bytes);

// A folder of its own for a test, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const;
    // The names of the files in the folder, sorted, hidden ones included.
    std::string listing() const;

private:
    std::string path_;
};

// For a test case that needs something of the machine: doctest::skip(!Needs(present)) skips it
// where that is missing, except on CI (CI=true), which must have it: there the test runs and
// fails.
bool Needs(bool present);

#ifndef _WIN32
// Makes a folder refuse writes even for root (a read-only bind mount) for the life of this
// object. ok() is false where the machine does not allow it.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool ok() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};
// Whether this machine makes read-only folders of that kind.
bool ReadOnlyFoldersWork();
#endif
