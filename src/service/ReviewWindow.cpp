#include "service/ReviewWindow.h"

#include "service/InstallCount.h"
#include "service/Reviews.h"
#include "service/ServiceAddress.h"

#include "app/AppPresence.h"
#include "app/BrandIcon.h"
#include "app/MainMenu.h"
#include "app/WarningSymbol.h"
#include "app/WindowFit.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QtMath>

// The context of this file's texts, declared where lupdate finds it.
struct ReviewText {
    Q_DECLARE_TR_FUNCTIONS(ReviewText)
};

namespace service {

namespace {

constexpr int starCount = 5;
constexpr int starSide = 26;
constexpr int starSpacing = 6;

QPainterPath starPath(const QRectF& box) {
    QPainterPath path;
    const QPointF centre = box.center();
    const qreal outer = box.width() / 2.0;
    const qreal inner = outer * 0.45;
    for (int i = 0; i < 10; ++i) {
        const qreal angle = -M_PI / 2 + i * M_PI / 5;
        const qreal radius = (i % 2 == 0) ? outer : inner;
        const QPointF point(centre.x() + radius * std::cos(angle),
                            centre.y() + radius * std::sin(angle) + outer * 0.06);
        i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

QColor secondary(const QWidget* widget) {
    QColor colour = widget->palette().color(QPalette::WindowText);
    colour.setAlphaF(0.55);
    return colour;
}

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondary(parent));
    label->setPalette(palette);
    return label;
}

QFont scaledFont(const QWidget* widget, qreal factor, bool bold = false) {
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

QFont boldFont(qreal pixelSize) {
    QFont font = QApplication::font();
    font.setPixelSize(int(pixelSize));
    font.setBold(true);
    return font;
}

// The seal of the thank-you page: a green scalloped disc with a white tick,
// drawn at any size.
class Seal : public QWidget {
public:
    explicit Seal(QWidget* parent, int size = 50) : QWidget(parent) { setFixedSize(size, size); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(width() / 50.0, height() / 50.0);
        QPainterPath seal;
        const QPointF centre(25, 25);
        const int bumps = 12;
        for (int i = 0; i <= bumps * 8; ++i) {
            const qreal angle = 2 * M_PI * i / (bumps * 8);
            const qreal radius = 22 + 2 * std::cos(bumps * angle);
            const QPointF point(centre.x() + radius * std::cos(angle),
                                centre.y() + radius * std::sin(angle));
            i == 0 ? seal.moveTo(point) : seal.lineTo(point);
        }
        painter.fillPath(seal, QColor(52, 199, 89));
        QPen tick(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(tick);
        painter.drawPolyline(QPolygonF(
            {centre + QPointF(-9, 0), centre + QPointF(-2.5, 7), centre + QPointF(10, -7)}));
    }
};

} // namespace

QWidget* makeSeal(int size, QWidget* parent) {
    return new Seal(parent, size);
}

namespace {

// The star picker as one adjustable element.
class StarRatingAccessible : public QAccessibleWidget {
public:
    explicit StarRatingAccessible(StarRating* stars)
        : QAccessibleWidget(stars, QAccessible::Slider) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            return ReviewText::tr("Rating", "Review window: accessibility label of the stars");
        }
        if (kind == QAccessible::Value) {
            return static_cast<StarRating*>(widget())->valueText();
        }
        return QAccessibleWidget::text(kind);
    }
    int childCount() const override { return 0; }
    QStringList actionNames() const override { return {increaseAction(), decreaseAction()}; }
    void doAction(const QString& name) override {
        auto* stars = static_cast<StarRating*>(widget());
        if (name == increaseAction()) {
            stars->increment();
        } else if (name == decreaseAction()) {
            stars->decrement();
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* starRatingAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("service::StarRating") && object && object->isWidgetType()) {
        return new StarRatingAccessible(static_cast<StarRating*>(object));
    }
    return nullptr;
}

} // namespace

StarRating::StarRating(QWidget* parent) : QWidget(parent) {
    static const bool registered = [] {
        QAccessible::installFactory(&starRatingAccessible);
        return true;
    }();
    Q_UNUSED(registered);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

QSize StarRating::sizeHint() const {
    return {starCount * starSide + (starCount - 1) * starSpacing, starSide + 4};
}

QRect StarRating::starRect(int star) const {
    return {(star - 1) * (starSide + starSpacing), 2, starSide, starSide};
}

int StarRating::starAt(QPoint point) const {
    for (int star = 1; star <= starCount; ++star) {
        if (starRect(star).contains(point)) {
            return star;
        }
    }
    return 0;
}

void StarRating::setRating(int rating) {
    if (rating != rating_) {
        rating_ = rating;
        update();
        QAccessibleValueChangeEvent event(this, valueText());
        QAccessible::updateAccessibility(&event);
    }
}

void StarRating::choose(int rating) {
    setRating(rating);
    Q_EMIT ratingChosen(rating);
}

QString StarRating::valueText() const {
    return ReviewText::tr("%n of 5 stars", "Review window: accessibility value of the stars",
                          rating_);
}

void StarRating::increment() {
    choose(std::min(rating_ + 1, starCount));
}

void StarRating::decrement() {
    choose(std::max(rating_ - 1, 1));
}

void StarRating::setHovered(int star) {
    if (star != hovered_) {
        hovered_ = star;
        update();
    }
}

void StarRating::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor gold(255, 204, 0);
    for (int star = 1; star <= starCount; ++star) {
        const QPainterPath path = starPath(QRectF(starRect(star)).adjusted(1, 1, -1, -1));
        if (star <= shown()) {
            painter.fillPath(path, gold);
        } else {
            painter.strokePath(
                path, QPen(secondary(this), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void StarRating::mouseMoveEvent(QMouseEvent* event) {
    // Leaving a star clears the hover only while it still points at it.
    const int star = starAt(event->position().toPoint());
    if (star != 0) {
        setHovered(star);
    } else if (hovered_ != 0 && !starRect(hovered_).contains(event->position().toPoint())) {
        setHovered(0);
    }
}

void StarRating::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const int star = starAt(event->position().toPoint())) {
            choose(star);
        }
    }
}

void StarRating::leaveEvent(QEvent*) {
    setHovered(0);
}

void StarRating::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        increment();
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        decrement();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

ReviewView::ReviewView(Reviews& reviews, QWidget* parent) : QWidget(parent), reviews_(reviews) {
    setObjectName(QStringLiteral("reviewView"));
    // Only the page shown takes room, so the window is as high as it needs.
    auto* pages = new QVBoxLayout(this);
    pages->setContentsMargins(0, 0, 0, 0);
    form_ = buildForm();
    thanks_ = buildThanks();
    pages->addWidget(form_);
    pages->addWidget(thanks_);
    for (auto signal : {&Reviews::ratingChanged, &Reviews::nameChanged, &Reviews::textChanged,
                        &Reviews::stateChanged, &Reviews::reviewSentChanged}) {
        connect(&reviews_, signal, this, &ReviewView::refresh);
    }
    setFixedWidth(width);
    refresh();
}

QWidget* ReviewView::buildForm() {
    auto* form = new QWidget(this);
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(16);
    const QString host = reviews_.host();

    // Header.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 14, 0, 0);
    header->setSpacing(14);
    auto* icon = new QLabel(form);
    icon->setObjectName(QStringLiteral("appIcon"));
    // The program sets its icon at start; a window shown without that start
    // (a test, a tool) still shows the mark.
    const QIcon appIcon = QApplication::windowIcon().isNull() ? app::BrandIcon::applicationIcon()
                                                              : QApplication::windowIcon();
    icon->setPixmap(appIcon.pixmap(QSize(56, 56), devicePixelRatioF()));
    icon->setFixedSize(56, 56);
    header->addWidget(icon);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    //: Review window: heading
    auto* heading =
        new QLabel(ReviewText::tr("Review Vexlin Capture", "Review window: heading"), form);
    heading->setFont(boldFont(20));
    titles->addWidget(heading);
    titles->addWidget(secondaryLabel(ReviewText::tr("Tell others what you think of Vexlin Capture.",
                                                    "Review window: under the heading"),
                                     form));
    header->addLayout(titles, 1);
    layout->addLayout(header);

    stars_ = new StarRating(form);
    stars_->setRating(reviews_.rating());
    connect(stars_, &StarRating::ratingChosen, &reviews_, &Reviews::setRating);
    layout->addWidget(stars_);

    const auto fieldLabel = [form](const QString& text) {
        auto* label = new QLabel(text, form);
        QFont font = scaledFont(form, 0.95);
        font.setWeight(QFont::Medium);
        label->setFont(font);
        return label;
    };

    // Name.
    auto* nameBox = new QVBoxLayout;
    nameBox->setSpacing(6);
    const QString nameTitle =
        ReviewText::tr("Name to show", "Review window: label of the name field");
    nameBox->addWidget(fieldLabel(nameTitle));
    name_ = new QLineEdit(reviews_.name(), form);
    name_->setPlaceholderText(nameTitle);
    name_->setAccessibleName(nameTitle);
    connect(name_, &QLineEdit::textEdited, &reviews_, &Reviews::setName);
    nameBox->addWidget(name_);
    layout->addLayout(nameBox);

    // Text.
    auto* textBox = new QVBoxLayout;
    textBox->setSpacing(6);
    const QString textTitle =
        ReviewText::tr("Your review", "Review window: label of the text field");
    textBox->addWidget(fieldLabel(textTitle));
    text_ = new QPlainTextEdit(form);
    text_->setPlainText(reviews_.text());
    text_->setAccessibleName(textTitle);
    text_->setTabChangesFocus(true);
    text_->setFixedHeight(130);
    text_->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid palette(mid); "
                                        "border-radius: 6px; padding: 6px; "
                                        "background: palette(base); }"));
    connect(text_, &QPlainTextEdit::textChanged, this,
            [this] { reviews_.setText(text_->toPlainText()); });
    textBox->addWidget(text_);
    auto* counterRow = new QHBoxLayout;
    hint_ = secondaryLabel(ReviewText::tr("At least 20 characters",
                                          "Review window: under the text, while it is too short"),
                           form);
    hint_->setWordWrap(false);
    hint_->setFont(scaledFont(form, 0.85));
    counter_ = new QLabel(form);
    QFont digits = scaledFont(form, 0.85);
    digits.setFamily(QStringLiteral("monospace"));
    digits.setStyleHint(QFont::Monospace);
    counter_->setFont(digits);
    counterRow->addWidget(hint_);
    counterRow->addStretch(1);
    counterRow->addWidget(counter_);
    textBox->addLayout(counterRow);
    layout->addLayout(textBox);

    // Note.
    auto* note = new QVBoxLayout;
    note->setSpacing(4);
    QLabel* noteText = secondaryLabel(
        ReviewText::tr(
            "Your name, rating and text will appear publicly on %1 once checked. The review is "
            "sent with this installation’s anonymous number, the app version and the Linux "
            "kernel version. Each installation can send one review, and it can’t be changed "
            "afterwards.",
            "Review window: note above the buttons")
            .arg(host),
        form);
    noteText->setFont(scaledFont(form, 0.85));
    note->addWidget(noteText);
    //: Review window: link to the support page about reviews on the service's site
    const QString linkTitle = ReviewText::tr(
        "How reviews work",
        "Review window: link to the support page about reviews on the service's site");
    auto* link =
        new QLabel(QStringLiteral("<a href=\"help\">%1</a>").arg(linkTitle.toHtmlEscaped()), form);
    link->setObjectName(QStringLiteral("helpLink"));
    link->setFont(scaledFont(form, 0.85));
    link->setTextFormat(Qt::RichText);
    connect(link, &QLabel::linkActivated, this, [] {
        if (std::optional<QUrl> url =
                serviceEndpoint(configuredServiceBase(), QLatin1String(ReviewPost::helpPath))) {
            url->setFragment(QLatin1String(ReviewPost::helpFragment));
            QDesktopServices::openUrl(*url);
        }
    });
    note->addWidget(link);
    layout->addLayout(note);

    // Problem.
    problemRow_ = new QWidget(form);
    auto* problemLayout = new QHBoxLayout(problemRow_);
    problemLayout->setContentsMargins(0, 0, 0, 0);
    auto* warning = new QLabel(problemRow_);
    warning->setObjectName(QStringLiteral("problemSymbol"));
    warning->setPixmap(app::warningSymbol(app::warningOrange(), 16, devicePixelRatioF()));
    warning->setAlignment(Qt::AlignTop);
    problem_ = new QLabel(problemRow_);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    problem_->setFont(scaledFont(form, 0.95));
    problemLayout->addWidget(warning, 0, Qt::AlignTop);
    problemLayout->addWidget(problem_, 1);
    layout->addWidget(problemRow_);

    // Buttons.
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 4);
    buttons->setSpacing(10);
    buttons->addStretch(1);
    busy_ = new QProgressBar(form);
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    busy_->setFixedSize(40, 10);
    buttons->addWidget(busy_);
    auto* cancel = new QPushButton(ReviewText::tr("Cancel"), form);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, &ReviewView::closeRequested);
    buttons->addWidget(cancel);
    send_ = new QPushButton(ReviewText::tr("Send", "Review window: sends the review"), form);
    send_->setObjectName(QStringLiteral("send"));
    send_->setDefault(true);
    connect(send_, &QPushButton::clicked, &reviews_, &Reviews::send);
    buttons->addWidget(send_);
    layout->addLayout(buttons);
    return form;
}

QWidget* ReviewView::buildThanks() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(32, 30, 32, 24);
    layout->setSpacing(10);
    layout->addWidget(new Seal(page), 0, Qt::AlignHCenter);
    auto* title =
        new QLabel(ReviewText::tr("Thank you!", "Review window: after the review was sent"), page);
    title->setFont(boldFont(20));
    layout->addWidget(title, 0, Qt::AlignHCenter);
    thanksMessage_ = secondaryLabel(QString(), page);
    thanksMessage_->setAlignment(Qt::AlignHCenter);
    layout->addWidget(thanksMessage_);
    layout->addSpacing(10);
    done_ = new QPushButton(ReviewText::tr("Done"), page);
    done_->setObjectName(QStringLiteral("done"));
    done_->setDefault(true);
    connect(done_, &QPushButton::clicked, this, &ReviewView::closeRequested);
    layout->addWidget(done_, 0, Qt::AlignHCenter);
    return page;
}

bool ReviewView::showsThanks() const {
    return !thanks_->isHidden();
}

void ReviewView::refresh() {
    const Reviews::State state = reviews_.state();
    const bool thanks = state.kind == Reviews::State::Kind::thanks || reviews_.reviewSent();
    const bool alreadySent = state.kind == Reviews::State::Kind::thanks ? state.alreadySent : true;
    if (alreadySent) {
        thanksMessage_->setText(
            ReviewText::tr("You’ve already reviewed Vexlin Capture from this "
                           "installation. Each installation can send one review.",
                           "Review window: the server already has a review from this "
                           "installation"));
    } else {
        thanksMessage_->setText(
            ReviewText::tr("Your review was sent. It appears on %1 after it has been checked.",
                           "Review window: after a review was sent")
                .arg(reviews_.host()));
    }
    form_->setHidden(thanks);
    thanks_->setHidden(!thanks);

    stars_->setRating(reviews_.rating());
    if (name_->text() != reviews_.name()) {
        name_->setText(reviews_.name());
    }
    if (text_->toPlainText() != reviews_.text()) {
        const QSignalBlocker blocker(text_);
        text_->setPlainText(reviews_.text());
    }
    const int count = reviews_.textCount();
    hint_->setVisible(count < ReviewPost::minimumTextLength);
    counter_->setText(QStringLiteral("%1 / %2").arg(count).arg(ReviewPost::maximumTextLength));
    QPalette counterPalette = counter_->palette();
    counterPalette.setColor(QPalette::WindowText, count > ReviewPost::maximumTextLength
                                                      ? QColor(Qt::red)
                                                      : secondary(this));
    counter_->setPalette(counterPalette);

    const bool problem = state.kind == Reviews::State::Kind::problem;
    problem_->setText(problem ? state.outcome.message(reviews_.host()) : QString());
    problemRow_->setVisible(problem);
    busy_->setVisible(state.kind == Reviews::State::Kind::sending);
    send_->setEnabled(reviews_.canSend());
    Q_EMIT contentChanged();
}

void ReviewView::keyPressEvent(QKeyEvent* event) {
    // Keys the fields did not take: Escape closes, Return presses the
    // default button of the page.
    switch (event->key()) {
    case Qt::Key_Escape:
        Q_EMIT closeRequested();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (showsThanks()) {
            done_->click();
        } else if (send_->isEnabled()) {
            send_->click();
        }
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

namespace {

class ReviewWindow : public QWidget {
public:
    explicit ReviewWindow(Reviews& reviews) : QWidget(nullptr, Qt::Window), reviews_(reviews) {
        setObjectName(QStringLiteral("reviewWindow"));
        setAttribute(Qt::WA_DeleteOnClose);
        //: Title of the review window
        setWindowTitle(QCoreApplication::translate("ReviewWindowController", "Write a Review"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        // The page scrolls where the screen is lower than it is tall.
        scroll_ = new QScrollArea(this);
        scroll_->setFrameShape(QFrame::NoFrame);
        scroll_->setWidgetResizable(true);
        scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_ = new ReviewView(reviews);
        scroll_->setWidget(view_);
        layout->addWidget(scroll_);
        connect(view_, &ReviewView::closeRequested, this, &QWidget::close);
        connect(view_, &ReviewView::contentChanged, this, &ReviewWindow::fit, Qt::QueuedConnection);
        app::MainMenu::installKeysIn(this);
        // Typing starts in the name; the stars take clicks and arrow keys.
        setFocusProxy(view_->nameField());
        fit();
    }

    void present() {
        if (!isVisible() && !counted_) {
            counted_ = true;
            app::appWindowDidOpen();
        }
        if (isMinimized()) {
            showNormal();
        } else {
            if (!isVisible()) {
                app::centreOnScreen(this);
            }
            show();
        }
        app::bringWindowToFront(this);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        QWidget::closeEvent(event);
        if (!event->isAccepted()) {
            return;
        }
        if (counted_) {
            counted_ = false;
            app::appWindowDidClose();
        }
        // A problem is news of the last send only; the next opening shows
        // the form with what was typed.
        if (reviews_.state().kind == Reviews::State::Kind::problem) {
            reviews_.setState({});
        }
    }

private:
    // 440 wide and as high as the page shown needs at that width, or as
    // the screen has room for, the page then scrolling beside a bar of its
    // own.
    void fit() {
        QLayout* page = view_->layout();
        page->activate();
        const int height = page->hasHeightForWidth() ? page->totalHeightForWidth(ReviewView::width)
                                                     : page->totalSizeHint().height();
        const QSize room = app::roomOnScreen(this);
        const int bar =
            height > room.height() ? scroll_->verticalScrollBar()->sizeHint().width() : 0;
        setFixedSize(ReviewView::width + bar, std::min(height, room.height()));
    }

    Reviews& reviews_;
    ReviewView* view_;
    QScrollArea* scroll_ = nullptr;
    bool counted_ = false;
};

QPointer<ReviewWindow> current;

} // namespace

void ReviewWindowController::show() {
    show(Reviews::shared());
}

void ReviewWindowController::show(Reviews& reviews) {
    if (current.isNull()) {
        current = new ReviewWindow(reviews);
    }
    current->present();
}

QWidget* ReviewWindowController::window() {
    return current.data();
}

} // namespace service
