#pragma once

// A deterministic stand-in for a full desktop as people screenshot it, made to
// compress like one: a photographic wallpaper, a browser showing an article
// with photos, a photo viewer, a dark code editor and a chat list, all with
// real anti-aliased text in DejaVu fonts, window shadows, a top bar and a dock.
// The photos are fractal noise over a scene (sky, horizon, ground) with sensor
// grain, so they cost an encoder what a camera picture costs it; a screen of
// flat colours and repeated glyphs would flatter every encoder.
//
// Needs a QGuiApplication (the offscreen platform will do) for the fonts.

#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace bench {

class BusyScreen {
public:
    // The whole desktop, laid out on a 1920 × 1080 grid scaled to the size
    // (a 3840 × 2160 screen is a scale-2 screen).
    static QImage make(int width = 3840, int height = 2160) {
        BusyScreen screen(height / 1080.0);
        QImage image(width, height, QImage::Format_RGB32);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.drawImage(0, 0, photo(width, height, 1));
        p.scale(screen.scale_, screen.scale_);
        const double w = width / screen.scale_, h = height / screen.scale_;
        screen.topBar(p, w);
        screen.browser(p, QRectF(60, 60, 1110, 800));
        screen.viewer(p, QRectF(1210, 70, 680, 520));
        screen.editor(p, QRectF(900, 600, 980, 400));
        screen.chat(p, QRectF(40, 770, 600, 250));
        screen.dock(p, w, h);
        return image;
    }

    // A long web page `width` pixels wide: headings and paragraphs, and
    // photos between them when `photos` is set (a text-only page has many
    // rows alike, the harder case for anything that matches rows).
    static QImage page(int width, int height, double scale, bool photos) {
        BusyScreen screen(scale);
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        screen.article(p, QRectF(0, 0, width / scale, height / scale), photos);
        return image;
    }

    // A photo-like picture: a scene of sky over ground with a ragged horizon,
    // detail at every scale (fractal noise, stronger below the horizon) and
    // per-pixel grain. `seed` picks the scene.
    static QImage photo(int width, int height, std::uint64_t seed) {
        QImage image(width, height, QImage::Format_RGB32);
        if (width <= 0 || height <= 0) {
            return image;
        }
        Random random{0x2545F4914F6CDD1Dull * (seed + 1)};
        const int biggest = std::max(width, height);
        std::vector<float> detail(static_cast<std::size_t>(width) * height, 0.f);
        std::vector<float> tint(detail.size(), 0.f);
        float amplitude = 70.f;
        for (int cell = biggest / 2; cell >= 2; cell /= 2) {
            addOctave(detail, width, height, cell, amplitude, random);
            addOctave(tint, width, height, cell, amplitude * 0.6f, random);
            amplitude *= 0.9f;
        }
        std::vector<float> horizon(static_cast<std::size_t>(width), 0.f);
        addOctave(horizon, width, 1, std::max(2, width / 3), height * 0.12f, random);
        addOctave(horizon, width, 1, std::max(2, width / 20), height * 0.03f, random);

        static constexpr QRgb scenes[][4] = {
            // sky top, sky at the horizon, ground near, ground far
            {qRgb(60, 110, 190), qRgb(180, 205, 230), qRgb(70, 95, 40), qRgb(120, 135, 90)},
            {qRgb(60, 40, 110), qRgb(250, 150, 80), qRgb(40, 30, 35), qRgb(110, 70, 60)},
            {qRgb(120, 140, 160), qRgb(210, 215, 220), qRgb(60, 70, 80), qRgb(140, 150, 150)},
            {qRgb(20, 90, 160), qRgb(150, 210, 230), qRgb(200, 180, 130), qRgb(90, 150, 170)},
        };
        const QRgb* scene = scenes[random.below(4)];
        const float horizonAt = height * (0.35f + 0.25f * random.unit());
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const std::size_t at = static_cast<std::size_t>(y) * width + x;
                const float line = horizonAt + horizon[static_cast<std::size_t>(x)];
                const bool sky = y < line;
                const float t =
                    sky ? y / std::max(1.f, line) : (y - line) / std::max(1.f, height - line);
                const QRgb a = sky ? scene[0] : scene[3];
                const QRgb b = sky ? scene[1] : scene[2];
                const float light = detail[at] * (sky ? 0.3f : 1.f);
                const float warm = tint[at] * (sky ? 0.3f : 1.f);
                const int grain = random.below(17) - 8;
                const auto channel = [&](int from, int to, float shift) {
                    const float value = from + (to - from) * t + light + shift + grain;
                    return std::clamp(static_cast<int>(value), 0, 255);
                };
                row[x] = qRgb(channel(qRed(a), qRed(b), warm), channel(qGreen(a), qGreen(b), 0),
                              channel(qBlue(a), qBlue(b), -warm));
            }
        }
        return image;
    }

private:
    struct Random {
        std::uint64_t state;
        std::uint32_t next() {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return static_cast<std::uint32_t>(state >> 16);
        }
        int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
        float unit() { return static_cast<float>(next() % 65536) / 65536.f; }
    };

    explicit BusyScreen(double scale) : scale_(scale) {
        const auto family = [](const char* file) {
            const int id = QFontDatabase::addApplicationFont(
                QStringLiteral("/usr/share/fonts/truetype/dejavu/") + QLatin1String(file));
            return QFontDatabase::applicationFontFamilies(id).value(0, QStringLiteral("Sans"));
        };
        sans_ = family("DejaVuSans.ttf");
        family("DejaVuSans-Bold.ttf");
        mono_ = family("DejaVuSansMono.ttf");
        serif_ = family("DejaVuSerif.ttf");
    }

    // One octave of value noise: random values on a grid of `cell` pixels,
    // smoothly interpolated, added to `field`.
    static void addOctave(std::vector<float>& field, int width, int height, int cell,
                          float amplitude, Random& random) {
        const int columns = width / cell + 2, rows = height / cell + 2;
        std::vector<float> grid(static_cast<std::size_t>(columns) * rows);
        for (float& value : grid) {
            value = (random.unit() * 2.f - 1.f) * amplitude;
        }
        const auto smooth = [](float t) { return t * t * (3.f - 2.f * t); };
        std::vector<float> weightX(static_cast<std::size_t>(width));
        for (int x = 0; x < width; ++x) {
            weightX[static_cast<std::size_t>(x)] = smooth(static_cast<float>(x % cell) / cell);
        }
        for (int y = 0; y < height; ++y) {
            const int gy = y / cell;
            const float wy = smooth(static_cast<float>(y % cell) / cell);
            const float* top = &grid[static_cast<std::size_t>(gy) * columns];
            const float* bottom = top + columns;
            float* out = &field[static_cast<std::size_t>(y) * width];
            for (int x = 0; x < width; ++x) {
                const int gx = x / cell;
                const float wx = weightX[static_cast<std::size_t>(x)];
                const float upper = top[gx] + (top[gx + 1] - top[gx]) * wx;
                const float lower = bottom[gx] + (bottom[gx + 1] - bottom[gx]) * wx;
                out[x] += upper + (lower - upper) * wy;
            }
        }
    }

    QFont font(const QString& family, double pixels, bool bold = false) const {
        QFont f(family);
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * scale_))));
        f.setBold(bold);
        return f;
    }

    // Text is laid out in logical units; fonts are sized in device pixels, so
    // the painter's scale is undone around each run of text.
    void text(QPainter& p, double x, double baseline, const QString& s, const QFont& f,
              QColor colour) const {
        p.save();
        p.scale(1 / scale_, 1 / scale_);
        p.setFont(f);
        p.setPen(colour);
        p.drawText(QPointF(x * scale_, baseline * scale_), s);
        p.restore();
    }

    double advance(const QString& s, const QFont& f) const {
        return QFontMetricsF(f).horizontalAdvance(s) / scale_;
    }

    QString words(int count) {
        static const QStringList vocabulary{
            "the",      "screen",   "of",      "capture", "and",        "a",       "window",
            "to",       "record",   "in",      "region",  "settings",   "with",    "clipboard",
            "image",    "folder",   "save",    "editor",  "annotation", "arrow",   "is",
            "for",      "blur",     "counter", "text",    "highlight",  "on",      "display",
            "scroll",   "release",  "version", "2.4.1",   "build",      "update",  "review",
            "morning",  "mountain", "lake",    "photo",   "travel",     "weather", "report",
            "invoice",  "$12.50",   "paid",    "meeting", "notes",      "project", "design",
            "keyboard", "shortcut", "(beta)",  "team",    "release,",   "ready.",  "today:"};
        QString line;
        for (int i = 0; i < count; ++i) {
            QString word = vocabulary[random_.below(static_cast<int>(vocabulary.size()))];
            if (i == 0) {
                word[0] = word[0].toUpper();
            }
            line += (i ? QStringLiteral(" ") : QString()) + word;
        }
        return line;
    }

    void photoIn(QPainter& p, const QRectF& area) {
        const QRectF device = p.transform().mapRect(area);
        const QImage picture =
            photo(static_cast<int>(std::lround(device.width())),
                  static_cast<int>(std::lround(device.height())), random_.next());
        p.drawImage(area, picture);
    }

    void shadow(QPainter& p, const QRectF& area) const {
        p.setPen(Qt::NoPen);
        for (int i = 8; i >= 1; --i) {
            p.setBrush(QColor(0, 0, 0, 10));
            p.drawRoundedRect(area.adjusted(-i, -i + 4, i, i + 4), 8 + i, 8 + i);
        }
    }

    // A frame with a title bar; gives the area inside it.
    QRectF frame(QPainter& p, const QRectF& area, const QString& title, bool dark) {
        shadow(p, area);
        p.setBrush(dark ? QColor(30, 31, 34) : QColor(250, 250, 251));
        p.drawRoundedRect(area, 8, 8);
        QLinearGradient bar(area.topLeft(), area.topLeft() + QPointF(0, 34));
        bar.setColorAt(0, dark ? QColor(60, 62, 68) : QColor(236, 236, 239));
        bar.setColorAt(1, dark ? QColor(46, 48, 52) : QColor(222, 223, 227));
        p.setBrush(bar);
        QPainterPath top;
        top.addRoundedRect(QRectF(area.x(), area.y(), area.width(), 34), 8, 8);
        p.drawPath(top);
        const QColor buttons[] = {QColor(237, 106, 94), QColor(245, 191, 79), QColor(98, 197, 84)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(buttons[i]);
            p.drawEllipse(QPointF(area.x() + 18 + i * 20, area.y() + 17), 6, 6);
        }
        const QFont f = font(sans_, 13, true);
        text(p, area.center().x() - advance(title, f) / 2, area.y() + 22, title, f,
             dark ? QColor(210, 210, 214) : QColor(50, 50, 56));
        return area.adjusted(0, 34, 0, 0);
    }

    void topBar(QPainter& p, double w) {
        p.fillRect(QRectF(0, 0, w, 28), QColor(22, 22, 26));
        const QFont f = font(sans_, 13);
        double x = 14;
        for (const char* item : {"Activities", "Files", "Edit", "View", "Go", "Help"}) {
            text(p, x, 19, QString::fromLatin1(item), f, QColor(230, 230, 230));
            x += advance(QString::fromLatin1(item), f) + 22;
        }
        const QString clock = QStringLiteral("Tue 14 Apr  09:41");
        text(p, w / 2 - advance(clock, f) / 2, 19, clock, font(sans_, 13, true),
             QColor(240, 240, 240));
        for (int i = 0; i < 5; ++i) {
            p.setBrush(QColor(200, 200, 205));
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(QRectF(w - 30 - i * 26, 7, 16, 14), 3, 3);
        }
    }

    void browser(QPainter& p, const QRectF& area) {
        const QRectF inside = frame(p, area, QStringLiteral("Travel notes - Web Browser"), false);
        // Tabs and the address bar.
        const QFont small = font(sans_, 12);
        for (int i = 0; i < 5; ++i) {
            const QRectF tab(inside.x() + 8 + i * 190, inside.y() + 4, 182, 28);
            p.setBrush(i == 1 ? QColor(255, 255, 255) : QColor(228, 229, 233));
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(tab, 6, 6);
            p.setBrush(QColor(random_.below(200), random_.below(200), random_.below(200)));
            p.drawEllipse(QRectF(tab.x() + 8, tab.y() + 8, 12, 12));
            text(p, tab.x() + 28, tab.y() + 19, words(3), small, QColor(40, 40, 46));
        }
        p.setBrush(QColor(240, 241, 244));
        p.drawRoundedRect(QRectF(inside.x() + 90, inside.y() + 38, inside.width() - 180, 26), 13,
                          13);
        text(p, inside.x() + 110, inside.y() + 56,
             QStringLiteral("https://www.example-travel.net/journal/2026/04/mountain-lakes"), small,
             QColor(60, 60, 66));
        article(p, inside.adjusted(0, 72, 0, 0), true);
    }

    // An article: a site header, then headings, paragraphs and (optionally)
    // photos in a column, a sidebar of linked stories beside it.
    void article(QPainter& p, const QRectF& area, bool photos) {
        p.save();
        p.setClipRect(area);
        p.fillRect(area, QColor(255, 255, 255));
        p.fillRect(QRectF(area.x(), area.y(), area.width(), 44), QColor(24, 64, 110));
        text(p, area.x() + 24, area.y() + 29, QStringLiteral("Field Journal"),
             font(serif_, 20, true), Qt::white);
        double navX = area.x() + 240;
        for (int i = 0; i < 5; ++i) {
            const QString item = words(1);
            text(p, navX, area.y() + 28, item, font(sans_, 13), QColor(210, 225, 240));
            navX += advance(item, font(sans_, 13)) + 24;
        }
        const double sidebar = std::min(300.0, area.width() * 0.28);
        const double left = area.x() + 32;
        const double right = area.right() - sidebar - 32;
        const QFont body = font(serif_, 15);
        const QFont heading = font(sans_, 24, true);
        double y = area.y() + 44;
        if (photos) {
            // The story's opening picture, across the column.
            const double height = (right - left + 64) * 0.42;
            photoIn(p, QRectF(area.x(), y, right - area.x() + 32, height));
            y += height;
        }
        y += 36;
        while (y < area.bottom()) {
            text(p, left, y, words(4 + random_.below(4)), heading, QColor(20, 20, 24));
            text(p, left, y + 24, words(5) + QStringLiteral(" - 6 min read"), font(sans_, 12),
                 QColor(120, 120, 128));
            y += 52;
            for (int paragraph = 0; paragraph < 2 + random_.below(3) && y < area.bottom();
                 ++paragraph) {
                y = paragraphAt(p, left, right, y, body);
            }
            if (photos && y < area.bottom()) {
                const double height = (right - left) * (0.35 + 0.2 * random_.unit());
                photoIn(p, QRectF(left, y, right - left, height));
                text(p, left, y + height + 18, words(8), font(sans_, 12), QColor(110, 110, 118));
                y += height + 36;
            }
        }
        // The sidebar: stories with a picture each.
        const double sx = area.right() - sidebar - 12;
        p.fillRect(QRectF(sx, area.y() + 44, sidebar + 12, area.height()), QColor(246, 247, 249));
        for (double sy = area.y() + 64; sy < area.bottom(); sy += 96) {
            if (photos) {
                photoIn(p, QRectF(sx + 12, sy, 96, 72));
            } else {
                p.fillRect(QRectF(sx + 12, sy, 96, 72), QColor(226, 230, 236));
            }
            const QFont f = font(sans_, 13, true);
            text(p, sx + 120, sy + 16, words(3), f, QColor(30, 30, 36));
            text(p, sx + 120, sy + 36, words(3), font(sans_, 12), QColor(90, 90, 98));
            text(p, sx + 120, sy + 54, words(2), font(sans_, 12), QColor(90, 90, 98));
        }
        p.restore();
    }

    // Words filling lines from `left` to `right`; gives the y after it.
    double paragraphAt(QPainter& p, double left, double right, double y, const QFont& f) {
        const int lines = 2 + random_.below(6);
        for (int line = 0; line < lines; ++line) {
            QString s;
            for (;;) {
                const QString longer = s.isEmpty() ? words(1) : s + QLatin1Char(' ') + words(1);
                if (advance(longer, f) > right - left) {
                    break;
                }
                s = longer;
            }
            if (line == lines - 1) {
                s = s.left(s.size() * (30 + random_.below(60)) / 100) + QLatin1Char('.');
            }
            text(p, left, y + 16, s, f, QColor(34, 34, 38));
            y += 23;
        }
        return y + 14;
    }

    void viewer(QPainter& p, const QRectF& area) {
        const QRectF inside = frame(p, area, QStringLiteral("IMG_2041.jpg - Photos"), true);
        photoIn(p,
                QRectF(inside.x() + 10, inside.y() + 8, inside.width() - 20, inside.height() - 92));
        for (int i = 0; i < 7; ++i) {
            const QRectF thumb(inside.x() + 12 + i * 84, inside.bottom() - 76, 76, 56);
            photoIn(p, thumb);
            if (i == 2) {
                p.setPen(QPen(QColor(80, 160, 255), 2));
                p.setBrush(Qt::NoBrush);
                p.drawRect(thumb);
            }
        }
        text(p, inside.x() + 12, inside.bottom() - 6,
             QStringLiteral("4032 x 3024   2.8 MB   f/1.8"), font(sans_, 11),
             QColor(170, 170, 176));
    }

    void editor(QPainter& p, const QRectF& area) {
        const QRectF inside = frame(p, area, QStringLiteral("ImageEncoding.cpp - Code"), true);
        const double tree = 200;
        p.fillRect(QRectF(inside.x(), inside.y(), tree, inside.height()), QColor(37, 38, 42));
        const QFont small = font(sans_, 12);
        for (double y = inside.y() + 22; y < inside.bottom(); y += 22) {
            const int depth = random_.below(3);
            p.fillRect(QRectF(inside.x() + 12 + depth * 12, y - 11, 12, 12),
                       QColor(90 + random_.below(120), 120, 160 + random_.below(80)));
            text(p, inside.x() + 30 + depth * 12, y, words(1) + QStringLiteral(".cpp"), small,
                 QColor(190, 190, 196));
        }
        static const QColor inks[] = {QColor(220, 220, 170), QColor(86, 156, 214),
                                      QColor(206, 145, 120), QColor(106, 153, 85),
                                      QColor(197, 134, 192), QColor(212, 212, 212)};
        const QFont code = font(mono_, 13);
        const QFont gutter = font(mono_, 12);
        int number = 1;
        for (double y = inside.y() + 20; y < inside.bottom(); y += 19, ++number) {
            text(p, inside.x() + tree + 8, y, QString::number(number).rightJustified(4), gutter,
                 QColor(110, 112, 120));
            if (random_.below(6) == 0) {
                continue;
            }
            double x = inside.x() + tree + 60 + 32 * random_.below(4);
            const int tokens = 2 + random_.below(7);
            for (int t = 0; t < tokens && x < inside.right() - 40; ++t) {
                QString token = words(1).toLower();
                if (random_.below(3) == 0) {
                    token += QStringLiteral("(");
                } else if (random_.below(4) == 0) {
                    token += QStringLiteral(";");
                }
                text(p, x, y, token, code, inks[random_.below(6)]);
                x += advance(token + QLatin1Char(' '), code);
            }
        }
    }

    void chat(QPainter& p, const QRectF& area) {
        const QRectF inside = frame(p, area, QStringLiteral("Team - Chat"), false);
        for (double y = inside.y() + 10; y + 50 < inside.bottom(); y += 58) {
            p.save();
            QPainterPath circle;
            circle.addEllipse(QRectF(inside.x() + 14, y, 40, 40));
            p.setClipPath(circle);
            photoIn(p, QRectF(inside.x() + 14, y, 40, 40));
            p.restore();
            text(p, inside.x() + 66, y + 14, words(2), font(sans_, 13, true), QColor(30, 30, 36));
            text(p, inside.x() + 66, y + 34, words(9), font(sans_, 13), QColor(70, 70, 78));
            text(p, inside.right() - 50, y + 14, QStringLiteral("09:%1").arg(random_.below(60)),
                 font(sans_, 11), QColor(140, 140, 148));
        }
    }

    void dock(QPainter& p, double w, double h) {
        const QRectF bar(w / 2 - 420, h - 52, 840, 48);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 30, 36, 170));
        p.drawRoundedRect(bar, 14, 14);
        for (int i = 0; i < 14; ++i) {
            const QRectF icon(bar.x() + 14 + i * 58, bar.y() + 6, 36, 36);
            QLinearGradient g(icon.topLeft(), icon.bottomLeft());
            const QColor c(40 + random_.below(200), 40 + random_.below(200),
                           40 + random_.below(200));
            g.setColorAt(0, c.lighter(130));
            g.setColorAt(1, c.darker(120));
            p.setBrush(g);
            p.drawRoundedRect(icon, 9, 9);
        }
    }

    double scale_;
    Random random_{0x9E3779B97F4A7C15ull};
    QString sans_, mono_, serif_;
};

} // namespace bench
