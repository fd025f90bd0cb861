// Stitching throughput: frames of a region scrolling steadily under a fixed
// toolbar and status bar, fed one by one as the capture thread would. Reports
// the time per frame and frames per second; the capture runs at up to 20
// frames a second.
#include "capture/scrolling/ScrollStitcher.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

using capture::ScrollStitcher;
using capture::stitching::PixelView;

namespace {

std::uint32_t next(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return static_cast<std::uint32_t>(z ^ (z >> 31));
}

enum class Content { noise, text };

// A page of `height` rows: pixel noise, or dark "words" on white lines with
// blank rows between them, which is the harder case for the shift search
// (many rows alike).
std::vector<std::uint32_t> page(int width, int height, Content content) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0xffffffffu);
    std::uint64_t state = 42;
    if (content == Content::noise) {
        for (auto& p : pixels) {
            p = 0xff000000u | (next(state) & 0xffffff);
        }
        return pixels;
    }
    const int lineHeight = 24;
    for (int top = 0; top + lineHeight <= height; top += lineHeight) {
        int x = 16 + static_cast<int>(next(state) % 32);
        while (x < width - 16) {
            const int word = 12 + static_cast<int>(next(state) % 80);
            for (int y = top + 6; y < top + 18; ++y) {
                for (int i = x; i < std::min(x + word, width - 16); ++i) {
                    const bool ink = (next(state) & 3) != 0;
                    pixels[static_cast<std::size_t>(y) * width + i] =
                        ink ? 0xff202020u : 0xffffffffu;
                }
            }
            x += word + 8;
        }
    }
    return pixels;
}

// Arguments: width, height, rows scrolled per frame, content.
void stitchFrames(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const int step = static_cast<int>(state.range(2));
    const auto content = static_cast<Content>(state.range(3));
    const int header = height / 12;
    const int footer = height / 30;
    const int body = height - header - footer;
    // A sequence that stays below the height limit, so that every frame
    // after the first is stitched.
    const int frames = std::min(60, (ScrollStitcher::maxHeight - height) / step + 1);
    const int pageHeight = body + step * frames;
    const std::vector<std::uint32_t> source = page(width, pageHeight, content);
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(width) * height);
    // Toolbar and status bar: flat grey.
    std::fill(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(header) * width,
              0xffe0e0e0u);
    std::fill(frame.end() - static_cast<std::ptrdiff_t>(footer) * width, frame.end(), 0xffd0d0d0u);
    const auto show = [&](int offset) {
        std::memcpy(frame.data() + static_cast<std::size_t>(header) * width,
                    source.data() + static_cast<std::size_t>(offset) * width,
                    static_cast<std::size_t>(body) * width * 4);
    };
    const PixelView view{reinterpret_cast<const std::uint8_t*>(frame.data()), width, height,
                         static_cast<std::ptrdiff_t>(width) * 4};

    auto stitcher = std::make_unique<ScrollStitcher>();
    int index = 0;
    std::int64_t appended = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (index == frames) {
            stitcher = std::make_unique<ScrollStitcher>();
            index = 0;
        }
        show(index * step);
        state.ResumeTiming();
        const ScrollStitcher::AddResult result = stitcher->add(view);
        appended += result.isAppended() ? 1 : 0;
        ++index;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["appended"] =
        benchmark::Counter(static_cast<double>(appended) / static_cast<double>(state.iterations()));
}

// A 1920 × 1080 region, a 2× 1920 × 1080 region; slow and fast scrolling.
BENCHMARK(stitchFrames)
    ->ArgNames({"width", "height", "step", "text"})
    ->Args({1920, 1080, 40, 0})
    ->Args({1920, 1080, 40, 1})
    ->Args({1920, 1080, 200, 1})
    ->Args({3840, 2160, 80, 0})
    ->Args({3840, 2160, 80, 1})
    ->Args({3840, 2160, 400, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A preview every quarter second of a stitch that has grown tall.
void previewOfTallStitch(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = 1080;
    const int step = 300;
    const std::vector<std::uint32_t> source = page(width, 24000, Content::text);
    ScrollStitcher stitcher;
    const auto at = [&](int offset) {
        return PixelView{reinterpret_cast<const std::uint8_t*>(
                             source.data() + static_cast<std::size_t>(offset) * width),
                         width, height, static_cast<std::ptrdiff_t>(width) * 4};
    };
    int offset = 0;
    stitcher.add(at(0));
    while (offset + step + height <= 24000 - 2 * step && stitcher.height() < 20000) {
        offset += step;
        stitcher.add(at(offset));
    }
    stitcher.preview();
    for (auto _ : state) {
        state.PauseTiming();
        offset += 1;
        stitcher.add(at(offset));
        state.ResumeTiming();
        benchmark::DoNotOptimize(stitcher.preview());
    }
    state.counters["height"] = stitcher.height();
}
BENCHMARK(previewOfTallStitch)->Arg(1920)->Unit(benchmark::kMillisecond);

// The final picture at full size.
void composeTallStitch(benchmark::State& state) {
    const int width = 1920;
    const int height = 1080;
    const std::vector<std::uint32_t> source = page(width, 12000, Content::noise);
    ScrollStitcher stitcher;
    for (int offset = 0; offset + height <= 12000; offset += 500) {
        stitcher.add(PixelView{reinterpret_cast<const std::uint8_t*>(
                                   source.data() + static_cast<std::size_t>(offset) * width),
                               width, height, static_cast<std::ptrdiff_t>(width) * 4});
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(stitcher.compose(1));
    }
    state.counters["height"] = stitcher.height();
}
BENCHMARK(composeTallStitch)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
