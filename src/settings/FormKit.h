#pragma once

#include "app/Preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QList>
#include <QScrollArea>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>

class QButtonGroup;
class QGroupBox;
class QGridLayout;
class QVBoxLayout;

namespace settings {

// One setting of the store as the panes bind to it: its getter, setter and
// change signal, made from the store's own list of settings.
template <typename T> struct Setting {
    using Type = T;
    T (app::Preferences::*get)() const;
    void (app::Preferences::*set)(const T&);
    void (app::Preferences::*changed)(const T&);
    const char* key;
};

namespace setting {
using OptionalBytes = app::Preferences::OptionalBytes;
using OptionalString = app::Preferences::OptionalString;
using namespace app;
#define VEXLIN_SETTING_BINDING(Type, name, Name, ...)                                              \
    inline constexpr Setting<Type> name{&Preferences::name, &Preferences::set##Name,               \
                                        &Preferences::name##Changed, #name};
VEXLIN_PREFERENCES(VEXLIN_SETTING_BINDING)
#undef VEXLIN_SETTING_BINDING
} // namespace setting

// Calls `show` with the setting's value now and after every change, for as
// long as `owner` lives.
template <typename T>
void follow(app::Preferences& preferences, Setting<T> binding, QObject* owner,
            std::function<void(const T&)> show) {
    show((preferences.*binding.get)());
    QObject::connect(&preferences, binding.changed, owner,
                     [show = std::move(show)](const T& value) { show(value); });
}

// A choice of a few items: segmented buttons, or a pop-up menu for longer
// lists. Index -1 selects nothing (a stored value that is not an item).
class ChoicePicker : public QWidget {
    Q_OBJECT
public:
    enum class Style { segmented, popUp };
    ChoicePicker(const QStringList& labels, Style style, QWidget* parent = nullptr);

    int currentIndex() const;
    void setCurrentIndex(int index);
    QStringList labels() const { return labels_; }
    // Picks an item as the user does.
    void choose(int index);

Q_SIGNALS:
    void chosen(int index);

private:
    QStringList labels_;
    QComboBox* combo_ = nullptr;
    QButtonGroup* group_ = nullptr;
};

// A text cut in the middle when it does not fit.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setFullText(const QString& text);
    QString fullText() const { return full_; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refit();
    QString full_;
};

// One section of a pane: an optional header over a framed group of rows,
// and an optional footer under it.
class FormSection : public QWidget {
public:
    FormSection(app::Preferences& preferences, const QString& header, QWidget* parent);

    // A check box bound to a boolean setting.
    QCheckBox* toggle(const QString& text, Setting<bool> binding);
    // A labelled picker whose items stand for values of the setting.
    template <typename T>
    ChoicePicker* picker(const QString& label, Setting<T> binding,
                         const QList<std::pair<T, QString>>& items, ChoicePicker::Style style) {
        QStringList labels;
        for (const auto& item : items) {
            labels << item.second;
        }
        auto* chooser = new ChoicePicker(labels, style);
        addRow(label, chooser);
        follow<T>(preferences_, binding, chooser, [chooser, items](const T& value) {
            int index = -1;
            for (int i = 0; i < items.size(); ++i) {
                if (items[i].first == value) {
                    index = i;
                }
            }
            chooser->setCurrentIndex(index);
        });
        // The section is a builder that is gone once the pane stands: the
        // control reaches the store itself.
        QObject::connect(chooser, &ChoicePicker::chosen, chooser,
                         [store = &preferences_, binding, items](int index) {
                             if (index >= 0 && index < items.size()) {
                                 (store->*binding.set)(items[index].first);
                             }
                         });
        return chooser;
    }
    // A row with a label on the left and any control on the right; without a
    // label the control takes the whole row.
    void addRow(const QString& label, QWidget* control);
    void addWidget(QWidget* widget);
    // A help text of its own row, smaller and dimmer than the controls.
    QLabel* help(const QString& text);
    void setFooter(const QString& text);
    QLabel* footer() const { return footer_; }

private:
    app::Preferences& preferences_;
    QWidget* group_;
    QGridLayout* rows_;
    QLabel* footer_ = nullptr;
    QVBoxLayout* layout_;
};

// A pane: sections stacked in a scrolling column.
class FormPane : public QScrollArea {
public:
    explicit FormPane(app::Preferences& preferences, QWidget* parent = nullptr);
    FormSection* section(const QString& header = QString());
    // Ends the column; call once all sections are in.
    void finish();
    app::Preferences& preferences() const { return preferences_; }

private:
    app::Preferences& preferences_;
    QWidget* column_;
    QVBoxLayout* layout_;
};

// A dimmer, smaller text style for help texts and footers.
void styleAsSecondary(QLabel* label, bool smaller = true);
// A row of buttons or texts, left to right.
QWidget* hbox(const QList<QWidget*>& widgets, bool stretchBetween = false);

} // namespace settings
