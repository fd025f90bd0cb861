#include "delivery/QuickAccessManager.h"

#include "app/Preferences.h"
#include "delivery/QuickAccessCard.h"
#include "delivery/QuickAccessCardWindow.h"
#include "delivery/QuickAccessStack.h"
#include "delivery/SharePicker.h"
#include "desktop/PointerScreen.h"
#include "platform/MainThread.h"

#include <QGuiApplication>
#include <QScreen>

namespace delivery {

QuickAccessManager::Services QuickAccessManager::Services::standard() {
    Services services;
    services.scheduler = &desktop::mainScheduler();
    services.screen = desktop::screenUnderPointerOrFirst;
    services.share = [](const QString& file, QWidget* anchor) { SharePicker::show(file, anchor); };
    services.surfaceKind = desktop::PanelSurface::kindNow;
    return services;
}

QuickAccessManager::QuickAccessManager(Services services) : services_(std::move(services)) {}

QuickAccessManager::~QuickAccessManager() {
    pendingDrops_.clear();
    // The cards, dismissed ones still sliding out included, are children.
    cards_.clear();
}

QuickAccessManager& QuickAccessManager::shared() {
    // Kept until the program ends, past the application object's teardown.
    static auto* manager = new QuickAccessManager(Services::standard());
    return *manager;
}

app::Preferences& QuickAccessManager::preferences() const {
    return services_.preferences ? *services_.preferences : app::Preferences::shared();
}

void QuickAccessManager::show(const app::QuickAccessItem& item) {
    platform::assertMainThread();
    QScreen* screen = services_.screen ? services_.screen() : nullptr;
    if (screen == nullptr) {
        // Nowhere to put a card: a desktop without any screen shows none.
        return;
    }
    auto* card = new QuickAccessCard(item, this);
    cards_.prepend(card);
    layoutCards(screen, card);
    card->scheduleAutoClose();
}

void QuickAccessManager::dismiss(QuickAccessCard* card, bool animated) {
    platform::assertMainThread();
    if (card == nullptr || !cards_.contains(card)) {
        return;
    }
    cards_.removeOne(card);
    card->stopAutoClose();
    QScreen* screen = card->window()->screen();
    card->slideOut(preferences().quickAccessCorner(), animated && services_.animate);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        layoutCards(screen, nullptr);
    }
}

void QuickAccessManager::layoutCards(QScreen* screen, QuickAccessCard* appearing) {
    const app::ScreenCorner corner = preferences().quickAccessCorner();
    QList<QSize> sizes;
    sizes.reserve(cards_.size());
    for (const QuickAccessCard* card : std::as_const(cards_)) {
        sizes.append(card->window()->size());
    }
    const QList<QuickAccessStack::Slot> slots =
        QuickAccessStack::layout(screen->availableGeometry(), corner, sizes);

    QList<QPointer<QuickAccessCard>> dropped;
    for (qsizetype i = 0; i < cards_.size(); ++i) {
        QuickAccessCard* card = cards_[i];
        const QPoint to = slots[i].topLeft;
        if (card == appearing) {
            card->appear(QuickAccessStack::offstage(to, sizes[i].width(), corner), to,
                         services_.animate);
        } else {
            card->slideTo(to, services_.animate);
        }
        if (slots[i].dropped) {
            dropped.append(card);
        }
    }
    if (dropped.isEmpty()) {
        return;
    }
    // Taken away once this pass is over, each without sliding.
    const int key = nextDrop_++;
    pendingDrops_[key] =
        services_.scheduler->after(std::chrono::milliseconds(0), [this, key, dropped] {
            for (const QPointer<QuickAccessCard>& card : dropped) {
                if (card) {
                    dismiss(card, false);
                }
            }
            pendingDrops_.erase(key);
        });
}

} // namespace delivery
