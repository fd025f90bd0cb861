#include "delivery/QuickAccessCardAccessible.h"

#include "delivery/QuickAccessCardView.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QPointer>

#include <vector>

namespace delivery {

namespace {

using Button = QuickAccessCardView::Button;

// One painted button of a card.
class CardButtonAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CardButtonAccessible(QuickAccessCardView* view, Button button) : view_(view), button_(button) {}

    bool isValid() const override { return !view_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }

    QString text(QAccessible::Text kind) const override {
        const std::optional<QuickAccessCardView::ButtonInfo> shown = info();
        return kind == QAccessible::Name && shown ? shown->text : QString();
    }
    void setText(QAccessible::Text /*kind*/, const QString& /*text*/) override {}
    QRect rect() const override {
        const std::optional<QuickAccessCardView::ButtonInfo> shown = info();
        if (!view_ || !shown) {
            return {};
        }
        return QRect(view_->mapToGlobal(shown->rect.topLeft()), shown->rect.size());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override {
        QAccessible::State state;
        // The buttons show only while the pointer rests on the card.
        state.invisible = !isShown();
        state.disabled = !isShown();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && view_ && isShown()) {
            view_->press(button_);
        }
    }
    QStringList keyBindingsForAction(const QString& /*name*/) const override { return {}; }

private:
    std::optional<QuickAccessCardView::ButtonInfo> info() const {
        if (view_) {
            for (const auto& button : view_->allButtons()) {
                if (button.button == button_) {
                    return button;
                }
            }
        }
        return std::nullopt;
    }
    bool isShown() const {
        if (view_) {
            for (const auto& button : view_->visibleButtons()) {
                if (button.button == button_) {
                    return true;
                }
            }
        }
        return false;
    }

    QPointer<QuickAccessCardView> view_;
    Button button_;
};

// The card, whose children are its buttons (not its helper widgets).
class CardAccessible final : public QAccessibleWidget {
public:
    explicit CardAccessible(QuickAccessCardView* view)
        : QAccessibleWidget(view, QAccessible::Grouping) {
        for (const auto& button : view->allButtons()) {
            buttons_.push_back(QAccessible::registerAccessibleInterface(
                new CardButtonAccessible(view, button.button)));
        }
    }
    ~CardAccessible() override {
        for (const QAccessible::Id id : buttons_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override { return static_cast<int>(buttons_.size()); }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < childCount()
                   ? QAccessible::accessibleInterface(buttons_[static_cast<std::size_t>(index)])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (std::size_t i = 0; i < buttons_.size(); ++i) {
            if (QAccessible::accessibleInterface(buttons_[i]) == child) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* button = child(i);
            if (!button->state().invisible && button->rect().contains(x, y)) {
                return button;
            }
        }
        return nullptr;
    }
    QString text(QAccessible::Text kind) const override {
        //: Accessible name of the floating thumbnail after a capture
        return kind == QAccessible::Name
                   ? QCoreApplication::translate("QuickAccess", "Quick Access")
                   : QAccessibleWidget::text(kind);
    }

private:
    std::vector<QAccessible::Id> buttons_;
};

QAccessibleInterface* cardFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(QuickAccessCardView::staticMetaObject.className()) &&
        object != nullptr && object->isWidgetType()) {
        return new CardAccessible(static_cast<QuickAccessCardView*>(object));
    }
    return nullptr;
}

} // namespace

void installQuickAccessCardAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(cardFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace delivery
