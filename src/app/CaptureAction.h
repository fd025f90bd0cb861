#pragma once

#include <QString>

#include <array>
#include <optional>
#include <span>

namespace app {

// One capture command. The declaration order is the action's index and its
// global hot-key identifier; the raw value is its persistent form everywhere.
enum class CaptureAction {
    area,
    window,
    fullscreen,
    scrolling,
    text,
    record,
    areaCopy,
    windowCopy,
    fullscreenCopy,
};

namespace captureActions {

// The nine actions in declaration order.
std::span<const CaptureAction> allCases();
// Order of the plain capture items in the menus (Fullscreen before Window).
std::span<const CaptureAction> menuOrder();
// The actions that only copy, in declaration order.
std::span<const CaptureAction> copyActions();

} // namespace captureActions

QString rawValue(CaptureAction action);
// Exactly the nine raw values; anything else (other case, blanks) gives none.
std::optional<CaptureAction> captureActionFromRawValue(const QString& raw);
int index(CaptureAction action);
std::optional<CaptureAction> captureActionFromIndex(int index);
bool copiesOnly(CaptureAction action);
// The localized menu and settings title.
QString title(CaptureAction action);
// The name of the action's menu picture; the copy actions share one.
QString symbolName(CaptureAction action);

} // namespace app
