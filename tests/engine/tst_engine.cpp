#include "engine/uptime.h"
#include "fakes.h"
#include "platform/numeric.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <cmath>
#include <limits>
#include <sys/stat.h>

using engine::UptimeParts;

class EngineTest : public QObject {
    Q_OBJECT

    FakeTickCounter ticks;
    FakeClock clock;
    FakeFileService files;
    QTemporaryDir dir;
    double uptimeSeconds = 0;
    std::optional<platform::BootFileInfo> bootFileInfo;

    QString Output() const { return dir.filePath(QStringLiteral("uptime.txt")); }

    std::optional<UptimeParts> Refresh(bool fileMethod, const QString& bootPath = "boot.dat") {
        return engine::RefreshUptime({fileMethod, bootPath, Output()}, {ticks, clock, &files},
                                     uptimeSeconds, bootFileInfo);
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        QFile::remove(Output());
        ticks = {};
        files.files.clear();
        uptimeSeconds = 0;
        bootFileInfo.reset();
    }

    void captions_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("caption");
        QTest::newRow("59") << 59.0 << "Uptime: 0d 0h 0m 59s";
        QTest::newRow("3600") << 3600.0 << "Uptime: 0d 1h 0m 0s";
        QTest::newRow("86399") << 86399.0 << "Uptime: 0d 23h 59m 59s";
        QTest::newRow("90061") << 90061.0 << "Uptime: 1d 1h 1m 1s";
        QTest::newRow("176461") << 176461.0 << "Uptime: 2d 1h 1m 1s";
    }
    void captions() {
        QFETCH(double, seconds);
        QFETCH(QString, caption);
        QCOMPARE(engine::UptimeCaption(engine::SplitUptime(seconds)), caption);
    }

    void splitBeyondThirtyTwoBits_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint32>("days");
        QTest::newRow("100 years") << 100.0 * 365 * 86400 << qint32(36500);
        QTest::newRow("days past 2^31") << 86400.0 * 3e9 << std::numeric_limits<qint32>::max();
        QTest::newRow("1e300") << 1e300 << std::numeric_limits<qint32>::max();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity()
                                  << std::numeric_limits<qint32>::max();
    }
    void splitBeyondThirtyTwoBits() {
        QFETCH(double, seconds);
        QFETCH(qint32, days);
        const UptimeParts parts = engine::SplitUptime(seconds);
        QCOMPARE(parts.days, days);
        QVERIFY(parts.hours >= 0 && parts.hours < 24);
        QVERIFY(parts.minutes >= 0 && parts.minutes < 60);
        QVERIFY(parts.seconds >= 0 && parts.seconds < 60);
    }

    void tickCountRoundsHalvesToEven_data() {
        QTest::addColumn<quint64>("ms");
        QTest::addColumn<double>("seconds");
        QTest::newRow("1500 ms") << quint64(1500) << 2.0;
        QTest::newRow("2500 ms") << quint64(2500) << 2.0;
        QTest::newRow("3500 ms") << quint64(3500) << 4.0;
        QTest::newRow("2499 ms") << quint64(2499) << 2.0;
        QTest::newRow("2501 ms") << quint64(2501) << 3.0;
        QTest::newRow("past 2^31 ms") << quint64(2147483648ULL + 500) << 2147484.0;
        QTest::newRow("past 2^32 ms") << quint64(4294967296ULL + 1000) << 4294968.0;
        QTest::newRow("a century") << quint64(3155760000000ULL) << 3155760000.0;
    }
    void tickCountRoundsHalvesToEven() {
        QFETCH(quint64, ms);
        QFETCH(double, seconds);
        ticks.ms = ms;
        const auto parts = Refresh(false);
        QVERIFY(parts.has_value());
        QCOMPARE(uptimeSeconds, seconds);
        QCOMPARE(*parts, engine::SplitUptime(seconds));
        QCOMPARE(ReadAll(Output()), QByteArray::number(qint64(seconds)) + "\r\n");
    }

    // Ticks kept in phase with the measured clock read one second more at every tick, whatever
    // the phase they start in and however late (within half a second) each one fires.
    void ticksInPhaseNeverSkipOrRepeat_data() {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<int>("readAt");
        QTest::addColumn<int>("lateness");
        for (const qint64 start : {0, 1, 250, 499, 500, 501, 750, 999})
            for (const int lateness : {0, 150, 490}) {
                const QByteArray name = QByteArray::number(start) + " ms, late by up to " +
                                        QByteArray::number(lateness);
                QTest::newRow("rounded, " + name) << 90'061'000 + start << 0 << lateness;
                QTest::newRow("cut, " + name) << 1'800'000'000'000 + start << 500 << lateness;
            }
    }
    void ticksInPhaseNeverSkipOrRepeat() {
        QFETCH(qint64, start);
        QFETCH(int, readAt);
        QFETCH(int, lateness);
        const auto read = [readAt](qint64 ms) {
            return readAt == 0 ? platform::DivideRoundHalfEven(ms, 1000) : ms / 1000;
        };
        QRandomGenerator random{quint32(start)};
        qint64 now = start;
        qint64 last = -1;
        for (int tick = 0; tick < 500; ++tick) {
            const int delay = engine::MillisecondsToNextTick(now, readAt);
            QVERIFY(delay >= 500 && delay < 1500);
            // An early tick (a timer's slack) is as possible as a late one.
            now += delay + random.bounded(-5, lateness + 1);
            if (last >= 0)
                QCOMPARE(read(now), last + 1);
            last = read(now);
        }
    }

    void gateStopsNonPositive_data() {
        QTest::addColumn<quint64>("ms");
        QTest::newRow("0 ms") << quint64(0);
        QTest::newRow("500 ms") << quint64(500);
    }
    void gateStopsNonPositive() {
        QFETCH(quint64, ms);
        ticks.ms = ms;
        QVERIFY(!Refresh(false).has_value());
        QVERIFY(!QFileInfo::exists(Output()));
    }

    void bootFileMeasuresFromModificationTime() {
        files.files.insert("boot.dat", clock.now.addSecs(-176461));
        QCOMPARE(Refresh(true), engine::SplitUptime(176461));
        QCOMPARE(ReadAll(Output()), QByteArray("176461\r\n"));
        QCOMPARE(ticks.reads, 0);
    }

    void bootFileAcrossDaylightSavingChange() {
        const QTimeZone berlin("Europe/Berlin");
        if (!berlin.isValid())
            QSKIP("no time-zone data for Europe/Berlin");
        // Clocks went forward an hour at 02:00 that night: three hours on the wall, two real.
        files.files.insert("boot.dat", QDateTime(QDate(2026, 3, 29), QTime(0, 30), berlin));
        clock.now = QDateTime(QDate(2026, 3, 29), QTime(3, 30), berlin);
        QVERIFY(Refresh(true).has_value());
        QCOMPARE(uptimeSeconds, 7200.0);
    }

    void bootFileInTheFutureWritesNothing() {
        files.files.insert("boot.dat", clock.now.addSecs(60));
        QVERIFY(!Refresh(true).has_value());
        QCOMPARE(uptimeSeconds, -60.0);
        QVERIFY(!QFileInfo::exists(Output()));
    }

    void bootFileMissingFromTheStart() {
        QVERIFY(!Refresh(true).has_value());
        QCOMPARE(uptimeSeconds, 0.0);
        QVERIFY(!bootFileInfo.has_value());
        QVERIFY(!QFileInfo::exists(Output()));
    }

    void bootFileVanishingRepeatsTheLastValue() {
        files.files.insert("boot.dat", clock.now.addSecs(-100));
        QVERIFY(Refresh(true).has_value());
        files.files.clear();
        clock.now = clock.now.addSecs(50);
        QFile::remove(Output());
        QCOMPARE(Refresh(true), engine::SplitUptime(100));
        QCOMPARE(ReadAll(Output()), QByteArray("100\r\n"));
        QCOMPARE(bootFileInfo->Path, QStringLiteral("boot.dat"));
    }

    void bootFileLookupWithoutService() {
        std::optional<platform::BootFileInfo> info;
        QVERIFY(!engine::OpenBootFile(nullptr, "boot.dat", info));
        QVERIFY(!info.has_value());
    }

    void systemFileService_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("regular file") << "boot.dat" << true;
        QTest::newRow("link to a file") << "link.dat" << true;
        QTest::newRow("missing") << "absent.dat" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("empty path") << "" << false;
        QTest::newRow("NUL in path") << QString("boot.dat") + QChar(0) << false;
    }
    void systemFileService() {
        QFETCH(QString, name);
        QFETCH(bool, found);
        QTemporaryDir here;
        QVERIFY(WriteAll(here.filePath("boot.dat"), "x"));
        QVERIFY(QDir(here.path()).mkdir("folder"));
        QVERIFY(QFile::link(here.filePath("boot.dat"), here.filePath("link.dat")));
        QFile boot(here.filePath("boot.dat"));
        const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
        QVERIFY(boot.open(QIODevice::ReadWrite));
        QVERIFY(boot.setFileTime(stamp, QFileDevice::FileModificationTime));
        boot.close();

        const platform::SystemFileService service;
        const auto info = service.GetFile(name.isEmpty() ? name : here.filePath(name));
        QCOMPARE(info.has_value(), found);
        if (found)
            QCOMPARE(info->DateLastModified, stamp);
    }

    void outputFileHoldsDigitsAndCrLf() {
        QVERIFY(engine::WriteUptimeFile("86400", Output()));
        QCOMPARE(ReadAll(Output()), QByteArray("86400\r\n"));
        QVERIFY(engine::WriteUptimeFile("5", Output()));
        QCOMPARE(ReadAll(Output()), QByteArray("5\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"uptime.txt"});
    }

    void uptimeTextIsPlainDigits_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1.0 << "1";
        QTest::newRow("176461") << 176461.0 << "176461";
        QTest::newRow("15 digits") << 999999999999999.0 << "999999999999999";
    }
    void uptimeTextIsPlainDigits() {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(engine::UptimeText(seconds), text);
    }

    void outputFileFailures_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty path") << "";
        QTest::newRow("missing folder") << "no/such/folder/uptime.txt";
        QTest::newRow("folder as the path") << "folder";
    }
    void outputFileFailures() {
        QFETCH(QString, path);
        QVERIFY(QDir(dir.path()).mkpath("folder"));
        QVERIFY(!engine::WriteUptimeFile("1", path.isEmpty() ? path : dir.filePath(path)));
        QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
        QVERIFY(!QFileInfo::exists(dir.filePath("no")));
    }

    void outputFileFailureStillBreaksDown() {
        ticks.ms = 59'000;
        const auto parts =
            engine::RefreshUptime({false, {}, dir.filePath("no/uptime.txt")},
                                  {ticks, clock, &files}, uptimeSeconds, bootFileInfo);
        QCOMPARE(parts, engine::SplitUptime(59));
    }

    void outputFileInReadOnlyFolder() {
        QTemporaryDir locked;
        QVERIFY(WriteAll(locked.filePath("uptime.txt"), "old\r\n"));
        ReadOnlyFolder readOnly(locked.path());
        if (!readOnly.ok())
            QSKIP("this machine does not allow a read-only bind mount");
        QVERIFY(!engine::WriteUptimeFile("1", locked.filePath("uptime.txt")));
        QCOMPARE(ReadAll(locked.filePath("uptime.txt")), QByteArray("old\r\n"));
    }

    void outputFileThroughSymbolicLink() {
        QVERIFY(QDir(dir.path()).mkpath("real"));
        const QString target = dir.filePath("real/seconds.txt");
        QVERIFY(WriteAll(target, "old\r\n"));
        QVERIFY(QFile::link("real/seconds.txt", Output())); // a relative link
        QVERIFY(engine::WriteUptimeFile("42", Output()));
        QVERIFY(QFileInfo(Output()).isSymLink());
        QCOMPARE(ReadAll(target), QByteArray("42\r\n"));
    }

    void outputFileThroughDanglingLink() {
        QVERIFY(QFile::link(dir.filePath("created.txt"), Output()));
        QVERIFY(engine::WriteUptimeFile("7", Output()));
        QVERIFY(QFileInfo(Output()).isSymLink());
        QCOMPARE(ReadAll(dir.filePath("created.txt")), QByteArray("7\r\n"));
        QFile::remove(dir.filePath("created.txt"));
    }

    void outputFileKeepsPermissions() {
        QVERIFY(WriteAll(Output(), "old\r\n"));
        const QByteArray native = QFile::encodeName(Output());
        QCOMPARE(chmod(native.constData(), 0640), 0);
        QVERIFY(engine::WriteUptimeFile("9", Output()));
        struct stat st {};
        QCOMPARE(stat(native.constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
    }

    void outputFileFifoWithoutReaderDoesNotHang() {
        const QByteArray fifo = QFile::encodeName(dir.filePath("pipe"));
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        QVERIFY(!engine::WriteUptimeFile("1", dir.filePath("pipe")));
        struct stat st {};
        QCOMPARE(stat(fifo.constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
    }

    void outputFileDevice() {
        QVERIFY(engine::WriteUptimeFile("1", QStringLiteral("/dev/null")));
        QVERIFY(QFileInfo("/dev/null").exists());
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
