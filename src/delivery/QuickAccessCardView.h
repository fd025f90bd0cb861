#pragma once

#include "delivery/QuickAccessActions.h"

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QVariantAnimation;

namespace delivery {

class QuickAccessCardModel;

// The content of a Quick Access card: the thumbnail on a dark rounded tile,
// a badge on recordings, the buttons while the pointer rests on the card and
// the confirmation after a copy or a save. It follows the model and calls
// the actions; it does nothing itself. The tile stands `padding` points in
// from every side, where its shadow falls. `translucent`: the window blends
// with the screen and the shadow shows; otherwise the window is cut to the
// tile and everything inside it is painted opaque.
class QuickAccessCardView : public QWidget {
    Q_OBJECT
public:
    struct Badge {
        enum class Kind { video, gif };
        Kind kind = Kind::video;
        // The duration for a video; unused for a GIF, which reads "GIF".
        QString duration;
    };

    enum class Button { copy, save, close, edit, secondary, share, saveAs };
    struct ButtonInfo {
        Button button;
        // The title of a labelled button, the tooltip of a round one.
        QString text;
        // The round buttons' picture; empty for a labelled button.
        QString symbol;
        QRect rect; // in the view
    };

    static constexpr int padding = 18;

    QuickAccessCardView(const QImage& image, QSize tileSize, std::optional<Badge> badge,
                        QuickAccessCardModel* model, QuickAccessActions actions, bool translucent,
                        QWidget* parent = nullptr);
    ~QuickAccessCardView() override;

    QRect tileRect() const;
    // The buttons that can be clicked now: all of them while the pointer rests
    // on the card and no note is shown, none otherwise.
    QList<ButtonInfo> visibleButtons() const;
    // Every button the card has, shown now or not.
    QList<ButtonInfo> allButtons() const;
    // What a click on the button does (for assistive technology).
    void press(Button button);
    bool badgeShown() const;
    QString badgeText() const;
    bool noteShown() const;
    // The widget the share menu opens below: it has the Share button's frame.
    QWidget* shareAnchor() const { return shareAnchor_; }
    // An action or a drag is running, maybe in an event loop of its own (a
    // modal panel, the drag): the view must not go away before it returns.
    bool isBusy() const { return busy_ > 0; }
    // The picture of the thumbnail as it is painted, in device pixels.
    const QImage& scaledThumbnail() const { return thumbnail_; }

Q_SIGNALS:
    // The last running action or drag returned.
    void becameIdle();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    std::optional<ButtonInfo> buttonAt(const QPoint& point) const;
    void trigger(Button button);
    void runBusy(const std::function<void()>& work);
    void startDrag();
    void followHover(bool hovering);
    void prepareThumbnail(qreal ratio);
    void prepareShadow(qreal ratio);
    void paintTile(QPainter& painter, qreal ratio);
    void paintBadge(QPainter& painter);
    void paintButtons(QPainter& painter);
    void paintNote(QPainter& painter);

    QImage image_;
    QSize tileSize_;
    std::optional<Badge> badge_;
    QPointer<QuickAccessCardModel> model_;
    QuickAccessActions actions_;
    bool translucent_;
    QWidget* shareAnchor_;
    QVariantAnimation* hoverFade_;
    qreal hoverShown_ = 0; // 0 pointer away … 1 over the card

    std::optional<Button> hovered_;
    std::optional<Button> pressed_;
    std::optional<QPoint> pressPoint_;
    int busy_ = 0;

    // Made once per device pixel ratio, never per paint.
    QImage thumbnail_;
    QPointF thumbnailOrigin_; // in the tile's points
    QImage shadow_;
};

} // namespace delivery
