#pragma once

#include "annotation/ImageSources.h"

#include <map>
#include <memory>

namespace editor {

// The image a shrunken canvas draws from. A capture far larger than the view
// (a 5K screen in a laptop's window) would be resampled from all its pixels on
// every repaint, and shimmer where fine detail falls between the samples;
// instead the canvas draws from a copy halved as many times as the view's
// density allows. Each halving is made once, from the one before, and kept
// (together they take a third of the capture's memory), with its own
// pixelated and blurred copies. Every copy keeps the image's size in points
// across its width and reaches at least as far down, so the layout and the
// marks are unchanged and the frame's clip trims the rest.
class DisplaySources {
public:
    explicit DisplaySources(annotation::ImageSources& original);
    ~DisplaySources();

    // The sources to draw with at this many device pixels per image point.
    annotation::ImageSources& at(double devicePixelsPerPoint);
    // How many times the copy last handed out is halved (0: the original).
    int level() const { return level_; }

private:
    annotation::ImageSources& original_;
    int level_ = 0;
    std::map<int, std::unique_ptr<annotation::ImageSources>> halved_;
};

} // namespace editor
