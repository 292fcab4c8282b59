// Another X client for the hot-key tests: grabs a key on the root window
// with the modifier masks given, says "grabbed" or "taken" on its standard
// output, and holds the grabs until its standard input closes.
// Usage: grabkey_helper KEYSYM MODS [MODS...]   (numbers, 0x for hex)
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s KEYSYM MODS [MODS...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t* codes =
        xcb_key_symbols_get_keycode(symbols, xcb_keysym_t(std::strtoul(argv[1], nullptr, 0)));
    if (!codes) {
        std::fprintf(stderr, "no key code\n");
        return 2;
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (int i = 2; i < argc; ++i)
        for (const xcb_keycode_t* k = codes; *k != XCB_NO_SYMBOL; ++k)
            cookies.push_back(xcb_grab_key_checked(c, 1, root,
                                                   uint16_t(std::strtoul(argv[i], nullptr, 0)), *k,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool ok = true;
    for (const xcb_void_cookie_t cookie : cookies)
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            ok = false;
            std::free(error);
        }
    std::printf("%s\n", ok ? "grabbed" : "taken");
    std::fflush(stdout);
    char buffer[64];
    while (read(0, buffer, sizeof buffer) > 0) {
    }
    std::free(codes);
    xcb_key_symbols_free(symbols);
    xcb_disconnect(c);
    return 0;
}
