// Asks a window to close the way a window manager's close button does: a WM_DELETE_WINDOW
// client message; with --window-manager, asks the window manager to close it, as a task bar
// does (_NET_CLOSE_WINDOW), which then sends that message itself.
//     wm_close [--window-manager] WINDOW-ID
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

int main(int argc, char** argv) {
    const bool throughManager = argc == 3 && strcmp(argv[1], "--window-manager") == 0;
    if (argc != 2 && !throughManager) {
        fprintf(stderr, "usage: wm_close [--window-manager] WINDOW-ID\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(strtoul(argv[argc - 1], nullptr, 0));
    if (throughManager) {
        event.type = Atom(c, "_NET_CLOSE_WINDOW");
        event.data.data32[1] = 2; // as a pager or a task bar asks, for the user
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
    } else {
        event.type = Atom(c, "WM_PROTOCOLS");
        event.data.data32[0] = Atom(c, "WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
    }
    // A round trip, so that the server has handled the event before this client goes away.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return 0;
}
