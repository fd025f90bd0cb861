#pragma once

#include "annotation/CustomColors.h"
#include "annotation/EditorDocument.h"
#include "editor/canvas/CanvasController.h"
#include "support/Captures.h"

#include <QImage>
#include <gtest/gtest.h>

#include <memory>

namespace canvastest {

using testsupport::captureOf;
using testsupport::solidImage;

using namespace annotation;
using namespace editor;

// Every pixel its own colour: a pixel that lands anywhere else shows.
inline QImage patternImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x ^ y) * 3) & 255));
        }
    }
    return image;
}

// The widget side as the controller sees it, recorded.
class FakeHost : public CanvasHost {
public:
    Size size{1000, 700};
    bool field = false;
    QString openedWith;
    int focused = 0;
    int laidOut = 0;

    Size viewSize() const override { return size; }
    bool hasTextField() const override { return field; }
    void openTextField(const QString& text) override {
        field = true;
        openedWith = text;
    }
    void closeTextField() override { field = false; }
    void layoutTextField() override { ++laidOut; }
    void focusCanvas() override { ++focused; }
};

// A document over a generated image and a controller in a 1000 × 700 view.
// A 400 × 300 image is shown at scale 1 with its top-left corner at (300, 200).
class Canvas : public testing::Test {
protected:
    explicit Canvas(int width = 400, int height = 300, double scale = 1)
        : doc(std::make_unique<EditorDocument>(
              captureOf(solidImage(width, height, Qt::white), scale), EditorState{}, &colours))
        , controller(std::make_unique<CanvasController>(*doc, host)) {}

    CustomColors colours{nullptr};
    FakeHost host;
    std::unique_ptr<EditorDocument> doc;
    std::unique_ptr<CanvasController> controller;

    CanvasGeometry geometry() const { return controller->geometry(); }
    Point view(Point image) const { return geometry().toView(image); }

    void down(Point image, bool shift = false, int clicks = 1) {
        controller->mouseDown(PointerInput{view(image), shift, clicks});
    }
    void dragTo(Point image, bool shift = false) {
        controller->mouseDragged(PointerInput{view(image), shift, 1});
    }
    void up(Point image, bool shift = false) {
        controller->mouseUp(PointerInput{view(image), shift, 1});
    }
    // Down, a few drag steps on the straight way, up.
    void drag(Point from, Point to, bool shift = false, int steps = 4) {
        down(from, shift);
        for (int i = 1; i <= steps; ++i) {
            const double t = static_cast<double>(i) / steps;
            dragTo(Point{from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t}, shift);
        }
        up(to, shift);
    }
    void click(Point at, int clicks = 1) {
        down(at, false, clicks);
        up(at);
    }
    bool key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
        return controller->keyPress(KeyInput{k, mods, text});
    }

    // A mark put straight into the document.
    Annotation put(Shape shape, double size = 5) {
        const Annotation a{
            QUuid::createUuid(), std::move(shape), RGBA::fromBytes(255, 59, 71), size, false,
            TextStyle::plain};
        doc->addAnnotation(a);
        return a;
    }
    const std::vector<Annotation>& marks() const { return doc->state().annotations; }
};

} // namespace canvastest
