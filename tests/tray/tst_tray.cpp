#include "fakes.h"
#include "tray/modsystray.h"

#include <QIconEngine>
#include <QTest>

namespace {

// An icon that can be told apart without a display to draw it on.
class NamedIconEngine final : public QIconEngine {
public:
    void paint(QPainter*, const QRect&, QIcon::Mode, QIcon::State) override {}
    QIconEngine* clone() const override { return new NamedIconEngine; }
    QString iconName() override { return QStringLiteral("tallimer-test"); }
};

} // namespace

class TrayTest : public QObject {
    Q_OBJECT

    FakeShellIconService shell;
    QObject window;

private slots:
    void init() {
        shell = {};
        window.setProperty("windowIcon", QVariant::fromValue(QIcon(new NamedIconEngine)));
    }

    void addFillsTheRecord() {
        modSysTray tray(shell);
        QVERIFY(!tray.TrayIconShown());
        tray.AddTrayIcon(&window, "Tallimer - OFF");
        QVERIFY(tray.TrayIconShown());
        QCOMPARE(shell.calls.size(), 1);
        const platform::NOTIFYICONDATA& sent = shell.calls[0].data;
        QCOMPARE(shell.calls[0].message, platform::NIM_ADD);
        QCOMPARE(sent.cbSize, 88u);
        QCOMPARE(sent.hWnd, &window);
        QCOMPARE(sent.uID, 1u);
        QCOMPARE(sent.uFlags, 7u);
        QCOMPARE(sent.uCallbackMessage, 512u);
        QCOMPARE(sent.hIcon.name(), QStringLiteral("tallimer-test"));
        QCOMPARE(shell.Tip(0), QStringLiteral("Tallimer - OFF"));
        const QByteArray rest(sent.szTip.data() + 15, platform::TipBytes - 15);
        QCOMPARE(rest, QByteArray(platform::TipBytes - 15, ' '));
    }

    void secondAddChangesNothing() {
        modSysTray tray(shell);
        tray.AddTrayIcon(&window, "Tallimer - OFF");
        tray.AddTrayIcon(&window, "Tallimer - ON");
        QCOMPARE(shell.calls.size(), 1);
        QCOMPARE(QByteArray(tray.TrayIconRecord().szTip.data()), QByteArray("Tallimer - OFF"));
    }

    void removeSendsTheKeptRecord() {
        modSysTray tray(shell);
        tray.RemoveTrayIcon();
        QVERIFY(shell.calls.isEmpty());
        tray.AddTrayIcon(&window, "Tallimer - ON");
        tray.RemoveTrayIcon();
        QVERIFY(!tray.TrayIconShown());
        QCOMPARE(shell.calls.size(), 2);
        QCOMPARE(shell.calls[1].message, platform::NIM_DELETE);
        QCOMPARE(shell.calls[1].data.hWnd, &window);
        QCOMPARE(shell.calls[1].data.uID, 1u);
        tray.RemoveTrayIcon();
        QCOMPARE(shell.calls.size(), 2);
        tray.AddTrayIcon(&window, "again");
        QCOMPARE(shell.Tip(2), QStringLiteral("again"));
    }

    void tipLength_data() {
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QString>("shown");
        const QString a63(63, u'a');
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("63 characters") << a63 << a63;
        QTest::newRow("64 characters") << a63 + "b" << a63;
        QTest::newRow("200 characters") << QString(200, u'x') << QString(63, u'x');
        // Two bytes each in the 8-bit encoding: never split in the middle of one.
        QTest::newRow("accented") << QString(40, QChar(0xE9)) << QString(31, QChar(0xE9));
        QTest::newRow("emoji") << QString::fromUtf8("\U0001F552").repeated(20)
                               << QString::fromUtf8("\U0001F552").repeated(15);
    }
    void tipLength() {
        QFETCH(QString, tip);
        QFETCH(QString, shown);
        modSysTray tray(shell);
        tray.AddTrayIcon(&window, tip);
        QCOMPARE(shell.Tip(0), shown);
        QVERIFY(qstrnlen(shell.calls[0].data.szTip.data(), platform::TipBytes) <
                platform::TipBytes);
    }

    void refusedAddStillCountsAsShown() {
        // The shell's answer is not looked at: the flag follows the call made.
        struct RefusingShell final : platform::ShellIconService {
            int calls = 0;
            bool Shell_NotifyIcon(quint32, const platform::NOTIFYICONDATA&) override {
                ++calls;
                return false;
            }
            bool IsAvailable() const override { return true; }
            void SetPanelMenu(QMenu*) override {}
        } refusing;
        modSysTray tray(refusing);
        tray.AddTrayIcon(&window, "tip");
        QVERIFY(tray.TrayIconShown());
        tray.RemoveTrayIcon();
        QVERIFY(!tray.TrayIconShown());
        QCOMPARE(refusing.calls, 2);
    }
};

QTEST_GUILESS_MAIN(TrayTest)
#include "tst_tray.moc"
