#include "videoeditor/VideoEditorView.h"

#include "desktop/DigitFont.h"
#include "videoeditor/DrawnIcon.h"
#include "videoeditor/TrimBar.h"
#include "videoeditor/VideoEditorModel.h"
#include "videoeditor/VideoEditorRules.h"
#include "videoeditor/VideoPlayer.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace videoeditor {

namespace {

constexpr int barHeight = 52;
constexpr int formatPickerWidth = 110;

// A box with an arrow leaving it upwards, drawn in the button's text colour.
QIcon shareIcon(const QColor& colour) {
    return drawnIcon([&](QPainter& painter) {
        painter.setPen(QPen(colour, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath box;
        box.moveTo(5.5, 6.5);
        box.lineTo(3.5, 6.5);
        box.lineTo(3.5, 14.5);
        box.lineTo(12.5, 14.5);
        box.lineTo(12.5, 6.5);
        box.lineTo(10.5, 6.5);
        painter.drawPath(box);
        painter.drawLine(QPointF(8, 1.5), QPointF(8, 10));
        painter.drawLine(QPointF(5.2, 4.2), QPointF(8, 1.5));
        painter.drawLine(QPointF(10.8, 4.2), QPointF(8, 1.5));
    });
}

// Open scissors, blades up, drawn in the button's text colour: for icon
// themes that have no "edit-cut".
QIcon trimIcon(const QColor& colour) {
    return drawnIcon([&](QPainter& painter) {
        painter.setPen(QPen(colour, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QPointF(4.5, 12.3), 2.3, 2.3);
        painter.drawEllipse(QPointF(11.5, 12.3), 2.3, 2.3);
        painter.drawLine(QPointF(5.6, 10.2), QPointF(11.2, 1.5));
        painter.drawLine(QPointF(10.4, 10.2), QPointF(4.8, 1.5));
    });
}

QFont calloutFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() > 0 ? base.pointSizeF() * 0.92 : 9);
    return desktop::withFixedWidthDigits(font);
}

constexpr int confirmationMs = 1400;

} // namespace

VideoEditorView::VideoEditorView(VideoEditorModel& model, VideoPlayer* player,
                                 VideoEditorActions actions, QWidget* parent)
    : QWidget(parent), model_(model), actions_(std::move(actions)) {
    setObjectName(QStringLiteral("videoEditorView"));
    player->setParent(this);
    trimBar_ = new TrimBar(this);
    trimBar_->hide();
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(1);
    divider->setForegroundRole(QPalette::Mid);

    bar_ = new QWidget(this);
    bar_->setObjectName(QStringLiteral("controlBar"));
    bar_->setFixedHeight(barHeight);
    bar_->setAutoFillBackground(true);

    //: Video editor button that opens the trimming bar
    trim_ = new QPushButton(
        QIcon::fromTheme(QStringLiteral("edit-cut"),
                         trimIcon(palette().color(QPalette::Active, QPalette::ButtonText))),
        tr("Trim"), bar_);
    trim_->setObjectName(QStringLiteral("trimButton"));
    //: Help text of the video editor's Trim button
    trim_->setToolTip(tr("Trim the start and end"));
    //: Video editor checkbox: export the video without its sound
    removeAudio_ = new QCheckBox(tr("Remove Audio"), bar_);
    removeAudio_->setObjectName(QStringLiteral("removeAudio"));
    length_ = new QLabel(bar_);
    length_->setObjectName(QStringLiteral("lengthText"));
    length_->setFont(calloutFont(font()));
    length_->setForegroundRole(QPalette::PlaceholderText);
    busyIndicator_ = new QProgressBar(bar_);
    busyIndicator_->setObjectName(QStringLiteral("busyIndicator"));
    busyIndicator_->setRange(0, 0);
    busyIndicator_->setTextVisible(false);
    busyIndicator_->setFixedSize(48, 8);
    busyText_ = new QLabel(bar_);
    busyText_->setObjectName(QStringLiteral("busyText"));
    busyText_->setFont(calloutFont(font()));
    busyText_->setForegroundRole(QPalette::PlaceholderText);
    // Room for the longest busy text from the start: the bar does not jump
    // when an export begins.
    {
        const QFontMetrics metrics(busyText_->font());
        int widest = 0;
        //: Shown in the video editor while a GIF is made
        for (const QString& text : {tr("Creating GIF…"),
                                    //: Shown in the video editor while a video is exported
                                    tr("Exporting…"),
                                    //: Confirmation after saving, in Quick Access and the editor
                                    tr("Saved"),
                                    //: Confirmation after copying, in Quick Access and the editor
                                    tr("Copied")}) {
            widest = std::max(widest, metrics.horizontalAdvance(text));
        }
        busyText_->setMinimumWidth(widest + 2);
    }
    for (QWidget* busy :
         {static_cast<QWidget*>(busyIndicator_), static_cast<QWidget*>(busyText_)}) {
        QSizePolicy policy = busy->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        busy->setSizePolicy(policy);
    }
    confirmationTimer_ = new QTimer(this);
    confirmationTimer_->setSingleShot(true);
    confirmationTimer_->setInterval(confirmationMs);
    connect(confirmationTimer_, &QTimer::timeout, this, [this] {
        confirmation_.clear();
        followModel();
    });

    // The format picker: two segments side by side, one chosen.
    auto* picker = new QWidget(bar_);
    picker->setObjectName(QStringLiteral("formatPicker"));
    //: Hidden label of the video editor's format picker
    picker->setAccessibleName(tr("Export as"));
    //: Help text of the video editor's format picker
    picker->setToolTip(tr("Export as a video or a GIF"));
    picker->setFixedWidth(formatPickerWidth);
    auto* pickerLayout = new QHBoxLayout(picker);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->setSpacing(0);
    auto* group = new QButtonGroup(picker);
    group->setExclusive(true);
    const auto segment = [&](app::Recording::Format format, const QString& name) {
        auto* button = new QToolButton(picker);
        button->setObjectName(name);
        button->setText(format == app::Recording::Format::gif
                            ? QStringLiteral("GIF")
                            //: Recording format
                            : QCoreApplication::translate("Recording", "Video"));
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group->addButton(button);
        pickerLayout->addWidget(button);
        connect(button, &QToolButton::toggled, this, [this, format](bool on) {
            if (on) {
                model_.setFormat(format);
            }
        });
        return button;
    };
    video_ = segment(app::Recording::Format::video, QStringLiteral("formatVideo"));
    gif_ = segment(app::Recording::Format::gif, QStringLiteral("formatGif"));

    share_ = new QToolButton(bar_);
    share_->setObjectName(QStringLiteral("shareButton"));
    share_->setIcon(shareIcon(palette().color(QPalette::ButtonText)));
    share_->setAutoRaise(true);
    //: Button that opens the share menu for the capture
    share_->setToolTip(tr("Share"));
    share_->setAccessibleName(share_->toolTip());
    shareAnchor_ = share_;
    //: Button that copies the video to the clipboard
    auto* copy = new QPushButton(tr("Copy"), bar_);
    copy->setObjectName(QStringLiteral("copyButton"));
    //: Button that saves the video
    auto* save = new QPushButton(tr("Save"), bar_);
    save->setObjectName(QStringLiteral("saveButton"));
    save->setDefault(true);
    //: Help text of the video editor's Save button; %1 and %2 are keys like Ctrl+S
    save->setToolTip(
        tr("Save (%1). Save As… is %2.")
            .arg(
                QKeySequence(Qt::CTRL | Qt::Key_S).toString(QKeySequence::NativeText),
                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S).toString(QKeySequence::NativeText)));
    // No key of its own: Ctrl+S and Copy reach the window through the menu.
    save->setAutoDefault(false);

    auto* row = new QHBoxLayout(bar_);
    row->setContentsMargins(14, 0, 14, 0);
    row->setSpacing(12);
    row->addWidget(trim_);
    row->addWidget(removeAudio_);
    row->addWidget(length_);
    row->addStretch(1);
    row->addSpacing(12);
    row->addWidget(busyIndicator_);
    row->addWidget(busyText_);
    row->addWidget(picker);
    row->addWidget(share_);
    row->addWidget(copy);
    row->addWidget(save);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(player, 1);
    layout->addWidget(trimBar_);
    layout->addWidget(divider);
    layout->addWidget(bar_);

    connect(trim_, &QPushButton::clicked, this, [this] {
        if (actions_.trim) {
            actions_.trim();
        }
    });
    connect(copy, &QPushButton::clicked, this, [this] {
        if (actions_.copy) {
            actions_.copy();
        }
    });
    connect(save, &QPushButton::clicked, this, [this] {
        if (actions_.save) {
            actions_.save();
        }
    });
    connect(share_, &QToolButton::clicked, this, [this] {
        if (shareAnchor_ && actions_.share) {
            actions_.share(shareAnchor_);
        }
    });
    connect(removeAudio_, &QCheckBox::toggled, this,
            [this](bool on) { model_.setRemoveAudio(on); });

    connect(&model_, &VideoEditorModel::removeAudioChanged, this, &VideoEditorView::followModel);
    connect(&model_, &VideoEditorModel::formatChanged, this, &VideoEditorView::followModel);
    connect(&model_, &VideoEditorModel::hasAudioChanged, this, &VideoEditorView::followModel);
    connect(&model_, &VideoEditorModel::busyMessageChanged, this, &VideoEditorView::followModel);
    connect(&model_, &VideoEditorModel::trimmedTextChanged, this, &VideoEditorView::followModel);
    connect(&model_, &VideoEditorModel::canTrimChanged, this, &VideoEditorView::followModel);
    followModel();
}

void VideoEditorView::showTrimming(bool trimming) {
    trimBar_->setVisible(trimming);
    trim_->setVisible(!trimming);
    keepBarWhole();
}

void VideoEditorView::showConfirmation(const QString& text) {
    confirmation_ = text;
    confirmationTimer_->start();
    followModel();
}

void VideoEditorView::keepBarWhole() {
    bar_->layout()->activate();
    const int needed = std::max(bar_->layout()->minimumSize().width(),
                                trimBar_->isVisible() ? trimBar_->minimumSizeHint().width() : 0);
    if (minimumWidth() < needed) {
        setMinimumWidth(needed);
    }
}

void VideoEditorView::followModel() {
    const BarState state =
        barState(model_.busyMessage(), model_.hasAudio(), model_.format(), model_.canTrim());
    bar_->setEnabled(state.enabled);
    // The drawn arrow takes the disabled text colour with the bar, as the
    // theme's icons beside it grey themselves.
    share_->setIcon(shareIcon(palette().color(state.enabled ? QPalette::Active : QPalette::Disabled,
                                              QPalette::ButtonText)));
    trim_->setEnabled(state.trimEnabled);
    removeAudio_->setEnabled(state.removeAudioEnabled);
    {
        const QSignalBlocker quiet(removeAudio_);
        removeAudio_->setChecked(model_.removeAudio());
    }
    length_->setText(model_.trimmedText());
    if (state.showsBusy) {
        confirmation_.clear();
        confirmationTimer_->stop();
    }
    busyIndicator_->setVisible(state.showsBusy);
    busyText_->setVisible(state.showsBusy || !confirmation_.isEmpty());
    busyText_->setText(state.showsBusy ? model_.busyMessage().value_or(QString()) : confirmation_);
    (model_.format() == app::Recording::Format::gif ? gif_ : video_)->setChecked(true);
    keepBarWhole();
}

} // namespace videoeditor
