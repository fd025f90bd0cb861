#include "desktop/WindowFade.h"

#include <QPropertyAnimation>
#include <QWidget>

namespace desktop {

void fadeWindow(QWidget* window, double to, std::chrono::milliseconds duration,
                std::function<void()> done) {
    if (window == nullptr) {
        if (done) {
            done();
        }
        return;
    }
    auto* animation = new QPropertyAnimation(window, "windowOpacity", window);
    animation->setDuration(static_cast<int>(duration.count()));
    animation->setEndValue(to);
    QObject::connect(animation, &QPropertyAnimation::finished, window, [done = std::move(done)] {
        if (done) {
            done();
        }
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace desktop
