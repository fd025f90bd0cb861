#include "annotation/Annotation.h"

#include "annotation/ShapeTraits.h"

#include <array>

namespace annotation {

namespace {
constexpr std::array<const char*, 12> kCaseNames{
    "arrow",   "line",   "rectangle",   "filledRectangle", "ellipse", "text",
    "counter", "pencil", "highlighter", "pixelate",        "blur",    "spotlight",
};
} // namespace

Shape Shape::area(ShapeKind kind, Rect rect) {
    Q_ASSERT(isAreaKind(kind));
    return {kind, Area{rect}};
}

QString caseName(ShapeKind kind) {
    return QString::fromLatin1(kCaseNames[static_cast<std::size_t>(kind)]);
}

std::optional<ShapeKind> shapeKindFromCaseName(const QString& name) {
    for (std::size_t i = 0; i < kCaseNames.size(); ++i) {
        if (name == QLatin1String(kCaseNames[i])) {
            return static_cast<ShapeKind>(i);
        }
    }
    return std::nullopt;
}

bool isAreaKind(ShapeKind kind) {
    return traitsOf(kind).form == ShapeForm::area;
}

QString rawValue(TextStyle style) {
    return style == TextStyle::plain ? QStringLiteral("plain") : QStringLiteral("filled");
}

std::optional<TextStyle> textStyleFromRawValue(const QString& raw) {
    if (raw == QLatin1String("plain")) {
        return TextStyle::plain;
    }
    if (raw == QLatin1String("filled")) {
        return TextStyle::filled;
    }
    return std::nullopt;
}

} // namespace annotation
