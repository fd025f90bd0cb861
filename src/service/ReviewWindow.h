#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QProgressBar;

namespace service {

class Reviews;

// The five-star picker: the stars up to the one under the pointer light up
// while it is there, a click chooses. To assistive technology it is one
// adjustable element, "Rating" with the value "3 of 5 stars".
class StarRating : public QWidget {
    Q_OBJECT
public:
    explicit StarRating(QWidget* parent = nullptr);

    int rating() const { return rating_; }
    void setRating(int rating);
    // The star under the pointer, 0 for none.
    int hovered() const { return hovered_; }
    // The stars drawn filled: the hovered ones, else the chosen ones.
    int shown() const { return hovered_ > 0 ? hovered_ : rating_; }
    // The star at a point, 0 between and beside the stars.
    int starAt(QPoint point) const;
    QRect starRect(int star) const;

    // The accessible value and its adjustment, kept within 1 to 5.
    QString valueText() const;
    void increment();
    void decrement();

    QSize sizeHint() const override;

Q_SIGNALS:
    // The user chose a rating.
    void ratingChosen(int rating);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setHovered(int star);
    void choose(int rating);

    int rating_ = 0;
    int hovered_ = 0;
};

// The review window's content, 440 wide and as high as what it shows: the
// form, or the thank-you page once a review went through.
class ReviewView : public QWidget {
    Q_OBJECT
public:
    ReviewView(Reviews& reviews, QWidget* parent = nullptr);

    static constexpr int width = 440;

    bool showsThanks() const;
    StarRating* stars() const { return stars_; }
    QLineEdit* nameField() const { return name_; }
    QPlainTextEdit* textField() const { return text_; }
    QPushButton* sendButton() const { return send_; }
    QLabel* problemLabel() const { return problem_; }
    QLabel* counterLabel() const { return counter_; }
    QLabel* hintLabel() const { return hint_; }
    QLabel* thanksMessage() const { return thanksMessage_; }

Q_SIGNALS:
    // Cancel, Done, or Escape.
    void closeRequested();
    // The height the content needs changed.
    void contentChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildForm();
    QWidget* buildThanks();
    void refresh();

    Reviews& reviews_;
    QWidget* form_ = nullptr;
    QWidget* thanks_ = nullptr;
    StarRating* stars_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* counter_ = nullptr;
    QLabel* problem_ = nullptr;
    QWidget* problemRow_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* done_ = nullptr;
    QLabel* thanksMessage_ = nullptr;
};

// The green seal with a white tick that says a review was sent, `size`
// pixels wide and high.
QWidget* makeSeal(int size, QWidget* parent = nullptr);

// The one review window, made on demand and gone once closed. It counts among
// the program's open windows while shown.
class ReviewWindowController {
public:
    // Opens the window over the shared model, or brings the open one forward.
    static void show();
    // The same over another model (tests).
    static void show(Reviews& reviews);
    // The open window, if any.
    static QWidget* window();
};

} // namespace service
