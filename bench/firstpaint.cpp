// Starts a program and prints the milliseconds until its window shows a painted frame: the
// first moment the pixel inside the Start button at (150, 76) is no longer unpainted black.
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// The viewable top-level window of process pid, or 0.
xcb_window_t WindowOf(xcb_connection_t* c, xcb_window_t root, xcb_atom_t pidAtom, pid_t pid) {
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (tree == nullptr)
        return 0;
    xcb_window_t found = 0;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && found == 0; ++i) {
        auto* prop = xcb_get_property_reply(
            c, xcb_get_property(c, 0, children[i], pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        if (prop != nullptr && xcb_get_property_value_length(prop) == 4 &&
            *static_cast<uint32_t*>(xcb_get_property_value(prop)) == uint32_t(pid)) {
            auto* attrs = xcb_get_window_attributes_reply(
                c, xcb_get_window_attributes(c, children[i]), nullptr);
            auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr);
            if (attrs != nullptr && geometry != nullptr &&
                attrs->map_state == XCB_MAP_STATE_VIEWABLE && geometry->width > 150)
                found = children[i];
            free(attrs);
            free(geometry);
        }
        free(prop);
    }
    free(tree);
    return found;
}

bool Painted(xcb_connection_t* c, xcb_window_t window) {
    auto* image = xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 150, 76, 1, 1, ~0u), nullptr);
    if (image == nullptr)
        return false;
    const uint8_t* data = xcb_get_image_data(image);
    const bool painted = xcb_get_image_data_length(image) >= 3 && (data[0] | data[1] | data[2]);
    free(image);
    return painted;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: firstpaint PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "firstpaint: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t pidAtom = Atom(c, "_NET_WM_PID");

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    double ms = -1;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        const xcb_window_t window = WindowOf(c, root, pidAtom, child);
        if (window != 0 && Painted(c, window)) {
            ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    xcb_disconnect(c);
    if (ms < 0) {
        fprintf(stderr, "firstpaint: no painted window within 20 s\n");
        return 1;
    }
    printf("%.1f\n", ms);
    return 0;
}
