#include "desktop/Toast.h"

#include "desktop/PointerScreen.h"
#include "desktop/ToastView.h"
#include "platform/MainThread.h"

#include <QScreen>

#include <cmath>

namespace desktop {

ToastPanel::ToastPanel(const QString& title, const std::optional<QString>& detail,
                       const QString& symbol, const QColor& tint, PanelSurface::Kind kind)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                           Qt::X11BypassWindowManagerHint)
    , view_(
          new ToastView(title, detail, symbol, tint, kind == PanelSurface::Kind::translucent, this))
    , surface_(new PanelSurface(
          this, [view = view_] { return view->outline(); }, kind)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(view_->size());
}

ToastCenter::ToastCenter(Services services) : services_(std::move(services)) {}

ToastCenter::~ToastCenter() {
    pendingDismissal_.reset();
    if (current_) {
        current_->hide();
        current_->deleteLater();
    }
}

ToastCenter& ToastCenter::shared() {
    static auto* center =
        new ToastCenter(Services{&mainScheduler(), fadeWindow, screenUnderPointerOrFirst});
    return *center;
}

void ToastCenter::show(const QString& title, const std::optional<QString>& detail,
                       const QString& symbol, const QColor& tint) {
    platform::assertMainThread();
    pendingDismissal_.reset();
    if (current_) {
        // Replaced at once, without fading.
        current_->hide();
        current_->deleteLater();
        current_ = nullptr;
    }
    QScreen* screen = services_.screen ? services_.screen() : nullptr;
    if (screen == nullptr) {
        return;
    }

    auto* panel =
        new ToastPanel(title, detail, symbol, tint,
                       services_.surfaceKind ? services_.surfaceKind() : PanelSurface::kindNow());
    const QRect area = screen->availableGeometry();
    const int x =
        static_cast<int>(std::round(area.x() + area.width() / 2.0 - panel->width() / 2.0));
    panel->move(x, area.y() + topMargin);
    if (services_.fade) {
        panel->surface().prepareFadeIn();
    }
    panel->show();
    panel->surface().fade(1.0, fadeInDuration, {}, services_.fade);
    current_ = panel;

    const QPointer<ToastPanel> held(panel);
    pendingDismissal_ = services_.scheduler->after(visibleFor, [this, held] { dismiss(held); });
}

void ToastCenter::dismiss(QPointer<ToastPanel> panel) {
    if (panel.isNull()) {
        return;
    }
    auto orderOut = [this, panel] {
        // Only this panel: a newer toast has its own dismissal.
        if (panel.isNull()) {
            return;
        }
        panel->hide();
        if (current_ == panel) {
            current_ = nullptr;
        }
        panel->deleteLater();
    };
    panel->surface().fade(0.0, fadeOutDuration, orderOut, services_.fade);
}

void showToast(const QString& title, const std::optional<QString>& detail, const QString& symbol,
               const QColor& tint) {
    ToastCenter::shared().show(title, detail, symbol, tint);
}

} // namespace desktop
