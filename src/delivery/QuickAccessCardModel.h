#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace delivery {

// What a Quick Access card's view shows besides its picture: whether the
// pointer rests on the card, and the confirmation after a copy or a save.
// The card writes it; the view follows its signals, which fire only on a real
// change. Main thread only.
class QuickAccessCardModel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool isHovering() const { return isHovering_; }
    void setHovering(bool hovering);

    const std::optional<QString>& note() const { return note_; }
    void setNote(const std::optional<QString>& note);

Q_SIGNALS:
    void isHoveringChanged(bool hovering);
    void noteChanged();

private:
    bool isHovering_ = false;
    std::optional<QString> note_;
};

} // namespace delivery
