#pragma once

// A screen being read: a tall page of text-like bars and a photo-like
// gradient, scrolled down by a few pixels each frame, as in a browser. What
// the recording benchmarks feed the movie writer at a steady frame rate.

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSize>

namespace bench {

class ScrollingPage {
public:
    explicit ScrollingPage(QSize size)
        : size_(size), page_(size.width(), size.height() * 4, QImage::Format_RGB32) {
        page_.fill(Qt::white);
        QPainter painter(&page_);
        for (int y = 0; y < page_.height(); y += 22) {
            const int words = 6 + (y * 7919) % 9;
            int x = 40;
            for (int w = 0; w < words && x < page_.width() - 60; ++w) {
                const int length = 20 + (y * 31 + w * 97) % 110;
                painter.fillRect(x, y + 5, length, 12, QColor(30, 30, 30));
                x += length + 12;
            }
            if (y % 880 == 0) {
                QLinearGradient gradient(0, y, page_.width(), y + 300);
                gradient.setColorAt(0, QColor(200, 80, 40));
                gradient.setColorAt(1, QColor(30, 120, 220));
                painter.fillRect(page_.width() / 2, y, page_.width() / 3, 300, gradient);
            }
        }
    }

    // The picture of frame `index`: a fresh copy, as a grab gives one.
    QImage frame(int index) const {
        const int top = (index * 6) % (page_.height() - size_.height());
        return page_.copy(0, top, size_.width(), size_.height());
    }

private:
    QSize size_;
    QImage page_;
};

} // namespace bench
