#include "capture/selection/SelectionSession.h"
#include "capture/selection/SelectionView.h"

#include "app/HotKeyCenter.h"
#include "platform/GlobalKeyGrabber.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

namespace capture {
namespace {

using Outcome = SelectionSession::Outcome;
using Key = SelectionMachine::Key;

// Grabs whatever it is asked to and remembers what it holds.
class FakeGrabber final : public platform::GlobalKeyGrabber {
public:
    explicit FakeGrabber(std::map<quint32, platform::XKeyCombo>& held) : held_(held) {}
    platform::GrabResult grab(quint32 id, platform::XKeyCombo key) override {
        held_[id] = key;
        return platform::GrabResult::grabbed;
    }
    void ungrab(quint32 id) override { held_.erase(id); }
    void setOnPressed(std::function<void(quint32)>) override {}

private:
    std::map<quint32, platform::XKeyCombo>& held_;
};

desktop::DisplaySnapshot snapshot(std::uint32_t id, QRectF frame) {
    QImage image(frame.size().toSize(), QImage::Format_RGB32);
    image.fill(QColor(20 + static_cast<int>(id), 120, 200));
    return {QGuiApplication::primaryScreen(), id, image, 1.0, frame};
}

class SelectionSessionTest : public testing::Test {
protected:
    std::unique_ptr<SelectionSession> make(SelectionSession::Options options = {}) {
        SelectionSession::Sources sources;
        sources.windows = [this] { return windows; };
        sources.windowPicture = [this](std::uint32_t) -> std::optional<SelectionPicture> {
            ++windowPictures;
            if (windowPictureFails) {
                return std::nullopt;
            }
            return SelectionPicture{QImage(10, 10, QImage::Format_RGB32), 1.0, false};
        };
        sources.pointer = [this] { return pointer; };
        return std::make_unique<SelectionSession>(snapshots, windows, std::move(options),
                                                  std::move(sources), hotKeys);
    }

    void begin(SelectionSession& session) {
        session.begin([this](const Outcome& outcome) { outcomes.push_back(outcome); });
    }

    // Lets queued calls (the outcome, the picture) and deferred deletions run,
    // as the running event loop would.
    static void settle() {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void drag(SelectionSession& session, QPointF from, QPointF to) {
        session.pressed(0, from, from.toPoint());
        session.dragged(0, to, false);
        session.released(0);
    }

    bool escapeHeld() const { return held.contains(app::HotKeyCenter::escapeHotKeyID); }

    std::map<quint32, platform::XKeyCombo> held;
    app::HotKeyCenter hotKeys{std::make_unique<FakeGrabber>(held)};
    std::vector<desktop::DisplaySnapshot> snapshots{snapshot(1, QRectF(0, 0, 640, 480))};
    std::vector<desktop::WindowInfo> windows{
        {0x10, QRectF(100, 100, 200, 150), 5, QStringLiteral("Gedit"), {}}};
    QPoint pointer{50, 50};
    bool windowPictureFails = false;
    int windowPictures = 0;
    std::vector<Outcome> outcomes;
};

TEST_F(SelectionSessionTest, ADragHandsBackOneAreaAfterTheOverlayIsGone) {
    auto session = make();
    begin(*session);
    ASSERT_EQ(session->overlays().size(), 1u);
    QPointer<SelectionView> overlay = session->overlays()[0];
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_TRUE(escapeHeld());

    drag(*session, QPointF(100, 100), QPointF(300, 250));
    // Nothing is handed back from inside the event that committed.
    EXPECT_TRUE(outcomes.empty());
    settle();

    ASSERT_EQ(outcomes.size(), 1u);
    const Outcome& outcome = outcomes[0];
    EXPECT_EQ(outcome.kind, Outcome::Kind::area);
    EXPECT_EQ(outcome.rect, QRectF(100, 100, 200, 150));
    EXPECT_EQ(outcome.display->displayID, 1u);
    ASSERT_TRUE(outcome.picture);
    EXPECT_EQ(outcome.picture->image.size(), QSize(200, 150));
    EXPECT_EQ(outcome.picture->image.pixel(0, 0), snapshots[0].image.pixel(100, 100));
    EXPECT_TRUE(overlay.isNull());
    EXPECT_TRUE(session->overlays().empty());
    EXPECT_FALSE(escapeHeld());
}

TEST_F(SelectionSessionTest, EscapeHeldGloballyCancels) {
    auto session = make();
    begin(*session);
    hotKeys.dispatch(app::HotKeyCenter::escapeHotKeyID);
    EXPECT_FALSE(escapeHeld());
    EXPECT_TRUE(session->overlays().empty());
    settle();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Outcome::Kind::cancelled);
    EXPECT_FALSE(outcomes[0].picture);

    // Later presses and cancels reach nobody.
    hotKeys.dispatch(app::HotKeyCenter::escapeHotKeyID);
    session->cancel();
    settle();
    EXPECT_EQ(outcomes.size(), 1u);
}

TEST_F(SelectionSessionTest, AnotherHolderKeepsEscapeAfterTheSession) {
    int outerPresses = 0;
    const int outer = hotKeys.holdEscape([&] { ++outerPresses; });
    auto session = make();
    begin(*session);
    session->keyPressed(Key::escape);
    settle();
    EXPECT_TRUE(escapeHeld());
    hotKeys.dispatch(app::HotKeyCenter::escapeHotKeyID);
    EXPECT_EQ(outerPresses, 1);
    hotKeys.releaseEscape(outer);
}

TEST_F(SelectionSessionTest, ACommitAndACancelInOneCycleGiveOneOutcome) {
    auto session = make();
    begin(*session);
    drag(*session, QPointF(100, 100), QPointF(300, 250));
    session->keyPressed(Key::escape);
    session->handleEscape();
    settle();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Outcome::Kind::area);
    ASSERT_TRUE(outcomes[0].picture);
}

TEST_F(SelectionSessionTest, SelectionsForScrollingOrRecordingTakeNoPicture) {
    SelectionSession::Options options;
    options.takesPictures = false;
    auto session = make(options);
    begin(*session);
    drag(*session, QPointF(10, 10), QPointF(110, 60));
    EXPECT_TRUE(session->overlays().empty());
    settle();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Outcome::Kind::area);
    EXPECT_FALSE(outcomes[0].picture);
}

TEST_F(SelectionSessionTest, AClickedWindowIsTakenAloneOrByItsVisiblePart) {
    for (const bool fails : {false, true}) {
        windowPictureFails = fails;
        outcomes.clear();
        SelectionSession::Options options;
        options.mode = SelectionMode::window;
        pointer = QPoint(150, 150);
        auto session = make(options);
        begin(*session);
        EXPECT_TRUE(session->isWindowRefreshRunning());
        session->pressed(0, QPointF(150, 150), QPoint(150, 150));
        EXPECT_FALSE(session->isWindowRefreshRunning());
        settle();
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].kind, Outcome::Kind::window);
        EXPECT_EQ(outcomes[0].window->id, 0x10u);
        EXPECT_EQ(outcomes[0].picture->isWindowAlone, !fails);
        EXPECT_EQ(outcomes[0].picture->image.size(), fails ? QSize(200, 150) : QSize(10, 10));
    }
}

TEST_F(SelectionSessionTest, AWindowThatLeftTheDisplayBeforeItsPictureFails) {
    windowPictureFails = true;
    SelectionSession::Options options;
    options.mode = SelectionMode::window;
    pointer = QPoint(150, 150);
    auto session = make(options);
    begin(*session);
    // Between the press and the picture the window is gone and its last
    // frame lies off the display.
    windows = {{0x10, QRectF(900, 100, 200, 150), 5, {}, {}}};
    session->pressed(0, QPointF(150, 150), QPoint(150, 150));
    settle();
    ASSERT_EQ(outcomes.size(), 1u);
    // The click saw the window list of that moment: nothing under it.
    EXPECT_EQ(outcomes[0].kind, Outcome::Kind::display);
}

TEST_F(SelectionSessionTest, SpaceTwiceReturnsToAreaModeWithTheRefreshStopped) {
    auto session = make();
    begin(*session);
    EXPECT_FALSE(session->isWindowRefreshRunning());
    session->pressed(0, QPointF(100, 100), QPoint(100, 100));
    session->dragged(0, QPointF(200, 200), false);
    session->keyPressed(Key::space);
    EXPECT_EQ(session->machine().mode(), SelectionMode::window);
    EXPECT_TRUE(session->isWindowRefreshRunning());
    EXPECT_FALSE(session->overlays()[0]->isLightRunning());
    session->keyPressed(Key::space);
    EXPECT_EQ(session->machine().mode(), SelectionMode::area);
    EXPECT_FALSE(session->isWindowRefreshRunning());
    EXPECT_FALSE(session->machine().view(0).isDragging());
    EXPECT_TRUE(outcomes.empty());
}

TEST_F(SelectionSessionTest, TimersRunOnlyForWhatIsShown) {
    auto session = make();
    begin(*session);
    SelectionView* overlay = session->overlays()[0];
    EXPECT_TRUE(overlay->isLightRunning());
    EXPECT_TRUE(overlay->isMagnifierRunning());
    ASSERT_TRUE(overlay->magnified());
    EXPECT_EQ(overlay->magnified()->pixels, QRect(38, 38, 24, 24));

    SelectionSession::Options off;
    off.showsCrosshair = false;
    off.showsMagnifier = false;
    auto quiet = make(off);
    quiet->begin([](const Outcome&) {});
    EXPECT_FALSE(quiet->overlays()[0]->isLightRunning());
    EXPECT_FALSE(quiet->overlays()[0]->isMagnifierRunning());
}

TEST_F(SelectionSessionTest, UnpluggingADisplayEndsTheSelectionCleanly) {
    auto session = make();
    begin(*session);
    session->screenRemoved(QGuiApplication::primaryScreen());
    EXPECT_TRUE(session->overlays().empty());
    EXPECT_FALSE(escapeHeld());
    settle();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Outcome::Kind::cancelled);
}

TEST_F(SelectionSessionTest, NoDisplaysFailsAtOnce) {
    snapshots.clear();
    auto session = make();
    begin(*session);
    EXPECT_FALSE(escapeHeld());
    settle();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Outcome::Kind::failed);
    EXPECT_EQ(outcomes[0].error, desktop::CaptureError::noDisplays);
}

TEST_F(SelectionSessionTest, ASessionDroppedByItsOwnerTakesItsOverlayDown) {
    auto session = make();
    begin(*session);
    QPointer<SelectionView> overlay = session->overlays()[0];
    session.reset();
    EXPECT_FALSE(escapeHeld());
    settle();
    EXPECT_TRUE(overlay.isNull());
    EXPECT_TRUE(outcomes.empty());
}

TEST_F(SelectionSessionTest, EscapeWhileThePictureIsTakenIsIgnored) {
    auto session = make();
    begin(*session);
    drag(*session, QPointF(100, 100), QPointF(300, 250));
    // The picture is taken on the next turn of the event loop.
    EXPECT_TRUE(session->machine().isTakingPicture());
    hotKeys.dispatch(app::HotKeyCenter::escapeHotKeyID);
    session->cancel();
    settle();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Outcome::Kind::area);
    EXPECT_TRUE(outcomes[0].picture);
}

} // namespace
} // namespace capture
