#pragma once

#include "platform/window.h"
#include "tray/modsystray.h"
#include "ui/filesplace.h"
#include "ui/mainwindowstate.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the window measures with and where it lives; tests hand in fakes.
struct Form1Services {
    platform::Window& window;
    const platform::TickCounter& ticks;
    const platform::Clock& clock;
    std::function<std::unique_ptr<platform::FileService>()> createFileService;
    // Where Settings.ini and uptime.txt live (ui::PlaceFiles).
    ui::FilesPlace files;
    // Tells what no window shows: that no folder holds the files, that a save failed.
    std::function<void(const std::string&)> report;
    modSysTray& tray;
};

// The program's only window: its state and every handler. The window system shows it and
// calls it back through platform::WindowEvents.
class Form1 final : public platform::WindowEvents {
public:
    // Builds the window from its table of controls at the screen's density.
    explicit Form1(Form1Services services);

    const MainWindowState& State() const { return state_; }
    // False when the window system refused the window.
    bool Created() const { return created_; }

    // Loads the form and shows the window, unless the start-up sent it into the tray.
    void Start();

    // Fills the state and applies the options; runs once, before the window is first shown.
    void Form_Load();
    // Saves the options; runs once, whichever way the window is closed.
    void Form_QueryUnload();
    // The window became active: the keyboard focus goes back to a control.
    void Form_Activate();

    void tmrUpdate_Timer();
    void cmdToggle_Click();
    void txtInt_Change();
    void cmdTray_Click();
    // Notifications of the tray icon arrive here, as a position in twips; the buttons and keys
    // held are never looked at.
    void Form_MouseMove(double x, double y);
    void mnOpen_Click();
    void mnExit_Click();
    // The program was started again from its folder: this copy comes back, as Open does, and
    // the other one ends.
    void AnotherStart();
    // While the start-up waits for a notification area to appear, and while the icon is shown
    // in one, which may go.
    void tmrTrayWatch_Timer();
    bool WatchingForTray() const { return trayWatch_ == TrayWatch::ForArea; }

    void RefreshUptime();
    void SendToTray();
    void RestoreFromTray();
    // When the one-second timer should tick next: in phase with the clock that is measured.
    int MillisecondsToNextTick() const;
    // The control that gets the keyboard focus when the window is shown or activated: the one
    // that had it last, the first in the tab order at first, or the next one that is enabled.
    platform::ControlName FocusTarget() const;

    // platform::WindowEvents
    void Click(platform::ControlName control) override;
    void MenuClick(platform::MenuItemName item) override;
    void Change(platform::ControlName control) override;
    void Timer(platform::TimerName timer) override;
    void MouseMove(const platform::MouseInput& mouse) override;
    bool KeyDown(platform::ControlName control, const platform::KeyPress& press) override;
    void GotFocus(platform::ControlName control) override;
    void Activate() override;
    void AppearanceChanged() override;
    void QueryUnload() override;
    // The program closes as its close button closes it: the options are saved.
    void SessionEnding() override;

private:
    enum class TrayWatch { None, ForArea, OverIcon };
    void StartTrayWatch(TrayWatch watch);
    void StopTrayWatch();
    void ApplySettingsFile(const std::string& file);
    platform::WindowPlan Plan() const;
    bool Ticked(platform::ControlName checkBox) const;
    void FocusControl();

    Form1Services services_;
    platform::Window& window_;
    bool created_;
    MainWindowState state_;
    std::vector<platform::ControlName> tabOrder_;
    platform::ControlName lastFocus_;
    TrayWatch trayWatch_ = TrayWatch::None;
    // How long the notification area has been missing since it was first found so.
    std::optional<int> trayMissingMs_;
};
