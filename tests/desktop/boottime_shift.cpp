// Loaded into the program with LD_PRELOAD: moves CLOCK_BOOTTIME alone by BOOTTIME_SHIFT_MS
// milliseconds, as time spent suspended does, while the monotonic clock that timers run on
// stays where it is.
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>

extern "C" int clock_gettime(clockid_t id, struct timespec* time) {
    using Function = int (*)(clockid_t, struct timespec*);
    static const auto real = reinterpret_cast<Function>(dlsym(RTLD_NEXT, "clock_gettime"));
    static const long long shift = [] {
        const char* text = getenv("BOOTTIME_SHIFT_MS");
        return text != nullptr ? atoll(text) : 0LL;
    }();
    const int result = real(id, time);
    if (result == 0 && id == CLOCK_BOOTTIME) {
        constexpr long long Billion = 1000000000;
        const long long ns = time->tv_nsec + shift % 1000 * 1000000;
        time->tv_sec += time_t(shift / 1000 + (ns >= Billion) - (ns < 0));
        time->tv_nsec = long((ns % Billion + Billion) % Billion);
    }
    return result;
}
