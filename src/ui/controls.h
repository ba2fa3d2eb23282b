#pragma once

#include "ui/layout.h"

#include <array>
#include <string_view>

// The application's title, also the window's caption.
inline constexpr std::string_view AppTitle = "Tallimer";

// Form1 as designed: the names of its controls, timers and menu items, and its table of
// controls with positions and sizes in twips. Every other piece of the program names a control
// through these constants.
namespace controls {

using platform::ControlKind;
using platform::ControlName;
using platform::MenuItemName;
using platform::TextAlign;
using platform::TimerName;

inline constexpr ControlName Shape1{"Shape1"};
inline constexpr ControlName lblUptime{"lblUptime"};
inline constexpr ControlName txtInt{"txtInt"};
inline constexpr ControlName Label1{"Label1"};
inline constexpr ControlName cmdToggle{"cmdToggle"};
inline constexpr ControlName chkFile{"chkFile"};
inline constexpr ControlName cmdTray{"cmdTray"};
inline constexpr ControlName chkAutoStart{"chkAutoStart"};
inline constexpr ControlName chkAutoTray{"chkAutoTray"};

inline constexpr TimerName tmrUpdate{"tmrUpdate"};
// Waits for a notification area that comes up after the program.
inline constexpr TimerName tmrTrayWatch{"tmrTrayWatch"};

inline constexpr MenuItemName mnOpen{"mnOpen"};
inline constexpr MenuItemName mnExit{"mnExit"};

constexpr platform::Colour Grey{224, 224, 224};
constexpr ui::Font LabelFont{"Arial", 9.75, true};

inline constexpr const char* FileTip =
    "If ticked, this will get the uptime from the specified file";
inline constexpr const char* AutoStartTip =
    "If ticked, the client will start fetching the uptime as soon as the client is run";
inline constexpr const char* AutoTrayTip =
    "If ticked, the client will be sent to the system tray as soon as the client is run";

// clang-format off
inline constexpr std::array<ui::ControlLayout, 9> Form1Controls{{
// name, kind, text; left, top, width, height in twips; tab index; tool tip, font, fill colour,
// the control a label names, how the text lies across
    {Shape1,       ControlKind::Shape,    "",                          -120,     0, 3735,  255, -1, "",           {},        Grey, {},        TextAlign::Left},
    {lblUptime,    ControlKind::Label,    "Uptime",                       0,   120, 3495,  495,  0, "",           LabelFont, Grey, {},        TextAlign::Centre},
    {txtInt,       ControlKind::TextBox,  "",                          2040,   720, 1335,  285,  1, "",           {},        {},   {},        TextAlign::Left},
    {Label1,       ControlKind::Label,    "Update interval, seconds:",  120,   720, 1935,  255,  2, "",           {},        {},   txtInt,    TextAlign::Left},
    {cmdToggle,    ControlKind::Button,   "Start",                     2160,  1080, 1215,  375,  3, "",           {},        {},   {},        TextAlign::Left},
    {chkFile,      ControlKind::CheckBox, "Use file method",            120,  1080, 1455,  255,  4, FileTip,      {},        {},   {},        TextAlign::Left},
    {cmdTray,      ControlKind::Button,   "Send To Tray",              2160,  1560, 1215,  375,  5, "",           {},        {},   {},        TextAlign::Left},
    {chkAutoStart, ControlKind::CheckBox, "Auto start",                 120,  1320, 1095,  255,  6, AutoStartTip, {},        {},   {},        TextAlign::Left},
    {chkAutoTray,  ControlKind::CheckBox, "Auto send to tray",          120,  1560, 1575,  255,  7, AutoTrayTip,  {},        {},   {},        TextAlign::Left},
}};

inline constexpr std::array<ui::MenuItemLayout, 2> mnSysTrayItems{{
    {mnOpen, "Open Tallimer"},
    {mnExit, "Exit"},
}};
// clang-format on

// The window's own font, for every control without one of its own: the layout is fixed in
// twips for a small sans face.
inline constexpr ui::FormLayout Form1Layout{
    AppTitle,           3495,           2055, {"Arial", 8.25, false}, Form1Controls, "mnSysTray",
    "System Tray Menu", mnSysTrayItems,
};

} // namespace controls
