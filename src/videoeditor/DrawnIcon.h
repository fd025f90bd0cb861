#pragma once

#include <QIcon>

#include <functional>

class QPainter;

namespace videoeditor {

// A 16 × 16 icon painted by `draw` (antialiased, in 16 × 16 units) at scales
// 1 and 2, for buttons whose icon the theme may not have.
QIcon drawnIcon(const std::function<void(QPainter&)>& draw);

} // namespace videoeditor
