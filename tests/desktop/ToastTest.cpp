#include "desktop/Toast.h"
#include "desktop/ToastLayout.h"
#include "desktop/ToastSymbol.h"
#include "desktop/ToastView.h"

#include "support/ManualScheduler.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

#include <cmath>

using desktop::ToastCenter;
using desktop::ToastLayout;
using desktop::ToastPanel;
using namespace std::chrono_literals;

namespace {

// Fades take their time on the manual clock and then set the opacity.
class ToastTest : public ::testing::Test {
protected:
    ToastTest()
        : center(desktop::ToastCenter::Services{
              &clock,
              [this](QWidget* window, double to, std::chrono::milliseconds duration,
                     std::function<void()> done) {
                  fades.push_back({to, duration});
                  fadeCalls.push_back(clock.after(duration, [window = QPointer(window), to, done] {
                      if (window) {
                          window->setWindowOpacity(to);
                      }
                      if (done) {
                          done();
                      }
                  }));
              },
              [] { return QGuiApplication::primaryScreen(); }}) {}

    ~ToastTest() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    void show(const QString& title) {
        center.show(title, std::nullopt, QStringLiteral("checkmark.circle.fill"), Qt::green);
    }

    struct Fade {
        double to;
        std::chrono::milliseconds duration;
    };
    testsupport::ManualScheduler clock;
    std::vector<Fade> fades;
    std::vector<desktop::ScheduledCallPtr> fadeCalls;
    desktop::ToastCenter center;
};

TEST_F(ToastTest, FadesInStaysAndFadesOutOnTime) {
    show(QStringLiteral("Text copied"));
    QPointer<desktop::ToastPanel> panel = center.currentPanel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    ASSERT_EQ(fades.size(), 1U);
    EXPECT_EQ(fades[0].to, 1.0);
    EXPECT_EQ(fades[0].duration, 150ms);

    clock.advance(1799ms);
    EXPECT_EQ(fades.size(), 1U);
    clock.advance(1ms);
    ASSERT_EQ(fades.size(), 2U);
    EXPECT_EQ(fades[1].to, 0.0);
    EXPECT_EQ(fades[1].duration, 250ms);
    clock.advance(249ms);
    EXPECT_TRUE(panel->isVisible());
    clock.advance(1ms);
    EXPECT_TRUE(panel.isNull() || !panel->isVisible());
    EXPECT_EQ(center.currentPanel(), nullptr);
}

TEST_F(ToastTest, ANewToastReplacesTheOldAtOnceAndKeepsItsOwnTime) {
    show(QStringLiteral("Recognizing text…"));
    QPointer<desktop::ToastPanel> first = center.currentPanel();
    clock.advance(1s);
    show(QStringLiteral("Text copied"));
    QPointer<desktop::ToastPanel> second = center.currentPanel();
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.isNull() || !first->isVisible()) << "gone without fading";
    EXPECT_EQ(fades.size(), 2U) << "only the second toast's fade-in";

    clock.advance(1799ms); // past the first toast's dismissal time
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(fades.size(), 2U);
    clock.advance(1ms + 250ms);
    EXPECT_EQ(center.currentPanel(), nullptr);
}

TEST_F(ToastTest, AToastArrivingDuringAFadeOutTakesOverAtOnce) {
    show(QStringLiteral("First"));
    clock.advance(1900ms); // fading out
    show(QStringLiteral("Second"));
    QPointer<desktop::ToastPanel> second = center.currentPanel();
    clock.advance(200ms); // the first fade ends: it must not touch the second
    ASSERT_TRUE(second);
    EXPECT_EQ(center.currentPanel(), second);
    EXPECT_TRUE(second->isVisible());
}

TEST_F(ToastTest, SitsCentredBelowTheTopOfTheFreeAreaAndLetsClicksThrough) {
    show(QStringLiteral("Link copied"));
    desktop::ToastPanel* panel = center.currentPanel();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(panel->y(), area.y() + 24);
    EXPECT_EQ(panel->x(),
              static_cast<int>(std::round(area.x() + area.width() / 2.0 - panel->width() / 2.0)));
    const Qt::WindowFlags flags = panel->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_FALSE(panel->isActiveWindow());
}

TEST_F(ToastTest, NoScreenShowsNothing) {
    desktop::ToastCenter headless(
        desktop::ToastCenter::Services{&clock, {}, [] { return nullptr; }});
    headless.show(QStringLiteral("Text copied"), std::nullopt, QStringLiteral("link"), Qt::green);
    EXPECT_EQ(headless.currentPanel(), nullptr);
}

TEST(ToastLayout, SingleLineHeightFollowsSymbolTitleAndPaddings) {
    const desktop::ToastLayout layout =
        desktop::ToastLayout::make(QStringLiteral("No text found"), std::nullopt);
    const qreal titleHeight = std::ceil(QFontMetricsF(layout.titleFont).height());
    const qreal content = std::max<qreal>(desktop::ToastLayout::symbolSide, titleHeight);
    EXPECT_EQ(layout.capsule.height(), content + 2 * 11);
    EXPECT_EQ(layout.size.height(), content + 2 * 11 + 2 * 12);
    EXPECT_TRUE(layout.detailLines.isEmpty());
    EXPECT_EQ(layout.symbol.left(), 12 + 16);
    EXPECT_EQ(layout.title.left(), 12 + 16 + 20 + 10);
}

TEST(ToastLayout, DetailIsCutAfterTwoLinesWithinItsWidth) {
    const QString longText = QStringLiteral("word ").repeated(200).trimmed();
    const desktop::ToastLayout layout =
        desktop::ToastLayout::make(QStringLiteral("Text copied"), longText);
    ASSERT_EQ(layout.detailLines.size(), 2);
    EXPECT_TRUE(layout.detailLines[1].endsWith(QStringLiteral("…")));
    EXPECT_LE(layout.detail.width(), 320);
    const QFontMetricsF metrics(layout.detailFont);
    for (const QString& line : layout.detailLines) {
        EXPECT_LE(metrics.horizontalAdvance(line), 320.5) << line.toStdString();
    }

    const desktop::ToastLayout shortOne =
        desktop::ToastLayout::make(QStringLiteral("Text copied"), QStringLiteral("hi"));
    EXPECT_EQ(shortOne.detailLines, QStringList{QStringLiteral("hi")});
    EXPECT_GT(
        shortOne.size.height(),
        desktop::ToastLayout::make(QStringLiteral("Text copied"), std::nullopt).size.height());
}

TEST_F(ToastTest, WithoutBlendingItIsCutToItsCapsuleAndNeverFades) {
    desktop::ToastCenter masked(desktop::ToastCenter::Services{
        &clock,
        [this](QWidget*, double to, std::chrono::milliseconds duration, std::function<void()>) {
            fades.push_back({to, duration});
        },
        [] { return QGuiApplication::primaryScreen(); },
        [] { return desktop::PanelSurface::Kind::masked; }});
    masked.show(QStringLiteral("Text copied"), QStringLiteral("Vexlin 2026 OCR"),
                QStringLiteral("checkmark.circle.fill"), Qt::green);
    QPointer<desktop::ToastPanel> panel = masked.currentPanel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->windowOpacity(), 1.0) << "shown at once";
    EXPECT_FALSE(panel->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(panel->view()->graphicsEffect() == nullptr) << "no shadow to cut off";

    // Cut to the capsule, inside the room kept for the shadow.
    const QRegion mask = panel->surface().deviceMask();
    const qreal scale = panel->devicePixelRatioF();
    const QRectF capsule = panel->view()->toastLayout().capsule;
    EXPECT_EQ(mask.boundingRect(),
              QRect(QPoint(std::lround(capsule.left() * scale), std::lround(capsule.top() * scale)),
                    QPoint(std::lround(capsule.right() * scale) - 1,
                           std::lround(capsule.bottom() * scale) - 1)));
    EXPECT_FALSE(mask.contains((capsule.topLeft() * scale).toPoint())) << "round ends";
    EXPECT_TRUE(mask.contains((capsule.center() * scale).toPoint()));

    // Gone at 1.8 s, without a fade-out.
    clock.advance(1799ms);
    EXPECT_TRUE(panel->isVisible());
    clock.advance(1ms);
    EXPECT_TRUE(panel.isNull() || !panel->isVisible());
    EXPECT_EQ(masked.currentPanel(), nullptr);
    EXPECT_TRUE(fades.empty());
}

// Each symbol the toasts use is drawn as itself, not as a stand-in, sharp at
// the screen's scale: a point that only the real drawing inks, and one it
// leaves clear where a plain dot would not.
TEST(ToastSymbol, DrawsEachSymbolAtTheScreensScale) {
    struct Case {
        const char* symbol;
        QPointF ink; // in the symbol's unit square
        QPointF clear;
    };
    const Case cases[] = {
        {"checkmark.circle.fill", {0.14, 0.5}, {0.44, 0.66}}, // the tick is cut out of the disc
        {"link", {0.41, 0.79}, {0.302, 0.698}},               // a side of a link, its hollow
        {"text.viewfinder", {0.08, 0.08}, {0.5, 0.2}},        // a corner bracket
        {"text.magnifyingglass", {0.86, 0.84}, {0.6, 0.58}},  // the handle, the lens's hollow
        {"qrcode", {0.1, 0.1}, {0.5, 0.5}},                   // a finder square, the quiet middle
        {"macwindow", {0.5, 0.36}, {0.5, 0.6}},               // the title bar's line, the pane
    };
    const QColor tint(0, 200, 80);
    for (const qreal ratio : {1.0, 2.0}) {
        for (const Case& c : cases) {
            const QPixmap pixmap =
                desktop::toastSymbol(QString::fromLatin1(c.symbol), tint, 20, ratio);
            EXPECT_EQ(pixmap.devicePixelRatio(), ratio) << c.symbol;
            const QImage image = pixmap.toImage();
            ASSERT_EQ(image.size(), QSize(20, 20) * ratio) << c.symbol << " at " << ratio;
            // The device pixel that holds the point.
            const auto at = [&](QPointF unit) {
                return image.pixelColor(static_cast<int>(unit.x() * 20 * ratio),
                                        static_cast<int>(unit.y() * 20 * ratio));
            };
            const QColor ink = at(c.ink);
            EXPECT_GT(ink.alpha(), 200) << c.symbol << " at " << ratio;
            EXPECT_NEAR(ink.green(), tint.green(), 4) << c.symbol << " keeps its tint";
            EXPECT_NEAR(ink.red(), tint.red(), 4) << c.symbol << " keeps its tint";
            EXPECT_LT(at(c.clear).alpha(), 40) << c.symbol << " at " << ratio;
        }
    }
}

TEST(ToastSymbol, AnUnknownSymbolIsATintedDot) {
    const QPixmap pixmap = desktop::toastSymbol(QStringLiteral("no.such.symbol"), Qt::red, 20, 1.0);
    const QImage image = pixmap.toImage();
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(2, 2).alpha(), 0);
}

} // namespace
