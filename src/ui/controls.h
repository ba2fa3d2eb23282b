#pragma once

#include "platform/window.h"

#include <array>

// Form1's controls, as the window system builds them: positions and sizes in twips.
namespace controls {

using platform::ControlKind;

constexpr int ClientWidth = 3495;
constexpr int ClientHeight = 2055;
constexpr platform::Colour BandColour{224, 224, 224};

inline constexpr std::array<platform::ControlLayout, 9> Form1Controls{{
    {"Shape1", ControlKind::Shape, "", -120, 0, 3735, 255, -1, "", {}, BandColour, ""},
    {"lblUptime", ControlKind::Label, "Uptime", 0, 120, 3495, 495, 0, "",
     platform::Font{"Arial", 9.75, true}, BandColour, "", true},
    {"txtInt", ControlKind::TextBox, "", 2040, 720, 1335, 285, 1, "", {}, {}, ""},
    {"Label1",
     ControlKind::Label,
     "Update interval, seconds:",
     120,
     720,
     1935,
     255,
     2,
     "",
     {},
     {},
     "txtInt"},
    {"cmdToggle", ControlKind::Button, "Start", 2160, 1080, 1215, 375, 3, "", {}, {}, ""},
    {"chkFile",
     ControlKind::CheckBox,
     "Use file method",
     120,
     1080,
     1455,
     255,
     4,
     "If ticked, this will get the uptime from the specified file",
     {},
     {},
     ""},
    {"cmdTray", ControlKind::Button, "Send To Tray", 2160, 1560, 1215, 375, 5, "", {}, {}, ""},
    {"chkAutoStart",
     ControlKind::CheckBox,
     "Auto start",
     120,
     1320,
     1095,
     255,
     6,
     "If ticked, the client will start fetching the uptime as soon as the client is run",
     {},
     {},
     ""},
    {"chkAutoTray",
     ControlKind::CheckBox,
     "Auto send to tray",
     120,
     1560,
     1575,
     255,
     7,
     "If ticked, the client will be sent to the system tray as soon as the client is run",
     {},
     {},
     ""},
}};

inline constexpr std::array<platform::MenuItem, 2> mnSysTrayItems{{
    {"mnOpen", "Open Tallimer"},
    {"mnExit", "Exit"},
}};

inline constexpr platform::WindowLayout Form1{
    "Tallimer",  ClientWidth,        ClientHeight,   Form1Controls,
    "mnSysTray", "System Tray Menu", mnSysTrayItems,
};

} // namespace controls
