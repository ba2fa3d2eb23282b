#include "platform/profile.h"

#include "base/blanks.h"
#include "platform/codepage.h"
#include "platform/files.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

std::string Trimmed(std::string_view text) {
    return std::string(base::TrimBlanks(text));
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

// A file saved as "Unicode" (UTF-16 with a byte-order mark) is read through the 8-bit code
// page and written back in its own encoding; any other file is 8-bit text as it stands.
struct Encoding {
    size_t unit = 1; // bytes per code unit
    bool bigEndian = false;
};

struct Line {
    std::string text; // without its line end, in 8-bit text
    std::string raw;  // the same as the file holds it
    std::string end;  // "\r\n", "\n", "\r", or empty for a last line without one; as held
};

struct Document {
    Encoding encoding;
    std::string head; // a UTF-16 byte-order mark
    std::vector<Line> lines;
    std::string tail; // a lone byte after the last whole UTF-16 unit
};

char16_t UnitAt(std::string_view bytes, size_t at, const Encoding& encoding) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    if (encoding.unit == 1)
        return first;
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return encoding.bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
}

std::string Decode(std::string_view raw, const Encoding& encoding) {
    if (encoding.unit == 1)
        return std::string(raw);
    std::u16string units;
    for (size_t at = 0; at + 1 < raw.size(); at += 2)
        units.push_back(UnitAt(raw, at, encoding));
    return FromUtf16(units);
}

std::string Encode(std::string_view text, const Encoding& encoding) {
    if (encoding.unit == 1)
        return std::string(text);
    std::string raw;
    for (const char16_t unit : ToUtf16(text)) {
        const char high = char(unit >> 8);
        const char low = char(unit & 0xFF);
        raw.push_back(encoding.bigEndian ? high : low);
        raw.push_back(encoding.bigEndian ? low : high);
    }
    return raw;
}

Line MakeLine(const std::string& text, std::string_view end, const Encoding& encoding) {
    return {text, Encode(text, encoding), Encode(end, encoding)};
}

Document Parse(std::string_view content) {
    Document document;
    Encoding& encoding = document.encoding;
    if (content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF")) {
        encoding = {2, content.starts_with('\xFE')};
        document.head = content.substr(0, 2);
    }
    const size_t unit = encoding.unit;
    const size_t first = document.head.size();
    const size_t size = first + (content.size() - first) / unit * unit;
    document.tail = content.substr(size);
    const auto line = [&](size_t from, size_t to, size_t endUnits) {
        const std::string_view raw = content.substr(from, to - from);
        document.lines.push_back({Decode(raw, encoding), std::string(raw),
                                  std::string(content.substr(to, endUnits * unit))});
    };
    size_t start = first;
    for (size_t at = first; at < size; at += unit) {
        const char16_t c = UnitAt(content, at, encoding);
        if (c != u'\n' && c != u'\r')
            continue;
        const bool crlf =
            c == u'\r' && at + unit < size && UnitAt(content, at + unit, encoding) == u'\n';
        line(start, at, crlf ? 2 : 1);
        at += crlf ? unit : 0;
        start = at + unit;
    }
    if (start < size)
        line(start, size, 0);
    return document;
}

std::string Serialize(const Document& document) {
    std::string content = document.head;
    for (const Line& line : document.lines)
        content += line.raw + line.end;
    return content + document.tail;
}

// The line's text as a header or key sees it: without a byte-order mark on the first line.
std::string_view Significant(const std::vector<Line>& lines, size_t index) {
    std::string_view text = lines[index].text;
    if (index == 0 && text.starts_with(ByteOrderMark))
        text.remove_prefix(ByteOrderMark.size());
    return text;
}

std::optional<std::string> SectionName(std::string_view text) {
    const std::string trimmed = Trimmed(text);
    if (!trimmed.starts_with('['))
        return std::nullopt;
    const auto close = trimmed.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return Trimmed(std::string_view(trimmed).substr(1, close - 1));
}

struct Entry {
    std::string key;
    std::string value;
};

std::optional<Entry> KeyAndValue(std::string_view text) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = text.substr(equals + 1);
    // A NUL ends the value, as it ends the string the value is read into.
    rest = rest.substr(0, rest.find('\0'));
    std::string value = Trimmed(rest);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return Entry{Trimmed(text.substr(0, equals)), value};
}

// Where a section's lines are: its header, and one past its last line.
struct SectionRange {
    size_t header;
    size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section) {
    const std::string wanted = Trimmed(section);
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(Significant(lines, i));
        if (!name || !SameName(*name, wanted))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && !SectionName(Significant(lines, end)))
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

// A key's line in a section: where it is, and what it says.
struct KeyLine {
    size_t index;
    Entry entry;
};

std::optional<KeyLine> FindKey(const std::vector<Line>& lines, const SectionRange& range,
                               std::string_view key) {
    const std::string wanted = Trimmed(key);
    for (size_t i = range.header + 1; i < range.end; ++i) {
        auto entry = KeyAndValue(lines[i].text);
        if (entry && SameName(entry->key, wanted))
            return KeyLine{i, std::move(*entry)};
    }
    return std::nullopt;
}

// The first line end the file uses, in 8-bit text.
std::string LineEndOf(const Document& document) {
    for (const Line& line : document.lines)
        if (!line.end.empty())
            return Decode(line.end, document.encoding);
    return "\r\n";
}

bool Writable(std::string_view text) {
    return text.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

// Sets key in section, adding the section at the end and the key after the section's last line
// that is not blank where they are missing; false where the key holds the value already.
bool SetKey(Document& document, const std::string& section, const std::string& key,
            const std::string& value) {
    std::vector<Line>& lines = document.lines;
    const Encoding& encoding = document.encoding;
    const auto range = FindSection(lines, section);
    if (const auto found = range ? FindKey(lines, *range, key) : std::nullopt) {
        if (found->entry.value == value)
            return false;
        Line& line = lines[found->index];
        line.text = found->entry.key + '=' + value;
        line.raw = Encode(line.text, encoding);
        return true;
    }
    std::string end = LineEndOf(document);
    size_t at = lines.size();
    if (range) {
        at = range->header + 1;
        for (size_t i = range->header + 1; i < range->end; ++i)
            if (!Trimmed(lines[i].text).empty())
                at = i + 1;
    }
    // A lone CR before a blank line that ends in LF would read back as one CRLF: the blank
    // line would be gone.
    if (end == "\r" && at < lines.size() && lines[at].text.empty() &&
        Decode(lines[at].end, encoding).starts_with('\n'))
        end = "\r\n";
    std::vector<Line> added;
    if (!range)
        added.push_back(MakeLine('[' + section + ']', end, encoding));
    added.push_back(MakeLine(key + '=' + value, end, encoding));
    if (at > 0 && lines[at - 1].end.empty())
        lines[at - 1].end = Encode(end, encoding);
    lines.insert(lines.begin() + std::ptrdiff_t(at), added.begin(), added.end());
    return true;
}

} // namespace

std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                       const std::string& defaultValue, char* buffer,
                                       std::uint32_t size, const std::string& fileName) {
    if (buffer == nullptr || size == 0)
        return 0;
    std::string value;
    if (const auto content = ReadRegularFile(fileName)) {
        const std::vector<Line> lines = Parse(*content).lines;
        if (const auto range = FindSection(lines, section))
            if (const auto found = FindKey(lines, *range, key))
                value = found->entry.value;
    }
    if (value.empty())
        value = defaultValue;
    const auto count = std::uint32_t(std::min<size_t>(value.size(), size_t(size) - 1));
    std::memcpy(buffer, value.data(), count);
    buffer[count] = '\0';
    return count;
}

std::int32_t WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                        const std::string& value, const std::string& fileName) {
    return WriteProfileStrings(section, {{key, value}}, fileName);
}

std::int32_t WriteProfileStrings(const std::string& section,
                                 const std::vector<ProfileEntry>& entries,
                                 const std::string& fileName) {
    if (Trimmed(section).empty() || !Writable(section) || section.find(']') != std::string::npos)
        return 0;
    for (const auto& [key, value] : entries)
        if (Trimmed(key).empty() || !Writable(key) || !Writable(value) ||
            key.find('=') != std::string::npos)
            return 0;
    const auto content = ReadRegularFile(fileName);
    if (!content)
        return 0;
    Document document = Parse(*content);
    bool changed = false;
    for (const auto& [key, value] : entries)
        changed = SetKey(document, section, key, value) || changed;
    // The options are the user's: on disk before they replace the old ones.
    return !changed || ReplaceFileContents(fileName, Serialize(document), Flush::BeforeReplacing)
               ? 1
               : 0;
}

} // namespace platform
