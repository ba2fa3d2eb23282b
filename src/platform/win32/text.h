#pragma once

#include <string>
#include <string_view>

// The program keeps file names in UTF-8 on Windows, so that a folder named in letters outside
// the ANSI code page reaches the system whole; they become UTF-16 at the system's wide calls.
namespace platform {

std::wstring Widen(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// A file name for the system's wide calls; one too long for MAX_PATH is made absolute and
// given the \\?\ prefix that lifts the limit.
std::wstring WidePath(std::string_view utf8);

} // namespace platform
