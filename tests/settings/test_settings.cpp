#include "platform/codepage.h"
#include "platform/profile.h"
#include "settings/modmisc.h"
#include "testfiles.h"

#include <algorithm>
#include <doctest/doctest.h>
#include <filesystem>
#include <random>
#include <sstream>
#include <vector>

namespace {

using namespace std::string_literals;

struct Settings {
    TempDir dir;
    std::string File() const { return dir.file("Settings.ini"); }
    std::string Read(const std::string& section, const std::string& key) const {
        return modMisc::ReadSetting(section, key, File());
    }
    bool Write(const std::string& section, const std::string& key, const std::string& value) {
        return modMisc::WriteSetting(section, key, value, File()) != 0;
    }
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char high = char(unit >> 8);
        const char low = char(unit & 0xFF);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    return bytes;
}

} // namespace

TEST_CASE("reading a value") {
    const std::string plain = "[Options]\r\nInterval=30\r\n";
    const struct {
        const char* name;
        std::string content, section, key, value;
    } cases[] = {
        {"plain", plain, "Options", "Interval", "30"},
        {"section case", plain, "OPTIONS", "Interval", "30"},
        {"key case", plain, "Options", "interval", "30"},
        {"names asked with blanks", plain, " Options\t", "\tInterval ", "30"},
        {"blanks in the file", " [ Options ] trailing text\n  Interval \t=  30 \t\n", "Options",
         "Interval", "30"},
        {"names with inner blanks", "[Options]\nAuto Send To Tray=1\n", "Options",
         "Auto Send To Tray", "1"},
        {"double quotes", "[P]\nk=\" a b \"\n", "P", "k", " a b "},
        {"single quotes", "[P]\nk='x'\n", "P", "k", "x"},
        {"unmatched quotes", "[P]\nk=\"x'\n", "P", "k", "\"x'"},
        {"lone quote", "[P]\nk=\"\n", "P", "k", "\""},
        {"first = splits", "[P]\nk=a=b\n", "P", "k", "a=b"},
        {"first duplicate key", "[P]\nk=1\nk=2\n", "P", "k", "1"},
        {"first duplicate section", "[P]\na=1\n[P]\nk=2\n", "P", "k", ""},
        {"key in another section", "[Q]\nk=1\n[P]\n", "P", "k", ""},
        {"key before any section", "k=1\n[P]\n", "P", "k", ""},
        {"header without bracket", "[P]\n[Q\nk=1\n", "P", "k", "1"},
        {"line without =", "[P]\nk\nk=2\n", "P", "k", "2"},
        {"empty value", "[P]\nk=\n", "P", "k", ""},
        {"missing section", plain, "Paths", "BootFile", ""},
        {"missing key", plain, "Options", "AutoStart", ""},
        {"LF", "[P]\nk=1\n", "P", "k", "1"},
        {"lone CR", "[P]\rk=1\rj=2", "P", "j", "2"},
        {"no final line end", "[P]\r\nk=1", "P", "k", "1"},
        {"byte-order mark", "\xEF\xBB\xBF[Options]\r\nInterval=30\r\n", "Options", "Interval",
         "30"},
        {"NUL bytes", "[P]\nj=\0\0\nk=1\n"s, "P", "k", "1"},
        {"a NUL ends a value", "[P]\nk=0\0junk\n"s, "P", "k", "0"},
        {"blanks before a NUL", "[P]\nk= 1 \0x\n"s, "P", "k", "1"},
        {"long value cut to 254", "[P]\nk=" + std::string(1000, 'v') + "\n", "P", "k",
         std::string(254, 'v')},
        {"value of 254", "[P]\nk=" + std::string(254, 'v'), "P", "k", std::string(254, 'v')},
        {"empty file", "", "P", "k", ""},
        {"only a header", "[P]", "P", "k", ""},
        {"empty brackets", "[]\nk=1\n", "", "k", "1"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Settings s;
        REQUIRE(WriteAll(s.File(), c.content));
        CHECK(s.Read(c.section, c.key) == c.value);
    }
}

TEST_CASE("reading without a file, or with a folder in its place") {
    Settings s;
    CHECK(s.Read("Options", "Interval").empty());
    std::filesystem::create_directory(s.File());
    CHECK(s.Read("Options", "Interval").empty());
}

TEST_CASE("binary junk reads as at most 254 characters") {
    Settings s;
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string junk(std::uniform_int_distribution<size_t>(1, 1999)(random), '\0');
        for (char& c : junk)
            c = char(random());
        if (round % 3 == 0)
            junk.insert(0, "[Options]\nInterval=");
        REQUIRE(WriteAll(s.File(), junk));
        CHECK(s.Read("Options", "Interval").size() <= 254);
    }
}

TEST_CASE("values are copied into small buffers whole or cut") {
    Settings s;
    REQUIRE(WriteAll(s.File(), "[P]\nk=abcdef\n"));
    char buffer[4] = {'x', 'x', 'x', 'x'};
    CHECK(platform::GetPrivateProfileStringA("P", "k", "", buffer, 4, s.File()) == 3u);
    CHECK(std::string(buffer) == "abc");
    CHECK(platform::GetPrivateProfileStringA("P", "none", "dflt", buffer, 4, s.File()) == 3u);
    CHECK(std::string(buffer) == "dfl");
    CHECK(platform::GetPrivateProfileStringA("P", "k", "", buffer, 0, s.File()) == 0u);
}

TEST_CASE("writing the options into no file makes the program's own file") {
    Settings s;
    CHECK(s.Write("Options", "Interval", "30"));
    CHECK(s.Write("Options", "Use file method", "0"));
    CHECK(s.Write("Options", "AutoStart", "0"));
    CHECK(s.Write("Options", "Auto Send To Tray", "0"));
    CHECK(ReadAll(s.File()) == "[Options]\r\nInterval=30\r\nUse file method=0\r\n"
                               "AutoStart=0\r\nAuto Send To Tray=0\r\n");
}

TEST_CASE("writing a value keeps every other line") {
    const struct {
        const char* name;
        std::string before, section, key, value, after;
    } cases[] = {
        {"replace", "[Options]\r\nInterval=30\r\n", "Options", "Interval", "5",
         "[Options]\r\nInterval=5\r\n"},
        {"keeps the file's spelling", "[OPTIONS]\r\n  interVAL = 30 \r\n", "Options", "Interval",
         "5", "[OPTIONS]\r\ninterVAL=5\r\n"},
        {"new key after last non-blank line of its section", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n",
         "A", "k", "v", "[A]\r\nx=1\r\nk=v\r\n\r\n[B]\r\ny=2\r\n"},
        {"new key in an empty section", "[A]\n\n[B]\n", "A", "k", "v", "[A]\nk=v\n\n[B]\n"},
        {"new key in the last section without line end", "[A]\nx=1", "A", "k", "v",
         "[A]\nx=1\nk=v\n"},
        {"new section at the end", "; comment\r\n[Paths]\r\nBootFile=b\r\n", "Options", "Interval",
         "30", "; comment\r\n[Paths]\r\nBootFile=b\r\n[Options]\r\nInterval=30\r\n"},
        {"new section after a last line without line end", "[Paths]\nBootFile=b", "Options",
         "AutoStart", "1", "[Paths]\nBootFile=b\n[Options]\nAutoStart=1\n"},
        {"lone CR file", "[A]\rx=1\r", "A", "k", "v", "[A]\rx=1\rk=v\r"},
        {"a lone CR never joins the blank line after it", "[A]\rx=1\n\n", "A", "k", "v",
         "[A]\rx=1\nk=v\r\n\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[Options]\r\nInterval=30\r\n", "Options", "Interval",
         "9", "\xEF\xBB\xBF[Options]\r\nInterval=9\r\n"},
        {"comments, odd spacing and unknown keys stay",
         ";c\r\n[Options]  ; x\r\n\tUnknown  =  z \r\nInterval=30\r\n\r\n[X]\r\n", "Options",
         "Interval", "31",
         ";c\r\n[Options]  ; x\r\n\tUnknown  =  z \r\nInterval=31\r\n\r\n[X]\r\n"},
        {"first duplicate section is written", "[A]\nk=1\n[A]\nk=2\n", "A", "k", "3",
         "[A]\nk=3\n[A]\nk=2\n"},
        {"empty value", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"},
        {"a value after a NUL is replaced whole", "[A]\nk=1\0junk\n"s, "A", "k", "2", "[A]\nk=2\n"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        Settings s;
        REQUIRE(WriteAll(s.File(), c.before));
        CHECK(s.Write(c.section, c.key, c.value));
        CHECK(ReadAll(s.File()) == c.after);
        CHECK(s.Read(c.section, c.key) == c.value);
        CHECK(s.dir.listing() == "Settings.ini");
        // With a second key, written together or one after the other: the same bytes.
        Settings together;
        REQUIRE(WriteAll(together.File(), c.before));
        CHECK(modMisc::WriteSettings(c.section, {{c.key, c.value}, {"Extra", "1"}},
                                     together.File()) != 0);
        CHECK(s.Write(c.section, "Extra", "1"));
        CHECK(ReadAll(together.File()) == ReadAll(s.File()));
    }
}

TEST_CASE("a value that stands is not written again") {
    Settings s;
    for (const std::string& before :
         {"[Options]\r\n Interval = 30 \r\n"s, "[Options]\r\nInterval=30\0junk\r\n"s}) {
        REQUIRE(WriteAll(s.File(), before));
        CHECK(s.Write("Options", "Interval", "30"));
        CHECK(ReadAll(s.File()) == before);
    }
}

TEST_CASE("writes that are refused") {
    Settings s;
    CHECK(!s.Write("Options", "Interval", "1\r\n[Injected]"));
    CHECK(!s.Write("Options", "Interval", "1\0x"s));
    CHECK(!s.Write("Opt]ions", "Interval", "1"));
    CHECK(!s.Write("Options", "Inter=val", "1"));
    CHECK(!s.Write(" ", "Interval", "1"));
    CHECK(!std::filesystem::exists(s.File()));
    CHECK(modMisc::WriteSetting("Options", "Interval", "1", s.dir.file("no/Settings.ini")) == 0);
    std::filesystem::create_directory(s.File());
    CHECK(modMisc::WriteSetting("Options", "Interval", "1", s.File()) == 0);
    CHECK(std::filesystem::is_directory(s.File()));
}

// "Unicode" files of Windows editors: UTF-16 with a byte-order mark, either byte order.
TEST_CASE("UTF-16 files are read, and written back in UTF-16") {
    for (const bool bigEndian : {false, true}) {
        CAPTURE(bigEndian);
        Settings s;
        const std::string mark = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        const std::u16string before =
            u"; Gr\u00fc\u00dfe \U0001F600\r\n[Options]\r\nInterval = 12\r\nAutoStart=1\r\n"
            u"[Paths]\r\nOutput File=/tmp/\u00e9.txt\r\n";
        REQUIRE(WriteAll(s.File(), mark + Utf16(before, bigEndian)));
        CHECK(s.Read("Options", "Interval") == "12");
        // Read through the 8-bit code page, whichever it is.
        const std::string e = platform::FromUtf16(u"\u00e9");
        CHECK(s.Read("Paths", "Output File") == "/tmp/" + e + ".txt");

        CHECK(s.Write("Options", "AutoStart", "1")); // unchanged: not even rewritten
        CHECK(ReadAll(s.File()) == mark + Utf16(before, bigEndian));
        CHECK(s.Write("Options", "Interval", "7"));
        CHECK(s.Write("Options", "Use file method", "0"));
        CHECK(s.Write("New", "k", e));
        const std::u16string after =
            u"; Gr\u00fc\u00dfe \U0001F600\r\n[Options]\r\nInterval=7\r\nAutoStart=1\r\n"
            u"Use file method=0\r\n[Paths]\r\nOutput File=/tmp/\u00e9.txt\r\n[New]\r\nk=\u00e9\r\n";
        CHECK(ReadAll(s.File()) == mark + Utf16(after, bigEndian));
        CHECK(s.Read("New", "k") == e);

        // A lone byte after the last whole unit stays where it is, at the end.
        REQUIRE(WriteAll(s.File(), mark + Utf16(u"[Options]\r\nInterval=1\r\n", bigEndian) + "A"));
        CHECK(s.Write("Options", "Interval", "2"));
        CHECK(ReadAll(s.File()) == mark + Utf16(u"[Options]\r\nInterval=2\r\n", bigEndian) + "A");
    }
}

// Random files, random writes: each value reads back and every other line stays.
TEST_CASE("random files, random writes") {
    Settings s;
    std::mt19937 random(20261208);
    const auto pick = [&random](size_t from, size_t to) {
        return std::uniform_int_distribution<size_t>(from, to - 1)(random);
    };
    const std::vector<std::string> names{"Options",   "Paths",       "Other", "Interval",
                                         "AutoStart", "Output File", "k"};
    const std::vector<std::string> ends{"\r\n", "\n", "\r"};
    for (int round = 0; round < 300; ++round) {
        const std::string& end = ends[pick(0, ends.size())];
        std::vector<std::string> lines;
        const size_t count = pick(0, 12);
        for (size_t i = 0; i < count; ++i) {
            const std::string& name = names[pick(0, names.size())];
            switch (pick(0, 5)) {
            case 0:
                lines.push_back("[" + name + "]");
                break;
            case 1:
                lines.push_back("; comment " + std::to_string(i));
                break;
            case 2:
                lines.emplace_back();
                break;
            default:
                lines.push_back(name + (pick(0, 2) ? " = " : "=") + std::to_string(i));
            }
        }
        std::string before;
        for (size_t i = 0; i < lines.size(); ++i)
            before += (i ? end : "") + lines[i];
        if (pick(0, 2))
            before += end;
        REQUIRE(WriteAll(s.File(), before));
        const std::string& section = names[pick(0, 3)];
        const std::string& key = names[pick(3, names.size())];
        const std::string value = "v" + std::to_string(round);
        REQUIRE(s.Write(section, key, value));
        REQUIRE(s.Read(section, key) == value);

        // Every line but the one written (and the line end it may add) is unchanged.
        const auto strip = [&end](std::vector<std::string> list) {
            std::erase_if(list, [](const std::string& line) {
                return line.find("=v") != std::string::npos ||
                       line.find_first_not_of(" \t\r") == std::string::npos;
            });
            for (std::string& line : list)
                if (line.ends_with('\r'))
                    line.pop_back();
            return list;
        };
        std::vector<std::string> after = strip(Split(ReadAll(s.File()), end.back()));
        std::vector<std::string> original = strip(Split(before, end.back()));
        // A new section header may have been added; an existing line is never lost.
        const auto removeOne = [](std::vector<std::string>& list, const std::string& line) {
            const auto found = std::find(list.begin(), list.end(), line);
            if (found == list.end())
                return false;
            list.erase(found);
            return true;
        };
        removeOne(after, "[" + section + "]");
        removeOne(original, "[" + section + "]");
        // At most the replaced line is gone, and it was a line of the key written.
        std::vector<std::string> missing;
        for (const std::string& line : original)
            if (!removeOne(after, line))
                missing.push_back(line);
        REQUIRE(missing.size() <= 1);
        if (!missing.empty()) {
            const std::string name = missing[0].substr(0, missing[0].find('='));
            CHECK(name.substr(0, name.find_last_not_of(' ') + 1) == key);
        }
    }
}

TEST_CASE("conversions of what the file holds") {
    constexpr int Fails = -999;
    const struct {
        std::string text;
        int interval, check;
    } cases[] = {{"30", 30, 30},
                 {"0", 0, 0},
                 {"-4", -4, -4},
                 {"1.5", 2, 2},
                 {"2.5", 2, 2},
                 {"  7  ", 7, 7},
                 {"abc", Fails, Fails},
                 {"", Fails, Fails},
                 {"40000", 40000, Fails},
                 {"2147483648", Fails, Fails},
                 {"2147483647", 2147483647, Fails}};
    for (const auto& c : cases) {
        CAPTURE(c.text);
        CHECK(modMisc::ToInterval(c.text).value_or(Fails) == c.interval);
        CHECK(modMisc::ToCheckValue(c.text).value_or(Fails) == c.check);
    }
}
