#pragma once

#include <string_view>

// Blanks, where the program's text formats allow them around a name or a number: spaces
// and tabs, nothing else.
namespace base {

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The text without the blanks at either end.
constexpr std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return text.substr(text.size());
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace base
