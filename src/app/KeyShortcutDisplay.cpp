#include "app/KeyShortcut.h"

#include "platform/KeyCodeMap.h"
#include "platform/KeyboardLayout.h"

#include <QCoreApplication>

#include <array>
#include <utility>

namespace app {

namespace {

namespace bits = platform::modifierBits;

// The codes of F1 to F20, in the order of the function-key characters.
constexpr std::array<std::uint32_t, 20> kFunctionKeys{
    122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111, 105, 107, 113, 106, 64, 79, 80, 90};

// The PC keys that share the codes of F13, F14 and F15.
constexpr std::uint32_t kPrint = 105;
constexpr std::uint32_t kScrollLock = 107;
constexpr std::uint32_t kPause = 113;

// The keypad's keys, which print what keys elsewhere print.
constexpr std::pair<std::uint32_t, Qt::Key> kKeypadKeys[] = {
    {82, Qt::Key_0},     {83, Qt::Key_1},     {84, Qt::Key_2},      {85, Qt::Key_3},
    {86, Qt::Key_4},     {87, Qt::Key_5},     {88, Qt::Key_6},      {89, Qt::Key_7},
    {91, Qt::Key_8},     {92, Qt::Key_9},     {65, Qt::Key_Period}, {67, Qt::Key_Asterisk},
    {69, Qt::Key_Plus},  {78, Qt::Key_Minus}, {75, Qt::Key_Slash},  {76, Qt::Key_Enter},
    {81, Qt::Key_Equal},
};

// Keys whose Qt key cannot come from the layout's character.
Qt::Key fixedQtKey(std::uint32_t keyCode) {
    static constexpr std::pair<std::uint32_t, Qt::Key> kPcKeys[] = {
        {kPrint, Qt::Key_Print}, {kScrollLock, Qt::Key_ScrollLock},
        {kPause, Qt::Key_Pause}, {110, Qt::Key_Menu},
        {71, Qt::Key_NumLock},   {114, Qt::Key_Insert},
    };
    for (const auto& [code, key] : kPcKeys) {
        if (code == keyCode) {
            return key;
        }
    }
    for (std::size_t i = 0; i < kFunctionKeys.size(); ++i) {
        if (kFunctionKeys[i] == keyCode) {
            return static_cast<Qt::Key>(Qt::Key_F1 + static_cast<int>(i));
        }
    }
    static constexpr std::pair<std::uint32_t, Qt::Key> kKeys[] = {
        {36, Qt::Key_Return},    {48, Qt::Key_Tab},    {49, Qt::Key_Space},
        {51, Qt::Key_Backspace}, {53, Qt::Key_Escape}, {117, Qt::Key_Delete},
        {115, Qt::Key_Home},     {119, Qt::Key_End},   {116, Qt::Key_PageUp},
        {121, Qt::Key_PageDown}, {123, Qt::Key_Left},  {124, Qt::Key_Right},
        {126, Qt::Key_Up},       {125, Qt::Key_Down},
    };
    for (const auto& [code, key] : kKeys) {
        if (code == keyCode) {
            return key;
        }
    }
    return Qt::Key_unknown;
}

} // namespace

QString KeyShortcut::displayText() const {
    return modifierSymbols(modifiers) + displayKey(keyCode);
}

QKeySequence KeyShortcut::keySequence() const {
    Qt::KeyboardModifiers qtModifiers;
    Qt::Key key = fixedQtKey(keyCode);
    for (const auto& [code, keypadKey] : kKeypadKeys) {
        if (code == keyCode) {
            key = keypadKey;
            qtModifiers.setFlag(Qt::KeypadModifier);
        }
    }
    if (key == Qt::Key_unknown) {
        // Qt names a printable key by its upper-case character.
        const QString character = layoutCharacter(keyCode).value_or(QString()).toUpper();
        if (character.size() != 1) {
            return {};
        }
        key = static_cast<Qt::Key>(character.at(0).unicode());
    }
    qtModifiers.setFlag(Qt::ControlModifier, modifiers & bits::control);
    qtModifiers.setFlag(Qt::AltModifier, modifiers & bits::option);
    qtModifiers.setFlag(Qt::ShiftModifier, modifiers & bits::shift);
    qtModifiers.setFlag(Qt::MetaModifier, modifiers & bits::command);
    return QKeySequence(QKeyCombination(qtModifiers, key));
}

QString KeyShortcut::modifierSymbols(std::uint64_t modifiers) {
    // A PC keyboard has no ⌃⌥⇧⌘ keys: the modifiers are named after the keys
    // that carry them here (command is the Super key), in the usual order of
    // the glyphs.
    QString names;
    if (modifiers & bits::control) {
        //: Modifier key in a keyboard shortcut, as in Ctrl+Alt+Shift+Super+4
        names += QCoreApplication::translate("KeyShortcut", "Ctrl") + QLatin1Char('+');
    }
    if (modifiers & bits::option) {
        //: Modifier key in a keyboard shortcut, as in Ctrl+Alt+Shift+Super+4
        names += QCoreApplication::translate("KeyShortcut", "Alt") + QLatin1Char('+');
    }
    if (modifiers & bits::shift) {
        //: Modifier key in a keyboard shortcut, as in Ctrl+Alt+Shift+Super+4
        names += QCoreApplication::translate("KeyShortcut", "Shift") + QLatin1Char('+');
    }
    if (modifiers & bits::command) {
        //: Modifier key in a keyboard shortcut (the key with the Windows logo), as in
        //: Ctrl+Alt+Shift+Super+4
        names += QCoreApplication::translate("KeyShortcut", "Super") + QLatin1Char('+');
    }
    return names;
}

QString KeyShortcut::displayKey(std::uint32_t keyCode) {
    if (const auto name = displayNames().constFind(keyCode); name != displayNames().cend()) {
        return *name;
    }
    if (const auto character = layoutCharacter(keyCode); character && !character->isEmpty()) {
        return character->toUpper();
    }
    return QStringLiteral("#%1").arg(keyCode);
}

QString KeyShortcut::keyName(std::uint32_t keyCode) {
    if (const auto key = keyEquivalents().constFind(keyCode); key != keyEquivalents().cend()) {
        return QString(*key);
    }
    return displayKey(keyCode).toLower();
}

std::optional<QString> KeyShortcut::layoutCharacter(std::uint32_t keyCode) {
    const auto xKeyCode = platform::keyCodeToX(keyCode);
    if (!xKeyCode) {
        return std::nullopt;
    }
    QString character = platform::KeyboardLayout::character(*xKeyCode);
    if (character.isEmpty()) {
        return std::nullopt;
    }
    return character;
}

const QHash<std::uint32_t, QString>& KeyShortcut::displayNames() {
    static const QHash<std::uint32_t, QString> names{
        {36, QStringLiteral("↩")},
        {48, QStringLiteral("⇥")},
        {51, QStringLiteral("⌫")},
        {53, QStringLiteral("⎋")},
        //: Name of the space bar key in a keyboard shortcut
        {49, QCoreApplication::translate("KeyShortcut", "Space")},
        {117, QStringLiteral("⌦")},
        {115, QStringLiteral("↖")},
        {119, QStringLiteral("↘")},
        {116, QStringLiteral("⇞")},
        {121, QStringLiteral("⇟")},
        {123, QStringLiteral("←")},
        {124, QStringLiteral("→")},
        {126, QStringLiteral("↑")},
        {125, QStringLiteral("↓")},
        {122, QStringLiteral("F1")},
        {120, QStringLiteral("F2")},
        {99, QStringLiteral("F3")},
        {118, QStringLiteral("F4")},
        {96, QStringLiteral("F5")},
        {97, QStringLiteral("F6")},
        {98, QStringLiteral("F7")},
        {100, QStringLiteral("F8")},
        {101, QStringLiteral("F9")},
        {109, QStringLiteral("F10")},
        {103, QStringLiteral("F11")},
        {111, QStringLiteral("F12")},
        // A PC keyboard's keys in the places of F13 to F15 are named as
        // printed on them.
        //: Name of the Print Screen key in a keyboard shortcut, as in Shift+Print
        {kPrint, QCoreApplication::translate("KeyShortcut", "Print")},
        //: Name of the Scroll Lock key in a keyboard shortcut
        {kScrollLock, QCoreApplication::translate("KeyShortcut", "Scroll Lock")},
        //: Name of the Pause key in a keyboard shortcut
        {kPause, QCoreApplication::translate("KeyShortcut", "Pause")},
        {106, QStringLiteral("F16")},
        {64, QStringLiteral("F17")},
        {79, QStringLiteral("F18")},
        {80, QStringLiteral("F19")},
        {90, QStringLiteral("F20")},
        //: Name of the Insert key in a keyboard shortcut
        {114, QCoreApplication::translate("KeyShortcut", "Insert")},
        //: Name of the Menu key (beside the right Ctrl) in a keyboard shortcut
        {110, QCoreApplication::translate("KeyShortcut", "Menu")},
        //: Name of the Num Lock key in a keyboard shortcut
        {71, QCoreApplication::translate("KeyShortcut", "Num Lock")},
    };
    // The keypad's keys print what the main block's keys print, so they are
    // told apart by name: Ctrl+Keypad 1 is not Ctrl+1.
    static const QHash<std::uint32_t, QString> withKeypad = [] {
        QHash<std::uint32_t, QString> all = names;
        for (const auto& [code, key] : kKeypadKeys) {
            const QString face = key == Qt::Key_Enter
                                     //: Name of the keypad's Enter key in a keyboard shortcut
                                     ? QCoreApplication::translate("KeyShortcut", "Enter")
                                     : QString(QChar(key));
            //: A key of the numeric keypad in a keyboard shortcut, as in Ctrl+Keypad 1
            all.insert(code, QCoreApplication::translate("KeyShortcut", "Keypad %1").arg(face));
        }
        return all;
    }();
    return withKeypad;
}

const QHash<std::uint32_t, QChar>& KeyShortcut::keyEquivalents() {
    static const QHash<std::uint32_t, QChar> equivalents = [] {
        QHash<std::uint32_t, QChar> table{
            {36, QChar(0x000D)},  {48, QChar(0x0009)},  {49, QChar(0x0020)},
            {51, QChar(0x0008)},  {117, QChar(0xF728)}, {123, QChar(0xF702)},
            {124, QChar(0xF703)}, {126, QChar(0xF700)}, {125, QChar(0xF701)},
        };
        // F1 to F12 take the function-key characters U+F704 to U+F70F.
        for (int i = 0; i < 12; ++i) {
            table.insert(kFunctionKeys[static_cast<std::size_t>(i)], QChar(0xF704 + i));
        }
        return table;
    }();
    return equivalents;
}

const QSet<std::uint32_t>& KeyShortcut::functionKeyCodes() {
    static const QSet<std::uint32_t> codes(kFunctionKeys.begin(), kFunctionKeys.end());
    return codes;
}

} // namespace app
