#pragma once

#include "platform/window.h"
#include "tray/modsystray.h"
#include "ui/mainwindowstate.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

// What the window measures with and where it lives; tests hand in fakes.
struct Form1Services {
    platform::Window& window;
    const platform::TickCounter& ticks;
    const platform::Clock& clock;
    std::function<std::unique_ptr<platform::FileService>()> createFileService;
    std::function<std::string()> programFolder;
    modSysTray& tray;
};

// The program's only window: its state and every handler. The window system shows it and
// calls it back through platform::WindowEvents.
class Form1 final : public platform::WindowEvents {
public:
    explicit Form1(Form1Services services);

    const MainWindowState& State() const { return state_; }

    // Fills the state and applies the options; runs once, before the window is first shown.
    void Form_Load();
    // Saves the options; runs once, whichever way the window is closed.
    void Form_QueryUnload();

    void tmrUpdate_Timer();
    void cmdToggle_Click();
    void txtInt_Change();
    void cmdTray_Click();
    // Notifications of the tray icon arrive here; x and y are in twips.
    void Form_MouseMove(int button, int shift, double x, double y);
    void mnOpen_Click();
    void mnExit_Click();
    // While the start-up waits for a notification area to appear.
    void tmrTrayWatch_Timer();
    bool WatchingForTray() const { return watchingForTray_; }

    void RefreshUptime();
    void SendToTray();
    void RestoreFromTray();
    // When the one-second timer should tick next: in phase with the clock that is measured.
    int MillisecondsToNextTick() const;

    // platform::WindowEvents
    void Click(std::string_view control) override;
    void Change(std::string_view control) override;
    void Timer(std::string_view timer) override;
    void MouseMove(int button, int shift, double x, double y) override;
    void QueryUnload() override;

private:
    void ApplySettingsFile();
    bool Ticked(std::string_view checkBox) const;

    Form1Services services_;
    platform::Window& window_;
    MainWindowState state_;
    bool watchingForTray_ = false;
    int trayWatchChecks_ = 0;
};
