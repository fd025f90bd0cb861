#pragma once

#include "desktop/PanelSurface.h"
#include "desktop/Scheduler.h"
#include "desktop/WindowFade.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QScreen;

namespace desktop {

class ToastView;

// A short notice near the top of the screen under the pointer that takes no
// focus, lets clicks through and goes by itself: fades in over 0.15 s, stays
// until 1.8 s, fades out over 0.25 s (where windows cannot blend it appears
// and goes at once, at the same times). A new toast replaces the old one at
// once.
// `title` and `detail` are shown as given (already translated); `symbol` names
// the picture, drawn in `tint`. Main thread only.
void showToast(const QString& title, const std::optional<QString>& detail, const QString& symbol,
               const QColor& tint);

// The window that carries one toast: translucent where windows blend,
// otherwise cut to the toast's capsule.
class ToastPanel : public QWidget {
    Q_OBJECT
public:
    ToastPanel(const QString& title, const std::optional<QString>& detail, const QString& symbol,
               const QColor& tint, PanelSurface::Kind kind = PanelSurface::kindNow());
    ToastView* view() const { return view_; }
    PanelSurface& surface() const { return *surface_; }

private:
    ToastView* view_;
    PanelSurface* surface_;
};

// Keeps the one current toast and its pending dismissal.
class ToastCenter {
public:
    struct Services {
        Scheduler* scheduler = nullptr;
        WindowFader fade;
        // The screen to show on; none: the toast is not shown.
        std::function<QScreen*()> screen;
        // How the next toast's window reaches the screen.
        std::function<PanelSurface::Kind()> surfaceKind = PanelSurface::kindNow;
    };

    explicit ToastCenter(Services services);
    ~ToastCenter();
    ToastCenter(const ToastCenter&) = delete;
    ToastCenter& operator=(const ToastCenter&) = delete;

    // The instance showToast() uses, alive for the whole process.
    static ToastCenter& shared();

    void show(const QString& title, const std::optional<QString>& detail, const QString& symbol,
              const QColor& tint);

    // The newest toast's panel until it has faded out or been replaced.
    ToastPanel* currentPanel() const { return current_; }

    static constexpr std::chrono::milliseconds fadeInDuration{150};
    static constexpr std::chrono::milliseconds visibleFor{1800};
    static constexpr std::chrono::milliseconds fadeOutDuration{250};
    // Below the top of the screen's free area.
    static constexpr int topMargin = 24;

private:
    void dismiss(QPointer<ToastPanel> panel);

    Services services_;
    QPointer<ToastPanel> current_;
    ScheduledCallPtr pendingDismissal_;
};

} // namespace desktop
