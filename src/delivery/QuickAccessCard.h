#pragma once

#include "app/Capture.h"
#include "app/QuickAccessItem.h"
#include "app/Recording.h"
#include "app/SettingsEnums.h"
#include "delivery/QuickAccessActions.h"
#include "delivery/QuickAccessCardModel.h"
#include "desktop/Scheduler.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QPropertyAnimation;
class QVariantAnimation;

namespace app {
class Preferences;
}

namespace delivery {

class QuickAccessCardView;
class QuickAccessCardWindow;
class QuickAccessManager;

// One floating thumbnail of a finished screenshot or recording with its
// quick actions: copy, save, Save As, edit, pin or play, share, drag and
// close. It closes itself after the configured time unless the pointer rests
// on it, and after a copy or a save it confirms and goes. The manager owns it
// and orders its window in and out. Main thread only.
class QuickAccessCard : public QObject {
    Q_OBJECT
public:
    // Builds the card and its window, which stays hidden until the manager
    // places it. The manager is the card's parent.
    QuickAccessCard(app::QuickAccessItem item, QuickAccessManager* manager);
    ~QuickAccessCard() override;

    const app::QuickAccessItem& item() const { return item_; }
    QuickAccessCardModel& model() { return model_; }
    QuickAccessCardWindow* window() const { return window_.get(); }
    QuickAccessCardView* view() const;
    const QuickAccessActions& actions() const { return actions_; }

    // (Re)starts the auto-close timer with the current settings; none runs
    // while auto-close is off.
    void scheduleAutoClose();
    void stopAutoClose();
    bool autoCloseRunning() const { return autoClose_ != nullptr; }

    // Shows the confirmation and dismisses the card 0.7 s later, whatever the
    // pointer does.
    void showNote(const QString& text);
    static constexpr std::chrono::milliseconds noteShownFor{700};

    // The PNG that drags and shares hand out, written the first time it is
    // asked for and reused after; nothing while it cannot be written.
    std::optional<QString> dragFile(const app::Capture& capture);

    // The end of a Save As: a file dismisses the card, none gives it a full
    // new interval.
    void saveAsFinished(const std::optional<QString>& path);
    bool inSaveAs() const { return inSaveAs_; }

    // The pointer entered or left the tile. While it rests there no timer
    // runs; leaving starts a full interval, unless a Save As panel is open,
    // whose end starts it anyway.
    void setPointerInside(bool inside);

    // The window's moves, run by the manager. Appearing: shown at `from`
    // (fading in where windows blend), it slides to `to`.
    void appear(const QPoint& from, const QPoint& to, bool animate);
    // To a new place in the stack; a slide already heading there goes on.
    void slideTo(const QPoint& to, bool animate);
    // Slides half a width towards the corner's screen edge, then hides the
    // window and goes.
    void slideOut(app::ScreenCorner corner, bool animate);
    QPoint slideTarget() const { return target_; }

private:
    QuickAccessActions makeScreenshotActions(const app::Capture& capture);
    QuickAccessActions makeRecordingActions(const app::Recording& recording);
    void beginSaveAs();
    void dismissAnimated();
    void release();
    enum class Curve { appear, restack, dismiss };
    QPropertyAnimation* runAnimation(const QByteArray& property, const QVariant& to,
                                     std::chrono::milliseconds duration, Curve curve);
    // Moves the window to `to` frame by frame.
    QVariantAnimation* runSlide(const QPoint& to, std::chrono::milliseconds duration, Curve curve);

    app::QuickAccessItem item_;
    QuickAccessCardModel model_;
    QPointer<QuickAccessManager> manager_;
    desktop::Scheduler* scheduler_;
    app::Preferences* preferences_;
    std::function<void(const QString&, QWidget*)> share_;
    QuickAccessActions actions_;
    std::unique_ptr<QuickAccessCardWindow> window_;
    desktop::ScheduledCallPtr autoClose_;
    desktop::ScheduledCallPtr noteDismissal_;
    std::optional<QString> dragFile_;
    bool inSaveAs_ = false;
    QPoint target_;
    QPointer<QVariantAnimation> slide_;
    QPointer<QPropertyAnimation> fade_;
    bool leaving_ = false;
};

} // namespace delivery
