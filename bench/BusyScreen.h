#pragma once

#include <QImage>

#include <algorithm>
#include <array>
#include <cstdint>

namespace bench {

// A deterministic stand-in for a full desktop as people screenshot it: a
// photographic wallpaper, overlapping windows with gradient title bars,
// toolbars of small icons, sidebars, pages of anti-aliased text with colour
// fringes, photos on web pages and a dark code editor with coloured tokens. Busy enough that the
// encoder has real work, regular enough (repeating glyphs, flat runs) that it compresses like a
// real screen.
class BusyScreen {
public:
    static QImage make(int width = 3840, int height = 2160) {
        BusyScreen screen(width, height);
        screen.wallpaper();
        // Windows cascade over the wallpaper and cover most of it, like a
        // working desktop; every third one is a dark code editor.
        const int columns = 3;
        const int cellWidth = width / columns;
        const int cellHeight = height / 2;
        for (int i = 0; i < 7; ++i) {
            const int x = (i % columns) * cellWidth + screen.random_.below(cellWidth / 6) - 40;
            const int y = (i / columns) * cellHeight / 1 + screen.random_.below(cellHeight / 5);
            const int w = cellWidth + screen.random_.below(cellWidth / 3);
            const int h = cellHeight + screen.random_.below(cellHeight / 3);
            screen.window(x, y, w, h, i % 3 == 1);
        }
        // A taskbar along the bottom edge.
        screen.verticalGradient(0, height - 56, width, 56, qRgb(40, 44, 52), qRgb(28, 30, 36));
        screen.icons(16, height - 48, width / 3, 40);
        return screen.image_;
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
    };

    static constexpr int glyphWidth = 8;
    static constexpr int glyphHeight = 16;
    static constexpr int glyphCount = 90;
    using Glyph = std::array<std::uint8_t, glyphWidth * glyphHeight>;

    BusyScreen(int width, int height) : image_(width, height, QImage::Format_RGB32) {
        // Each glyph: a few strokes between x-height and baseline, with
        // anti-aliased (partial coverage) edges as font rasterisers leave them.
        for (Glyph& g : glyphs_) {
            g.fill(0);
            const bool tall = random_.below(3) == 0;
            const int top = tall ? 2 : 6;
            const int strokes = 2 + random_.below(3);
            for (int s = 0; s < strokes; ++s) {
                const bool vertical = random_.below(2) == 0;
                const int at = vertical ? 1 + random_.below(5) : top + random_.below(12 - top);
                for (int t = vertical ? top : 1; t < (vertical ? 13 : 7); ++t) {
                    const int x = vertical ? at : t;
                    const int y = vertical ? t : at;
                    g[y * glyphWidth + x] = 255;
                    const int side = vertical ? y * glyphWidth + x + 1 : (y + 1) * glyphWidth + x;
                    g[side] = std::max<std::uint8_t>(g[side], 60 + random_.below(120));
                    // Sub-pixel rendering tints the edges: red on one side,
                    // blue on the other (stored as coverage above 255 - 32).
                    if (vertical && x > 0 && g[y * glyphWidth + x - 1] == 0) {
                        g[y * glyphWidth + x - 1] = 1 + random_.below(3);
                    }
                }
            }
        }
    }

    void wallpaper() {
        // A soft diagonal gradient with photographic grain.
        for (int y = 0; y < image_.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
            for (int x = 0; x < image_.width(); ++x) {
                const int grain = random_.below(9) - 4;
                const int r = 30 + (x * 90) / image_.width() + grain;
                const int g = 60 + (y * 100) / image_.height() + grain;
                const int b = 140 + ((x + y) * 80) / (image_.width() + image_.height()) + grain;
                row[x] = qRgb(r, g, b);
            }
        }
    }

    void window(int x, int y, int w, int h, bool dark) {
        const QRgb frame = dark ? qRgb(30, 31, 34) : qRgb(246, 246, 247);
        fill(x, y, w, h, frame);
        verticalGradient(x, y, w, 36, dark ? qRgb(58, 60, 66) : qRgb(232, 233, 236),
                         dark ? qRgb(44, 46, 50) : qRgb(214, 215, 219));
        text(x + 80, y + 10, w / 3, 18, 0, false);
        icons(x + 8, y + 40, w - 16, 32);
        const int sidebar = w / 5;
        fill(x, y + 76, sidebar, h - 76, dark ? qRgb(37, 38, 42) : qRgb(236, 238, 242));
        text(x + 12, y + 88, sidebar - 24, h - 100, dark ? qRgb(37, 38, 42) : qRgb(236, 238, 242),
             false);
        const QRgb page = dark ? qRgb(30, 31, 34) : qRgb(255, 255, 255);
        const int contentWidth = w - sidebar - 48;
        if (dark) {
            text(x + sidebar + 24, y + 92, contentWidth, h - 110, page, true);
            return;
        }
        // A web page: a photo across the top, text below, a picture beside it.
        const int photoHeight = (h - 110) / 2;
        photo(x + sidebar + 24, y + 92, contentWidth, photoHeight);
        text(x + sidebar + 24, y + 92 + photoHeight + 16, contentWidth / 2, h - photoHeight - 130,
             page, false);
        photo(x + sidebar + 48 + contentWidth / 2, y + 92 + photoHeight + 16, contentWidth / 2 - 24,
              h - photoHeight - 140);
    }

    // Smooth shapes of light with sensor noise: what a camera gives.
    void photo(int x, int y, int w, int h) {
        const int hue = random_.below(3);
        const int cx = x + random_.below(std::max(1, w));
        const int cy = y + random_.below(std::max(1, h));
        for (int j = std::max(0, y); j < std::min(image_.height(), y + h); ++j) {
            auto* row = reinterpret_cast<QRgb*>(image_.scanLine(j));
            for (int i = std::max(0, x); i < std::min(image_.width(), x + w); ++i) {
                const int dx = (i - cx) / 4;
                const int dy = (j - cy) / 4;
                const int light = 255 - std::min(255, (dx * dx + dy * dy) / 40);
                const int ripple = ((i * 7 + j * 3) / 23 + (i / 17) * (j / 29)) % 40;
                const int noise = random_.below(17) - 8;
                const int base = light / 2 + ripple + noise;
                const int channels[3] = {std::clamp(base + (hue == 0 ? 60 : 0), 0, 255),
                                         std::clamp(base + (hue == 1 ? 50 : 10), 0, 255),
                                         std::clamp(base + (hue == 2 ? 70 : 0), 0, 255)};
                row[i] = qRgb(channels[0], channels[1], channels[2]);
            }
        }
    }

    void fill(int x, int y, int w, int h, QRgb colour) {
        const QRect area = QRect(x, y, w, h) & image_.rect();
        for (int j = area.top(); j <= area.bottom(); ++j) {
            auto* row = reinterpret_cast<QRgb*>(image_.scanLine(j));
            std::fill(row + area.left(), row + area.right() + 1, colour);
        }
    }

    void verticalGradient(int x, int y, int w, int h, QRgb top, QRgb bottom) {
        for (int j = 0; j < h; ++j) {
            const auto mix = [&](int a, int b) { return a + (b - a) * j / std::max(1, h - 1); };
            fill(x, y + j, w, 1,
                 qRgb(mix(qRed(top), qRed(bottom)), mix(qGreen(top), qGreen(bottom)),
                      mix(qBlue(top), qBlue(bottom))));
        }
    }

    // Lines of words; code gets indentation and a palette of token colours.
    void text(int x, int y, int w, int h, QRgb background, bool code) {
        static constexpr QRgb codeInks[] = {qRgb(220, 220, 170), qRgb(86, 156, 214),
                                            qRgb(206, 145, 120), qRgb(106, 153, 85),
                                            qRgb(197, 134, 192), qRgb(212, 212, 212)};
        const bool darkPage = qGray(background) < 128 && background != 0;
        for (int line = y; line + glyphHeight <= y + h; line += glyphHeight + 6) {
            if (random_.below(7) == 0) {
                continue; // paragraph break
            }
            int pen = x + (code ? 4 * glyphWidth * random_.below(4) : 0);
            const int end = x + w - glyphWidth * (code ? random_.below(w / glyphWidth / 2 + 1) : 2);
            while (pen + glyphWidth < end) {
                const int letters = 2 + random_.below(9);
                const QRgb ink = code ? codeInks[random_.below(6)]
                                      : (darkPage ? qRgb(210, 210, 210) : qRgb(34, 34, 38));
                for (int i = 0; i < letters && pen + glyphWidth < end; ++i) {
                    // Letter frequencies are skewed, as in any language.
                    const int index =
                        std::min(random_.below(glyphCount), random_.below(glyphCount));
                    glyph(pen, line, glyphs_[static_cast<std::size_t>(index)], ink);
                    pen += glyphWidth;
                }
                pen += glyphWidth;
            }
        }
    }

    void icons(int x, int y, int w, int h) {
        for (int pen = x; pen + h <= x + w; pen += h + 12) {
            const QRgb colour =
                qRgb(random_.below(200) + 30, random_.below(200) + 30, random_.below(200) + 30);
            const int size = h - 8;
            for (int j = 0; j < size; ++j) {
                for (int i = 0; i < size; ++i) {
                    // Rounded squares with a shaded face.
                    const int dx = std::min(i, size - 1 - i);
                    const int dy = std::min(j, size - 1 - j);
                    if (dx + dy < 4) {
                        continue;
                    }
                    const int shade = 20 * j / size;
                    setPixel(pen + 4 + i, y + 4 + j,
                             qRgb(std::max(0, qRed(colour) - shade),
                                  std::max(0, qGreen(colour) - shade),
                                  std::max(0, qBlue(colour) - shade)));
                }
            }
            if (random_.below(3) == 0) {
                pen += h; // a gap between groups of tools
            }
        }
    }

    void glyph(int x, int y, const Glyph& g, QRgb ink) {
        for (int j = 0; j < glyphHeight; ++j) {
            for (int i = 0; i < glyphWidth; ++i) {
                const int coverage = g[static_cast<std::size_t>(j * glyphWidth + i)];
                if (coverage == 0 || !image_.rect().contains(x + i, y + j)) {
                    continue;
                }
                const QRgb under = image_.pixel(x + i, y + j);
                // Small coverages mark a colour fringe: the channels differ.
                const bool fringe = coverage < 4;
                const auto blend = [&](int a, int b, int c) {
                    return (a * (255 - c) + b * c) / 255;
                };
                image_.setPixel(
                    x + i, y + j,
                    qRgb(blend(qRed(under), qRed(ink), fringe ? 140 : coverage),
                         blend(qGreen(under), qGreen(ink), fringe ? 60 * coverage : coverage),
                         blend(qBlue(under), qBlue(ink), fringe ? 20 : coverage)));
            }
        }
    }

    void setPixel(int x, int y, QRgb colour) {
        if (image_.rect().contains(x, y)) {
            image_.setPixel(x, y, colour);
        }
    }

    QImage image_;
    Random random_{0x9E3779B97F4A7C15ull};
    std::array<Glyph, glyphCount> glyphs_{};
};

} // namespace bench
