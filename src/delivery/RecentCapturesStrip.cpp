#include "delivery/RecentCapturesStrip.h"

#include "delivery/RecentLibrary.h"
#include "delivery/RecentTileModel.h"
#include "delivery/RecentTileRow.h"
#include "platform/MainThread.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>

namespace delivery {

namespace {

// The quieter text sizes of the row's messages.
QFont calloutFont(const QFont& base) {
    QFont font = base;
    if (base.pointSizeF() > 0) {
        font.setPointSizeF(base.pointSizeF() * 12.0 / 13.0);
    }
    return font;
}

void setTextAlpha(QWidget* widget, QPalette::ColorRole role, qreal alpha) {
    QPalette palette = widget->palette();
    QColor colour = palette.color(role);
    colour.setAlphaF(float(colour.alphaF() * alpha));
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

} // namespace

RecentCapturesStrip::RecentCapturesStrip(RecentLibrary& library, std::optional<QString> currentPath,
                                         OpenHandler open, QWidget* parent)
    : QWidget(parent), library_(library) {
    setFixedHeight(stripHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    pages_ = new QStackedLayout(this);
    pages_->setContentsMargins(0, 0, 0, 0);

    const QFont callout = calloutFont(font());

    unreadablePage_ = new QWidget(this);
    auto* line = new QHBoxLayout(unreadablePage_);
    line->setContentsMargins(12, 0, 12, 0);
    line->setSpacing(6);
    //: Editor: shown instead of the recent captures when the save folder cannot be read
    message_ = new QLabel(tr("Choose a save folder in Settings to see your captures here."),
                          unreadablePage_);
    message_->setFont(callout);
    // A narrow window cuts the text rather than being held wide by it.
    message_->setMinimumWidth(1);
    setTextAlpha(message_, QPalette::WindowText, 0.68);
    //: Editor: opens the settings from the message about an unreadable save folder
    settings_ = new QPushButton(tr("Settings…"), unreadablePage_);
    settings_->setFont(callout);
    settings_->setFlat(true);
    settings_->setAutoDefault(false);
    settings_->setFocusPolicy(Qt::TabFocus);
    settings_->setCursor(Qt::PointingHandCursor);
    // The accent colour, as the current file's ring.
    const QColor link = palette().color(QPalette::Active, QPalette::Highlight);
    settings_->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; color: %1; }"
                                            "QPushButton:hover { text-decoration: underline; }")
                                 .arg(link.name()));
    connect(settings_, &QPushButton::clicked, this, [] {
        platform::assertMainThread();
        if (openSettings) {
            openSettings();
        }
    });
    line->addStretch(1);
    line->addWidget(message_, 0, Qt::AlignVCenter);
    line->addWidget(settings_, 0, Qt::AlignVCenter);
    line->addStretch(1);
    pages_->addWidget(unreadablePage_);

    //: Editor: the recent captures row while the save folder has no captures
    empty_ = new QLabel(tr("Saved captures appear here."), this);
    empty_->setFont(callout);
    empty_->setMinimumWidth(1);
    empty_->setAlignment(Qt::AlignCenter);
    setTextAlpha(empty_, QPalette::WindowText, 0.5);
    pages_->addWidget(empty_);

    model_ = new RecentTileModel(library_, this);
    model_->setCurrentPath(currentPath);
    row_ = new RecentTileRow(this);
    row_->setModel(model_);
    row_->onOpen = std::move(open);
    pages_->addWidget(row_);

    connect(&library_, &RecentLibrary::filesChanged, this, &RecentCapturesStrip::refresh);
    connect(&library_, &RecentLibrary::isAccessibleChanged, this, &RecentCapturesStrip::refresh);
    refresh();
}

RecentCapturesStrip::~RecentCapturesStrip() = default;

void RecentCapturesStrip::setCurrentPath(const std::optional<QString>& path) {
    model_->setCurrentPath(path);
}

void RecentCapturesStrip::refresh() {
    // An unreadable folder says so even while an older list is at hand.
    if (!library_.isAccessible()) {
        state_ = State::unreadable;
        pages_->setCurrentWidget(unreadablePage_);
    } else if (library_.files().empty()) {
        state_ = State::empty;
        pages_->setCurrentWidget(empty_);
    } else {
        state_ = State::row;
        pages_->setCurrentWidget(row_);
    }
}

} // namespace delivery
