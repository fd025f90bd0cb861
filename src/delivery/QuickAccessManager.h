#pragma once

#include "app/Capture.h"
#include "app/QuickAccessItem.h"
#include "app/Recording.h"
#include "desktop/PanelSurface.h"
#include "desktop/Scheduler.h"

#include <QList>
#include <QObject>

#include <chrono>
#include <functional>
#include <map>

class QEasingCurve;
class QScreen;
class QWidget;

namespace app {
class Preferences;
}

namespace delivery {

class QuickAccessCard;

// Owns the Quick Access cards on screen and stacks them in the bottom corner
// of the screen chosen in the settings, newest at the bottom; slides them in
// and out and drops the oldest when the stack grows too tall. It does not
// look at whether cards are wanted: callers ask only when they are. Main
// thread only.
class QuickAccessManager : public QObject {
    Q_OBJECT
public:
    struct Services {
        desktop::Scheduler* scheduler = nullptr;
        // The screen a new card goes to; none: no card is shown.
        std::function<QScreen*()> screen;
        // The settings read; none: the shared store.
        app::Preferences* preferences = nullptr;
        // Opens the share menu for a file below an anchor.
        std::function<void(const QString& file, QWidget* anchor)> share;
        std::function<desktop::PanelSurface::Kind()> surfaceKind;
        // Off: windows jump to their places and go at once.
        bool animate = true;

        static Services standard();
    };

    explicit QuickAccessManager(Services services);
    ~QuickAccessManager() override;

    // The program's manager, made on first use and kept until exit.
    static QuickAccessManager& shared();

    // Set once by the program at start; a card calls them after dismissing
    // itself, and skips one that is not set.
    std::function<void(const app::Capture&)> onEdit;
    std::function<void(const app::Capture&)> onPin;
    std::function<void(const app::Recording&)> onEditRecording;

    // Shows a new card for the item on the screen under the pointer, first in
    // the stack, and starts its timer. The whole stack follows to that screen.
    void show(const app::QuickAccessItem& item);

    // Takes the card out of the stack, stops its timer and orders its window
    // out, sliding away when animated; the others close up. A card no longer
    // in the stack is left alone.
    void dismiss(QuickAccessCard* card, bool animated);

    // Newest first.
    const QList<QuickAccessCard*>& cards() const { return cards_; }

    const Services& services() const { return services_; }
    app::Preferences& preferences() const;

    static constexpr std::chrono::milliseconds appearDuration{450};
    static constexpr std::chrono::milliseconds restackDuration{280};
    static constexpr std::chrono::milliseconds dismissDuration{300};

private:
    void layoutCards(QScreen* screen, QuickAccessCard* appearing);

    Services services_;
    QList<QuickAccessCard*> cards_;
    // Overflow drops waiting for the next turn of the event loop.
    std::map<int, desktop::ScheduledCallPtr> pendingDrops_;
    int nextDrop_ = 0;
};

} // namespace delivery
