#include "platform/DisplayServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Sets environment variables for one test and puts the old values back.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            had_ = true;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvGuard() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST(DisplayServer, TellsWaylandWithoutXFromNoServerAtAll) {
    struct Case {
        const char* display;
        const char* wayland;
        platform::DisplayServer expected;
    };
    const Case cases[] = {
        {nullptr, "wayland-0", platform::DisplayServer::WaylandOnly},
        {nullptr, nullptr, platform::DisplayServer::None},
        {"", "", platform::DisplayServer::None},
        // A DISPLAY that names no server is no X11 session.
        {":987", nullptr, platform::DisplayServer::None},
        {":987", "wayland-0", platform::DisplayServer::WaylandOnly},
    };
    for (const Case& c : cases) {
        EnvGuard display("DISPLAY", c.display);
        EnvGuard wayland("WAYLAND_DISPLAY", c.wayland);
        EXPECT_EQ(platform::detectDisplayServer(), c.expected)
            << (c.display ? c.display : "-") << " / " << (c.wayland ? c.wayland : "-");
    }
}

TEST(DisplayServer, ExplainsEveryProblemButX11) {
    EXPECT_TRUE(platform::displayServerProblem(platform::DisplayServer::X11).isEmpty());
    EXPECT_TRUE(platform::displayServerProblem(platform::DisplayServer::WaylandOnly)
                    .contains(QStringLiteral("Wayland")));
    EXPECT_TRUE(platform::displayServerProblem(platform::DisplayServer::None)
                    .contains(QStringLiteral("X11")));
}

} // namespace
