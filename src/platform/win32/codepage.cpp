// The 8-bit code page here is the system's ANSI code page.
#include "platform/codepage.h"

#include "platform/win32/text.h"

#include <algorithm>
#include <windows.h>

namespace platform {

std::string FromUtf16(std::u16string_view text) {
    if (text.empty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = int(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, size, out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    if (text.empty())
        return {};
    const int size = int(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::u16string out(size_t(n > 0 ? n : 0), u'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()),
                            n);
    return out;
}

std::string FileNameFromText(std::string_view text) {
    const std::u16string wide = ToUtf16(text);
    return Utf8(std::wstring_view(reinterpret_cast<const wchar_t*>(wide.data()), wide.size()));
}

std::string_view CutToWholeCharacters(std::string_view text, std::size_t maxBytes) {
    size_t at = 0;
    while (at < text.size()) {
        const size_t length = IsDBCSLeadByte(BYTE(text[at])) ? 2 : 1;
        if (at + length > maxBytes)
            break;
        at += length;
    }
    return text.substr(0, std::min(at, text.size()));
}

} // namespace platform
