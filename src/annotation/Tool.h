#pragma once

#include <QString>

#include <optional>
#include <span>

namespace annotation {

// The editor's tools, in the order of the tool strip. Every tool but crop
// makes an annotation of the shape of the same name.
enum class Tool {
    crop,
    rectangle,
    filledRectangle,
    ellipse,
    line,
    arrow,
    text,
    pixelate,
    blur,
    counter,
    highlighter,
    pencil,
    spotlight,
};

namespace tools {
std::span<const Tool> allCases();
} // namespace tools

QString rawValue(Tool tool);
std::optional<Tool> toolFromRawValue(const QString& raw);
// Localized display name.
QString title(Tool tool);
// Symbol name; the bundled icon is iconPath().
QString symbolName(Tool tool);
// Qt resource path of the tool's SVG icon.
QString iconPath(Tool tool);
// One lower-case letter.
QString shortcutKey(Tool tool);

} // namespace annotation
