// Loaded into the program with LD_PRELOAD: no library is unloaded. LeakSanitizer reports at the
// program's end, when a graphics driver that the toolkit loaded and unloaded is gone; its
// allocations would show as "<unknown module>", past any suppression. Kept loaded, they are
// named, and the toolkit's own suppressions apply.
extern "C" int dlclose(void*) {
    return 0;
}
