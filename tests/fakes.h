#pragma once

#include "platform/shellicon.h"
#include "platform/system.h"
#include "platform/window.h"

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
        return platform::BootFileInfo{path, found->second};
    }
};

// Records what the program asks of the shell's icon service.
struct FakeShellIconService final : platform::ShellIconService {
    struct Call {
        std::uint32_t message;
        platform::NOTIFYICONDATA data;
    };
    std::vector<Call> calls;
    bool available = true;
    bool answer = true;

    bool Shell_NotifyIcon(std::uint32_t message, const platform::NOTIFYICONDATA& data) override {
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

// A window that keeps what it is told and sends events when a test says so.
struct FakeWindow final : platform::Window {
    platform::WindowEvents* events = nullptr;
    std::map<std::string, std::string, std::less<>> texts;
    std::map<std::string, bool, std::less<>> disabled;
    std::map<std::string, int, std::less<>> values;
    std::map<std::string, int, std::less<>> timers; // running ones, with their delay
    bool visible = false;
    int windowState = platform::vbNormal;
    int menusShown = 0;
    int focused = 0;
    int unloads = 0;
    double twipsPerPixel = 15;

    std::string Text(std::string_view control) const override {
        const auto found = texts.find(control);
        return found == texts.end() ? std::string() : found->second;
    }
    void SetText(std::string_view control, std::string_view text) override {
        texts[std::string(control)] = std::string(text);
        // A text box tells of every change of its text, as a real one does.
        if (control == "txtInt" && events != nullptr)
            events->Change(control);
    }
    void SetEnabled(std::string_view control, bool enabled) override {
        disabled[std::string(control)] = !enabled;
    }
    bool Enabled(std::string_view control) const {
        const auto found = disabled.find(control);
        return found == disabled.end() || !found->second;
    }
    int Value(std::string_view checkBox) const override {
        const auto found = values.find(checkBox);
        return found == values.end() ? platform::vbUnchecked : found->second;
    }
    void SetValue(std::string_view checkBox, int value) override {
        values[std::string(checkBox)] = value;
    }
    void Show() override { visible = true; }
    void Hide() override { visible = false; }
    bool Visible() const override { return visible; }
    int WindowState() const override { return windowState; }
    void SetWindowState(int state) override { windowState = state; }
    void SetFocus() override { ++focused; }
    void PopupMenu() override { ++menusShown; }
    void StartTimer(std::string_view timer, int milliseconds) override {
        timers[std::string(timer)] = milliseconds;
    }
    void StopTimer(std::string_view timer) override {
        if (const auto found = timers.find(timer); found != timers.end())
            timers.erase(found);
    }
    bool TimerEnabled(std::string_view timer) const override { return timers.contains(timer); }
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
    void Elapse(const std::string& timer) {
        timers.erase(timer);
        events->Timer(timer);
    }
    // The user types into a text box.
    void Type(const std::string& control, const std::string& text) { SetText(control, text); }
};
