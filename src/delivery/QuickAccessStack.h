#pragma once

#include "app/SettingsEnums.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace delivery {

// Where each Quick Access card window stands in the stack, in global
// top-left coordinates. Pure: no windows, no screens.
namespace QuickAccessStack {

// From the screen's sides and bottom.
inline constexpr int margin = 6;
// How far each card overlaps the one below it.
inline constexpr int overlap = 26;
// Room kept free below the top of the available area.
inline constexpr int topReserve = 40;

struct Slot {
    QPoint topLeft;
    // The card no longer fits: it is placed all the same, then taken away.
    bool dropped = false;
};

// One slot per card of `sizes` (window sizes, newest first) on `available`
// (the screen's free area). The newest card's bottom edge stands `margin`
// above the available bottom, each older card's bottom edge `overlap` below
// the top of the card before it, all `margin` from the corner's side. An
// older card whose top edge + `overlap` lies above the available top +
// `topReserve` is dropped, and so is every card older than it; the newest
// card never is, however tall.
QList<Slot> layout(const QRect& available, app::ScreenCorner corner, const QList<QSize>& sizes);

// Where a card starts sliding in from, or slides out to: half its width
// further towards the corner's screen edge.
QPoint offstage(const QPoint& topLeft, int width, app::ScreenCorner corner);

} // namespace QuickAccessStack

} // namespace delivery
