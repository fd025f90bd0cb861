#include "annotation/Tool.h"

#include <QCoreApplication>

#include <array>

namespace annotation {

namespace {

struct ToolInfo {
    Tool tool;
    const char* raw;
    const char* symbol;
    char key;
};

constexpr std::array<ToolInfo, 13> kTools{{
    {Tool::crop, "crop", "crop", 'c'},
    {Tool::rectangle, "rectangle", "rectangle", 'r'},
    {Tool::filledRectangle, "filledRectangle", "rectangle.fill", 'f'},
    {Tool::ellipse, "ellipse", "circle", 'o'},
    {Tool::line, "line", "line.diagonal", 'l'},
    {Tool::arrow, "arrow", "arrow.up.right", 'a'},
    {Tool::text, "text", "textformat", 't'},
    {Tool::pixelate, "pixelate", "checkerboard.rectangle", 'x'},
    {Tool::blur, "blur", "drop.halffull", 'b'},
    {Tool::counter, "counter", "1.circle", 'n'},
    {Tool::highlighter, "highlighter", "highlighter", 'h'},
    {Tool::pencil, "pencil", "pencil.tip", 'p'},
    {Tool::spotlight, "spotlight", "flashlight.on.fill", 's'},
}};

constexpr std::array<Tool, 13> kAll{
    Tool::crop,        Tool::rectangle, Tool::filledRectangle, Tool::ellipse, Tool::line,
    Tool::arrow,       Tool::text,      Tool::pixelate,        Tool::blur,    Tool::counter,
    Tool::highlighter, Tool::pencil,    Tool::spotlight,
};

const ToolInfo& info(Tool tool) {
    return kTools[static_cast<std::size_t>(tool)];
}

} // namespace

std::span<const Tool> tools::allCases() {
    return kAll;
}

QString rawValue(Tool tool) {
    return QString::fromLatin1(info(tool).raw);
}

std::optional<Tool> toolFromRawValue(const QString& raw) {
    for (const ToolInfo& entry : kTools) {
        if (raw == QLatin1String(entry.raw)) {
            return entry.tool;
        }
    }
    return std::nullopt;
}

QString title(Tool tool) {
    switch (tool) {
    case Tool::crop:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Crop");
    case Tool::rectangle:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Rectangle");
    case Tool::filledRectangle:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Filled Rectangle");
    case Tool::ellipse:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Ellipse");
    case Tool::line:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Line");
    case Tool::arrow:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Arrow");
    case Tool::text:
        //: Editor tool name: adds a text label
        return QCoreApplication::translate("Tool", "Text");
    case Tool::pixelate:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Pixelate");
    case Tool::blur:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Blur");
    case Tool::counter:
        //: Editor tool name: adds numbered step markers
        return QCoreApplication::translate("Tool", "Counter");
    case Tool::highlighter:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Highlighter");
    case Tool::pencil:
        //: Editor tool name
        return QCoreApplication::translate("Tool", "Pencil");
    case Tool::spotlight:
        //: Editor tool name: dims everything outside a rectangle
        return QCoreApplication::translate("Tool", "Spotlight");
    }
    return QString();
}

QString symbolName(Tool tool) {
    return QString::fromLatin1(info(tool).symbol);
}

QString iconPath(Tool tool) {
    return QStringLiteral(":/vexlin/tools/%1.svg").arg(QLatin1String(info(tool).raw));
}

QString shortcutKey(Tool tool) {
    return QString(QLatin1Char(info(tool).key));
}

} // namespace annotation
