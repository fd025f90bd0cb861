// Times hot key → file against other screenshot commands, interleaved round
// by round. Ours: presses a key combination through XTest (as a keyboard
// would, without starting a process per press) and waits with inotify until a
// finished file appears in a folder; its CPU time is what the running program
// (PID) spent from the press until the rest of the delivery (clipboard copy,
// sound) has settled, all threads. Theirs: each command as a whole process,
// with the CPU time of all its threads. Prints the table of Interleave.h.
// Used by hotkey_to_file.sh; not a test.
//
//   hotkey_timer FOLDER ROUNDS PID TSV KEYSYM… [-- NAME COMMAND [ARG…]]…
//   e.g. hotkey_timer shots 9 1234 out.tsv Shift_L Alt_L Super_L 3 -- scrot scrot -o a.png
#include "Interleave.h"

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
#include <fstream>
#include <sstream>
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

// User + system seconds of every thread of a process, live or ended.
double processCpu(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Fields after the command name, which is in parentheses and may hold spaces.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; rest >> field && index <= 15; ++index) {
        if (index == 14 || index == 15) { // utime, stime
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class Presser {
public:
    Presser(std::filesystem::path folder, pid_t app) : folder_(std::move(folder)), app_(app) {}
    ~Presser() {
        if (c_) {
            xcb_disconnect(c_);
        }
    }

    bool open(const std::vector<std::string>& keyNames) {
        c_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c_)) {
            std::fprintf(stderr, "no X server\n");
            return false;
        }
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c_);
        for (const std::string& name : keyNames) {
            xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysymOf(name));
            if (codes == nullptr || codes[0] == 0) {
                std::fprintf(stderr, "no key for %s\n", name.c_str());
                std::free(codes);
                xcb_key_symbols_free(symbols);
                return false;
            }
            keys_.push_back(codes[0]);
            std::free(codes);
        }
        xcb_key_symbols_free(symbols);
        watch_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (watch_ < 0 || inotify_add_watch(watch_, folder_.c_str(), IN_MOVED_TO | IN_CREATE) < 0) {
            std::perror("inotify");
            return false;
        }
        return true;
    }

    bench::Sample press() {
        clear(folder_);
        // Drop the events of the clearing.
        char buffer[4096];
        while (read(watch_, buffer, sizeof buffer) > 0) {
        }
        const double cpuBefore = processCpu(app_);
        const double start = bench::now();
        for (xcb_keycode_t key : keys_) {
            xcb_test_fake_input(c_, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        for (auto key = keys_.rbegin(); key != keys_.rend(); ++key) {
            xcb_test_fake_input(c_, XCB_KEY_RELEASE, *key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        xcb_flush(c_);

        bool found = false;
        while (!found) {
            pollfd fd{watch_, POLLIN, 0};
            if (poll(&fd, 1, 10000) <= 0) {
                std::fprintf(stderr, "no file within 10 s\n");
                std::exit(1);
            }
            ssize_t length = 0;
            while ((length = read(watch_, buffer, sizeof buffer)) > 0) {
                for (char* at = buffer; at < buffer + length;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(at);
                    if (event->len > 0 && isFinished(event->name)) {
                        found = true;
                    }
                    at += sizeof(inotify_event) + event->len;
                }
            }
        }
        const double end = bench::now();
        // Let the rest of the delivery (the clipboard copy, the sound) finish.
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        return {end - start, processCpu(app_) - cpuBefore};
    }

private:
    std::filesystem::path folder_;
    pid_t app_;
    xcb_connection_t* c_ = nullptr;
    std::vector<xcb_keycode_t> keys_;
    int watch_ = -1;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: %s FOLDER ROUNDS PID TSV KEYSYM... [-- NAME COMMAND [ARG...]]...\n",
                     argv[0]);
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[2]));
    Presser presser(argv[1], static_cast<pid_t>(std::atoi(argv[3])));
    const char* tsv = argv[4];
    int i = 5;
    std::vector<std::string> keys;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        keys.emplace_back(argv[i]);
    }
    if (!presser.open(keys)) {
        return 1;
    }
    std::vector<bench::Side> sides{
        {"Vexlin Capture (hot key -> file)", [&presser] { return presser.press(); }}};
    while (i + 2 < argc) {
        const std::string name = argv[++i];
        std::vector<std::string> command;
        for (++i; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
            command.emplace_back(argv[i]);
        }
        sides.push_back({name, [command] { return bench::runCommand(command); }});
    }
    const auto results = bench::interleave(sides, rounds);
    bench::printResults(results, rounds);
    bench::writeTsv(tsv, results);
    return 0;
}
