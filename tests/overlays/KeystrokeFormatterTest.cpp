#include "overlays/KeystrokeFormatter.h"

#include "platform/KeyCodeMap.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace overlays {
namespace {

namespace bits = platform::modifierBits;
using app::KeystrokeMode;
using Clock = KeystrokeFormatter::Clock;

// Key codes of the stored numbering.
constexpr std::uint32_t kA = 0, kB = 11, kZ = 6, kY = 16, kShift = 56, kCommand = 55,
                        kCapsLock = 57, kReturn = 36, kF5 = 96, kHome = 115, kOne = 18;

KeyPress key(std::uint32_t code, const QString& name, const QString& characters,
             std::uint64_t modifiers = 0) {
    return {code, modifiers, name, characters};
}
KeyPress letter(std::uint32_t code, QChar c, std::uint64_t modifiers = 0) {
    return key(code, QString(c.toUpper()), QString(c), modifiers);
}
// A modifier's own press or release: its code and flags, no name, no text.
KeyPress flags(std::uint32_t code, std::uint64_t modifiers) {
    return key(code, {}, {}, modifiers);
}

struct Step {
    double at; // seconds
    KeyPress press;
    std::optional<QString> shown;
};

struct Case {
    const char* name;
    KeystrokeMode mode;
    std::vector<Step> steps;
};

TEST(KeystrokeFormatter, TimedPressSequences) {
    const QString none;
    const auto ctrlZ = letter(kZ, 'z', bits::control);
    const auto ctrlY = letter(kY, 'y', bits::control);
    const auto superZ = letter(kZ, 'z', bits::command);
    const Case cases[] = {
        {"Ctrl+Z three times counts up; Ctrl+Y restarts the count",
         KeystrokeMode::shortcutsOnly,
         {{0.0, ctrlZ, "Ctrl+Z"},
          {1.0, ctrlZ, "Ctrl+Z ×2"},
          {2.2, ctrlZ, "Ctrl+Z ×3"},
          {3.0, ctrlY, "Ctrl+Y"},
          {3.5, ctrlZ, "Ctrl+Z"}}},
        {"a repeat after more than 1.2 s starts again at one",
         KeystrokeMode::shortcutsOnly,
         {{0.0, superZ, "Super+Z"}, {1.3, superZ, "Super+Z"}, {2.5, superZ, "Super+Z ×2"}}},
        {"typing merges within 1.2 s (inclusive), not at 1.3 s",
         KeystrokeMode::allKeys,
         {{0.0, letter(kA, 'a'), "a"},
          {1.2, letter(kB, 'b'), "ab"},
          {2.5, letter(kB, 'b'), "b"},
          {3.5, letter(kA, 'a'), "ba"}}},
        {"Shift, Command and Caps Lock alone show nothing and do not extend the run",
         KeystrokeMode::allKeys,
         {{0.0, letter(kA, 'a'), "a"},
          {1.0, flags(kShift, bits::shift), std::nullopt},
          {1.1, flags(kShift, 0), std::nullopt},
          {1.15, flags(kCommand, bits::command), std::nullopt},
          {1.2, flags(kCapsLock, 0), std::nullopt},
          {1.3, letter(kB, 'b'), "b"}}},
        {"Shift alone shows nothing in shortcuts-only mode either",
         KeystrokeMode::shortcutsOnly,
         {{0.0, flags(kShift, bits::shift), std::nullopt},
          {0.1, key(kShift, {}, {}, 0), std::nullopt}}},
        {"shortcuts only: letters, Shift+letters and Shift+digits show nothing",
         KeystrokeMode::shortcutsOnly,
         {{0.0, letter(kA, 'a'), std::nullopt},
          {0.1, key(kA, "A", "A", bits::shift), std::nullopt},
          {0.2, key(kOne, "1", "!", bits::shift), std::nullopt},
          {0.3, key(kReturn, "Return", "\r"), "Return"},
          {0.4, key(kReturn, "Return", "\r", bits::shift), "Shift+Return"}}},
        {"shortcuts only: a character from AltGr (no Ctrl, Alt or Super) shows nothing",
         KeystrokeMode::shortcutsOnly,
         {{0.0, key(12, "Q", "@"), std::nullopt}}},
        {"all keys: Shift+A types the capital, Return its name, F5 is a shortcut",
         KeystrokeMode::allKeys,
         {{0.0, key(kA, "A", "A", bits::shift), "A"},
          {0.5, key(kReturn, "Return", "\r"), "AReturn"},
          {0.8, key(kF5, "F5", QString(QChar(0xF708))), "F5"},
          {0.9, letter(kA, 'a'), "a"}}},
        {"a shortcut ends a typing run",
         KeystrokeMode::allKeys,
         {{0.0, letter(kA, 'a'), "a"}, {0.2, ctrlZ, "Ctrl+Z"}, {0.4, letter(kB, 'b'), "b"}}},
        {"all keys: named keys type their name without modifiers; private-use text shows nothing",
         KeystrokeMode::allKeys,
         {{0.0, key(kHome, "Home", QString(QChar(0xF729)), bits::shift), "Home"},
          {0.1, key(114, "Help", QString(QChar(0xF746))), std::nullopt},
          {0.2, key(kA, "A", QString(QChar(0x01))), std::nullopt},
          {0.3, letter(kA, 'a'), "Homea"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeystrokeFormatter formatter(c.mode);
        for (const Step& step : c.steps) {
            const auto now =
                Clock::time_point{} + std::chrono::hours(1) +
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(step.at));
            EXPECT_EQ(formatter.format(step.press, now), step.shown) << "at " << step.at;
        }
    }
}

TEST(KeystrokeFormatter, TypedRunKeepsItsLast24Characters) {
    KeystrokeFormatter formatter(KeystrokeMode::allKeys);
    const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123");
    std::optional<QString> shown;
    auto now = Clock::time_point{} + std::chrono::hours(1);
    for (const QChar c : alphabet) {
        shown = formatter.format(letter(kA, c), now);
        now += std::chrono::milliseconds(100);
    }
    EXPECT_EQ(shown, alphabet.right(24));
    // A character drawn from several code points counts once.
    KeystrokeFormatter accents(KeystrokeMode::allKeys);
    const QString eAcute = QStringLiteral("e\u0301");
    for (int i = 0; i < 30; ++i) {
        shown = accents.format(key(kA, "E", eAcute), now);
        now += std::chrono::milliseconds(100);
    }
    EXPECT_EQ(shown, eAcute.repeated(24));
}

TEST(CapUtf16, CutsOnCodePointBoundaries) {
    const QString grin = QString::fromUcs4(U"\U0001F600");
    struct {
        const char* name;
        QString text;
        QString kept;
    } cases[] = {
        {"short text whole", "abc", "abc"},
        {"nine units ending in a pair keep seven", "abcdefg" + grin, "abcdefg"},
        {"a pair inside the cap stays", "abcdef" + grin + "x", "abcdef" + grin},
        {"ten plain units keep eight", "0123456789", "01234567"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(capUtf16(c.text, 8), c.kept);
    }
}

} // namespace
} // namespace overlays
