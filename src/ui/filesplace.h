#pragma once

#include "platform/system.h"

#include <string>

// Where a copy of the program keeps Settings.ini and uptime.txt, and so which running copy a
// second start hands over to: decided once, before the window is made.
namespace ui {

struct FilesPlace {
    // The folder for both files, ending in a separator; empty where no folder can hold them.
    std::string folder;
    // A Settings.ini beside an installed copy: its defaults while the user has none.
    std::string defaults;
    // Copies that would share a Settings.ini share this, and so never run at once.
    std::string instanceKey;
    // What the user or an administrator should hear of at start; empty when all is well.
    std::string problem;
};

// A copy of its own, in a folder this user may write to, keeps its files beside itself. An
// installed copy, or one in a folder this user may not write to, keeps them in the user's
// folder, made here when it is not there yet; where there is none to be had it keeps them
// nowhere, and never beside an installed program.
FilesPlace PlaceFiles(const platform::FolderFacts& program, const std::string& userFolder);

} // namespace ui
