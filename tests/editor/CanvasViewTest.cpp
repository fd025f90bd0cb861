#include "CanvasFixture.h"

#include "annotation/TextMetrics.h"
#include "editor/canvas/CanvasChrome.h"
#include "editor/canvas/CanvasTextField.h"
#include "editor/canvas/CanvasView.h"

#include <QAction>
#include <QApplication>
#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QPainter>
#include <QTest>
#include <QTextCursor>
#include <gtest/gtest.h>

#include <cmath>

using namespace canvastest;

namespace {

// A canvas widget on the offscreen platform over a document of its own.
class View : public testing::Test {
protected:
    void open(QImage image, QSize size, double scale = 1) {
        doc = std::make_unique<EditorDocument>(captureOf(std::move(image), scale), EditorState{},
                                               &colours);
        view = std::make_unique<CanvasView>(*doc);
        QPalette palette = view->palette();
        palette.setColor(QPalette::Window, QColor(236, 236, 236));
        palette.setColor(QPalette::Highlight, QColor(0, 0, 255));
        view->setPalette(palette);
        view->resize(size);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    // The canvas as the screen shows it, after pending refreshes.
    QImage grab() {
        QCoreApplication::processEvents();
        return view->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }
    QPoint at(Point image) const {
        const Point v = view->geometry().toView(image);
        return QPoint(static_cast<int>(std::lround(v.x)), static_cast<int>(std::lround(v.y)));
    }
    void put(const Annotation& a) { doc->addAnnotation(a); }
    Annotation mark(Shape shape, double size = 5, RGBA colour = RGBA::fromBytes(255, 59, 71)) {
        return Annotation{QUuid::createUuid(), std::move(shape), colour, size, false,
                          TextStyle::plain};
    }
    void key(QWidget* target, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(target, k, mods);
        QCoreApplication::processEvents();
    }

    CustomColors colours{nullptr};
    std::unique_ptr<EditorDocument> doc;
    std::unique_ptr<CanvasView> view;
};

// Types the text key by key, as a keyboard whose layout has every character
// would (QTest spells ASCII only).
void typeText(QWidget* target, const QString& text) {
    for (QChar c : text) {
        const int key =
            c.toUpper().unicode() < 128 ? int{c.toUpper().unicode()} : int{Qt::Key_unknown};
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
}

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// ---- pixels ---------------------------------------------------------------------

TEST_F(View, ImagePixelsLieOneToOneAtTheOrigin) {
    const QImage pattern = patternImage(160, 120);
    open(pattern, QSize(400, 300));
    ASSERT_EQ(view->geometry().origin, (Point{120, 90}));
    const QImage shot = grab();
    int wrong = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            wrong += shot.pixel(120 + x, 90 + y) != pattern.pixel(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);
    // Around it the backdrop of a light window, and the canvas's shadow
    // below it, not above.
    const QRgb backdrop = CanvasView::backdropColor(QColor(236, 236, 236)).rgb();
    EXPECT_EQ(shot.pixel(5, 5), backdrop);
    EXPECT_EQ(qRed(backdrop), 230);
    EXPECT_LT(qRed(shot.pixel(200, 90 + 120 + 3)), qRed(backdrop) - 10);
    EXPECT_GT(qRed(shot.pixel(200, 90 - 3)), qRed(shot.pixel(200, 90 + 120 + 3)));
    // A dark window gets the dark backdrop.
    QPalette dark = view->palette();
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    view->setPalette(dark);
    EXPECT_EQ(qRed(grab().pixel(5, 5)), 29);
}

TEST_F(View, ATranslucentPictureCastsTheShadowOfWhatItCovers) {
    // The left half opaque, the right half clear.
    QImage half = solidImage(160, 120, Qt::transparent);
    QPainter(&half).fillRect(0, 0, 80, 120, QColor(200, 40, 40));
    open(half, QSize(400, 300));
    const QImage shot = grab();
    const int backdrop = qRed(CanvasView::backdropColor(QColor(236, 236, 236)).rgb());
    // Through the clear half the backdrop shows, unshadowed far from the
    // opaque half.
    EXPECT_EQ(qRed(shot.pixel(120 + 150, 90 + 60)), backdrop);
    // Below the opaque half the shadow falls, not above it.
    EXPECT_LT(qRed(shot.pixel(120 + 40, 90 + 120 + 3)), backdrop - 10);
    EXPECT_GT(qRed(shot.pixel(120 + 40, 90 - 3)), qRed(shot.pixel(120 + 40, 90 + 120 + 3)));
    EXPECT_EQ(qRed(shot.pixel(120 + 150, 90 + 120 + 3)), backdrop);
}

TEST_F(View, CropDimsTheCanvasOutsideTheDraftByHalf) {
    const QImage pattern = patternImage(160, 120);
    open(pattern, QSize(400, 300));
    doc->setTool(Tool::crop);
    doc->setCropDraft(Rect(40, 30, 80, 60));
    const QImage shot = grab();
    const auto shown = [&](int x, int y) { return shot.pixel(120 + x, 90 + y); };
    // Inside the draft, away from its thirds, border and handles: untouched.
    for (QPoint p : {QPoint(50, 40), QPoint(80, 60), QPoint(110, 80), QPoint(55, 85)}) {
        EXPECT_EQ(shown(p.x(), p.y()), pattern.pixel(p)) << p.x() << "," << p.y();
    }
    // Outside it, on the canvas: half as bright.
    for (QPoint p : {QPoint(10, 110), QPoint(150, 110), QPoint(10, 10), QPoint(150, 60)}) {
        const QRgb expected = qRgb(qRed(pattern.pixel(p)) / 2, qGreen(pattern.pixel(p)) / 2,
                                   qBlue(pattern.pixel(p)) / 2);
        EXPECT_LE(channelDistance(shown(p.x(), p.y()), expected), 1) << p.x() << "," << p.y();
    }
    // The backdrop is not dimmed.
    EXPECT_EQ(shot.pixel(5, 5), CanvasView::backdropColor(QColor(236, 236, 236)).rgb());
}

// How many pixels the dot centred at `c` covers along its row: its white
// middle and accent ring lift the blue channel over the grey ground, fully or,
// at the antialiased rim, in part.
double dotWidth(const QImage& shot, QPoint c, QRgb ground) {
    double covered = 0;
    for (int x = c.x() - 12; x <= c.x() + 12; ++x) {
        const int lift = qBlue(shot.pixel(x, c.y())) - qBlue(ground);
        covered += std::clamp(lift / double(255 - qBlue(ground)), 0.0, 1.0);
    }
    return covered;
}

TEST_F(View, HandleDotsAreNinePixelsAcrossAtAnyScale) {
    const QColor ground(64, 64, 64);
    struct Case {
        QSize image;
        QSize view;
        double scale;
        Rect rect;
    };
    for (const Case& c : {Case{{160, 120}, {400, 300}, 1, Rect(40, 30, 80, 60)},
                          Case{{1600, 1200}, {456, 356}, 0.25, Rect(400, 300, 800, 600)}}) {
        open(solidImage(c.image.width(), c.image.height(), ground), c.view);
        ASSERT_DOUBLE_EQ(view->geometry().scale, c.scale);
        // A mark of the ground's own colour: only its chrome shows.
        const Annotation a =
            mark(Shape::area(ShapeKind::filledRectangle, c.rect), 5, RGBA::fromColor(ground));
        put(a);
        doc->select(a.id);
        const QImage shot = grab();
        const QPoint top = at(Point{c.rect.midX(), c.rect.minY()});
        EXPECT_NEAR(dotWidth(shot, top, ground.rgb()), 9, 0.5) << c.scale;
        // The ring is the accent, the middle white, and the shadow falls
        // below the dot.
        EXPECT_EQ(shot.pixel(top), qRgb(255, 255, 255));
        EXPECT_EQ(shot.pixel(top.x() - 4, top.y()), qRgb(0, 0, 255));
        EXPECT_LT(qRed(shot.pixel(top.x(), top.y() + 6)), qRed(ground.rgb()) - 5);
        EXPECT_EQ(qRed(shot.pixel(top.x(), top.y() - 7)), qRed(ground.rgb()));
        // The dashed outline runs 4 points outside the bounds.
        const QPoint outline = at(Point{c.rect.minX(), c.rect.midY()}) - QPoint(4, 0);
        int accent = 0;
        for (int dy = -20; dy <= 20; ++dy) {
            accent += qBlue(shot.pixel(outline.x(), outline.y() + dy)) > 150;
        }
        // Dashes of 4 on and 3 off.
        EXPECT_GE(accent, 20);
        EXPECT_LE(accent, 28);
    }
}

TEST_F(View, CropSizeLabelSitsInsideTheDraftNearTheTop) {
    EXPECT_EQ(chrome::cropSizeText(Rect(0, 0, 640.5, 480.4)), QString::fromUtf8("641 × 480"));
    EXPECT_EQ(chrome::cropSizeText(Rect(5, 5, 0, 0)), QString::fromUtf8("0 × 0"));
    EXPECT_EQ(chrome::cropSizeText(Rect(0, 0, 225.5, 182), 2), QString::fromUtf8("451 × 364"));
    open(solidImage(700, 500, Qt::white), QSize(800, 540));
    doc->setTool(Tool::crop);
    const Rect draft(10, 0, 640.5, 480.4);
    doc->setCropDraft(draft);
    const QImage shot = grab();
    const Rect v = view->geometry().toView(draft);
    const QFontMetricsF metrics(chrome::cropLabelFont());
    const QString text = QString::fromUtf8("641 × 480");
    const QSizeF textSize(metrics.horizontalAdvance(text), metrics.height());
    const QRectF label = chrome::cropLabelRect(v, textSize);
    // Inside the draft, 8 points under its top edge.
    ASSERT_LT(v.minY() - textSize.height() - 14, 4);
    EXPECT_DOUBLE_EQ(label.top(), v.minY() + 8);
    // The dark capsule there, as wide as the text and its padding.
    const int row = static_cast<int>(label.center().y());
    const auto dark = [&](const QImage& image, int x, int y) {
        return qRed(image.pixel(x, y)) < 100;
    };
    int left = static_cast<int>(v.minX()) + 2;
    while (!dark(shot, left, row)) {
        ++left;
    }
    int right = static_cast<int>(v.maxX()) - 2;
    while (!dark(shot, right, row)) {
        --right;
    }
    EXPECT_NEAR(right - left + 1, textSize.width() + 14, 2);
    EXPECT_NEAR(left, label.left(), 1.5);
    // White text in it.
    int white = 0;
    for (int x = left; x <= right; ++x) {
        white += qRed(shot.pixel(x, row)) > 200;
    }
    EXPECT_GT(white, 3);
    // Lower down, the label stands above the draft, over the dimmed canvas.
    const Rect lowerDraft(10, 200, 300, 200);
    doc->setCropDraft(lowerDraft);
    const QImage lower = grab();
    const Rect w = view->geometry().toView(lowerDraft);
    const QRectF above = chrome::cropLabelRect(
        w, QSizeF(metrics.horizontalAdvance(QString::fromUtf8("300 × 200")), metrics.height()));
    EXPECT_LT(above.bottom(), w.minY());
    EXPECT_TRUE(
        dark(lower, static_cast<int>(above.left()) + 3, static_cast<int>(above.center().y())));
    EXPECT_FALSE(
        dark(lower, static_cast<int>(above.left()) - 3, static_cast<int>(above.center().y())));
}

TEST_F(View, TheTextFieldLiesOverItsLabel) {
    // Shown at scale 0.5.
    open(solidImage(1600, 1200, Qt::white), QSize(856, 656));
    ASSERT_DOUBLE_EQ(view->geometry().scale, 0.5);
    const Annotation text = mark(Shape::text({200, 100}, QStringLiteral("Hello")), 5);
    put(text);
    doc->select(text.id);
    doc->beginChange();
    view->controller().startTextEditing(text.id);
    CanvasTextField* field = view->textField();
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->textCursor().selectedText(), QStringLiteral("Hello"));
    // f = 25 canvas points: 12.5 pixels of the bundled label font.
    EXPECT_DOUBLE_EQ(field->font().pointSizeF() * field->logicalDpiY() / 72.0, 12.5);
    EXPECT_EQ(field->font().family(), annotation::textMetrics::labelFont(10).family());
    const TextFieldLayout layout = textFieldLayout(text, view->geometry());
    EXPECT_EQ(field->geometry().topLeft(),
              QPoint(static_cast<int>(layout.frame.x()), static_cast<int>(layout.frame.y())));
    EXPECT_NEAR(field->width(), layout.frame.width(), 1);
    EXPECT_NEAR(field->height(), layout.frame.height(), 1);
    // The canvas draws the plain label's accent frame around the field.
    const QImage shot = grab();
    const QRect frame = field->geometry();
    const QRgb edge = shot.pixel(frame.left(), frame.center().y());
    EXPECT_GT(qBlue(edge), 200);
    EXPECT_LT(qRed(edge), 150);
    // The mark itself is not drawn while it is typed; the field shows it.
    doc->setEditingTextID(std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->textField(), nullptr);
}

// The box around the pixels of one ink colour (within a tolerance).
QRect inkBox(const QImage& shot, QRgb ink) {
    QRect box;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (channelDistance(shot.pixel(x, y), ink) <= 60) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST_F(View, TheFieldShowsTheTextWhereTheLabelIsDrawn) {
    struct Case {
        QSize image;
        QSize view;
        double scale;
        TextStyle style;
        RGBA colour;
        QRgb ink;
    };
    // A filled label in yellow writes in black. Qt sets a widget's font in
    // whole pixels: size 6 gives f = 28, 14 pixels at half scale.
    const Case cases[] = {
        {{500, 120},
         {600, 200},
         1,
         TextStyle::plain,
         RGBA::fromBytes(20, 120, 20),
         qRgb(20, 120, 20)},
        {{1000, 240},
         {556, 176},
         0.5,
         TextStyle::filled,
         RGBA::fromBytes(255, 204, 0),
         qRgb(0, 0, 0)},
    };
    for (const Case& c : cases) {
        open(solidImage(c.image.width(), c.image.height(), Qt::white), c.view);
        ASSERT_DOUBLE_EQ(view->geometry().scale, c.scale);
        Annotation text = mark(
            Shape::text({40, 30}, QString::fromUtf8("Hägj 12, more words\nline")), 6, c.colour);
        text.textStyle = c.style;
        put(text);
        const QRect drawn = inkBox(grab(), c.ink);
        ASSERT_FALSE(drawn.isEmpty());
        doc->select(text.id);
        doc->beginChange();
        view->controller().startTextEditing(text.id);
        // No selection shading over the glyphs, no caret beside them.
        QTextCursor cursor = view->textField()->textCursor();
        cursor.setPosition(0);
        view->textField()->setTextCursor(cursor);
        view->textField()->setCursorWidth(0);
        const QRect typed = inkBox(grab(), c.ink);
        EXPECT_NEAR(typed.left(), drawn.left(), 1) << c.scale;
        EXPECT_NEAR(typed.top(), drawn.top(), 1) << c.scale;
        EXPECT_NEAR(typed.right(), drawn.right(), 1) << c.scale;
        EXPECT_NEAR(typed.bottom(), drawn.bottom(), 1) << c.scale;
    }
}

// ---- the real widget's events -----------------------------------------------------

TEST_F(View, MouseGesturesThroughTheWidget) {
    open(solidImage(400, 300, Qt::white), QSize(1000, 700));
    doc->setTool(Tool::rectangle);
    // A click leaves nothing.
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, at({50, 50}));
    EXPECT_TRUE(doc->state().annotations.empty());
    EXPECT_TRUE(doc->undoStack().empty());
    // Shift-drag with the ellipse from (10, 10) to (-20, 25).
    doc->setTool(Tool::ellipse);
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::ShiftModifier, at({10, 10}));
    QTest::mouseMove(view.get(), at({0, 20}));
    QMouseEvent move(QEvent::MouseMove, QPointF(at({-20, 25})),
                     view->mapToGlobal(QPointF(at({-20, 25}))), Qt::NoButton, Qt::LeftButton,
                     Qt::ShiftModifier);
    QApplication::sendEvent(view.get(), &move);
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::ShiftModifier, at({-20, 25}));
    ASSERT_EQ(doc->state().annotations.size(), 1u);
    EXPECT_EQ(doc->state().annotations[0].shape.area()->rect, Rect(-20, 10, 30, 30));
    // Let go beyond the margin: the plain arrow; over the ellipse, an open hand.
    EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
    // Its own handle is a crosshair.
    QTest::mouseMove(view.get(), at({10, 25}));
    EXPECT_EQ(view->cursor().shape(), Qt::CrossCursor);
    key(view.get(), Qt::Key_Escape);
    QTest::mouseMove(view.get(), at({10, 24}));
    EXPECT_EQ(view->cursor().shape(), Qt::OpenHandCursor);
    // A double click on a text opens its field; the first click only
    // selects.
    const Annotation text = mark(Shape::text({200, 200}, QStringLiteral("Note")));
    put(text);
    QTest::mouseDClick(view.get(), Qt::LeftButton, Qt::NoModifier, at({210, 210}));
    QCoreApplication::processEvents();
    ASSERT_NE(view->textField(), nullptr);
    EXPECT_EQ(doc->editingTextID(), text.id);
}

TEST_F(View, TypingATextThroughTheField) {
    open(solidImage(400, 300, Qt::white), QSize(1000, 700));
    key(view.get(), Qt::Key_T);
    EXPECT_EQ(doc->tool(), Tool::text);
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, at({100, 100}));
    CanvasTextField* field = view->textField();
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(field->hasFocus());
    typeText(field, QString::fromUtf8("Hé 2"));
    // Return is a line break, not the end; so is Shift+Return.
    key(field, Qt::Key_Return);
    QTest::keyClicks(field, QStringLiteral("x"));
    key(field, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(field, QStringLiteral("y"));
    EXPECT_EQ(doc->state().annotations[0].shape.textLabel()->string,
              QString::fromUtf8("Hé 2\nx\ny"));
    ASSERT_NE(view->textField(), nullptr);
    key(field, Qt::Key_Escape);
    EXPECT_EQ(view->textField(), nullptr);
    EXPECT_TRUE(view->hasFocus());
    EXPECT_EQ(doc->undoStack().size(), 1u);
    EXPECT_EQ(doc->state().annotations[0].shape.textLabel()->string,
              QString::fromUtf8("Hé 2\nx\ny"));
}

TEST_F(View, EmojiAndRightToLeftTextCommitWhole) {
    open(solidImage(400, 300, Qt::white), QSize(1000, 700));
    doc->setTool(Tool::text);
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, at({50, 50}));
    CanvasTextField* field = view->textField();
    ASSERT_NE(field, nullptr);
    const QString typed = QString::fromUtf8("👩‍💻 שלום مرحبا\u00a0🇫🇷");
    QInputMethodEvent composing(QStringLiteral("x"), {});
    QApplication::sendEvent(field, &composing);
    QInputMethodEvent commit(QString(), {});
    commit.setCommitString(typed);
    QApplication::sendEvent(field, &commit);
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, at({300, 250}));
    QCoreApplication::processEvents();
    ASSERT_EQ(doc->state().annotations.size(), 1u);
    EXPECT_EQ(doc->state().annotations[0].shape.textLabel()->string, typed);
    EXPECT_FALSE(grab().isNull());
}

TEST_F(View, TheFieldKeepsItsEditingKeysFromWindowShortcuts) {
    open(solidImage(400, 300, Qt::white), QSize(1000, 700));
    int windowUndos = 0;
    QAction undo(view.get());
    undo.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo.setShortcutContext(Qt::WindowShortcut);
    QObject::connect(&undo, &QAction::triggered, [&] { ++windowUndos; });
    view->addAction(&undo);
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    doc->setTool(Tool::text);
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, at({50, 50}));
    CanvasTextField* field = view->textField();
    ASSERT_NE(field, nullptr);
    QTest::keyClicks(field, QStringLiteral("abc"));
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(windowUndos, 0);
    EXPECT_NE(field->text(), QStringLiteral("abc"));
    key(field, Qt::Key_Escape);
    // On the canvas the window's shortcut runs.
    QTest::keyClick(view.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(windowUndos, 1);
}

TEST_F(View, ChangesCoalesceIntoOneRepaint) {
    open(solidImage(400, 300, Qt::white), QSize(600, 500));
    QCoreApplication::processEvents();
    struct Counter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    view->installEventFilter(&counter);
    doc->setTool(Tool::rectangle);
    view->controller().mouseDown(PointerInput{view->geometry().toView({10, 10}), false, 1});
    for (int i = 0; i < 20; ++i) {
        view->controller().mouseDragged(
            PointerInput{view->geometry().toView({10.0 + 5 * i, 10.0 + 3 * i}), false, 1});
    }
    view->controller().mouseUp(PointerInput{view->geometry().toView({105, 67}), false, 1});
    // Nothing is painted by the gesture itself.
    EXPECT_EQ(counter.paints, 0);
    QTest::qWait(50);
    EXPECT_EQ(counter.paints, 1);
    view->removeEventFilter(&counter);
}

// ---- bad input --------------------------------------------------------------------

TEST_F(View, OddDocumentsPaint) {
    struct Case {
        QSize image;
        QSize view;
    };
    for (const Case& c : {Case{{1, 1}, {300, 200}}, Case{{30000, 200}, {1000, 700}}}) {
        open(patternImage(c.image.width(), c.image.height()), c.view);
        put(mark(Shape::area(ShapeKind::rectangle, Rect(1e9, -1e9, 100, 100))));
        put(mark(Shape::arrow({-1e12, 0}, {1e12, 1}), 5));
        put(mark(Shape::area(ShapeKind::blur, Rect(0, 0, 1e6, 1e6))));
        EXPECT_FALSE(grab().isNull());
        doc->setTool(Tool::crop);
        // A zero-size draft: the whole canvas dimmed, its handles on one point.
        doc->setCropDraft(Rect(0.5, 0.5, 0, 0));
        EXPECT_FALSE(grab().isNull());
        QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, at({0.5, 0.5}));
        EXPECT_FALSE(grab().isNull());
        key(view.get(), Qt::Key_Return);
        EXPECT_FALSE(doc->state().crop);
    }
}

TEST_F(View, HugeStrokesAndTextsPaintAndHit) {
    open(solidImage(400, 300, Qt::white), QSize(1000, 700));
    std::vector<Point> points;
    for (int i = 0; i < 20000; ++i) {
        // A scribble as a hand draws it: small steps back and forth.
        points.push_back(Point{20 + 360 * std::fabs(std::sin(i * 0.0025)), 20 + i * 0.01});
    }
    put(mark(Shape::pencil(points), 2));
    const Annotation text = mark(Shape::text({10, 250}, QString(100000, QLatin1Char('w'))));
    put(text);
    EXPECT_FALSE(grab().isNull());
    QTest::mouseMove(view.get(), at({100, 100}));
    QTest::mouseDClick(view.get(), Qt::LeftButton, Qt::NoModifier, at({30, 260}));
    QCoreApplication::processEvents();
    ASSERT_NE(view->textField(), nullptr);
    EXPECT_FALSE(grab().isNull());
    QTest::keyClicks(view->textField(), QStringLiteral("!"));
    key(view->textField(), Qt::Key_Escape);
    EXPECT_EQ(doc->annotation(text.id)->shape.textLabel()->string.size(), 1);
}

} // namespace
