#pragma once

#include "app/Capture.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QUuid>

#include <utility>

namespace testsupport {

// An image of one colour in the format captures arrive in.
inline QImage solidImage(int width, int height, QColor colour = Qt::white) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// A fresh capture of the image, as a flow makes one: the image carries the
// scale as its device pixel ratio.
inline app::Capture captureOf(QImage image, double scale = 1) {
    image.setDevicePixelRatio(scale > 0 ? scale : 1);
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = std::move(image);
    capture.scale = scale;
    capture.date = QDateTime::currentDateTimeUtc();
    return capture;
}

} // namespace testsupport
