#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The system's 8-bit code page, in which the program keeps all its text.
namespace platform {

std::string FromUtf16(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

// A file name written in the code page, as a settings file holds it, as the program's file
// functions take it: the same on Linux, in UTF-8 on Windows.
std::string FileNameFromText(std::string_view text);

// The longest start of text of at most maxBytes bytes that ends between two characters.
std::string_view CutToWholeCharacters(std::string_view text, std::size_t maxBytes);

} // namespace platform
