#include "ui/form1.h"

#include "base/numeric.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "settings/modmisc.h"
#include "ui/controls.h"
#include "ui/layout.h"

#include <algorithm>
#include <limits>
#include <utility>

using namespace controls;

namespace {

constexpr int TimerPeriodMs = 1000;
// How long the program waits for a notification area: a panel that comes up after it at login,
// or one that went away with its icon and may be restarting.
constexpr int TrayGraceMs = 60'000;
// How often a shown icon's notification area is looked for; a missing one once a second.
constexpr int TrayCheckMs = 5000;

std::string Titled(std::string_view suffix) {
    return std::string(AppTitle) + std::string(suffix);
}

} // namespace

Form1::Form1(Form1Services services)
    : services_(std::move(services)), window_(services_.window), created_(window_.Create(Plan())),
      tabOrder_(ui::TabOrder(controls::Form1Layout)), lastFocus_(tabOrder_.front()) {}

// The window as designed, in pixels of the screen it is on, in the desktop's look.
platform::WindowPlan Form1::Plan() const {
    return ui::PlanWindow(controls::Form1Layout, window_);
}

bool Form1::Ticked(platform::ControlName checkBox) const {
    return window_.Value(checkBox) == platform::vbChecked;
}

void Form1::Start() {
    Form_Load();
    if (services_.tray.TrayIconShown())
        return;
    window_.Show();
    FocusControl();
}

void Form1::Form_Load() {
    state_.Loading = true;
    state_.FileService = services_.createFileService();
    const ui::FilesPlace& files = services_.files;
    // The folder of the two files: beside a copy of its own, the program's (ui::PlaceFiles).
    // Where no folder can hold them, nothing is written, and the user hears of it once.
    state_.AppDir = files.folder;
    state_.SettingsPath = files.folder.empty() ? "" : state_.AppDir + "Settings.ini";
    state_.DefaultSettingsPath = files.defaults;
    state_.BootFilePath = DefaultBootFilePath;
    state_.OutputFilePath = files.folder.empty() ? "" : state_.AppDir + "uptime.txt";
    if (!files.problem.empty())
        services_.report(files.problem);
    state_.UpdateInterval = 30;
    state_.TrayTip = Titled(" - OFF");
    if (platform::IsRegularFile(state_.SettingsPath))
        ApplySettingsFile(state_.SettingsPath);
    else if (platform::IsRegularFile(state_.DefaultSettingsPath))
        ApplySettingsFile(state_.DefaultSettingsPath);
    window_.SetText(txtInt, std::to_string(state_.UpdateInterval));
    state_.Loading = false;
    if (Ticked(chkAutoStart))
        cmdToggle_Click();
    if (Ticked(chkAutoTray)) {
        SendToTray();
        // At login the panel may come up after the program: watch for it (the desktop sends
        // no word of its arrival) and go into the tray then.
        if (!services_.tray.TrayIconShown())
            StartTrayWatch(TrayWatch::ForArea);
    }
}

void Form1::ApplySettingsFile(const std::string& file) {
    const auto read = [&file](const char* section, const char* key) {
        return modMisc::ReadSetting(section, key, file);
    };
    // The program never writes the paths, so a file it wrote has none: an absent or empty
    // path keeps the default rather than leaving nowhere to write.
    for (auto [key, path] : {std::pair{"BootFile", &state_.BootFilePath},
                             std::pair{"Output File", &state_.OutputFilePath}}) {
        if (const std::string value = read("Paths", key); !value.empty())
            *path = platform::FileNameFromText(value);
    }
    if (const auto interval = modMisc::ToInterval(read("Options", "Interval")))
        state_.UpdateInterval = *interval;
    for (auto [key, box] :
         {std::pair{"Use file method", chkFile}, std::pair{"AutoStart", chkAutoStart},
          std::pair{"Auto Send To Tray", chkAutoTray}}) {
        // A box holds 0, 1 and 2 and refuses anything else.
        if (const auto number = modMisc::ToCheckValue(read("Options", key)))
            if (const auto value = platform::AsCheckValue(*number))
                window_.SetValue(box, *value);
    }
}

void Form1::Form_QueryUnload() {
    state_.FileService.reset();
    state_.BootFileInfo.reset();
    const std::string& file = state_.SettingsPath;
    if (file.empty()) {
        services_.report("Tallimer saved no options: no folder holds its Settings.ini.");
        return;
    }
    // The user's first save starts from the defaults' lines, so that none of them is lost.
    if (!state_.DefaultSettingsPath.empty() && !platform::Exists(file))
        if (const auto defaults = platform::ReadRegularFile(state_.DefaultSettingsPath))
            platform::ReplaceFileContents(file, *defaults, platform::Flush::BeforeReplacing);
    // The four keys in one flushed replacement of the file, as they would stand after four.
    const bool saved =
        modMisc::WriteSettings("Options",
                               {{"Interval", std::to_string(state_.UpdateInterval)},
                                {"Use file method", std::to_string(window_.Value(chkFile))},
                                {"AutoStart", std::to_string(window_.Value(chkAutoStart))},
                                {"Auto Send To Tray", std::to_string(window_.Value(chkAutoTray))}},
                               file) != 0;
    if (!saved)
        services_.report("Tallimer could not save its options to " + file + ".");
}

void Form1::RefreshUptime() {
    const engine::RefreshInputs inputs{Ticked(chkFile), state_.BootFilePath, state_.OutputFilePath};
    const engine::UptimeSources sources{services_.ticks, services_.clock, state_.FileService.get()};
    if (const auto parts =
            engine::RefreshUptime(inputs, sources, state_.UptimeSeconds, state_.BootFileInfo)) {
        state_.UptimeParts = *parts;
        window_.SetText(lblUptime, engine::UptimeCaption(*parts));
    }
}

int Form1::MillisecondsToNextTick() const {
    // One tick a second, each in phase with the measured clock's own seconds: a timer of a
    // fixed period drifts against that clock (by whatever time the machine spent suspended),
    // and ticks near a rounding edge would skip or repeat a second. The file method cuts the
    // wall clock to whole seconds; the tick count is rounded.
    if (Ticked(chkFile)) {
        const auto now = services_.clock.CurrentDateTime().time_since_epoch().count();
        return engine::MillisecondsToNextTick(now, TimerPeriodMs / 2);
    }
    return engine::MillisecondsToNextTick(std::int64_t(services_.ticks.GetTickCount64()), 0);
}

void Form1::tmrUpdate_Timer() {
    if (state_.TicksSinceUpdate < std::numeric_limits<std::int32_t>::max())
        ++state_.TicksSinceUpdate;
    if (state_.TicksSinceUpdate > state_.UpdateInterval) {
        RefreshUptime();
        state_.TicksSinceUpdate = 0;
    }
}

void Form1::cmdToggle_Click() {
    if (window_.TimerEnabled(tmrUpdate))
        window_.StopTimer(tmrUpdate);
    else
        window_.StartTimer(tmrUpdate, MillisecondsToNextTick());
    const bool running = window_.TimerEnabled(tmrUpdate);
    window_.SetEnabled(txtInt, !running);
    window_.SetEnabled(chkFile, !running);
    state_.TrayTip = Titled(running ? " - ON" : " - OFF");
    window_.SetText(cmdToggle, running ? "Stop" : "Start");
}

void Form1::txtInt_Change() {
    if (state_.Loading)
        return;
    const double number = base::LeadingNumber(window_.Text(txtInt));
    state_.UpdateInterval = std::max(base::SaturateToInt32(number), 1);
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
        window_.SetWindowState(platform::vbMinimized);
        return;
    }
    tray.AddTrayIcon(window_.Handle(), window_.Icon(), state_.TrayTip);
    window_.Hide();
    window_.SetWindowState(platform::vbMinimized);
    StartTrayWatch(TrayWatch::OverIcon);
}

// Back to the user however it was asked for: shown, normal, in front, with the keyboard focus
// on a control. Normal before shown: a window manager that is shown a minimised window may
// keep it minimised, and on Wayland nothing can take a minimise back.
void Form1::RestoreFromTray() {
    StopTrayWatch();
    window_.SetWindowState(platform::vbNormal);
    window_.Show();
    services_.tray.RemoveTrayIcon();
    window_.BringToFront();
    FocusControl();
}

void Form1::StartTrayWatch(TrayWatch watch) {
    trayWatch_ = watch;
    // Waiting for an area starts with it missing; a shown icon's is there until looked for.
    trayMissingMs_ = watch == TrayWatch::ForArea ? std::optional(0) : std::nullopt;
    window_.StartTimer(tmrTrayWatch, trayMissingMs_ ? TimerPeriodMs : TrayCheckMs);
}

void Form1::StopTrayWatch() {
    trayWatch_ = TrayWatch::None;
    window_.StopTimer(tmrTrayWatch);
}

void Form1::tmrTrayWatch_Timer() {
    if (trayWatch_ == TrayWatch::None)
        return;
    if (services_.tray.NotificationAreaAvailable()) {
        trayMissingMs_.reset();
        if (trayWatch_ == TrayWatch::ForArea) {
            trayWatch_ = TrayWatch::None;
            SendToTray();
            return;
        }
    } else {
        // Counted from when it was first found missing.
        trayMissingMs_ = trayMissingMs_ ? *trayMissingMs_ + TimerPeriodMs : 0;
        if (*trayMissingMs_ >= TrayGraceMs) {
            // A window hidden in a notification area that is gone for good would be stranded.
            if (trayWatch_ == TrayWatch::OverIcon)
                RestoreFromTray();
            else
                StopTrayWatch();
            return;
        }
    }
    window_.StartTimer(tmrTrayWatch, trayMissingMs_ ? TimerPeriodMs : TrayCheckMs);
}

void Form1::Form_MouseMove(double x, double) {
    if (!services_.tray.TrayIconShown())
        return;
    switch (base::SaturateToInt32(x / window_.TwipsPerPixelX())) {
    case platform::WmLButtonDblClk:
    case platform::NinBalloonUserClick:
        RestoreFromTray();
        break;
    case platform::WmRButtonUp:
        window_.PopupMenu();
        break;
    default:
        break;
    }
}

void Form1::mnOpen_Click() {
    RestoreFromTray();
}

void Form1::AnotherStart() {
    mnOpen_Click();
}

void Form1::mnExit_Click() {
    window_.Unload();
}

void Form1::Form_Activate() {
    // The user brought up the window that waited, minimised, for the notification area.
    if (trayWatch_ == TrayWatch::ForArea)
        StopTrayWatch();
    // A click that activates the window may already have put the focus on a control.
    if (!window_.FocusedControl())
        FocusControl();
}

platform::ControlName Form1::FocusTarget() const {
    const auto last = std::find(tabOrder_.begin(), tabOrder_.end(), lastFocus_);
    const auto from = std::size_t(last - tabOrder_.begin());
    for (std::size_t step = 0; step < tabOrder_.size(); ++step) {
        const platform::ControlName control = tabOrder_[(from + step) % tabOrder_.size()];
        if (window_.Enabled(control))
            return control;
    }
    return lastFocus_;
}

void Form1::FocusControl() {
    window_.SetFocus(FocusTarget());
}

void Form1::Click(platform::ControlName control) {
    const ui::ControlLayout* layout = ui::Find(controls::Form1Layout, control);
    if (layout != nullptr && layout->kind == platform::ControlKind::CheckBox)
        window_.SetValue(control, ui::CheckValueAfterClick(window_.Value(control)));
    else if (control == cmdToggle)
        cmdToggle_Click();
    else if (control == cmdTray)
        cmdTray_Click();
}

void Form1::MenuClick(platform::MenuItemName item) {
    if (item == mnOpen)
        mnOpen_Click();
    else if (item == mnExit)
        mnExit_Click();
}

void Form1::Change(platform::ControlName control) {
    if (control == txtInt)
        txtInt_Change();
}

void Form1::Timer(platform::TimerName timer) {
    if (timer == tmrUpdate) {
        // The timer ticks once a second for as long as it is enabled.
        window_.StartTimer(tmrUpdate, MillisecondsToNextTick());
        tmrUpdate_Timer();
    } else if (timer == tmrTrayWatch) {
        tmrTrayWatch_Timer();
    }
}

void Form1::MouseMove(const platform::MouseInput& mouse) {
    const ui::MouseState state =
        ui::Mouse(mouse, window_.TwipsPerPixelX(), window_.TwipsPerPixelY());
    Form_MouseMove(state.x, state.y);
}

bool Form1::KeyDown(platform::ControlName control, const platform::KeyPress& press) {
    const ui::ControlLayout* layout = ui::Find(controls::Form1Layout, control);
    if (layout == nullptr || !ui::Presses(press, layout->kind) || !window_.Enabled(control))
        return false;
    if (!press.repeat)
        Click(control);
    return true;
}

void Form1::GotFocus(platform::ControlName control) {
    if (std::find(tabOrder_.begin(), tabOrder_.end(), control) != tabOrder_.end())
        lastFocus_ = control;
}

void Form1::Activate() {
    Form_Activate();
}

void Form1::AppearanceChanged() {
    window_.Layout(Plan());
}

void Form1::SessionEnding() {
    window_.Unload();
}

void Form1::QueryUnload() {
    Form_QueryUnload();
    // The icon of a closed program would linger in the notification area.
    services_.tray.RemoveTrayIcon();
}
