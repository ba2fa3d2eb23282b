#include "platform/profile.h"

#include "platform/blanks.h"
#include "platform/replacefile.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace platform {
namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

struct Line {
    QByteArray text; // without its line end
    QByteArray end;  // "\r\n", "\n", "\r", or empty for a last line without one
};

QByteArray Trimmed(QByteArrayView text) {
    return TrimBlanks(text).toByteArray();
}

bool SameName(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
}

std::vector<Line> SplitLines(const QByteArray& content) {
    std::vector<Line> lines;
    qsizetype start = 0;
    const qsizetype size = content.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = content[i];
        if (c != '\n' && c != '\r')
            continue;
        const qsizetype endLength = (c == '\r' && i + 1 < size && content[i + 1] == '\n') ? 2 : 1;
        lines.push_back({content.sliced(start, i - start), content.sliced(i, endLength)});
        i += endLength - 1;
        start = i + 1;
    }
    if (start < size)
        lines.push_back({content.sliced(start), {}});
    return lines;
}

QByteArray JoinLines(const std::vector<Line>& lines) {
    QByteArray content;
    for (const Line& line : lines)
        content += line.text + line.end;
    return content;
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
    QByteArray value = Trimmed(text.sliced(equals + 1));
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

// The file's bytes, empty for a file that does not exist, nothing for one that cannot be read.
std::optional<QByteArray> ReadFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QByteArray LineEndOf(const std::vector<Line>& lines) {
    for (const Line& line : lines)
        if (!line.end.isEmpty())
            return line.end;
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
        const std::vector<Line> lines = SplitLines(*content);
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
    std::vector<Line> lines = SplitLines(*content);
    const QByteArray end = LineEndOf(lines);
    const auto range = FindSection(lines, section);

    if (const auto index = range ? FindKey(lines, *range, key) : std::nullopt) {
        const Entry entry = *KeyAndValue(lines[*index].text);
        if (entry.value == value)
            return 1;
        lines[*index].text = entry.key + '=' + value;
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
            added.push_back({'[' + section + ']', end});
        added.push_back({key + '=' + value, end});
        if (at > 0 && lines[at - 1].end.isEmpty())
            lines[at - 1].end = end;
        lines.insert(lines.begin() + qsizetype(at), added.begin(), added.end());
    }
    return ReplaceFileContents(fileName, JoinLines(lines)) ? 1 : 0;
}

} // namespace platform
