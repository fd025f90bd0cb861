// What a Quick Access card shows and how its window answers the pointer:
// layers by state, the buttons' clicks, the tile's pixels in both kinds of
// window, and where the stack puts the windows on the screen.
#include "QuickAccessFixture.h"

#include "delivery/QuickAccessCardView.h"
#include "delivery/QuickAccessCardWindow.h"

#include "support/EventLoop.h"

#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>

using namespace quickaccesstest;
using delivery::QuickAccessCard;
using delivery::QuickAccessCardView;
using Button = delivery::QuickAccessCardView::Button;

namespace {

void send(QWidget* widget, QEvent::Type type, QPoint at) {
    const QPointF local(at);
    QMouseEvent event(type, local, widget->mapToGlobal(local),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void click(QWidget* widget, QPoint at) {
    send(widget, QEvent::MouseMove, at);
    send(widget, QEvent::MouseButtonPress, at);
    send(widget, QEvent::MouseButtonRelease, at);
}

QStringList texts(const QList<QuickAccessCardView::ButtonInfo>& buttons) {
    QStringList all;
    for (const auto& button : buttons) {
        all.append(button.text);
    }
    return all;
}

QRect rectOf(const QuickAccessCardView* view, Button which) {
    for (const auto& button : view->visibleButtons()) {
        if (button.button == which) {
            return button.rect;
        }
    }
    return {};
}

using CardView = QuickAccessTest;

TEST_F(CardView, ButtonsShowOnlyWhileHoveredAndANoteHidesThem) {
    QuickAccessCard* card = show(capture());
    QuickAccessCardView* view = card->view();
    EXPECT_TRUE(view->visibleButtons().isEmpty());

    card->setPointerInside(true);
    EXPECT_EQ(
        (QStringList{"Copy", "Save", "Close", "Annotate", "Pin to Screen", "Share", "Save As…"}),
        texts(view->visibleButtons()));
    // Inside the tile, clear of each other.
    const auto buttons = view->visibleButtons();
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        EXPECT_TRUE(view->tileRect().contains(buttons[i].rect)) << buttons[i].text.toStdString();
        for (qsizetype j = i + 1; j < buttons.size(); ++j) {
            EXPECT_FALSE(buttons[i].rect.intersects(buttons[j].rect))
                << buttons[i].text.toStdString() << " and " << buttons[j].text.toStdString();
        }
    }
    EXPECT_EQ(view->shareAnchor()->geometry(), rectOf(view, Button::share));

    card->showNote(QStringLiteral("Copied"));
    EXPECT_TRUE(view->noteShown());
    EXPECT_TRUE(view->visibleButtons().isEmpty());
    card->setPointerInside(false);
    card->setPointerInside(true);
    EXPECT_TRUE(view->visibleButtons().isEmpty());
}

TEST_F(CardView, PointerOverTheTileNotThePaddingCountsAsHovering) {
    QuickAccessCard* card = show(capture());
    QuickAccessCardView* view = card->view();
    send(view, QEvent::MouseMove, QPoint(5, 5));
    EXPECT_FALSE(card->model().isHovering());
    send(view, QEvent::MouseMove, view->tileRect().topLeft());
    EXPECT_TRUE(card->model().isHovering());
    EXPECT_FALSE(card->autoCloseRunning());
    send(view, QEvent::MouseMove, QPoint(view->width() - 3, view->height() / 2));
    EXPECT_FALSE(card->model().isHovering());
    EXPECT_TRUE(card->autoCloseRunning());
    send(view, QEvent::MouseMove, view->tileRect().center());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    EXPECT_FALSE(card->model().isHovering());
}

TEST_F(CardView, FirstClickOnAButtonActs) {
    QPointer<QuickAccessCard> card = show(capture());
    QuickAccessCardView* view = card->view();
    send(view, QEvent::MouseMove, view->tileRect().center());
    click(view, rectOf(view, Button::share).center());
    ASSERT_EQ(1u, sharedFiles.size());
    EXPECT_EQ(view->shareAnchor(), shareAnchors[0]);

    // A press that leaves the button before the release does nothing.
    const QRect copy = rectOf(view, Button::copy);
    send(view, QEvent::MouseButtonPress, copy.center());
    send(view, QEvent::MouseButtonRelease, view->tileRect().topLeft() + QPoint(40, 40));
    EXPECT_FALSE(card->model().note());

    click(view, copy.center());
    EXPECT_EQ(QStringLiteral("Copied"), card->model().note().value_or(QString()));
    // The note covers the buttons: a click on Close's place does nothing.
    click(view, view->tileRect().topLeft() + QPoint(20, 20));
    EXPECT_TRUE(stacked(card));
}

TEST_F(CardView, CloseButtonTakesTheCardAway) {
    QPointer<QuickAccessCard> card = show(capture());
    QuickAccessCardView* view = card->view();
    send(view, QEvent::MouseMove, view->tileRect().center());
    click(view, rectOf(view, Button::close).center());
    EXPECT_FALSE(stacked(card));
}

// The round buttons are painted, not widgets: assistive technology still
// finds each one by its name, sees it only while the card is hovered, and
// presses it.
TEST_F(CardView, ButtonsAreAccessibleByTheirNames) {
    QPointer<QuickAccessCard> card = show(capture());
    QuickAccessCardView* view = card->view();
    QAccessibleInterface* tile = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(tile->text(QAccessible::Name), "Quick Access");
    const auto button = [&](const QString& name) -> QAccessibleInterface* {
        for (int i = 0; i < tile->childCount(); ++i) {
            if (tile->child(i)->text(QAccessible::Name) == name) {
                return tile->child(i);
            }
        }
        return nullptr;
    };
    QStringList names;
    for (int i = 0; i < tile->childCount(); ++i) {
        EXPECT_EQ(tile->child(i)->role(), QAccessible::Button);
        EXPECT_EQ(tile->indexOfChild(tile->child(i)), i);
        EXPECT_TRUE(tile->child(i)->state().invisible);
        names.append(tile->child(i)->text(QAccessible::Name));
    }
    EXPECT_EQ(names, texts(view->allButtons()));
    for (const char* name : {"Close", "Annotate", "Pin to Screen", "Share", "Save As…"}) {
        EXPECT_NE(button(name), nullptr) << name;
    }

    card->setPointerInside(true);
    QAccessibleInterface* share = button("Share");
    ASSERT_NE(share, nullptr);
    EXPECT_FALSE(share->state().invisible);
    EXPECT_EQ(share->rect(), QRect(view->mapToGlobal(rectOf(view, Button::share).topLeft()),
                                   rectOf(view, Button::share).size()));
    EXPECT_EQ(tile->childAt(share->rect().center().x(), share->rect().center().y()), share);
    share->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(sharedFiles.size(), 1u);
}

QColor colourAt(const QImage& image, QPoint point) {
    return image.pixelColor(point);
}

TEST_F(CardView, MaskedWindowIsCutToTheTileAndPaintedOpaque) {
    surfaceKind = desktop::PanelSurface::Kind::masked;
    QuickAccessCard* card = show(capture(filled(300, 300, QColor(10, 200, 30))));
    QuickAccessCardView* view = card->view();
    // 300 × 300 points fit 150 × 150 on a 184 × 150 tile.
    EXPECT_EQ(QSize(184 + 36, 150 + 36), card->window()->size());
    EXPECT_EQ(view->tileRect(), card->window()->surface().deviceMask().boundingRect());
    const QRegion mask = card->window()->surface().deviceMask();
    EXPECT_FALSE(mask.contains(view->tileRect().topLeft()));
    EXPECT_TRUE(mask.contains(view->tileRect().topLeft() + QPoint(6, 6)));

    const QImage shown = view->grab().toImage();
    const QRect tile = view->tileRect();
    for (const QPoint p : {tile.topLeft(), tile.bottomRight(), QPoint(0, 0)}) {
        EXPECT_EQ(255, colourAt(shown, p).alpha()) << p.x() << "," << p.y();
    }
    // The backdrop beside the fitted picture, the picture in the middle.
    EXPECT_EQ(QColor(33, 33, 33), colourAt(shown, tile.topLeft() + QPoint(8, 75)));
    EXPECT_EQ(QColor(10, 200, 30), colourAt(shown, tile.center()));
}

TEST_F(CardView, TranslucentWindowLeavesThePaddingToTheShadow) {
    surfaceKind = desktop::PanelSurface::Kind::translucent;
    QuickAccessCard* card = show(capture(filled(300, 300, QColor(10, 200, 30))));
    QuickAccessCardView* view = card->view();
    const QImage shown = view->grab().toImage();
    const QRect tile = view->tileRect();
    EXPECT_EQ(0, colourAt(shown, QPoint(0, 0)).alpha());
    // The rounded corner lets the screen through; the shadow falls below.
    EXPECT_LT(colourAt(shown, tile.topLeft()).alpha(), 128);
    EXPECT_GT(colourAt(shown, QPoint(tile.center().x(), tile.bottom() + 5)).alpha(), 0);
    EXPECT_EQ(QColor(10, 200, 30), colourAt(shown, tile.center()));
}

TEST_F(CardView, ThumbnailIsScaledOnceNotAtEveryPaint) {
    QuickAccessCard* card = show(capture(filled(900, 300)));
    QuickAccessCardView* view = card->view();
    view->grab();
    const qint64 key = view->scaledThumbnail().cacheKey();
    // 900 × 300 on a 220 × 108 tile: fitted to 220 × 73.
    EXPECT_EQ(QSize(220, 73), view->scaledThumbnail().size());
    card->setPointerInside(true);
    view->grab();
    card->setPointerInside(false);
    view->grab();
    EXPECT_EQ(key, view->scaledThumbnail().cacheKey());
}

TEST_F(CardView, HoverDarkensTheTileAndTheNoteCoversIt) {
    QuickAccessCard* card = show(capture(filled(300, 300, QColor(240, 240, 240))));
    QuickAccessCardView* view = card->view();
    const QPoint inside = view->tileRect().center() + QPoint(0, 40);
    const int plain = colourAt(view->grab().toImage(), inside).lightness();
    card->setPointerInside(true);
    testsupport::pump(250); // the layer fades in over 0.12 s
    const int hovered = colourAt(view->grab().toImage(), inside).lightness();
    EXPECT_LT(hovered, plain - 60);
    card->showNote(QStringLiteral("Saved"));
    const int noted = colourAt(view->grab().toImage(), inside).lightness();
    EXPECT_LT(noted, plain - 60);
}

// --- the stack on the screen ---

using CardStack = QuickAccessTest;

TEST_F(CardStack, WindowsStackInTheChosenCornerAndTheNewestSitsLowest) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    preferences.setQuickAccessCorner(app::ScreenCorner::bottomLeft);
    QuickAccessCard* first = show(capture(filled(1000, 600)));
    EXPECT_EQ(QSize(256, 168), first->window()->size());
    EXPECT_EQ(QPoint(screen.x() + 6, screen.y() + screen.height() - 174), first->window()->pos());

    // A change of corner waits for the next show, which moves the whole stack.
    preferences.setQuickAccessCorner(app::ScreenCorner::bottomRight);
    EXPECT_EQ(QPoint(screen.x() + 6, screen.y() + screen.height() - 174), first->window()->pos());
    QuickAccessCard* second = show(capture(filled(1000, 600)));
    const int right = screen.x() + screen.width() - 6 - 256;
    EXPECT_EQ(QPoint(right, screen.y() + screen.height() - 174), second->window()->pos());
    EXPECT_EQ(QPoint(right, screen.y() + screen.height() - 174 - 168 + 26), first->window()->pos());
    EXPECT_TRUE(first->window()->isVisible());
}

TEST_F(CardStack, OverflowDropsTheOldestOnTheNextTurn) {
    // 600 high offscreen: cards of 184 step up by 158.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    std::vector<QPointer<QuickAccessCard>> cards;
    int fit = 0;
    for (int top = screen.y() + screen.height() - 6 - 184; top + 26 >= screen.y() + 40;
         top -= 158) {
        ++fit;
    }
    for (int i = 0; i <= fit; ++i) {
        cards.push_back(show(capture(filled(220, 148))));
        ASSERT_EQ(QSize(256, 184), cards.back()->window()->size());
    }
    // The oldest is still placed, then goes without sliding once this pass is over.
    EXPECT_EQ(fit + 1, manager.cards().size());
    at(0);
    EXPECT_EQ(fit, manager.cards().size());
    EXPECT_FALSE(stacked(cards.front()));
    EXPECT_TRUE(stacked(cards.back()));
}

} // namespace
