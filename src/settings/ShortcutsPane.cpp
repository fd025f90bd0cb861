#include "settings/ShortcutsPane.h"

#include "app/HotKeyCenter.h"
#include "app/MenuText.h"
#include "app/Preferences.h"
#include "desktop/ScreenPermission.h"
#include "settings/ShortcutRecorder.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace settings {

namespace {

const QColor kConflictColor(255, 149, 0);

// One group of a grouped form: rows on a rounded card, a hairline between
// two rows.
class FormGroup final : public QWidget {
public:
    explicit FormGroup(QWidget* parent) : QWidget(parent), rows_(new QVBoxLayout(this)) {
        rows_->setContentsMargins(12, 4, 12, 4);
        rows_->setSpacing(0);
    }

    void addRow(QWidget* row) {
        if (rows_->count() > 0) {
            auto* line = new QWidget(this);
            line->setFixedHeight(1);
            line->setAutoFillBackground(true);
            QPalette palette = line->palette();
            QColor hairline = palette.color(QPalette::WindowText);
            hairline.setAlphaF(0.1);
            palette.setColor(QPalette::Window, hairline);
            line->setPalette(palette);
            rows_->addWidget(line);
        }
        rows_->addWidget(row);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.04);
        painter.fillPath(card, fill);
        QColor edge = palette().color(QPalette::WindowText);
        edge.setAlphaF(0.12);
        painter.setPen(QPen(edge, 1));
        painter.drawPath(card);
    }

private:
    QVBoxLayout* rows_;
};

QLabel* secondaryLabel(const QString& text, QWidget* parent, qreal pointScale = 1.0) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    QColor ink = palette.color(QPalette::WindowText);
    ink.setAlphaF(0.6);
    palette.setColor(QPalette::WindowText, ink);
    label->setPalette(palette);
    if (pointScale != 1.0) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * pointScale);
        label->setFont(font);
    }
    return label;
}

QLabel* sectionHeader(const QString& text, QWidget* parent) {
    QLabel* header = secondaryLabel(text, parent);
    QFont font = header->font();
    font.setWeight(QFont::DemiBold);
    header->setFont(font);
    header->setContentsMargins(4, 0, 0, 0);
    return header;
}

} // namespace

ShortcutsPane::ShortcutsPane(app::Preferences& preferences, app::HotKeyCenter& hotKeys,
                             QWidget* parent)
    : QWidget(parent), preferences_(preferences), hotKeys_(hotKeys) {
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    auto* content = new QWidget(scroll);
    auto* form = new QVBoxLayout(content);
    form->setContentsMargins(20, 20, 20, 20);
    form->setSpacing(6);
    scroll->setWidget(content);

    const auto addRow = [&](FormGroup* group, app::CaptureAction action) {
        auto* row = new QWidget(group);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 6, 0, 6);
        line->setSpacing(8);
        const QIcon symbol = app::menuSymbol(app::symbolName(action));
        if (!symbol.isNull()) {
            auto* icon = new QLabel(row);
            icon->setPixmap(symbol.pixmap(16, 16));
            line->addWidget(icon);
        }
        auto* label = new QLabel(app::title(action), row);
        label->setTextFormat(Qt::PlainText);
        line->addWidget(label, 1);
        auto* recorder = new ShortcutRecorder(preferences_, hotKeys_, row);
        recorder->setObjectName(QStringLiteral("recorder:") + app::rawValue(action));
        recorder->field()->setAccessibleDescription(app::title(action));
        line->addWidget(recorder);
        group->addRow(row);
        connect(recorder, &ShortcutRecorder::shortcutEdited, this,
                [this, action](std::optional<app::KeyShortcut> shortcut) {
                    preferences_.setShortcut(action, shortcut);
                });
        // One row records at a time: the one clicked last.
        connect(&recorder->listener(), &ShortcutListener::recordingChanged, this,
                [this, recorder](bool recording) {
                    if (recording) {
                        stopRecordingExcept(recorder);
                    }
                });
        recorders_.append({action, recorder});
    };

    const QList<app::CaptureAction> order = rowOrder();
    const qsizetype copyStart = order.size() - 3;

    form->addWidget(sectionHeader(tr("Capture"), content));
    auto* capture = new FormGroup(content);
    for (qsizetype i = 0; i < copyStart; ++i) {
        addRow(capture, order[i]);
    }
    form->addWidget(capture);
    form->addSpacing(14);

    form->addWidget(sectionHeader(tr("Capture & Copy"), content));
    auto* copy = new FormGroup(content);
    for (qsizetype i = copyStart; i < order.size(); ++i) {
        addRow(copy, order[i]);
    }
    form->addWidget(copy);
    auto* footer = new QVBoxLayout;
    footer->setContentsMargins(4, 2, 4, 0);
    footer->setSpacing(6);
    footer->addWidget(secondaryLabel(
        tr("Copies straight to the clipboard: no overlay, no editor, nothing saved."), content));
    conflictNote_ =
        new QLabel(tr("Shortcuts outlined in orange are taken by another app. Choose a different "
                      "one."),
                   content);
    //: Shown under the shortcuts while two capture actions have the same keys
    sharedNote_ = new QLabel(tr("Shortcuts outlined in orange are given to two actions; only the "
                                "first of them works. Choose a different one."),
                             content);
    for (QLabel* note : {conflictNote_, sharedNote_}) {
        note->setWordWrap(true);
        QPalette orange = note->palette();
        orange.setColor(QPalette::WindowText, kConflictColor);
        note->setPalette(orange);
        footer->addWidget(note);
    }
    form->addLayout(footer);
    form->addSpacing(14);

    auto* system = new FormGroup(content);
    auto* systemBox = new QWidget(system);
    auto* systemRows = new QVBoxLayout(systemBox);
    systemRows->setContentsMargins(0, 8, 0, 8);
    systemRows->setSpacing(8);
    systemRows->addWidget(secondaryLabel(
        tr("To use the desktop's own screenshot keys (Print, Shift+Print, Alt+Print) for Vexlin "
           "Capture, first turn them off in the keyboard shortcut settings of your desktop."),
        systemBox, 0.92));
    auto* buttons = new QHBoxLayout;
    // A desktop without a known settings program gets no button that would
    // open nothing.
    if (desktop::ScreenPermission::canOpenKeyboardShortcutsSettings()) {
        auto* open = new QPushButton(tr("Open Keyboard Settings"), systemBox);
        connect(open, &QPushButton::clicked, this,
                [] { desktop::ScreenPermission::openKeyboardShortcutsSettings(); });
        buttons->addWidget(open);
    }
    buttons->addStretch(1);
    restoreDefaults_ = new QPushButton(tr("Restore Defaults"), systemBox);
    restoreDefaults_->setAutoDefault(false);
    connect(restoreDefaults_, &QPushButton::clicked, this, [this] {
        stopRecordingExcept(nullptr);
        preferences_.resetShortcuts();
    });
    buttons->addWidget(restoreDefaults_);
    systemRows->addLayout(buttons);
    system->addRow(systemBox);
    form->addWidget(system);
    form->addStretch(1);

    connect(&preferences_, &app::Preferences::shortcutsChanged, this, [this] {
        showShortcuts();
        showConflicts();
    });
    connect(&hotKeys_, &app::HotKeyCenter::conflictsChanged, this, &ShortcutsPane::showConflicts);
    showShortcuts();
    showConflicts();
}

ShortcutRecorder* ShortcutsPane::recorder(app::CaptureAction action) const {
    for (const auto& [rowAction, recorder] : recorders_) {
        if (rowAction == action) {
            return recorder;
        }
    }
    return nullptr;
}

QList<app::CaptureAction> ShortcutsPane::rowOrder() {
    QList<app::CaptureAction> order;
    for (app::CaptureAction action : app::captureActions::menuOrder()) {
        order.append(action);
    }
    for (app::CaptureAction action : app::captureActions::copyActions()) {
        order.append(action);
    }
    return order;
}

void ShortcutsPane::showShortcuts() {
    const app::ShortcutMap map = preferences_.shortcuts();
    for (const auto& [action, recorder] : recorders_) {
        recorder->setShortcut(map.value(action));
    }
}

void ShortcutsPane::showConflicts() {
    // Keys two of our actions share are ours, not another program's: the
    // hot keys hold them for the first action only and count the second as
    // taken, so they are told apart here from what the map says.
    const app::ShortcutMap map = preferences_.shortcuts();
    QHash<app::CaptureAction, QString> sharedWith;
    for (const app::CaptureAction action : app::captureActions::allCases()) {
        const std::optional<app::KeyShortcut> shortcut = map.value(action);
        if (!shortcut) {
            continue;
        }
        for (const app::CaptureAction other : app::captureActions::allCases()) {
            if (other != action && map.value(other) == shortcut) {
                sharedWith.insert(action, app::title(other));
                break;
            }
        }
    }
    const std::set<app::CaptureAction>& conflicts = hotKeys_.conflicts();
    bool takenByOthers = false;
    for (const auto& [action, recorder] : recorders_) {
        const QString shared = sharedWith.value(action);
        const bool taken = conflicts.contains(action) && shared.isEmpty();
        takenByOthers = takenByOthers || taken;
        recorder->setHasConflict(taken);
        recorder->setSharedWith(shared);
    }
    conflictNote_->setVisible(takenByOthers);
    sharedNote_->setVisible(!sharedWith.isEmpty());
}

void ShortcutsPane::stopRecordingExcept(ShortcutRecorder* keep) {
    for (const auto& [action, recorder] : recorders_) {
        if (recorder != keep) {
            recorder->listener().stop();
        }
    }
}

QWidget* makeShortcutsPane(QWidget* parent) {
    return new ShortcutsPane(app::Preferences::shared(), app::HotKeyCenter::shared(), parent);
}

} // namespace settings
