#pragma once

#include <QUuid>
#include <QVariantAnimation>
#include <QWidget>

#include <optional>

namespace editor {

// The short note shown over the top centre of the canvas after a copy or a
// save: a dark capsule with a check mark and the text. Each new note comes in
// afresh (a fade and a slight grow), even with the same text; clicks pass
// through it to the canvas.
class ConfirmationBadge : public QWidget {
    Q_OBJECT
public:
    // Lies over `parent`, at its top centre.
    explicit ConfirmationBadge(QWidget* parent);

    // Shows the note `text` (as it is, not translated) with its own `id`.
    void showConfirmation(const QUuid& id, const QString& text);
    // Lets the note go.
    void clearConfirmation();

    std::optional<QUuid> confirmationID() const { return id_; }
    QString text() const { return text_; }
    // How far the note has come in: 0 (out) to 1 (fully shown).
    qreal presence() const { return presence_; }
    // Restarts each time a note arrives.
    const QVariantAnimation& transition() const { return transition_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRectF capsuleRect() const;
    void place();

    std::optional<QUuid> id_;
    QString text_;
    qreal presence_ = 0;
    QVariantAnimation transition_;
};

} // namespace editor
