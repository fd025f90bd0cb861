#pragma once

#include <QFont>

namespace videoeditor {

// The font with digits of one width, so that a running time keeps its place
// as it counts: the font itself where its digits already are (as in most
// interface fonts), else the system's fixed-pitch font at the same size.
QFont monospacedDigits(const QFont& font);

// Whether the ten digits are equally wide in the font.
bool hasEvenDigits(const QFont& font);

} // namespace videoeditor
