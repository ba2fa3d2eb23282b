// Moves the pointer of a KWin Wayland session and clicks, as a hand on a mouse would: through
// KWin's fake-input protocol, since a virtual output has no input devices of its own.
//     fake_input X Y [CLICKS]
#include <fake-input-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <wayland-client.h>

namespace {

constexpr uint32_t LeftButton = 0x110; // BTN_LEFT
org_kde_kwin_fake_input* fake = nullptr;

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3)
        fake = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 3));
}

void GlobalRemoved(void*, wl_registry*, uint32_t) {}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fake_input X Y [CLICKS]\n");
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return 1;
    const wl_registry_listener listener{Global, GlobalRemoved};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, nullptr);
    wl_display_roundtrip(display);
    if (fake == nullptr) {
        std::fprintf(stderr, "fake_input: the compositor offers no fake input\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fake, "Tallimer's tests", "to click as a user does");
    org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_int(std::atoi(argv[1])),
                                                    wl_fixed_from_int(std::atoi(argv[2])));
    wl_display_roundtrip(display);
    const int clicks = argc > 3 ? std::atoi(argv[3]) : 1;
    for (int click = 0; click < clicks; ++click) {
        // A pause between moving and pressing, and between clicks, as a hand makes them.
        std::this_thread::sleep_for(std::chrono::milliseconds(click == 0 ? 200 : 80));
        org_kde_kwin_fake_input_button(fake, LeftButton, 1);
        wl_display_roundtrip(display);
        org_kde_kwin_fake_input_button(fake, LeftButton, 0);
        wl_display_roundtrip(display);
    }
    wl_display_disconnect(display);
    return 0;
}
