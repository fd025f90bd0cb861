#pragma once

// A window of one colour shown by another program (x11_solid_window), for the
// recording tests: its class, colour and place, optionally a notification.
// The program that includes this defines VEXLIN_SOLID_WINDOW.
#include "platform/ClientWindows.h"

#include "support/EventLoop.h"

#include <QProcess>
#include <QRect>
#include <QRgb>
#include <gtest/gtest.h>

#include <cstdint>

namespace testsupport {

class SolidWindow {
public:
    SolidWindow(const QString& className, QRgb colour, QRect rect, bool notification = false) {
        QStringList arguments{className,
                              QString::number(colour & 0xffffff, 16),
                              QString::number(rect.x()),
                              QString::number(rect.y()),
                              QString::number(rect.width()),
                              QString::number(rect.height())};
        if (notification) {
            arguments << QStringLiteral("notification");
        }
        process_.start(QStringLiteral(VEXLIN_SOLID_WINDOW), arguments);
        process_.waitForReadyRead(5000);
        id_ = process_.readLine().trimmed().toUInt();
        EXPECT_NE(id_, 0u);
        EXPECT_TRUE(waitFor(5000, [this] {
            auto window = platform::clientWindow(id_);
            return window && window->viewable;
        })) << className.toStdString();
        pump(300);
    }
    ~SolidWindow() { kill(); }
    SolidWindow(const SolidWindow&) = delete;
    SolidWindow& operator=(const SolidWindow&) = delete;

    // Ends the program, and so its window, at once.
    void kill() {
        process_.kill();
        process_.waitForFinished();
    }
    std::uint32_t id() const { return id_; }
    QRect frame() const {
        auto window = platform::clientWindow(id_);
        return window ? window->frame : QRect();
    }

private:
    QProcess process_;
    std::uint32_t id_ = 0;
};

} // namespace testsupport
