#include "ViewsFixture.h"

#include "editor/views/BackgroundPanel.h"
#include "editor/views/ConfirmationBadge.h"
#include "editor/views/EditorBottomBar.h"
#include "editor/views/EditorContentView.h"
#include "editor/views/EditorEmptyView.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace viewstest;
using editor::ConfirmationBadge;
using editor::EditorContentView;

namespace {

class Content : public ViewsTest {
protected:
    Content() {
        view.resize(1000, 700);
        view.show();
    }

    std::vector<EditorDocument*> canvasesMadeFor;
    EditorContentView view{preferences, colours, [this](EditorDocument& d) {
                               canvasesMadeFor.push_back(&d);
                               return new QWidget;
                           }};
};

TEST(RecentStrip, ShowsWithTheSettingWhenThereIsSomethingToShow) {
    struct Case {
        bool setting, document, files, accessible, shown;
    };
    const Case cases[] = {
        {true, true, false, true, true},   {true, false, true, true, true},
        {true, false, false, false, true}, {true, false, false, true, false},
        {false, true, true, false, false}, {false, false, true, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EditorContentView::recentStripShows(c.setting, c.document, c.files, c.accessible),
                  c.shown)
            << c.setting << c.document << c.files << c.accessible;
    }
}

TEST_F(Content, WithoutADocumentTheEmptyViewShows) {
    EXPECT_TRUE(view.emptyView()->isVisible());
    EXPECT_FALSE(view.bottomBar());
    EXPECT_FALSE(view.recentStripSlot()->isVisible()) << "accessible folder without captures";
    view.setRecentLibraryState(true, true);
    EXPECT_TRUE(view.recentStripSlot()->isVisible());
    EXPECT_EQ(view.recentStripSlot()->height(), 96);
    view.setRecentLibraryState(false, false);
    EXPECT_TRUE(view.recentStripSlot()->isVisible()) << "an unreadable folder says so there";

    QSignalSpy open(&view, &EditorContentView::openImageRequested);
    QTest::mouseClick(view.emptyView()->openButton(), Qt::LeftButton);
    EXPECT_EQ(open.count(), 1);
}

TEST_F(Content, TheRecentStripFillsItsRowAndAReplacementTakesItsPlace) {
    view.setRecentLibraryState(true, true);
    QPointer<QWidget> first = new QWidget;
    view.setRecentStrip(first);
    EXPECT_EQ(first->parentWidget(), view.recentStripSlot());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->geometry(), view.recentStripSlot()->rect());
    auto* second = new QWidget;
    view.setRecentStrip(second);
    EXPECT_FALSE(first) << "the old strip goes";
    EXPECT_EQ(view.recentStrip(), second);
    view.setRecentLibraryState(false, true);
    EXPECT_FALSE(second->isVisible()) << "hidden with its row";
}

TEST_F(Content, EachDocumentGetsItsOwnCanvasAndBar) {
    view.setDocument(doc.get());
    ASSERT_EQ(canvasesMadeFor, std::vector{doc.get()});
    QPointer<QWidget> first = view.canvas();
    ASSERT_TRUE(first && first->isVisible());
    EXPECT_FALSE(view.emptyView()->isVisible());
    ASSERT_TRUE(view.bottomBar());
    EXPECT_TRUE(view.recentStripSlot()->isVisible());

    doc->setBackgroundEnabled(true); // a change of state keeps the canvas
    EXPECT_EQ(view.canvas(), first);
    EXPECT_EQ(canvasesMadeFor.size(), 1u);

    auto next = makeDocument(300, 200);
    view.setDocument(next.get());
    EXPECT_FALSE(first) << "the old canvas goes with its document";
    EXPECT_EQ(canvasesMadeFor, (std::vector{doc.get(), next.get()}));
    EXPECT_EQ(&view.bottomBar()->document(), next.get());

    view.setDocument(nullptr);
    EXPECT_FALSE(view.canvas());
    EXPECT_FALSE(view.bottomBar());
    EXPECT_TRUE(view.emptyView()->isVisible());
}

TEST_F(Content, TheCropToolPutsThePanelAwayAndBringsItBack) {
    view.setDocument(doc.get());
    EXPECT_FALSE(view.showsBackgroundPanel());
    doc->setShowsBackgroundPanel(true);
    EXPECT_TRUE(view.showsBackgroundPanel());
    ASSERT_TRUE(view.backgroundPanel());
    EXPECT_EQ(view.panelTransition().duration(), 180);
    EXPECT_EQ(view.panelTransition().easingCurve().type(), QEasingCurve::OutCubic);
    QTRY_COMPARE(view.backgroundPanel()->width(), editor::BackgroundPanel::panelWidth);
    QTRY_COMPARE(view.backgroundPanel()->parentWidget()->width(),
                 editor::BackgroundPanel::panelWidth + 1);

    doc->setTool(Tool::crop);
    EXPECT_FALSE(view.showsBackgroundPanel());
    QTRY_VERIFY(!view.backgroundPanel());
    EXPECT_TRUE(doc->showsBackgroundPanel()) << "the panel's toggle is left alone";

    doc->setTool(Tool::arrow);
    EXPECT_TRUE(view.showsBackgroundPanel());
    EXPECT_TRUE(view.backgroundPanel());
}

TEST_F(Content, TheBadgeLetsClicksThroughAndEachNoteComesInAfresh) {
    view.setDocument(doc.get());
    ConfirmationBadge* badge = view.confirmationBadge();
    const QUuid first = QUuid::createUuid();
    view.showConfirmation(first, QStringLiteral("Copied"));
    ASSERT_TRUE(badge->isVisible());
    EXPECT_TRUE(badge->testAttribute(Qt::WA_TransparentForMouseEvents));
    QWidget* host = badge->parentWidget();
    EXPECT_EQ(host->childAt(badge->geometry().center()), view.canvas());
    EXPECT_NEAR(badge->geometry().center().x(), host->width() / 2, 1);

    QTRY_COMPARE(badge->presence(), 1.0);
    view.showConfirmation(QUuid::createUuid(), QStringLiteral("Copied"));
    EXPECT_EQ(badge->transition().state(), QAbstractAnimation::Running);
    EXPECT_LT(badge->presence(), 0.5) << "the same text comes in again";

    view.clearConfirmation();
    EXPECT_FALSE(badge->confirmationID());
    QTRY_VERIFY(!badge->isVisible());
}

TEST_F(Content, TurningTheSettingOffRemovesTheStripButNotTheBar) {
    view.setDocument(doc.get());
    ASSERT_TRUE(view.recentStripSlot()->isVisible());
    preferences.setEditorShowsRecent(false);
    EXPECT_FALSE(view.recentStripSlot()->isVisible());
    EXPECT_TRUE(view.bottomBar()->isVisible());
    preferences.setEditorShowsRecent(true);
    EXPECT_TRUE(view.recentStripSlot()->isVisible());
}

TEST_F(Content, BarRequestsReachTheWindow) {
    view.setDocument(doc.get());
    QSignalSpy copy(&view, &EditorContentView::copyRequested);
    QSignalSpy share(&view, &EditorContentView::shareRequested);
    view.bottomBar()->copyButton()->click();
    view.bottomBar()->shareButton()->click();
    EXPECT_EQ(copy.count(), 1);
    ASSERT_EQ(share.count(), 1);
    EXPECT_EQ(share[0][0].value<QWidget*>(), view.bottomBar()->shareButton());
}

TEST_F(Content, ADocumentDeletedWhileShownIsLetGo) {
    auto other = makeDocument(100, 100);
    view.setDocument(other.get());
    other.reset();
    EXPECT_FALSE(view.document());
    EXPECT_FALSE(view.bottomBar());
    EXPECT_TRUE(view.emptyView()->isVisible());
}

} // namespace
