#include "app/CaptureAction.h"

#include <QCoreApplication>

namespace app {

namespace {

struct ActionInfo {
    CaptureAction action;
    const char* raw;
    const char* title;
    bool copiesOnly;
};

// The titles carry no translator comment: they are the actions' own names and
// read the same in every menu, the settings and the welcome window.
constexpr std::array<ActionInfo, 9> kActions{{
    {CaptureAction::area, "area", QT_TRANSLATE_NOOP("CaptureAction", "Capture Area"), false},
    {CaptureAction::window, "window", QT_TRANSLATE_NOOP("CaptureAction", "Capture Window"), false},
    {CaptureAction::fullscreen, "fullscreen",
     QT_TRANSLATE_NOOP("CaptureAction", "Capture Fullscreen"), false},
    {CaptureAction::scrolling, "scrolling", QT_TRANSLATE_NOOP("CaptureAction", "Scrolling Capture"),
     false},
    {CaptureAction::text, "text", QT_TRANSLATE_NOOP("CaptureAction", "Capture Text (OCR)"), false},
    {CaptureAction::record, "record", QT_TRANSLATE_NOOP("CaptureAction", "Record Screen"), false},
    {CaptureAction::areaCopy, "areaCopy", QT_TRANSLATE_NOOP("CaptureAction", "Capture Area & Copy"),
     true},
    {CaptureAction::windowCopy, "windowCopy",
     QT_TRANSLATE_NOOP("CaptureAction", "Capture Window & Copy"), true},
    {CaptureAction::fullscreenCopy, "fullscreenCopy",
     QT_TRANSLATE_NOOP("CaptureAction", "Capture Fullscreen & Copy"), true},
}};

constexpr std::array<CaptureAction, 9> kAll{
    CaptureAction::area,      CaptureAction::window,     CaptureAction::fullscreen,
    CaptureAction::scrolling, CaptureAction::text,       CaptureAction::record,
    CaptureAction::areaCopy,  CaptureAction::windowCopy, CaptureAction::fullscreenCopy};

constexpr std::array<CaptureAction, 6> kMenuOrder{CaptureAction::area,   CaptureAction::fullscreen,
                                                  CaptureAction::window, CaptureAction::scrolling,
                                                  CaptureAction::text,   CaptureAction::record};

constexpr std::array<CaptureAction, 3> kCopyActions{
    CaptureAction::areaCopy, CaptureAction::windowCopy, CaptureAction::fullscreenCopy};

const ActionInfo& info(CaptureAction action) {
    return kActions.at(static_cast<size_t>(action));
}

} // namespace

namespace captureActions {
std::span<const CaptureAction> allCases() {
    return kAll;
}
std::span<const CaptureAction> menuOrder() {
    return kMenuOrder;
}
std::span<const CaptureAction> copyActions() {
    return kCopyActions;
}
} // namespace captureActions

QString rawValue(CaptureAction action) {
    return QString::fromLatin1(info(action).raw);
}

std::optional<CaptureAction> captureActionFromRawValue(const QString& raw) {
    for (const ActionInfo& entry : kActions) {
        if (raw == QLatin1String(entry.raw)) {
            return entry.action;
        }
    }
    return std::nullopt;
}

int index(CaptureAction action) {
    return static_cast<int>(action);
}

std::optional<CaptureAction> captureActionFromIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kAll.size())) {
        return std::nullopt;
    }
    return kAll[static_cast<size_t>(index)];
}

bool copiesOnly(CaptureAction action) {
    return info(action).copiesOnly;
}

QString title(CaptureAction action) {
    return QCoreApplication::translate("CaptureAction", info(action).title);
}

QString symbolName(CaptureAction action) {
    switch (action) {
    case CaptureAction::area:
        return QStringLiteral("rectangle.dashed");
    case CaptureAction::window:
        return QStringLiteral("macwindow");
    case CaptureAction::fullscreen:
        return QStringLiteral("display");
    case CaptureAction::scrolling:
        return QStringLiteral("arrow.down");
    case CaptureAction::text:
        return QStringLiteral("textformat");
    case CaptureAction::record:
        return QStringLiteral("video");
    case CaptureAction::areaCopy:
    case CaptureAction::windowCopy:
    case CaptureAction::fullscreenCopy:
        break;
    }
    return QStringLiteral("doc.on.clipboard");
}

} // namespace app
