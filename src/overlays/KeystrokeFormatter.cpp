#include "overlays/KeystrokeFormatter.h"

#include "app/KeyShortcut.h"
#include "platform/KeyCodeMap.h"

#include <QChar>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>

namespace overlays {

namespace keyCodes {

namespace {
template <std::size_t N>
bool contains(const std::array<std::uint32_t, N>& set, std::uint32_t code) {
    return std::find(set.begin(), set.end(), code) != set.end();
}
constexpr std::array<std::uint32_t, 10> kIgnored{55, 54, 56, 60, 58, 61, 59, 62, 57, 63};
constexpr std::array<std::uint32_t, 9> kEditing{36, 48, 53, 51, 117, 123, 124, 126, 125};
constexpr std::array<std::uint32_t, 4> kNamedMore{115, 119, 116, 121};
} // namespace

bool isIgnored(std::uint32_t keyCode) {
    return contains(kIgnored, keyCode);
}
bool isFunction(std::uint32_t keyCode) {
    return app::KeyShortcut::functionKeyCodes().contains(keyCode);
}
bool isEditing(std::uint32_t keyCode) {
    return contains(kEditing, keyCode);
}
bool isNamed(std::uint32_t keyCode) {
    return isEditing(keyCode) || contains(kNamedMore, keyCode);
}

} // namespace keyCodes

namespace {

namespace bits = platform::modifierBits;

constexpr std::uint64_t kShortcutModifiers = bits::control | bits::option | bits::command;

// Drops what would draw as nothing or as a box: control and format
// characters, lone surrogates, private-use and unassigned code points.
QString printable(const QString& characters) {
    QString out;
    for (const char32_t scalar : characters.toUcs4()) {
        switch (QChar::category(scalar)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
            continue;
        default:
            out.append(QString::fromUcs4(&scalar, 1));
        }
    }
    return out;
}

// The last `count` grapheme clusters of `text`.
QString lastCharacters(const QString& text, int count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    qsizetype start = text.size();
    for (int i = 0; i < count; ++i) {
        const qsizetype previous = finder.toPreviousBoundary();
        if (previous < 0) {
            return text;
        }
        start = previous;
    }
    return text.mid(start);
}

} // namespace

QString capUtf16(const QString& text, qsizetype units) {
    if (text.size() <= units) {
        return text;
    }
    qsizetype end = units;
    if (end > 0 && text.at(end - 1).isHighSurrogate() && text.at(end).isLowSurrogate()) {
        --end;
    }
    return text.left(end);
}

bool KeystrokeFormatter::withinWindow(Clock::time_point now) const {
    return lastShown_ && now - *lastShown_ <= mergeWindow;
}

std::optional<QString> KeystrokeFormatter::format(const KeyPress& press, Clock::time_point now) {
    if (keyCodes::isIgnored(press.keyCode)) {
        return std::nullopt;
    }
    // Shift alone makes capitals, not a shortcut.
    const bool shortcutPress = (press.modifiers & kShortcutModifiers) != 0;
    if (mode_ == app::KeystrokeMode::shortcutsOnly) {
        // Plain typing never shows here, whatever Shift or AltGr made of it.
        if (shortcutPress || keyCodes::isEditing(press.keyCode) ||
            keyCodes::isFunction(press.keyCode)) {
            return shortcut(press, now);
        }
        return std::nullopt;
    }
    if (shortcutPress || keyCodes::isFunction(press.keyCode)) {
        return shortcut(press, now);
    }
    const QString piece =
        keyCodes::isNamed(press.keyCode) ? press.keyName : printable(press.characters);
    if (piece.isEmpty()) {
        return std::nullopt;
    }
    return typed(piece, now);
}

std::optional<QString> KeystrokeFormatter::typed(const QString& piece, Clock::time_point now) {
    QString text = piece;
    if (withinWindow(now) && label_.kind == KeystrokeLabel::Kind::typing) {
        text = label_.text + piece;
    }
    text = lastCharacters(text, typedCharacters);
    label_ = {KeystrokeLabel::Kind::typing, text, 0};
    lastShown_ = now;
    return text;
}

QString KeystrokeFormatter::shortcut(const KeyPress& press, Clock::time_point now) {
    const QString text = app::KeyShortcut::modifierSymbols(press.modifiers) + press.keyName;
    if (withinWindow(now) && label_.kind == KeystrokeLabel::Kind::shortcut && label_.text == text) {
        label_.count += 1;
        lastShown_ = now;
        return text + QStringLiteral(" ×") + QString::number(label_.count);
    }
    label_ = {KeystrokeLabel::Kind::shortcut, text, 1};
    lastShown_ = now;
    return text;
}

} // namespace overlays
