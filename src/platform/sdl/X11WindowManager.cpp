#include "platform/sdl/X11WindowManager.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace kelo {

namespace {

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

}  // namespace

bool X11HasWindowManager() {
    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, XcbDisconnect> connection(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection.get())) return true;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) return true;
    const xcb_atom_t check = Atom(connection.get(), "_NET_SUPPORTING_WM_CHECK");
    if (check == XCB_ATOM_NONE) return false;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection.get(), 0, screens.data->root, check, XCB_ATOM_WINDOW, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection.get(), cookie, nullptr), &std::free);
    return reply && xcb_get_property_value_length(reply.get()) >= 4;
}

void X11SetWindowIcons(uint32_t window, const std::vector<uint32_t>& icons) {
    std::unique_ptr<xcb_connection_t, XcbDisconnect> connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get())) return;
    const xcb_atom_t icon = Atom(connection.get(), "_NET_WM_ICON");
    if (icon == XCB_ATOM_NONE) return;
    // Checked, so the server has the icon before this connection closes.
    const xcb_void_cookie_t cookie =
        xcb_change_property_checked(connection.get(), XCB_PROP_MODE_REPLACE, window, icon, XCB_ATOM_CARDINAL, 32,
                                    static_cast<uint32_t>(icons.size()), icons.data());
    std::free(xcb_request_check(connection.get(), cookie));
}

}  // namespace kelo
