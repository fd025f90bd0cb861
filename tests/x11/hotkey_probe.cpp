// Another X client for the hot-key tests: tries to grab one key combination on
// the root window, once per lock variant (none, Num Lock, Caps Lock, both), and
// says for each whether the server granted it.
//
//   hotkey_probe [--hold] MODIFIERS KEYSYM
//
// MODIFIERS is "none" or names joined by '+': shift, control, alt (Mod1),
// super (Mod4). KEYSYM is a keysym name such as 4 or Escape. Prints one line
// per variant, "<variant> granted" or "<variant> BadAccess" (or "error N").
// With --hold it then prints "holding" and keeps its grabs until killed.
// Exit status: 0 every variant granted, 3 every variant refused with
// BadAccess, 1 anything else.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBadAccess = 10;

bool parseModifiers(const std::string& text, uint16_t& mask) {
    mask = 0;
    if (text == "none") {
        return true;
    }
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('+', start), text.size());
        const std::string name = text.substr(start, end - start);
        if (name == "shift") {
            mask |= XCB_MOD_MASK_SHIFT;
        } else if (name == "control") {
            mask |= XCB_MOD_MASK_CONTROL;
        } else if (name == "alt") {
            mask |= XCB_MOD_MASK_1;
        } else if (name == "super") {
            mask |= XCB_MOD_MASK_4;
        } else {
            return false;
        }
        start = end + 1;
    }
    return true;
}

uint16_t numLockMask(xcb_connection_t* connection, xcb_key_symbols_t* symbols) {
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, XKB_KEY_Num_Lock);
    xcb_get_modifier_mapping_reply_t* mapping =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    uint16_t mask = 0;
    if (codes != nullptr && mapping != nullptr) {
        const xcb_keycode_t* mapped = xcb_get_modifier_mapping_keycodes(mapping);
        const int per = mapping->keycodes_per_modifier;
        for (int i = 0; i < 8 * per && mask == 0; ++i) {
            for (const xcb_keycode_t* c = codes; *c != XCB_NO_SYMBOL; ++c) {
                if (mapped[i] != XCB_NO_SYMBOL && mapped[i] == *c) {
                    mask = static_cast<uint16_t>(1u << (i / per));
                }
            }
        }
    }
    std::free(codes);
    std::free(mapping);
    return mask;
}

} // namespace

int main(int argc, char** argv) {
    bool hold = false;
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--hold") == 0) {
        hold = true;
        ++arg;
    }
    uint16_t modifiers = 0;
    if (argc - arg != 2 || !parseModifiers(argv[arg], modifiers)) {
        std::fprintf(stderr, "usage: hotkey_probe [--hold] MODIFIERS KEYSYM\n");
        return 2;
    }
    const xkb_keysym_t keysym = xkb_keysym_from_name(argv[arg + 1], XKB_KEYSYM_NO_FLAGS);
    if (keysym == XKB_KEY_NoSymbol) {
        std::fprintf(stderr, "hotkey_probe: unknown keysym %s\n", argv[arg + 1]);
        return 2;
    }

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "hotkey_probe: cannot reach the X server\n");
        return 2;
    }
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&roots);
    }
    const xcb_window_t root = roots.data->root;

    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(symbols, keysym);
    if (keycodes == nullptr || keycodes[0] == XCB_NO_SYMBOL) {
        std::fprintf(stderr, "hotkey_probe: no key sends %s\n", argv[arg + 1]);
        return 2;
    }
    const xcb_keycode_t keycode = keycodes[0];
    std::free(keycodes);
    const uint16_t numLock = numLockMask(connection, symbols);
    xcb_key_symbols_free(symbols);

    struct Variant {
        const char* name;
        uint16_t mask;
    };
    const std::vector<Variant> variants{
        {"none", 0},
        {"numlock", numLock},
        {"capslock", XCB_MOD_MASK_LOCK},
        {"both", static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK)}};
    int granted = 0;
    int refused = 0;
    for (const Variant& variant : variants) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(connection, 0, root, modifiers | variant.mask, keycode,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(connection, cookie);
        if (error == nullptr) {
            std::printf("%s granted\n", variant.name);
            ++granted;
        } else if (error->error_code == kBadAccess) {
            std::printf("%s BadAccess\n", variant.name);
            ++refused;
        } else {
            std::printf("%s error %d\n", variant.name, error->error_code);
        }
        std::free(error);
    }
    const int total = static_cast<int>(variants.size());
    if (hold) {
        std::printf("holding\n");
        std::fflush(stdout);
        for (;;) {
            pause();
        }
    }
    std::fflush(stdout);
    xcb_disconnect(connection);
    return granted == total ? 0 : refused == total ? 3 : 1;
}
