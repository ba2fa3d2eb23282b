#pragma once

#include "platform/windowsystem.h"

namespace ui {

// The program's start, the same on every system: where its files live, whether another copy
// runs for them (which is then brought back, and this start ends), then its window, loaded,
// shown and run. The program's exit status.
int RunProgram(platform::WindowSystem& system);

} // namespace ui
