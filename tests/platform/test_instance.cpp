#include "platform/instance.h"

#include <doctest/doctest.h>
#include <set>
#include <string>

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

TEST_CASE("a copy that handed over ends at once with status 0") {
    CHECK(!platform::ExitStatusAtStart(platform::InstanceClaim::First).has_value());
    CHECK(platform::ExitStatusAtStart(platform::InstanceClaim::HandedOver) == 0);
    CHECK(platform::ExitStatusAtStart(platform::InstanceClaim::Failed) == 1);
}
