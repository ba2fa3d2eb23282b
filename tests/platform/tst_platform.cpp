#include "platform/numeric.h"
#include "platform/qtshellicon.h"
#include "platform/replacefile.h"
#include "platform/system.h"
#include "testfiles.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    void roundHalfEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("1.5") << 1.5 << 2.0;
        QTest::newRow("2.5") << 2.5 << 2.0;
        QTest::newRow("-2.5") << -2.5 << -2.0;
        QTest::newRow("2.5000001") << 2.5000001 << 3.0;
    }
    void roundHalfEven() {
        QFETCH(double, value);
        QFETCH(double, rounded);
        QCOMPARE(platform::RoundHalfEven(value), rounded);
    }

    void divideRoundHalfEven_data() {
        QTest::addColumn<qint64>("numerator");
        QTest::addColumn<qint64>("quotient");
        QTest::newRow("500") << qint64(500) << qint64(0);
        QTest::newRow("501") << qint64(501) << qint64(1);
        QTest::newRow("1500") << qint64(1500) << qint64(2);
        QTest::newRow("2500") << qint64(2500) << qint64(2);
        QTest::newRow("-1500") << qint64(-1500) << qint64(-2);
        QTest::newRow("-2500") << qint64(-2500) << qint64(-2);
        QTest::newRow("max") << std::numeric_limits<qint64>::max()
                             << std::numeric_limits<qint64>::max() / 1000 + 1;
    }
    void divideRoundHalfEven() {
        QFETCH(qint64, numerator);
        QFETCH(qint64, quotient);
        QCOMPARE(platform::DivideRoundHalfEven(numerator, 1000), quotient);
    }

    void integerConversions_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits32");
        QTest::addColumn<bool>("fits16");
        QTest::newRow("0") << 0.0 << true << true;
        QTest::newRow("32767.4") << 32767.4 << true << true;
        QTest::newRow("32767.5") << 32767.5 << true << false;
        QTest::newRow("-32768.5") << -32768.5 << true << true;
        QTest::newRow("2147483647.4") << 2147483647.4 << true << false;
        QTest::newRow("2147483647.5") << 2147483647.5 << false << false;
        QTest::newRow("-2147483648.5") << -2147483648.5 << true << false;
        QTest::newRow("NaN") << std::nan("") << false << false;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << false << false;
    }
    void integerConversions() {
        QFETCH(double, value);
        QFETCH(bool, fits32);
        QFETCH(bool, fits16);
        QCOMPARE(platform::ToInt32(value).has_value(), fits32);
        QCOMPARE(platform::ToInt16(value).has_value(), fits16);
        if (fits32)
            QCOMPARE(double(*platform::ToInt32(value)), platform::RoundHalfEven(value));
    }

    void saturate_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint32>("result");
        QTest::newRow("eleven nines") << 99999999999.0 << std::numeric_limits<qint32>::max();
        QTest::newRow("-1e300") << -1e300 << std::numeric_limits<qint32>::min();
        QTest::newRow("NaN") << std::nan("") << 0;
        QTest::newRow("3.5") << 3.5 << 4;
    }
    void saturate() {
        QFETCH(double, value);
        QFETCH(qint32, result);
        QCOMPARE(platform::SaturateToInt32(value), result);
    }

    void leadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("12abc") << "12abc" << 12.0;
        QTest::newRow("2.5") << "2.5" << 2.5;
        QTest::newRow("leading blanks") << " \t 7" << 7.0;
        QTest::newRow("abc") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("-5") << "-5" << -5.0;
        QTest::newRow("+5x") << "+5x" << 5.0;
        QTest::newRow(".5") << ".5" << 0.5;
        QTest::newRow("5.") << "5." << 5.0;
        QTest::newRow("lone point") << "." << 0.0;
        QTest::newRow("lone sign") << "-" << 0.0;
        QTest::newRow("exponent") << "1e3s" << 1000.0;
        QTest::newRow("negative exponent") << "25E-1" << 2.5;
        QTest::newRow("exponent without digits") << "4e" << 4.0;
        QTest::newRow("exponent sign without digits") << "4e+x" << 4.0;
        QTest::newRow("overflow") << "1e400" << std::numeric_limits<double>::infinity();
        QTest::newRow("negative overflow") << "-9e999" << -std::numeric_limits<double>::infinity();
        QTest::newRow("underflow") << "1e-400" << 0.0;
        QTest::newRow("inner blank") << "1 2" << 1.0;
        QTest::newRow("comma") << "1,5" << 1.0;
        QTest::newRow("arabic digits") << QString::fromUtf8("\u0661\u0662") << 0.0;
    }
    void leadingNumber() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(platform::LeadingNumber(text), value);
    }

    void parseNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("30") << "30" << true << 30.0;
        QTest::newRow("blanks around") << " \t-4 \t" << true << -4.0;
        QTest::newRow("fraction") << "1.5" << true << 1.5;
        QTest::newRow("leading point") << ".5" << true << 0.5;
        QTest::newRow("plus") << "+2" << true << 2.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("blanks only") << "   " << false << 0.0;
        QTest::newRow("abc") << "abc" << false << 0.0;
        QTest::newRow("trailing junk") << "12abc" << false << 0.0;
        QTest::newRow("exponent") << "1e3" << false << 0.0;
        QTest::newRow("inner blank") << "1 2" << false << 0.0;
        QTest::newRow("two points") << "1.2.3" << false << 0.0;
        QTest::newRow("lone point") << "." << false << 0.0;
        QTest::newRow("NUL") << QString("1") + QChar(0) << false << 0.0;
    }
    void parseNumber() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const auto parsed = platform::ParseNumber(text);
        QCOMPARE(parsed.has_value(), ok);
        if (ok)
            QCOMPARE(*parsed, value);
    }

    void notificationCodes_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("statusNotifier");
        QTest::addColumn<int>("code"); // 0: nothing
        QTest::newRow("XEmbed double-click") << int(QSystemTrayIcon::DoubleClick) << false << 515;
        QTest::newRow("XEmbed single click") << int(QSystemTrayIcon::Trigger) << false << 0;
        QTest::newRow("XEmbed right click") << int(QSystemTrayIcon::Context) << false << 517;
        QTest::newRow("XEmbed middle click") << int(QSystemTrayIcon::MiddleClick) << false << 0;
        QTest::newRow("XEmbed unknown") << int(QSystemTrayIcon::Unknown) << false << 0;
        QTest::newRow("panel activation") << int(QSystemTrayIcon::Trigger) << true << 515;
        QTest::newRow("panel context") << int(QSystemTrayIcon::Context) << true << 517;
        QTest::newRow("panel secondary") << int(QSystemTrayIcon::MiddleClick) << true << 0;
    }
    void notificationCodes() {
        QFETCH(int, reason);
        QFETCH(bool, statusNotifier);
        QFETCH(int, code);
        const auto mapped =
            platform::NotificationCode(QSystemTrayIcon::ActivationReason(reason), statusNotifier);
        QCOMPARE(mapped.value_or(0), code);
    }

    // A temporary left by a killed writer is taken over, not added to.
    void replaceTakesOverAStrayTemporary() {
        QTemporaryDir dir;
        const QString target = dir.filePath("Settings.ini");
        const QString stray = QFile::decodeName(platform::TemporaryFor(QFile::encodeName(target)));
        QVERIFY(WriteAll(stray, "half of an old wri"));
        QVERIFY(platform::ReplaceFileContents(target, "new\r\n"));
        QCOMPARE(ReadAll(target), QByteArray("new\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Settings.ini"});
    }

    // Writers killed at any moment leave at most one temporary behind, and never a file of
    // somebody else's is removed.
    void killedWritersLeaveAtMostOneTemporary() {
        QTemporaryDir dir;
        const QString target = dir.filePath("Settings.ini");
        const QStringList others{".Settings.ini.x1.tmp", "Settings.ini~", ".Settings.ini.new"};
        for (const QString& other : others)
            QVERIFY(WriteAll(dir.filePath(other), "mine"));
        const QByteArray content(1 << 20, 'x');
        QRandomGenerator random(8);
        for (int kill = 0; kill < 40; ++kill) {
            const pid_t child = fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                for (;;)
                    platform::ReplaceFileContents(target, content);
            }
            usleep(useconds_t(random.bounded(2000, 12000)));
            ::kill(child, SIGKILL);
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
        }
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& other : others) {
            QCOMPARE(ReadAll(dir.filePath(other)), QByteArray("mine"));
            left.removeOne(other);
        }
        left.removeOne("Settings.ini");
        QVERIFY2(left.size() <= 1, qPrintable(left.join(' ')));
        QVERIFY(platform::ReplaceFileContents(target, "done"));
        QCOMPARE(ReadAll(target), QByteArray("done"));
    }

    // What stands at the temporary's name and is not a temporary of a dead writer is left as
    // it is, and the target keeps its content.
    void replaceLeavesForeignTemporariesAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symbolic link") << "link";
        QTest::newRow("second name of another file") << "hard link";
        QTest::newRow("another writer's") << "locked";
    }
    void replaceLeavesForeignTemporariesAlone() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString target = dir.filePath("uptime.txt");
        const QString other = dir.filePath("other");
        const QString temporary =
            QFile::decodeName(platform::TemporaryFor(QFile::encodeName(target)));
        QVERIFY(WriteAll(target, "old"));
        QVERIFY(WriteAll(other, "other's"));
        int held = -1;
        if (kind == "link") {
            QVERIFY(QFile::link(other, temporary));
        } else if (kind == "hard link") {
            QCOMPARE(link(QFile::encodeName(other).constData(),
                          QFile::encodeName(temporary).constData()),
                     0);
        } else {
            QVERIFY(WriteAll(temporary, "other's"));
            held = open(QFile::encodeName(temporary).constData(), O_RDONLY | O_CLOEXEC);
            QCOMPARE(flock(held, LOCK_EX), 0);
        }
        QVERIFY(!platform::ReplaceFileContents(target, "new"));
        QCOMPARE(ReadAll(target), QByteArray("old"));
        QCOMPARE(ReadAll(other), QByteArray("other's"));
        QCOMPARE(ReadAll(temporary), QByteArray("other's"));
        if (held >= 0)
            close(held);
    }

    void tickCounterFollowsUptime() {
        // The counter and /proc/uptime both count from boot, suspended time included.
        QFile uptime(QStringLiteral("/proc/uptime"));
        if (!uptime.open(QIODevice::ReadOnly))
            QSKIP("no /proc/uptime here");
        const double procSeconds = uptime.readAll().split(' ').value(0).toDouble();
        const double counterSeconds =
            double(platform::SystemTickCounter().GetTickCount64()) / 1000.0;
        QVERIFY2(std::abs(counterSeconds - procSeconds) < 2.0,
                 qPrintable(QString("%1 vs %2").arg(counterSeconds).arg(procSeconds)));
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
