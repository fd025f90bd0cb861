#pragma once

#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace platform {

// What an animated GIF says about its playing: its canvas, the delay of each
// frame and how often it loops.
struct GifInfo {
    QSize size;
    // Centiseconds per frame, in order; none for a frame without a graphic
    // control block.
    std::vector<std::optional<int>> delays;
    // The NETSCAPE2.0 loop count (0: forever); none when the file has none,
    // which players take as playing once.
    std::optional<int> loopCount;

    // Nothing when the file cannot be read as a GIF.
    static std::optional<GifInfo> read(const QString& path);
};

} // namespace platform
