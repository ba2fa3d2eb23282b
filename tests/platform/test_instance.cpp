#include "platform/instance.h"

#include <algorithm>
#include <doctest/doctest.h>
#include <set>
#include <string>
#include <vector>

TEST_CASE("each program folder has a name of its own, the same in every copy") {
    const std::string folders[] = {"/opt/tallimer", "/opt/tallimer2", "/opt/Tallimer",       "",
                                   "C:\\TALLIMER",  "C:\\TALLIMER\\", "/home/\xCE\xA9mega/t"};
    std::set<std::string> names;
    for (const std::string& folder : folders) {
        CAPTURE(folder);
        const std::string name = platform::InstanceName(folder);
        CHECK(name == platform::InstanceName(folder));
        CHECK(name.size() == 25); // short enough for a socket's path and a mutex's name
        CHECK(name.starts_with("tallimer-"));
        CHECK(name.find_first_not_of("0123456789abcdef", 9) == std::string::npos);
        names.insert(name);
    }
    CHECK(names.size() == std::size(folders));
}

// A lock whose answers a test sets: what each try finds, whether the first copy hears.
struct FakeLock final : platform::InstanceLock {
    std::vector<Attempt> attempts; // the last one repeats
    int heardAt = -1;              // the tell that the first copy hears, or none
    size_t tries = 0;
    int tells = 0, pauses = 0;
    Attempt TryLock() override { return attempts[std::min(tries++, attempts.size() - 1)]; }
    std::string WhyUnavailable() const override { return "no lock here"; }
    bool TellTheFirst() override { return tells++ == heardAt; }
    void Pause(int) override { ++pauses; }
};

TEST_CASE("a start claims its folder, hands over, waits for a copy that is ending, or gives up") {
    using A = platform::InstanceLock::Attempt;
    using C = platform::InstanceClaim;
    const struct {
        const char* name;
        std::vector<A> attempts;
        int heardAt;
        C claim;
        int pauses;
        const char* problem; // a part of it
    } cases[] = {
        {"the first copy", {A::Taken}, -1, C::First, 0, ""},
        {"a second start", {A::Held}, 0, C::HandedOver, 0, ""},
        {"the other copy still starting", {A::Held}, 3, C::HandedOver, 3, ""},
        {"the other copy ending", {A::Held, A::Held, A::Taken}, -1, C::First, 2, ""},
        {"the other copy never answers", {A::Held}, -1, C::Failed, 100, "did not answer"},
        {"no lock to be had", {A::Unavailable}, -1, C::First, 0, "no lock here"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.name);
        FakeLock lock;
        lock.attempts = c.attempts;
        lock.heardAt = c.heardAt;
        const platform::Claimed claimed = platform::ClaimFolder(lock, "/home/u/.config/tallimer");
        CHECK(claimed.claim == c.claim);
        CHECK(lock.pauses == c.pauses);
        CHECK(claimed.problem.find(c.problem) != std::string::npos);
        CHECK(claimed.problem.empty() == (*c.problem == '\0'));
    }
}

TEST_CASE("a copy that handed over ends at once with status 0") {
    CHECK(!platform::ExitStatusAtStart(platform::InstanceClaim::First).has_value());
    CHECK(platform::ExitStatusAtStart(platform::InstanceClaim::HandedOver) == 0);
    CHECK(platform::ExitStatusAtStart(platform::InstanceClaim::Failed) == 1);
}
