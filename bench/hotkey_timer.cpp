// Times hot key → file: presses a key combination through XTest (as a
// keyboard would, without starting a process per press) and waits with
// inotify until a finished file appears in a folder. Prints one time in
// nanoseconds per run. Used by hotkey_to_file.sh; not a test.
//
//   hotkey_timer FOLDER RUNS KEYSYM…      e.g. hotkey_timer shots 9 Shift_L Alt_L Super_L 3
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <X11/keysym.h>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

xcb_keysym_t keysymOf(const std::string& name) {
    if (name.size() == 1) {
        return static_cast<xcb_keysym_t>(static_cast<unsigned char>(name[0]));
    }
    static const std::pair<const char*, xcb_keysym_t> names[] = {
        {"Shift_L", XK_Shift_L},     {"Alt_L", XK_Alt_L},   {"Super_L", XK_Super_L},
        {"Control_L", XK_Control_L}, {"Escape", XK_Escape},
    };
    for (const auto& [n, sym] : names) {
        if (name == n) {
            return sym;
        }
    }
    return 0;
}

// A finished capture: not hidden (temporary files are) and of an image type.
bool isFinished(const char* name) {
    const std::string file(name);
    return !file.empty() && file[0] != '.' && (file.ends_with(".png") || file.ends_with(".jpg"));
}

void clear(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::filesystem::remove(entry.path());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FOLDER RUNS KEYSYM...\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int runs = std::atoi(argv[2]);

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X server\n");
        return 1;
    }
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    std::vector<xcb_keycode_t> keys;
    for (int i = 3; i < argc; ++i) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysymOf(argv[i]));
        if (codes == nullptr || codes[0] == 0) {
            std::fprintf(stderr, "no key for %s\n", argv[i]);
            return 1;
        }
        keys.push_back(codes[0]);
        std::free(codes);
    }
    xcb_key_symbols_free(symbols);

    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch < 0 || inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO | IN_CREATE) < 0) {
        std::perror("inotify");
        return 1;
    }

    for (int run = 0; run < runs; ++run) {
        clear(folder);
        // Drop the events of the clearing.
        char buffer[4096];
        while (read(watch, buffer, sizeof buffer) > 0) {
        }
        const auto start = std::chrono::steady_clock::now();
        for (xcb_keycode_t key : keys) {
            xcb_test_fake_input(c, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
            xcb_test_fake_input(c, XCB_KEY_RELEASE, *key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        xcb_flush(c);

        bool found = false;
        while (!found) {
            pollfd fd{watch, POLLIN, 0};
            if (poll(&fd, 1, 10000) <= 0) {
                std::fprintf(stderr, "no file within 10 s\n");
                return 1;
            }
            ssize_t length = 0;
            while ((length = read(watch, buffer, sizeof buffer)) > 0) {
                for (char* at = buffer; at < buffer + length;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(at);
                    if (event->len > 0 && isFinished(event->name)) {
                        found = true;
                    }
                    at += sizeof(inotify_event) + event->len;
                }
            }
        }
        const auto end = std::chrono::steady_clock::now();
        std::printf("%lld\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count()));
        std::fflush(stdout);
        // Let the rest of the delivery (the clipboard copy) finish.
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
    }
    xcb_disconnect(c);
    return 0;
}
