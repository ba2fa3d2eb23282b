#pragma once

#include <optional>
#include <string>
#include <string_view>

// One running copy of the program per folder of files: copies that would share a Settings.ini
// never run at once. A later start hands over to the copy that runs, which comes back to the
// user, and ends.
namespace platform {

enum class InstanceClaim {
    First,      // no other copy runs for the folder: this one does
    HandedOver, // another copy runs for it and has been told to come back: this one ends
    Failed,     // another copy holds the folder but did not answer for seconds
};

// What a system offers the copies of one folder to find each other by: a lock that goes with
// the copy that holds it, and a way to tell that copy of a later start.
class InstanceLock {
public:
    enum class Attempt { Taken, Held, Unavailable };
    virtual ~InstanceLock() = default;
    // Takes the lock for this copy, or finds it held; Unavailable where none can be had at all.
    virtual Attempt TryLock() = 0;
    // Why no lock can be had, once TryLock has found none.
    virtual std::string WhyUnavailable() const = 0;
    // Tells the copy that holds the lock to come back; false where it did not hear.
    virtual bool TellTheFirst() = 0;
    virtual void Pause(int milliseconds) = 0;
};

struct Claimed {
    InstanceClaim claim;
    std::string problem; // what the user should hear of; empty when all is well
};

// Claims the folder for this copy, or hands over to the copy that has it, waiting up to ten
// seconds for one that is still starting, or ending and about to let go. Where no lock can be
// had, this copy runs all the same, and says so.
Claimed ClaimFolder(InstanceLock& lock, std::string_view folder);

// The status a copy ends with at once, having handed over or failed to; nothing for the copy
// that runs.
std::optional<int> ExitStatusAtStart(InstanceClaim claim);

// What the copies for one folder find each other by: "tallimer-" and 16 hex digits, the same
// for the same folder, another for another one. Fits where a socket's or a mutex's name must.
std::string InstanceName(std::string_view folder);

} // namespace platform
