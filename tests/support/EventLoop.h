#pragma once

#include <QElapsedTimer>
#include <QStringList>

namespace testsupport {

// Runs the event loop (deferred deletes included) for about `milliseconds`.
void pump(int milliseconds);

// Pumps until `condition` holds; false when `milliseconds` pass first.
template <typename Condition> bool waitFor(int milliseconds, Condition condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds) {
            return false;
        }
        pump(20);
    }
    return true;
}

// Runs xdotool with `arguments` while our event loop keeps answering the X
// server (an overlay must follow the pointer meanwhile). Fails the current
// test when xdotool does.
void xdotool(const QStringList& arguments);

} // namespace testsupport
