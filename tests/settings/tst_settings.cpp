#include "platform/profile.h"
#include "settings/modmisc.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

class SettingsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString File() const { return dir.filePath("Settings.ini"); }

    QString Read(const QString& section, const QString& key) {
        return modMisc::ReadSetting(section, key, File());
    }
    bool Write(const QString& section, const QString& key, const QString& value) {
        return modMisc::WriteSetting(section, key, value, File()) != 0;
    }

private slots:
    void init() {
        QFile::remove(File());
        QDir(File()).removeRecursively();
    }

    void read_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QByteArray plain = "[Options]\r\nInterval=30\r\n";
        QTest::newRow("plain") << plain << "Options"
                               << "Interval"
                               << "30";
        QTest::newRow("section case") << plain << "OPTIONS"
                                      << "Interval"
                                      << "30";
        QTest::newRow("key case") << plain << "Options"
                                  << "interval"
                                  << "30";
        QTest::newRow("names asked with blanks") << plain << " Options\t"
                                                 << "\tInterval "
                                                 << "30";
        QTest::newRow("blanks in the file")
            << QByteArray(" [ Options ] trailing text\n  Interval \t=  30 \t\n") << "Options"
            << "Interval"
            << "30";
        QTest::newRow("names with inner blanks")
            << QByteArray("[Options]\nAuto Send To Tray=1\n") << "Options"
            << "Auto Send To Tray"
            << "1";
        QTest::newRow("double quotes") << QByteArray("[P]\nk=\" a b \"\n") << "P"
                                       << "k"
                                       << " a b ";
        QTest::newRow("single quotes") << QByteArray("[P]\nk='x'\n") << "P"
                                       << "k"
                                       << "x";
        QTest::newRow("unmatched quotes") << QByteArray("[P]\nk=\"x'\n") << "P"
                                          << "k"
                                          << "\"x'";
        QTest::newRow("lone quote") << QByteArray("[P]\nk=\"\n") << "P"
                                    << "k"
                                    << "\"";
        QTest::newRow("first = splits") << QByteArray("[P]\nk=a=b\n") << "P"
                                        << "k"
                                        << "a=b";
        QTest::newRow("first duplicate key") << QByteArray("[P]\nk=1\nk=2\n") << "P"
                                             << "k"
                                             << "1";
        QTest::newRow("first duplicate section") << QByteArray("[P]\na=1\n[P]\nk=2\n") << "P"
                                                 << "k"
                                                 << "";
        QTest::newRow("key in another section") << QByteArray("[Q]\nk=1\n[P]\n") << "P"
                                                << "k"
                                                << "";
        QTest::newRow("key before any section") << QByteArray("k=1\n[P]\n") << "P"
                                                << "k"
                                                << "";
        QTest::newRow("header without bracket") << QByteArray("[P]\n[Q\nk=1\n") << "P"
                                                << "k"
                                                << "1";
        QTest::newRow("line without =") << QByteArray("[P]\nk\nk=2\n") << "P"
                                        << "k"
                                        << "2";
        QTest::newRow("empty value") << QByteArray("[P]\nk=\n") << "P"
                                     << "k"
                                     << "";
        QTest::newRow("missing section") << plain << "Paths"
                                         << "BootFile"
                                         << "";
        QTest::newRow("missing key") << plain << "Options"
                                     << "AutoStart"
                                     << "";
        QTest::newRow("LF") << QByteArray("[P]\nk=1\n") << "P"
                            << "k"
                            << "1";
        QTest::newRow("lone CR") << QByteArray("[P]\rk=1\rj=2") << "P"
                                 << "j"
                                 << "2";
        QTest::newRow("no final line end") << QByteArray("[P]\r\nk=1") << "P"
                                           << "k"
                                           << "1";
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBF[Options]\r\nInterval=30\r\n") << "Options"
            << "Interval"
            << "30";
        QTest::newRow("NUL bytes") << QByteArray("[P]\nj=\0\0\nk=1\n", 13) << "P"
                                   << "k"
                                   << "1";
        QTest::newRow("long value cut to 254") << "[P]\nk=" + QByteArray(1000, 'v') + "\n"
                                               << "P"
                                               << "k" << QString(254, u'v');
        QTest::newRow("value of 254") << "[P]\nk=" + QByteArray(254, 'v') << "P"
                                      << "k" << QString(254, u'v');
        QTest::newRow("empty file") << QByteArray() << "P"
                                    << "k"
                                    << "";
        QTest::newRow("only a header") << QByteArray("[P]") << "P"
                                       << "k"
                                       << "";
        QTest::newRow("empty brackets") << QByteArray("[]\nk=1\n") << ""
                                        << "k"
                                        << "1";
    }
    void read() {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QVERIFY(WriteAll(File(), content));
        QCOMPARE(Read(section, key), value);
    }

    void readWithoutFile() {
        QCOMPARE(Read("Options", "Interval"), QString());
        QVERIFY(QDir().mkdir(File()));
        QCOMPARE(Read("Options", "Interval"), QString());
    }

    void readBinaryJunk() {
        QRandomGenerator random(7);
        for (int round = 0; round < 200; ++round) {
            QByteArray junk(int(random.bounded(1, 2000)), Qt::Uninitialized);
            for (char& c : junk)
                c = char(random.bounded(256));
            if (round % 3 == 0)
                junk.prepend("[Options]\nInterval=");
            QVERIFY(WriteAll(File(), junk));
            QVERIFY(Read("Options", "Interval").size() <= 254);
        }
    }

    void readCopiesIntoSmallBuffers() {
        QVERIFY(WriteAll(File(), "[P]\nk=abcdef\n"));
        char buffer[4] = {'x', 'x', 'x', 'x'};
        QCOMPARE(platform::GetPrivateProfileStringA("P", "k", "", buffer, 4, File()), 3u);
        QCOMPARE(QByteArray(buffer), QByteArray("abc"));
        QCOMPARE(platform::GetPrivateProfileStringA("P", "none", "dflt", buffer, 4, File()), 3u);
        QCOMPARE(QByteArray(buffer), QByteArray("dfl"));
        QCOMPARE(platform::GetPrivateProfileStringA("P", "k", "", buffer, 0, File()), 0u);
    }

    void writeFromNothing() {
        QVERIFY(Write("Options", "Interval", "30"));
        QVERIFY(Write("Options", "Use file method", "0"));
        QVERIFY(Write("Options", "AutoStart", "0"));
        QVERIFY(Write("Options", "Auto Send To Tray", "0"));
        QCOMPARE(ReadAll(File()), QByteArray("[Options]\r\nInterval=30\r\nUse file method=0\r\n"
                                             "AutoStart=0\r\nAuto Send To Tray=0\r\n"));
    }

    void write_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("replace") << QByteArray("[Options]\r\nInterval=30\r\n") << "Options"
                                 << "Interval"
                                 << "5" << QByteArray("[Options]\r\nInterval=5\r\n");
        QTest::newRow("keeps the file's spelling")
            << QByteArray("[OPTIONS]\r\n  interVAL = 30 \r\n") << "Options"
            << "Interval"
            << "5" << QByteArray("[OPTIONS]\r\ninterVAL=5\r\n");
        QTest::newRow("new key after last non-blank line of its section")
            << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n") << "A"
            << "k"
            << "v" << QByteArray("[A]\r\nx=1\r\nk=v\r\n\r\n[B]\r\ny=2\r\n");
        QTest::newRow("new key in an empty section") << QByteArray("[A]\n\n[B]\n") << "A"
                                                     << "k"
                                                     << "v" << QByteArray("[A]\nk=v\n\n[B]\n");
        QTest::newRow("new key in the last section without line end")
            << QByteArray("[A]\nx=1") << "A"
            << "k"
            << "v" << QByteArray("[A]\nx=1\nk=v\n");
        QTest::newRow("new section at the end")
            << QByteArray("; comment\r\n[Paths]\r\nBootFile=b\r\n") << "Options"
            << "Interval"
            << "30"
            << QByteArray("; comment\r\n[Paths]\r\nBootFile=b\r\n[Options]\r\nInterval=30\r\n");
        QTest::newRow("new section after a last line without line end")
            << QByteArray("[Paths]\nBootFile=b") << "Options"
            << "AutoStart"
            << "1" << QByteArray("[Paths]\nBootFile=b\n[Options]\nAutoStart=1\n");
        QTest::newRow("lone CR file") << QByteArray("[A]\rx=1\r") << "A"
                                      << "k"
                                      << "v" << QByteArray("[A]\rx=1\rk=v\r");
        QTest::newRow("byte-order mark kept")
            << QByteArray("\xEF\xBB\xBF[Options]\r\nInterval=30\r\n") << "Options"
            << "Interval"
            << "9" << QByteArray("\xEF\xBB\xBF[Options]\r\nInterval=9\r\n");
        QTest::newRow("comments, odd spacing and unknown keys stay")
            << QByteArray(";c\r\n[Options]  ; x\r\n\tUnknown  =  z \r\nInterval=30\r\n\r\n[X]\r\n")
            << "Options"
            << "Interval"
            << "31"
            << QByteArray(";c\r\n[Options]  ; x\r\n\tUnknown  =  z \r\nInterval=31\r\n\r\n[X]\r\n");
        QTest::newRow("first duplicate section is written")
            << QByteArray("[A]\nk=1\n[A]\nk=2\n") << "A"
            << "k"
            << "3" << QByteArray("[A]\nk=3\n[A]\nk=2\n");
        QTest::newRow("empty value") << QByteArray("[A]\nk=1\n") << "A"
                                     << "k"
                                     << "" << QByteArray("[A]\nk=\n");
    }
    void write() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QVERIFY(WriteAll(File(), before));
        QVERIFY(Write(section, key, value));
        QCOMPARE(ReadAll(File()), after);
        QCOMPARE(Read(section, key), value);
    }

    void writeNothingWhenTheValueStands() {
        const QByteArray before("[Options]\r\n Interval = 30 \r\n");
        QVERIFY(WriteAll(File(), before));
        const QByteArray native = QFile::encodeName(File());
        struct stat st {};
        QCOMPARE(stat(native.constData(), &st), 0);
        QVERIFY(Write("Options", "Interval", "30"));
        struct stat again {};
        QCOMPARE(stat(native.constData(), &again), 0);
        QCOMPARE(again.st_ino, st.st_ino);
        QCOMPARE(ReadAll(File()), before);
    }

    void writeRefusesLineBreaksInValues() {
        QVERIFY(!Write("Options", "Interval", "1\r\n[Injected]"));
        QVERIFY(!QFileInfo::exists(File()));
    }

    void writeFailures() {
        QVERIFY(modMisc::WriteSetting("Options", "Interval", "1",
                                      dir.filePath("no/Settings.ini")) == 0);
        QVERIFY(QDir().mkdir(File()));
        QCOMPARE(modMisc::WriteSetting("Options", "Interval", "1", File()), qint16(0));
        QVERIFY(QFileInfo(File()).isDir());
    }

    void writeIntoReadOnlyFolderKeepsTheOldFile() {
        QTemporaryDir locked;
        const QString file = locked.filePath("Settings.ini");
        QVERIFY(WriteAll(file, "[Options]\r\nInterval=30\r\n"));
        ReadOnlyFolder readOnly(locked.path());
        if (!readOnly.ok())
            QSKIP("this machine does not allow a read-only bind mount");
        QCOMPARE(modMisc::WriteSetting("Options", "Interval", "5", file), qint16(0));
        QCOMPARE(ReadAll(file), QByteArray("[Options]\r\nInterval=30\r\n"));
    }

    void writeThroughSymbolicLinkKeepsModeAndLink() {
        const QString target = dir.filePath("real.ini");
        QVERIFY(WriteAll(target, "[Options]\nInterval=1\n"));
        QCOMPARE(chmod(QFile::encodeName(target).constData(), 0604), 0);
        QVERIFY(QFile::link(target, File()));
        QVERIFY(Write("Options", "Interval", "2"));
        QVERIFY(QFileInfo(File()).isSymLink());
        QCOMPARE(ReadAll(target), QByteArray("[Options]\nInterval=2\n"));
        struct stat st {};
        QCOMPARE(stat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0604));
        QFile::remove(target);
    }

    // Whatever Settings.ini is, if it is not a regular file it is neither read nor written,
    // and nothing waits on it.
    void settingsThatAreNoRegularFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to a FIFO") << "link";
        QTest::newRow("device") << "device";
    }
    void settingsThatAreNoRegularFile() {
        QFETCH(QString, kind);
        const QByteArray fifo = QFile::encodeName(dir.filePath("pipe"));
        QFile::remove(dir.filePath("pipe"));
        QString file = File();
        if (kind == "device") {
            file = QStringLiteral("/dev/zero");
        } else {
            QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
            if (kind == "link")
                QVERIFY(QFile::link(dir.filePath("pipe"), File()));
            else
                file = dir.filePath("pipe");
        }
        QCOMPARE(modMisc::ReadSetting("Options", "Interval", file), QString());
        QCOMPARE(modMisc::WriteSetting("Options", "Interval", "5", file), qint16(0));
        if (kind != "device") {
            struct stat st {};
            QCOMPARE(stat(fifo.constData(), &st), 0);
            QVERIFY(S_ISFIFO(st.st_mode));
        }
    }

    // "Unicode" files of Windows editors: UTF-16 with a byte-order mark, either byte order.
    void utf16Files_data() {
        QTest::addColumn<bool>("bigEndian");
        QTest::newRow("little-endian") << false;
        QTest::newRow("big-endian") << true;
    }
    void utf16Files() {
        QFETCH(bool, bigEndian);
        const auto utf16 = [bigEndian](const QString& text) {
            QByteArray bytes;
            for (const QChar c : text) {
                const char high = char(c.unicode() >> 8);
                const char low = char(c.unicode() & 0xFF);
                bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
            }
            return bytes;
        };
        const QByteArray mark = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        const QString before = QString::fromUtf8(
            "; Gr\u00fc\u00dfe \U0001F600\r\n[Options]\r\nInterval = 12\r\nAutoStart=1\r\n"
            "[Paths]\r\nOutput File=/tmp/\u00e9.txt\r\n");
        QVERIFY(WriteAll(File(), mark + utf16(before)));
        QCOMPARE(Read("Options", "Interval"), QStringLiteral("12"));
        QCOMPARE(Read("Paths", "Output File"), QString::fromUtf8("/tmp/\u00e9.txt"));

        QVERIFY(Write("Options", "AutoStart", "1")); // unchanged: not even rewritten
        QCOMPARE(ReadAll(File()), mark + utf16(before));
        QVERIFY(Write("Options", "Interval", "7"));
        QVERIFY(Write("Options", "Use file method", "0"));
        QVERIFY(Write("New", "k", "\xC3\xA9"));
        const QString after = QString::fromUtf8(
            "; Gr\u00fc\u00dfe \U0001F600\r\n[Options]\r\nInterval=7\r\nAutoStart=1\r\n"
            "Use file method=0\r\n[Paths]\r\nOutput File=/tmp/\u00e9.txt\r\n[New]\r\nk=\u00e9\r\n");
        QCOMPARE(ReadAll(File()), mark + utf16(after));
        QCOMPARE(Read("New", "k"), QString::fromUtf8("\u00e9"));

        // A lone byte after the last whole unit stays where it is, at the end.
        QVERIFY(WriteAll(File(), mark + utf16("[Options]\r\nInterval=1\r\n") + "\x41"));
        QVERIFY(Write("Options", "Interval", "2"));
        QCOMPARE(ReadAll(File()), mark + utf16("[Options]\r\nInterval=2\r\n") + "\x41");
    }

    // A NUL ends a value, as it ends the string it is read into.
    void nulEndsTheValue() {
        const QByteArray before =
            QByteArrayLiteral("[Options]\r\nInterval=0\0junk\r\nAutoStart= 1 \0\r\n");
        QVERIFY(WriteAll(File(), before));
        QCOMPARE(Read("Options", "Interval"), QStringLiteral("0"));
        QCOMPARE(Read("Options", "AutoStart"), QStringLiteral("1"));
        QVERIFY(Write("Options", "Interval", "0"));
        QCOMPARE(ReadAll(File()), before); // the user's line stands
    }

    // Random files, random writes: each value reads back and every other line stays.
    void randomRoundTrip() {
        QRandomGenerator random(20261208);
        const QList<QByteArray> names{"Options",   "Paths",       "Other", "Interval",
                                      "AutoStart", "Output File", "k"};
        const QList<QByteArray> ends{"\r\n", "\n", "\r"};
        for (int round = 0; round < 300; ++round) {
            const QByteArray& end = ends[random.bounded(int(ends.size()))];
            QList<QByteArray> lines;
            const int count = random.bounded(12);
            for (int i = 0; i < count; ++i) {
                const QByteArray& name = names[random.bounded(int(names.size()))];
                switch (random.bounded(5)) {
                case 0:
                    lines << "[" + name + "]";
                    break;
                case 1:
                    lines << "; comment " + QByteArray::number(i);
                    break;
                case 2:
                    lines << QByteArray();
                    break;
                default:
                    lines << name + (random.bounded(2) ? " = " : "=") + QByteArray::number(i);
                }
            }
            const QByteArray before = lines.join(end) + (random.bounded(2) ? end : QByteArray());
            QVERIFY(WriteAll(File(), before));
            const QByteArray& section = names[random.bounded(3)];
            const QByteArray& key = names[random.bounded(3, int(names.size()))];
            const QByteArray value = "v" + QByteArray::number(round);
            QVERIFY(Write(section, key, value));
            QCOMPARE(Read(section, key), QString::fromLatin1(value));

            // Every line but the one written (and the line end it may add) is unchanged.
            QList<QByteArray> after = ReadAll(File()).split(end.back());
            QList<QByteArray> original = before.split(end.back());
            const auto strip = [](QList<QByteArray>& list) {
                list.removeIf([](const QByteArray& line) {
                    return line.contains("=v") || line.trimmed().isEmpty();
                });
                for (QByteArray& line : list)
                    if (line.endsWith('\r'))
                        line.chop(1);
            };
            strip(after);
            strip(original);
            // A new section header may have been added; an existing line is never lost.
            after.removeOne("[" + section + "]");
            original.removeOne("[" + section + "]");
            // At most the replaced line is gone, and it was a line of the key written.
            QList<QByteArray> missing;
            for (const QByteArray& line : original)
                if (!after.removeOne(line))
                    missing << line;
            QVERIFY2(missing.size() <= 1, missing.join('|').constData());
            if (!missing.isEmpty())
                QCOMPARE(missing[0].split('=').value(0).trimmed(), key);
        }
    }

    void conversions_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("interval"); // -999: fails
        QTest::addColumn<int>("check");
        QTest::newRow("30") << "30" << 30 << 30;
        QTest::newRow("0") << "0" << 0 << 0;
        QTest::newRow("-4") << "-4" << -4 << -4;
        QTest::newRow("1.5") << "1.5" << 2 << 2;
        QTest::newRow("2.5") << "2.5" << 2 << 2;
        QTest::newRow("blanks") << "  7  " << 7 << 7;
        QTest::newRow("abc") << "abc" << -999 << -999;
        QTest::newRow("empty") << "" << -999 << -999;
        QTest::newRow("40000") << "40000" << 40000 << -999;
        QTest::newRow("beyond 32 bits") << "2147483648" << -999 << -999;
        QTest::newRow("32-bit maximum") << "2147483647" << 2147483647 << -999;
    }
    void conversions() {
        QFETCH(QString, text);
        QFETCH(int, interval);
        QFETCH(int, check);
        QCOMPARE(modMisc::ToInterval(text).value_or(-999), interval);
        QCOMPARE(int(modMisc::ToCheckValue(text).value_or(-999)), check);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
