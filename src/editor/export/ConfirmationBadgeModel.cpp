#include "editor/export/ConfirmationBadgeModel.h"

#include "platform/MainThread.h"

#include <QAccessible>
#include <QWidget>

namespace editor {

ConfirmationBadgeModel::ConfirmationBadgeModel(desktop::Scheduler& scheduler, QObject* parent)
    : QObject(parent), scheduler_(scheduler) {}

ConfirmationBadgeModel::~ConfirmationBadgeModel() = default;

void ConfirmationBadgeModel::setConfirmation(
    const std::optional<EditorConfirmation>& confirmation) {
    platform::assertMainThread();
    if (confirmation_ == confirmation) {
        return;
    }
    confirmation_ = confirmation;
    if (!confirmation_ && announcer_) {
        announcer_->setAccessibleName(QString());
    }
    Q_EMIT confirmationChanged();
}

void ConfirmationBadgeModel::show(const QString& text) {
    platform::assertMainThread();
    const EditorConfirmation shown{QUuid::createUuid(), text};
    setConfirmation(shown);
    announce(text);
    // Only the newest badge's timer matters; the identifier guards against
    // anything else having set a badge meanwhile.
    clearing_ = scheduler_.after(visibleFor, [this, shown] {
        if (confirmation_ == shown) {
            setConfirmation(std::nullopt);
        }
    });
}

void ConfirmationBadgeModel::setAnnouncer(QWidget* widget) {
    platform::assertMainThread();
    announcer_ = widget;
}

void ConfirmationBadgeModel::announce(const QString& text) {
    if (!announcer_) {
        return;
    }
    // Qt 6.4 has no announcement event; assistive technology hears of the
    // badge through its changed name instead. A repeated text changes no
    // name, so that event is sent by hand.
    if (announcer_->accessibleName() != text) {
        announcer_->setAccessibleName(text);
        return;
    }
    QAccessibleEvent event(announcer_.data(), QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

} // namespace editor
