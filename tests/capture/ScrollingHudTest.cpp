#include "capture/scrolling/ScrollingHud.h"
#include "capture/scrolling/ScrollingHudPlacement.h"

#include "desktop/PillButtonStyle.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

#include <gtest/gtest.h>

namespace {

using capture::ScrollingHudPanel;
using capture::ScrollingMessage;
using capture::ScrollingStatus;
using Kind = ScrollingMessage::Kind;

const QRectF kVisible(0, 0, 1920, 1080);
const QSizeF kPanel(208, 500);

TEST(ScrollingHudPlacement, BesideTheRegionElseAroundItNeverInside) {
    const struct {
        const char* name;
        QRectF region;
        QPointF topLeft;
        std::optional<QRectF> shortened;
    } cases[] = {
        {"right, tops level", QRectF(100, 100, 600, 400), QPointF(714, 100), std::nullopt},
        {"right, kept inside at the bottom", QRectF(100, 900, 600, 100), QPointF(714, 572),
         std::nullopt},
        {"right, kept inside at the top", QRectF(100, 2, 600, 100), QPointF(714, 8), std::nullopt},
        {"left", QRectF(1400, 100, 500, 400), QPointF(1178, 100), std::nullopt},
        {"below", QRectF(0, 10, 1920, 300), QPointF(1704, 324), std::nullopt},
        {"above", QRectF(0, 560, 1920, 500), QPointF(1704, 46), std::nullopt},
        {"the whole display: the region gives up its bottom", QRectF(0, 0, 1920, 1080),
         QPointF(1704, 572), QRectF(0, 0, 1920, 558)},
    };
    for (const auto& c : cases) {
        const capture::HudPlacement placement = capture::placeHud(c.region, kPanel, kVisible);
        EXPECT_EQ(placement.topLeft, c.topLeft) << c.name;
        EXPECT_EQ(placement.region, c.shortened) << c.name;
        const QRectF panel(placement.topLeft, kPanel);
        EXPECT_FALSE(panel.intersects(placement.region.value_or(c.region))) << c.name;
        EXPECT_TRUE(kVisible.contains(panel)) << c.name;
    }
}

class ScrollingHudTest : public ::testing::Test {
protected:
    ScrollingStatus status;
    int autoScrolls = 0, dones = 0, cancels = 0;
    ScrollingHudPanel hud{&status, [this] { ++autoScrolls; }, [this] { ++dones; },
                          [this] { ++cancels; }};

    QColor secondary() const {
        QColor color = hud.palette().color(QPalette::WindowText);
        color.setAlphaF(0.6f);
        return color;
    }
};

TEST_F(ScrollingHudTest, IsTheRowsWidthWithItsMarginsAndShowsTheStartAtFirst) {
    EXPECT_EQ(hud.width(), 208);
    EXPECT_EQ(hud.preview()->height(), 220);
    EXPECT_EQ(hud.preview()->contentHeight(), 0);
    EXPECT_EQ(hud.statusLine()->text(), "Starting…");
    EXPECT_EQ(hud.statusLine()->height(), 98);
    EXPECT_FALSE(hud.sizeLine()->isVisibleTo(&hud));
    EXPECT_EQ(hud.autoScrollButton()->text(), "Auto-Scroll");
    EXPECT_TRUE(hud.autoScrollButton()->isEnabled());
}

TEST_F(ScrollingHudTest, StatusLineColourAndText) {
    const struct {
        const char* name;
        ScrollingMessage message;
        bool autoScrolling;
        std::optional<QString> note;
        QString line;
        bool warning;
    } cases[] = {
        {"capturing",
         {Kind::capturing, {}},
         false,
         std::nullopt,
         "Capturing… keep scrolling",
         false},
        {"lost track",
         {Kind::tooFast, {}},
         false,
         std::nullopt,
         "Lost track. Scroll back up a little.",
         true},
        {"limit", {Kind::limitReached, {}}, false, std::nullopt, "Maximum height reached", false},
        {"auto-scrolling",
         {Kind::capturing, {}},
         true,
         std::nullopt,
         "Auto-scrolling… move the pointer to take over.",
         false},
        {"a note while auto-scrolling",
         {Kind::capturing, {}},
         true,
         QStringLiteral("Paused."),
         "Paused.",
         true},
        {"failed", ScrollingMessage::failedWith("It broke."), false, std::nullopt, "It broke.",
         false},
    };
    for (const auto& c : cases) {
        status.setMessage(c.message);
        status.setAutoScrolling(c.autoScrolling);
        status.setNote(c.note);
        EXPECT_EQ(hud.statusLine()->text(), c.line) << c.name;
        EXPECT_EQ(hud.statusColor() != secondary(), c.warning) << c.name;
        EXPECT_EQ(hud.autoScrollButton()->text(), c.autoScrolling ? "Pause" : "Auto-Scroll")
            << c.name;
    }
}

TEST_F(ScrollingHudTest, SizeInWholePixelsOnceThereIsAHeight) {
    status.setPixelSize(QSize(1440, 5210));
    EXPECT_TRUE(hud.sizeLine()->isVisibleTo(&hud));
    EXPECT_EQ(hud.sizeLine()->text(), "1440 × 5210 px");
    status.setPixelSize(QSize(0, 0));
    EXPECT_FALSE(hud.sizeLine()->isVisibleTo(&hud));
}

TEST_F(ScrollingHudTest, TallPreviewShowsItsNewestRows) {
    QImage tall(132, 600, QImage::Format_RGB32);
    tall.fill(Qt::gray);
    status.setPreview(tall);
    // 152 wide: 600 × 152 / 132 rows, of which the bottom 220 show.
    EXPECT_EQ(hud.preview()->contentHeight(), 691);
    EXPECT_EQ(hud.preview()->scrolledUp(), 0);
}

TEST_F(ScrollingHudTest, ButtonsRunTheirActionsAndAutoScrollGreysWhereItCannotWork) {
    hud.autoScrollButton()->click();
    hud.doneButton()->click();
    hud.cancelButton()->click();
    EXPECT_EQ(autoScrolls, 1);
    EXPECT_EQ(dones, 1);
    EXPECT_EQ(cancels, 1);
    status.setAutoScrollUnavailable(true);
    EXPECT_TRUE(hud.autoScrollButton()->isVisibleTo(&hud));
    EXPECT_FALSE(hud.autoScrollButton()->isEnabled());
    hud.autoScrollButton()->click();
    EXPECT_EQ(autoScrolls, 1);
    // Done and Cancel still end the capture.
    hud.doneButton()->click();
    EXPECT_EQ(dones, 2);
    for (QPushButton* button : hud.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->text().contains(QStringLiteral("Restart")))
            << button->text().toStdString();
    }
}

TEST_F(ScrollingHudTest, CannotBeDraggedIntoTheRegion) {
    hud.setKeepOut(QRectF(100, 100, 600, 400));
    hud.move(714, 100);
    EXPECT_FALSE(hud.moveKeepingOut(QPoint(600, 100)));
    EXPECT_EQ(hud.pos(), QPoint(714, 100));
    EXPECT_TRUE(hud.moveKeepingOut(QPoint(800, 300)));
    EXPECT_EQ(hud.pos(), QPoint(800, 300));
}

TEST(PillButtonStyle, ACapsuleTwentySixHighTwelveBesideTheLabel) {
    QPushButton button(QStringLiteral("Done"));
    const desktop::PillButtonStyle* style = desktop::PillButtonStyle::apply(&button, Qt::blue);
    EXPECT_EQ(style->color(), QColor(Qt::blue));
    EXPECT_EQ(button.style(), style);
    const QFont font = desktop::PillButtonStyle::labelFont(&button);
    EXPECT_EQ(font.pixelSize(), 13);
    EXPECT_EQ(font.weight(), QFont::DemiBold);
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QSize size = style->sizeFromContents(QStyle::CT_PushButton, &option, {}, &button);
    EXPECT_EQ(size, QSize(QFontMetrics(font).horizontalAdvance("Done") + 24, 26));
    EXPECT_EQ(button.sizeHint().height(), 26);

    // Pressed, the capsule is drawn at three quarters of its opacity.
    button.resize(80, 26);
    const auto centre = [&](bool pressed) {
        QImage image(80, 26, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QStyleOptionButton o = option;
        o.rect = QRect(0, 0, 80, 26);
        o.state = pressed ? QStyle::State_Sunken : QStyle::State_None;
        style->drawControl(QStyle::CE_PushButton, &o, &painter, &button);
        painter.end();
        return QColor::fromRgba(image.pixel(4, 13)); // the capsule, beside the label
    };
    EXPECT_EQ(centre(false).alpha(), 255);
    EXPECT_NEAR(centre(true).alpha(), 191, 1);
}

} // namespace
