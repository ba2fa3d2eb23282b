/* The floor for the Linux program's refresh: the least a program can do to keep a file of the
   uptime current, one timer on the boot clock and one atomic replace each second.
   floor FILE */
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "uptime.txt";
    char temporary[4096];
    snprintf(temporary, sizeof temporary, "%s.new", path);
    const int timer = timerfd_create(CLOCK_BOOTTIME, TFD_CLOEXEC);
    const struct itimerspec second = {{1, 0}, {1, 0}};
    if (timer < 0 || timerfd_settime(timer, 0, &second, NULL) != 0)
        return 1;
    for (;;) {
        uint64_t expired = 0;
        if (read(timer, &expired, sizeof expired) != sizeof expired)
            return 1;
        struct timespec now;
        clock_gettime(CLOCK_BOOTTIME, &now);
        char line[32];
        const int length = snprintf(line, sizeof line, "%lld\r\n", (long long)now.tv_sec);
        const int file = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (file < 0 || write(file, line, (size_t)length) != length || close(file) != 0 ||
            rename(temporary, path) != 0)
            return 1;
    }
}
