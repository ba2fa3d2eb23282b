#pragma once

#include <optional>
#include <string>
#include <string_view>

// One running copy of the program per program folder: a copy in another folder is another
// program, with its own settings file. A later start from the same folder hands over to the
// copy that runs, which comes back to the user, and ends.
namespace platform {

enum class InstanceClaim {
    First,      // no other copy runs from the folder: this one does
    HandedOver, // another copy runs from it and has been told to come back: this one ends
    Failed,     // another copy holds the folder but did not answer for seconds
};

// The status a copy ends with at once, having handed over or failed to; nothing for the copy
// that runs.
std::optional<int> ExitStatusAtStart(InstanceClaim claim);

// What the copies from one folder find each other by: "tallimer-" and 16 hex digits, the same
// for the same folder, another for another one. Fits where a socket's or a mutex's name must.
std::string InstanceName(std::string_view programFolder);

} // namespace platform
