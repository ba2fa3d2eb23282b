#include "platform/profile.h"

#include "platform/blanks.h"
#include "platform/replacefile.h"

#include "platform/nativepath.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

QByteArray Trimmed(QByteArrayView text) {
    return TrimBlanks(text).toByteArray();
}

bool SameName(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
}

// A file saved as "Unicode" (UTF-16 with a byte-order mark) is read through the 8-bit code
// page and written back in its own encoding; any other file is 8-bit text as it stands.
struct Encoding {
    int unit = 1; // bytes per code unit
    bool bigEndian = false;
};

struct Line {
    QByteArray text; // without its line end, in 8-bit text
    QByteArray raw;  // the same as the file holds it
    QByteArray end;  // "\r\n", "\n", "\r", or empty for a last line without one; as held
};

struct Document {
    Encoding encoding;
    QByteArray head; // a UTF-16 byte-order mark
    std::vector<Line> lines;
    QByteArray tail; // a lone byte after the last whole UTF-16 unit
};

char16_t UnitAt(const QByteArray& bytes, qsizetype at, const Encoding& encoding) {
    if (encoding.unit == 1)
        return char16_t(uchar(bytes[at]));
    const auto first = uchar(bytes[at]);
    const auto second = uchar(bytes[at + 1]);
    return encoding.bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
}

QByteArray Decode(const QByteArray& raw, const Encoding& encoding) {
    if (encoding.unit == 1)
        return raw;
    std::u16string units;
    for (qsizetype at = 0; at + 1 < raw.size(); at += 2)
        units.push_back(UnitAt(raw, at, encoding));
    return QString::fromUtf16(units.data(), qsizetype(units.size())).toLocal8Bit();
}

QByteArray Encode(const QByteArray& text, const Encoding& encoding) {
    if (encoding.unit == 1)
        return text;
    QByteArray raw;
    for (const QChar c : QString::fromLocal8Bit(text)) {
        const char16_t unit = c.unicode();
        const char high = char(unit >> 8);
        const char low = char(unit & 0xFF);
        raw.append(encoding.bigEndian ? high : low).append(encoding.bigEndian ? low : high);
    }
    return raw;
}

Line MakeLine(const QByteArray& text, const QByteArray& end, const Encoding& encoding) {
    return {text, Encode(text, encoding), Encode(end, encoding)};
}

Document Parse(const QByteArray& content) {
    Document document;
    Encoding& encoding = document.encoding;
    if (content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF")) {
        encoding = {2, content.startsWith('\xFE')};
        document.head = content.first(2);
    }
    const int unit = encoding.unit;
    const qsizetype first = document.head.size();
    const qsizetype size = first + (content.size() - first) / unit * unit;
    document.tail = content.sliced(size);
    const auto line = [&](qsizetype from, qsizetype to, qsizetype endUnits) {
        const QByteArray raw = content.sliced(from, to - from);
        document.lines.push_back({Decode(raw, encoding), raw, content.sliced(to, endUnits * unit)});
    };
    qsizetype start = first;
    for (qsizetype at = first; at < size; at += unit) {
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

QByteArray Serialize(const Document& document) {
    QByteArray content = document.head;
    for (const Line& line : document.lines)
        content += line.raw + line.end;
    return content + document.tail;
}

// The line's text as a header or key sees it: without a byte-order mark on the first line.
QByteArrayView Significant(const std::vector<Line>& lines, size_t index) {
    QByteArrayView text = lines[index].text;
    if (index == 0 && text.startsWith(ByteOrderMark))
        text = text.sliced(ByteOrderMark.size());
    return text;
}

std::optional<QByteArray> SectionName(QByteArrayView text) {
    const QByteArray trimmed = Trimmed(text);
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return Trimmed(QByteArrayView(trimmed).sliced(1, close - 1));
}

struct Entry {
    QByteArray key;
    QByteArray value;
};

std::optional<Entry> KeyAndValue(QByteArrayView text) {
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    QByteArrayView rest = text.sliced(equals + 1);
    // A NUL ends the value, as it ends the string the value is read into.
    if (const qsizetype nul = rest.indexOf('\0'); nul >= 0)
        rest = rest.first(nul);
    QByteArray value = Trimmed(rest);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return Entry{Trimmed(text.first(equals)), value};
}

// Where a section's lines are: its header, and one past its last line.
struct SectionRange {
    size_t header;
    size_t end;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, QByteArrayView section) {
    const QByteArray wanted = Trimmed(section);
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

std::optional<size_t> FindKey(const std::vector<Line>& lines, const SectionRange& range,
                              QByteArrayView key) {
    const QByteArray wanted = Trimmed(key);
    for (size_t i = range.header + 1; i < range.end; ++i) {
        const auto entry = KeyAndValue(lines[i].text);
        if (entry && SameName(entry->key, wanted))
            return i;
    }
    return std::nullopt;
}

// The file's bytes, empty for a file that does not exist, nothing for one that cannot be read
// or is not a regular file: a FIFO or a device is neither read nor written, and never waited
// on.
std::optional<QByteArray> ReadFile(const QString& fileName) {
    const auto native = NativePath(fileName);
    if (!native)
        return std::nullopt;
    const int fd = open(native->constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    std::optional<QByteArray> content;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        content.emplace();
        std::array<char, 65536> chunk{};
        ssize_t n = 0;
        while ((n = read(fd, chunk.data(), chunk.size())) > 0 || (n < 0 && errno == EINTR))
            content->append(chunk.data(), qsizetype(std::max<ssize_t>(n, 0)));
        if (n < 0)
            content.reset();
    }
    close(fd);
    return content;
}

// The first line end the file uses, in 8-bit text.
QByteArray LineEndOf(const Document& document) {
    for (const Line& line : document.lines)
        if (!line.end.isEmpty())
            return Decode(line.end, document.encoding);
    return "\r\n";
}

bool Writable(QByteArrayView text) {
    return !text.contains('\n') && !text.contains('\r') && !text.contains('\0');
}

} // namespace

quint32 GetPrivateProfileStringA(const QByteArray& section, const QByteArray& key,
                                 const QByteArray& defaultValue, char* buffer, quint32 size,
                                 const QString& fileName) {
    if (buffer == nullptr || size == 0)
        return 0;
    QByteArray value;
    if (const auto content = ReadFile(fileName)) {
        const std::vector<Line> lines = Parse(*content).lines;
        if (const auto range = FindSection(lines, section))
            if (const auto index = FindKey(lines, *range, key))
                value = KeyAndValue(lines[*index].text)->value;
    }
    if (value.isEmpty())
        value = defaultValue;
    const quint32 count = quint32(std::min<qsizetype>(value.size(), qsizetype(size) - 1));
    std::memcpy(buffer, value.constData(), count);
    buffer[count] = '\0';
    return count;
}

qint32 WritePrivateProfileStringA(const QByteArray& section, const QByteArray& key,
                                  const QByteArray& value, const QString& fileName) {
    if (Trimmed(section).isEmpty() || Trimmed(key).isEmpty() || !Writable(section) ||
        !Writable(key) || !Writable(value) || section.contains(']') || key.contains('='))
        return 0;
    const auto content = ReadFile(fileName);
    if (!content)
        return 0;
    Document document = Parse(*content);
    std::vector<Line>& lines = document.lines;
    const Encoding& encoding = document.encoding;
    const QByteArray end = LineEndOf(document);
    const auto range = FindSection(lines, section);

    if (const auto index = range ? FindKey(lines, *range, key) : std::nullopt) {
        const Entry entry = *KeyAndValue(lines[*index].text);
        if (entry.value == value)
            return 1;
        Line& line = lines[*index];
        line.text = entry.key + '=' + value;
        line.raw = Encode(line.text, encoding);
    } else {
        size_t at = lines.size();
        if (range) {
            at = range->header + 1;
            for (size_t i = range->header + 1; i < range->end; ++i)
                if (!Trimmed(lines[i].text).isEmpty())
                    at = i + 1;
        }
        std::vector<Line> added;
        if (!range)
            added.push_back(MakeLine('[' + section + ']', end, encoding));
        added.push_back(MakeLine(key + '=' + value, end, encoding));
        if (at > 0 && lines[at - 1].end.isEmpty())
            lines[at - 1].end = Encode(end, encoding);
        lines.insert(lines.begin() + qsizetype(at), added.begin(), added.end());
    }
    // The options are the user's: on disk before they replace the old ones.
    return ReplaceFileContents(fileName, Serialize(document), Flush::BeforeReplacing) ? 1 : 0;
}

} // namespace platform
