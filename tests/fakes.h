#pragma once

#include "platform/shellicon.h"
#include "platform/system.h"
#include "platform/window.h"
#include "ui/form1.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

// Stand-ins for the operating system's clocks, file lookups, tray and window.
struct FakeTickCounter final : platform::TickCounter {
    std::uint64_t ms = 0;
    mutable int reads = 0;
    std::uint64_t GetTickCount64() const override {
        ++reads;
        return ms;
    }
};

inline platform::Instant At(std::int64_t msSinceEpoch) {
    return platform::Instant(std::chrono::milliseconds(msSinceEpoch));
}

struct FakeClock final : platform::Clock {
    platform::Instant now = At(1'800'000'000'000);
    platform::Instant CurrentDateTime() const override { return now; }
};

struct FakeFileService final : platform::FileService {
    std::map<std::string, platform::Instant> files;
    mutable int lookups = 0;
    std::optional<platform::BootFileInfo> GetFile(const std::string& path) const override {
        ++lookups;
        const auto found = files.find(path);
        if (found == files.end())
            return std::nullopt;
        return platform::BootFileInfo{found->second};
    }
};

// Records what the program asks of the shell's icon service.
struct FakeShellIconService final : platform::ShellIconService {
    struct Call {
        std::uint32_t message;
        platform::NotifyIconData data;
    };
    std::vector<Call> calls;
    bool available = true;
    bool answer = true;

    bool ShellNotifyIcon(std::uint32_t message, const platform::NotifyIconData& data) override {
        calls.push_back({message, data});
        return answer;
    }
    bool IsAvailable() const override { return available; }

    std::string Tip(size_t call) const {
        if (call >= calls.size())
            return "<no such call>";
        const auto& tip = calls[call].data.szTip;
        return std::string(tip.data(), strnlen(tip.data(), tip.size()));
    }
};

// The machine under a Form1, faked: its clocks, its files and its notification area.
struct FakeMachine {
    FakeTickCounter ticks;
    FakeClock clock;
    FakeShellIconService shell;
    modSysTray tray{shell};
    platform::FolderFacts facts; // of a copy of its own, in a folder it may write to
    std::string userFolder;
    std::vector<std::string> reports;

    Form1Services Services(platform::Window& window, const std::string& programFolder) {
        facts.folder = programFolder;
        return {window,
                ticks,
                clock,
                [] { return std::make_unique<FakeFileService>(); },
                ui::PlaceFiles(facts, userFolder),
                [this](const std::string& text) { reports.push_back(text); },
                tray};
    }
};

// A window that keeps what it is told and sends events when a test says so.
struct FakeWindow final : platform::Window {
    using ControlName = platform::ControlName;
    using TimerName = platform::TimerName;

    platform::WindowEvents* events = nullptr;
    std::optional<platform::WindowPlan> plan;
    std::map<ControlName, std::string> texts;
    std::map<ControlName, bool> disabled;
    std::map<ControlName, platform::CheckValue> values;
    std::map<TimerName, int> timers; // running ones, with their delay
    std::optional<ControlName> focus;
    bool visible = false;
    platform::WindowStateValue windowState = platform::vbNormal;
    std::optional<platform::WindowStateValue> shownAs; // the state the window was last shown in
    int menusShown = 0;
    int broughtToFront = 0;
    int unloads = 0;
    int layouts = 0;
    double twipsPerPixel = 15;
    platform::Appearance appearance;
    // What the desktop's style makes of each text; by default, nothing that needs more room.
    std::function<platform::ControlMetrics(platform::ControlKind, std::string_view)> measure;

    bool Create(const platform::WindowPlan& windowPlan) override {
        plan = windowPlan;
        for (const platform::ControlPlan& control : windowPlan.controls)
            texts.insert_or_assign(control.name, std::string(control.text));
        return true;
    }
    void Layout(const platform::WindowPlan& windowPlan) override {
        plan = windowPlan;
        ++layouts;
    }
    platform::Appearance CurrentAppearance() const override { return appearance; }
    platform::ControlMetrics Measure(platform::ControlKind kind, const platform::FontPlan&,
                                     std::string_view text) const override {
        return measure ? measure(kind, text) : platform::ControlMetrics{};
    }
    const platform::ControlPlan* Planned(ControlName control) const {
        if (plan)
            for (const platform::ControlPlan& c : plan->controls)
                if (c.name == control)
                    return &c;
        return nullptr;
    }
    std::string Text(ControlName control) const override {
        const auto found = texts.find(control);
        return found == texts.end() ? std::string() : found->second;
    }
    void SetText(ControlName control, std::string_view text) override {
        texts.insert_or_assign(control, std::string(text));
        // A text box tells of every change of its text, as a real one does.
        const platform::ControlPlan* planned = Planned(control);
        if (planned != nullptr && planned->kind == platform::ControlKind::TextBox &&
            events != nullptr)
            events->Change(control);
    }
    bool Enabled(ControlName control) const override {
        const auto found = disabled.find(control);
        return found == disabled.end() || !found->second;
    }
    void SetEnabled(ControlName control, bool enabled) override {
        disabled.insert_or_assign(control, !enabled);
    }
    platform::CheckValue Value(ControlName checkBox) const override {
        const auto found = values.find(checkBox);
        return found == values.end() ? platform::vbUnchecked : found->second;
    }
    void SetValue(ControlName checkBox, platform::CheckValue value) override {
        values.insert_or_assign(checkBox, value);
    }
    void Show() override {
        visible = true;
        shownAs = windowState;
    }
    void Hide() override { visible = false; }
    platform::WindowStateValue WindowState() const override { return windowState; }
    void SetWindowState(platform::WindowStateValue state) override { windowState = state; }
    void BringToFront() override { ++broughtToFront; }
    void SetFocus(ControlName control) override {
        focus = control;
        if (events != nullptr)
            events->GotFocus(control);
    }
    std::optional<ControlName> FocusedControl() const override { return focus; }
    void PopupMenu() override { ++menusShown; }
    void StartTimer(TimerName timer, int milliseconds) override {
        timers.insert_or_assign(timer, milliseconds);
    }
    void StopTimer(TimerName timer) override { timers.erase(timer); }
    bool TimerEnabled(TimerName timer) const override { return timers.contains(timer); }
    double TwipsPerPixelX() const override { return twipsPerPixel; }
    double TwipsPerPixelY() const override { return twipsPerPixel; }
    void Unload() override {
        ++unloads;
        if (events != nullptr)
            events->QueryUnload();
    }
    platform::WindowHandle Handle() const override { return const_cast<FakeWindow*>(this); }
    platform::IconHandle Icon() const override { return reinterpret_cast<void*>(0x1c0); }

    // The timer runs out, as the window system would make it.
    void Elapse(TimerName timer) {
        timers.erase(timer);
        events->Timer(timer);
    }
    // The user types into a text box.
    void Type(ControlName control, const std::string& text) { SetText(control, text); }
    // The user clicks a button or a check box, which a disabled one does not notice.
    void Click(ControlName control) {
        if (Enabled(control))
            events->Click(control);
    }
    int Delay(TimerName timer) const {
        const auto found = timers.find(timer);
        return found == timers.end() ? -1 : found->second;
    }
};
