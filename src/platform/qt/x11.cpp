#include "platform/qt/x11.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

namespace platform::x11 {
namespace {

// An answer of the X server's, which xcb leaves to the caller to free.
template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> Answer(T* reply) {
    return Reply<T>(reply, &std::free);
}

xcb_connection_t* Connection() {
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

// The X server's number for a name, or none.
xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name) {
    const auto cookie = xcb_intern_atom(connection, 0, uint16_t(name.size()), name.data());
    const auto atom = Answer(xcb_intern_atom_reply(connection, cookie, nullptr));
    return atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t Id(const QWidget& window) {
    return xcb_window_t(window.winId());
}

} // namespace

bool TrayManagerPresent() {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr)
        return false;
    // The screen Qt shows the program on: the display's default one.
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const QByteArray screen = dot > display.indexOf(':') ? display.mid(dot + 1) : "0";
    const xcb_atom_t selection = Atom(connection, ("_NET_SYSTEM_TRAY_S" + screen).toStdString());
    const auto owner = Answer(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void MapNormalNext(const QWidget& window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr)
        return;
    const xcb_window_t id = Id(window);
    // ICCCM's initial state: WM_HINTS' flags, input, initial state, then six fields left as
    // they are.
    constexpr uint32_t StateHint = 2;
    constexpr uint32_t NormalState = 1;
    const auto hints = Answer(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9),
        nullptr));
    if (hints && hints->format == 32 && xcb_get_property_value_length(hints.get()) == 9 * 4) {
        uint32_t fields[9];
        std::memcpy(fields, xcb_get_property_value(hints.get()), sizeof fields);
        fields[0] |= StateHint;
        fields[2] = NormalState;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS,
                            XCB_ATOM_WM_HINTS, 32, 9, fields);
    }
    // EWMH's: a window manager that left _NET_WM_STATE_HIDDEN on the withdrawn window (marco
    // does) takes it as asked for again.
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t hidden = Atom(connection, "_NET_WM_STATE_HIDDEN");
    const auto states = Answer(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 64), nullptr));
    if (states && states->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(states.get()));
        std::vector<xcb_atom_t> kept(atoms,
                                     atoms + xcb_get_property_value_length(states.get()) / 4);
        std::erase(kept, hidden);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                            uint32_t(kept.size()), kept.data());
    }
    xcb_flush(connection);
}

// An X11 window that comes up carries the startup it answers, whose time tells the window
// manager that the user asked for it just now.
void SetStartupId(const QWidget& window, const QByteArray& id) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr)
        return;
    const xcb_atom_t property = Atom(connection, "_NET_STARTUP_ID");
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    if (property == XCB_ATOM_NONE)
        return;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, Id(window), property,
                        utf8 != XCB_ATOM_NONE ? utf8 : xcb_atom_t(XCB_ATOM_STRING), 8,
                        uint32_t(id.size()), id.constData());
    xcb_flush(connection);
}

} // namespace platform::x11
