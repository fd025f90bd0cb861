#pragma once

#include "desktop/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <chrono>
#include <optional>

class QWidget;

namespace editor {

// The short confirmation shown over the canvas ("Copied", "Saved"). Every
// badge has an identifier of its own, so two badges with the same text are
// still different badges.
struct EditorConfirmation {
    QUuid id;
    QString text;

    friend bool operator==(const EditorConfirmation&, const EditorConfirmation&) = default;
};

// Holds an editor window's current badge and takes it away again. A badge
// stays visibleFor after it was shown; a newer badge replaces it at once and
// gets its own full time, and the older one's timer never clears the newer
// one. Main thread only.
class ConfirmationBadgeModel : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds visibleFor{1400};

    explicit ConfirmationBadgeModel(desktop::Scheduler& scheduler = desktop::mainScheduler(),
                                    QObject* parent = nullptr);
    ~ConfirmationBadgeModel() override;

    const std::optional<EditorConfirmation>& confirmation() const { return confirmation_; }
    // Stores the value; observers hear of it only when it differs.
    void setConfirmation(const std::optional<EditorConfirmation>& confirmation);

    // Shows a new badge with the text, tells assistive technology and
    // clears the badge visibleFor later unless it has been replaced.
    void show(const QString& text);

    // The widget that speaks for the badge to assistive technology (the
    // badge's view): its accessible name becomes the text of each new badge,
    // with a name-change event even when the text repeats, and goes blank
    // when the badge goes. Without one nothing is announced.
    void setAnnouncer(QWidget* widget);

Q_SIGNALS:
    void confirmationChanged();

private:
    void announce(const QString& text);

    desktop::Scheduler& scheduler_;
    std::optional<EditorConfirmation> confirmation_;
    desktop::ScheduledCallPtr clearing_;
    QPointer<QWidget> announcer_;
};

} // namespace editor
