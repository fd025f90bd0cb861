#pragma once

#include "annotation/EditorState.h"

#include <QString>
#include <QUuid>

#include <cstddef>

namespace bench {

// The benchmarks' annotated document: 50 marks with shadows spread over an
// image of w × h points (5 blurs, 5 pixelates, arrows, boxes, texts,
// counters, strokes), and the background on with the given padding.
inline annotation::EditorState annotatedDocument(double w, double h, double padding) {
    using namespace annotation;
    EditorState state;
    state.background.isEnabled = true;
    state.background.padding = padding;
    for (int i = 0; i < 50; ++i) {
        const double x = 40 + (i * 137) % static_cast<int>(w - 300);
        const double y = 40 + (i * 71) % static_cast<int>(h - 200);
        const RGBA colour = RGBA::palette()[static_cast<std::size_t>(i) % 9];
        Shape shape = Shape::line({x, y}, {x + 120, y + 40});
        switch (i % 10) {
        case 0:
            shape = Shape::area(ShapeKind::blur, Rect(x, y, 240, 120));
            break;
        case 1:
            shape = Shape::arrow({x, y}, {x + 200, y + 90});
            break;
        case 2:
            shape = Shape::area(ShapeKind::rectangle, Rect(x, y, 220, 110));
            break;
        case 3:
            shape = Shape::text({x, y}, QStringLiteral("Step %1: look here").arg(i));
            break;
        case 4:
            shape = Shape::counter({x, y}, i);
            break;
        case 5:
            shape = Shape::area(ShapeKind::pixelate, Rect(x, y, 200, 100));
            break;
        case 6:
            shape = Shape::pencil({{x, y}, {x + 20, y + 30}, {x + 50, y + 10}, {x + 90, y + 40}});
            break;
        case 7:
            shape = Shape::highlighter({{x, y}, {x + 260, y}});
            break;
        case 8:
            shape = Shape::area(ShapeKind::ellipse, Rect(x, y, 160, 90));
            break;
        default:
            break;
        }
        state.annotations.push_back(
            Annotation{QUuid::createUuid(), shape, colour, 5, true, TextStyle::plain});
    }
    return state;
}

} // namespace bench
