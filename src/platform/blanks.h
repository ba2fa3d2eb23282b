#pragma once

// Blanks, where the program's text formats allow them around a name or a number: spaces
// and tabs, nothing else.
namespace platform {

template <typename Char> constexpr bool IsBlank(Char c) {
    return c == ' ' || c == '\t';
}

// The view without the blanks at either end; works on QStringView and QByteArrayView.
template <typename View> View TrimBlanks(View text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.sliced(first, last - first);
}

} // namespace platform
