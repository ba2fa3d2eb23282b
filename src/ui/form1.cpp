#include "ui/form1.h"

#include "platform/accessibility.h"
#include "platform/numeric.h"
#include "platform/screen.h"
#include "settings/modmisc.h"
#include "ui/checkbox.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

// The icons are linked in from a static library, whose resources nothing else pulls in.
static void LoadResources() {
    Q_INIT_RESOURCE(tallimer);
}

namespace {

// Client area of the window, in twips.
constexpr int ClientWidth = 3495;
constexpr int ClientHeight = 2055;
constexpr int TimerPeriodMs = 1000;
// How long the start-up waits for a desktop panel that comes up after the program.
constexpr int TrayWatchChecks = 60;
const QColor BandColour(224, 224, 224);

QIcon ApplicationIcon() {
    LoadResources();
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/icons/tallimer-%1.png").arg(size), QSize(size, size));
    return icon;
}

void Fill(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

template <typename Control> Control* Named(Control* control, const char* name) {
    control->setObjectName(QLatin1String(name));
    return control;
}

} // namespace

Form1::Form1(Form1Services services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), twipsPerPixelX_(platform::TwipsPerPixelX()),
      twipsPerPixelY_(platform::TwipsPerPixelY()) {
    platform::InstallAccessibility();
    setWindowTitle(AppTitle);
    // A window that is never resized offers no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // The layout is fixed in twips for a small sans face; this desktop's default face is
    // wider and would clip the texts.
    QFont face(QStringLiteral("Arial"));
    face.setPointSizeF(8.25);
    setFont(face);
    setWindowIcon(ApplicationIcon());
    const QRect client = Twips(0, 0, ClientWidth, ClientHeight);
    setFixedSize(client.size());
    CreateControls();
    // The tray icon's notifications arrive as mouse moves without a button held, which Qt
    // delivers only to a window that tracks the mouse.
    setMouseTracking(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Form1::~Form1() = default;

QRect Form1::Twips(int left, int top, int width, int height) const {
    const auto x = [this](int twips) { return platform::SaturateToInt32(twips / twipsPerPixelX_); };
    const auto y = [this](int twips) { return platform::SaturateToInt32(twips / twipsPerPixelY_); };
    return QRect(x(left), y(top), x(width), y(height));
}

void Form1::CreateControls() {
    // A decorative band, painted on the window itself: no control, nothing a screen reader
    // would have to read out.
    Shape1 = Twips(-120, 0, 3735, 255);

    lblUptime = Named(new QLabel(QStringLiteral("Uptime"), this), "lblUptime");
    lblUptime->setGeometry(Twips(0, 120, 3495, 495));
    lblUptime->setAlignment(Qt::AlignCenter);
    QFont uptimeFont(QStringLiteral("Arial"));
    uptimeFont.setPointSizeF(9.75);
    uptimeFont.setBold(true);
    lblUptime->setFont(uptimeFont);
    Fill(lblUptime, BandColour);

    txtInt = Named(new QLineEdit(this), "txtInt");
    txtInt->setGeometry(Twips(2040, 720, 1335, 285));
    txtInt->setAccessibleName(QStringLiteral("Update interval, seconds"));

    Label1 = Named(new QLabel(QStringLiteral("Update interval, seconds:"), this), "Label1");
    Label1->setGeometry(Twips(120, 720, 1935, 255));
    Label1->setBuddy(txtInt);

    cmdToggle = Named(new QPushButton(QStringLiteral("Start"), this), "cmdToggle");
    cmdToggle->setGeometry(Twips(2160, 1080, 1215, 375));

    chkFile = Named(new QCheckBox(QStringLiteral("Use file method"), this), "chkFile");
    chkFile->setGeometry(Twips(120, 1080, 1455, 255));
    chkFile->setToolTip(
        QStringLiteral("If ticked, this will get the uptime from the specified file"));

    cmdTray = Named(new QPushButton(QStringLiteral("Send To Tray"), this), "cmdTray");
    cmdTray->setGeometry(Twips(2160, 1560, 1215, 375));

    chkAutoStart = Named(new QCheckBox(QStringLiteral("Auto start"), this), "chkAutoStart");
    chkAutoStart->setGeometry(Twips(120, 1320, 1095, 255));
    chkAutoStart->setToolTip(QStringLiteral(
        "If ticked, the client will start fetching the uptime as soon as the client is run"));

    chkAutoTray = Named(new QCheckBox(QStringLiteral("Auto send to tray"), this), "chkAutoTray");
    chkAutoTray->setGeometry(Twips(120, 1560, 1575, 255));
    chkAutoTray->setToolTip(QStringLiteral(
        "If ticked, the client will be sent to the system tray as soon as the client is run"));

    for (QCheckBox* box : {chkFile, chkAutoStart, chkAutoTray}) {
        box->setAccessibleDescription(box->toolTip());
        platform::ReportCheckStateChanges(*box);
    }

    setTabOrder(txtInt, cmdToggle);
    setTabOrder(cmdToggle, chkFile);
    setTabOrder(chkFile, cmdTray);
    setTabOrder(cmdTray, chkAutoStart);
    setTabOrder(chkAutoStart, chkAutoTray);

    // One tick a second, each re-armed in phase with the measured clock's own seconds: a timer
    // of a fixed period drifts against that clock (by whatever time the machine spent
    // suspended), and ticks near a rounding edge would skip or repeat a second.
    tmrUpdate = Named(new QTimer(this), "tmrUpdate");
    tmrUpdate->setSingleShot(true);
    tmrUpdate->setTimerType(Qt::PreciseTimer);

    tmrTrayWatch = Named(new QTimer(this), "tmrTrayWatch");
    tmrTrayWatch->setInterval(TimerPeriodMs);

    mnSysTray = Named(new QMenu(QStringLiteral("System Tray Menu"), this), "mnSysTray");
    mnOpen = Named(mnSysTray->addAction(QStringLiteral("Open Tallimer")), "mnOpen");
    mnExit = Named(mnSysTray->addAction(QStringLiteral("Exit")), "mnExit");
    mnSysTray->setDefaultAction(mnOpen);
    services_.tray.SetPanelMenu(mnSysTray);

    connect(tmrUpdate, &QTimer::timeout, this, [this] {
        tmrUpdate->start(MillisecondsToNextTick());
        tmrUpdate_Timer();
    });
    connect(tmrTrayWatch, &QTimer::timeout, this, &Form1::tmrTrayWatch_Timer);
    connect(cmdToggle, &QPushButton::clicked, this, &Form1::cmdToggle_Click);
    connect(txtInt, &QLineEdit::textChanged, this, &Form1::txtInt_Change);
    connect(cmdTray, &QPushButton::clicked, this, &Form1::cmdTray_Click);
    connect(mnOpen, &QAction::triggered, this, &Form1::mnOpen_Click);
    connect(mnExit, &QAction::triggered, this, &Form1::mnExit_Click);
}

void Form1::Form_Load() {
    state_.Loading = true;
    state_.FileService = services_.createFileService();
    state_.AppDir = WithTrailingSlash(services_.programFolder());
    state_.SettingsPath = state_.AppDir + QStringLiteral("Settings.ini");
    state_.BootFilePath = DefaultBootFilePath;
    state_.OutputFilePath = state_.AppDir + QStringLiteral("uptime.txt");
    state_.UpdateInterval = 30;
    state_.TrayTip = AppTitle + QStringLiteral(" - OFF");
    if (platform::IsNormalFile(state_.SettingsPath))
        ApplySettingsFile();
    txtInt->setText(QString::number(state_.UpdateInterval));
    state_.Loading = false;
    if (checkbox::Value(*chkAutoStart) == checkbox::Ticked)
        cmdToggle_Click();
    if (checkbox::Value(*chkAutoTray) == checkbox::Ticked) {
        SendToTray();
        // At login the panel may come up after the program: watch for it (Qt has no signal
        // for its arrival) and go into the tray then.
        if (!services_.tray.TrayIconShown()) {
            trayWatchChecks_ = 0;
            tmrTrayWatch->start();
        }
    }
}

void Form1::tmrTrayWatch_Timer() {
    if (!tmrTrayWatch->isActive())
        return;
    const bool restoredByUser = !(windowState() & Qt::WindowMinimized);
    const bool areaAppeared = !restoredByUser && services_.tray.NotificationAreaAvailable();
    if (restoredByUser || areaAppeared || ++trayWatchChecks_ >= TrayWatchChecks)
        tmrTrayWatch->stop();
    if (areaAppeared)
        SendToTray();
}

void Form1::ApplySettingsFile() {
    const QString& file = state_.SettingsPath;
    const auto read = [&file](const char* section, const char* key) {
        return modMisc::ReadSetting(QLatin1String(section), QLatin1String(key), file);
    };
    // The program never writes the paths, so a file it wrote has none: an absent or empty
    // path keeps the default rather than leaving nowhere to write.
    for (auto [key, path] : {std::pair{"BootFile", &state_.BootFilePath},
                             std::pair{"Output File", &state_.OutputFilePath}}) {
        const QString value = read("Paths", key);
        if (!value.isEmpty())
            *path = value;
    }
    if (const auto interval = modMisc::ToInterval(read("Options", "Interval")))
        state_.UpdateInterval = *interval;
    for (auto [key, box] :
         {std::pair{"Use file method", chkFile}, std::pair{"AutoStart", chkAutoStart},
          std::pair{"Auto Send To Tray", chkAutoTray}}) {
        if (const auto value = modMisc::ToCheckValue(read("Options", key)))
            checkbox::SetValue(*box, *value);
    }
}

void Form1::Form_QueryUnload() {
    state_.FileService.reset();
    state_.BootFileInfo.reset();
    const QString& file = state_.SettingsPath;
    const auto write = [&file](const char* key, int value) {
        modMisc::WriteSetting(QStringLiteral("Options"), QLatin1String(key),
                              QString::number(value).trimmed(), file);
    };
    write("Interval", state_.UpdateInterval);
    write("Use file method", checkbox::Value(*chkFile));
    write("AutoStart", checkbox::Value(*chkAutoStart));
    write("Auto Send To Tray", checkbox::Value(*chkAutoTray));
}

void Form1::RefreshUptime() {
    const engine::RefreshInputs inputs{checkbox::Value(*chkFile) == checkbox::Ticked,
                                       state_.BootFilePath, state_.OutputFilePath};
    const engine::UptimeSources sources{services_.ticks, services_.clock, state_.FileService.get()};
    if (const auto parts =
            engine::RefreshUptime(inputs, sources, state_.UptimeSeconds, state_.BootFileInfo)) {
        state_.UptimeParts = *parts;
        lblUptime->setText(engine::UptimeCaption(*parts));
    }
}

int Form1::MillisecondsToNextTick() const {
    // The file method cuts the wall clock to whole seconds; the tick count is rounded.
    if (checkbox::Value(*chkFile) == checkbox::Ticked)
        return engine::MillisecondsToNextTick(services_.clock.CurrentDateTime().toMSecsSinceEpoch(),
                                              TimerPeriodMs / 2);
    return engine::MillisecondsToNextTick(qint64(services_.ticks.GetTickCount64()), 0);
}

void Form1::tmrUpdate_Timer() {
    if (state_.TicksSinceUpdate < std::numeric_limits<qint32>::max())
        ++state_.TicksSinceUpdate;
    if (state_.TicksSinceUpdate > state_.UpdateInterval) {
        RefreshUptime();
        state_.TicksSinceUpdate = 0;
    }
}

void Form1::cmdToggle_Click() {
    if (tmrUpdate->isActive())
        tmrUpdate->stop();
    else
        tmrUpdate->start(MillisecondsToNextTick());
    const bool running = tmrUpdate->isActive();
    txtInt->setEnabled(!running);
    chkFile->setEnabled(!running);
    state_.TrayTip = AppTitle + (running ? QStringLiteral(" - ON") : QStringLiteral(" - OFF"));
    cmdToggle->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    platform::ReportNameChange(*cmdToggle);
}

void Form1::txtInt_Change(const QString& text) {
    if (state_.Loading)
        return;
    state_.UpdateInterval = std::max(platform::SaturateToInt32(platform::LeadingNumber(text)), 1);
}

void Form1::cmdTray_Click() {
    SendToTray();
}

void Form1::SendToTray() {
    modSysTray& tray = services_.tray;
    if (tray.TrayIconShown())
        return;
    // Hiding the window with no notification area to come back from would strand it:
    // minimise it to the task bar instead.
    if (!tray.NotificationAreaAvailable()) {
        setWindowState(windowState() | Qt::WindowMinimized);
        return;
    }
    tray.AddTrayIcon(this, state_.TrayTip);
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
}

void Form1::RestoreFromTray() {
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    services_.tray.RemoveTrayIcon();
}

void Form1::Form_MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, double x, double) {
    if (!services_.tray.TrayIconShown())
        return;
    switch (platform::SaturateToInt32(x / twipsPerPixelX_)) {
    case platform::WM_LBUTTONDBLCLK:
    case platform::NIN_BALLOONUSERCLICK:
        RestoreFromTray();
        break;
    case platform::WM_RBUTTONUP:
        mnSysTray->popup(QCursor::pos());
        break;
    default:
        break;
    }
}

void Form1::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(Shape1, BandColour);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pixels = event->position();
    Form_MouseMove(event->buttons(), event->modifiers(), pixels.x() * twipsPerPixelX_,
                   pixels.y() * twipsPerPixelY_);
}

void Form1::mnOpen_Click() {
    RestoreFromTray();
    activateWindow();
    raise();
    setFocus(Qt::ActiveWindowFocusReason);
}

void Form1::mnExit_Click() {
    close();
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    services_.tray.RemoveTrayIcon();
    event->accept();
    // The window may be hidden in the tray, where closing it does not end the event loop.
    // Quit from the event loop once this close has finished, not in the middle of it.
    QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
}
