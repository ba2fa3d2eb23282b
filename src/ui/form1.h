#pragma once

#include "tray/modsystray.h"
#include "ui/mainwindowstate.h"

#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QTimer;

// What the window measures with and where it lives; tests hand in fakes.
struct Form1Services {
    const platform::TickCounter& ticks;
    const platform::Clock& clock;
    std::function<std::unique_ptr<platform::FileService>()> createFileService;
    std::function<QString()> programFolder;
    modSysTray& tray;
};

// The program's only window.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(Form1Services services, QWidget* parent = nullptr);
    ~Form1() override;

    const MainWindowState& State() const { return state_; }

    // Fills the state and applies the options; runs once, before the window is first shown.
    void Form_Load();
    // Saves the options; runs once, whichever way the window is closed.
    void Form_QueryUnload();

    void RefreshUptime();
    // When the one-second timer should tick next: in phase with the clock that is measured.
    int MillisecondsToNextTick() const;
    void SendToTray();
    void RestoreFromTray();
    // Notifications of the tray icon arrive here; x and y are in twips.
    void Form_MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, double x, double y);

public slots:
    void tmrUpdate_Timer();
    void cmdToggle_Click();
    void txtInt_Change(const QString& text);
    void cmdTray_Click();
    void mnOpen_Click();
    void mnExit_Click();
    // While the start-up waits for a notification area to appear.
    void tmrTrayWatch_Timer();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QRect Twips(int left, int top, int width, int height) const;
    void CreateControls();
    void ApplySettingsFile();

    Form1Services services_;
    MainWindowState state_;
    double twipsPerPixelX_;
    double twipsPerPixelY_;

    QRect Shape1; // the grey band, in pixels
    QLabel* lblUptime = nullptr;
    QLineEdit* txtInt = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* cmdToggle = nullptr;
    QCheckBox* chkFile = nullptr;
    QPushButton* cmdTray = nullptr;
    QCheckBox* chkAutoStart = nullptr;
    QCheckBox* chkAutoTray = nullptr;
    QTimer* tmrUpdate = nullptr;
    QTimer* tmrTrayWatch = nullptr;
    int trayWatchChecks_ = 0;
    QMenu* mnSysTray = nullptr;
    QAction* mnOpen = nullptr;
    QAction* mnExit = nullptr;
};
