#pragma once

// A settings store on a private file and a hot-key centre on a fake grabber,
// wired as the program wires them: the centre registers the store's map once
// at once and again one turn after every change.
#include "app/HotKeyCenter.h"
#include "app/HotKeySync.h"
#include "app/Preferences.h"
#include "platform/GlobalKeyGrabber.h"
#include "platform/KeyboardLayout.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace testsupport {

class FakeGrabber final : public platform::GlobalKeyGrabber {
public:
    struct State {
        std::map<quint32, platform::XKeyCombo> held;
        // Combinations another program holds.
        std::vector<platform::XKeyCombo> taken;
        int grabs = 0;
    };
    explicit FakeGrabber(State& state) : state_(state) {}

    platform::GrabResult grab(quint32 id, platform::XKeyCombo key) override {
        ungrab(id);
        ++state_.grabs;
        for (const platform::XKeyCombo& other : state_.taken) {
            if (other == key) {
                return platform::GrabResult::taken;
            }
        }
        state_.held[id] = key;
        return platform::GrabResult::grabbed;
    }
    void ungrab(quint32 id) override { state_.held.erase(id); }
    void setOnPressed(std::function<void(quint32)> /*onPressed*/) override {}

private:
    State& state_;
};

// X key codes (evdev + 8) and core modifier masks used by the tests.
namespace x {
inline constexpr quint8 escape = 9, digit4 = 13, backspace = 22, letterA = 38, controlLeft = 37,
                        f5 = 71, del = 119, print = 107, scrollLock = 78, pause = 127, keypad1 = 87,
                        noStoredCode = 200;
inline constexpr quint16 shift = 0x1, lock = 0x2, control = 0x4, alt = 0x8, numLock = 0x10,
                         super = 0x40;
} // namespace x

class ShortcutFixture : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::KeyboardLayout::useLayoutForTesting(QStringLiteral("us")));
        preferences = std::make_unique<app::Preferences>(dir.file(QStringLiteral("Vexlin.conf")));
        hotKeys = std::make_unique<app::HotKeyCenter>(std::make_unique<FakeGrabber>(grabber));
        sync = std::make_unique<app::HotKeySync>(
            *preferences, [this](const app::ShortcutMap& map) { hotKeys->registerAll(map); });
    }
    void TearDown() override { platform::KeyboardLayout::useLayoutForTesting({}); }

    // The X combination held for an action, if any.
    std::optional<platform::XKeyCombo> held(app::CaptureAction action) const {
        const auto found = grabber.held.find(static_cast<quint32>(app::index(action)));
        if (found == grabber.held.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    TempDir dir;
    FakeGrabber::State grabber;
    std::unique_ptr<app::Preferences> preferences;
    std::unique_ptr<app::HotKeyCenter> hotKeys;
    std::unique_ptr<app::HotKeySync> sync;
};

} // namespace testsupport
