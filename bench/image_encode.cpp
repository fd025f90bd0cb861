// Encoding a busy 4K screenshot: our PNG writer (all cores, then one and two
// threads to show the scaling), Qt's own PNG writer for reference, and JPEG at
// the quality captures use. bench/run.sh sets these beside ImageMagick.
//
// Extra flags before the benchmark's own:
//   --write-image=FILE   writes the test image as binary PPM and exits
//   --write-png=FILE     writes our PNG of it and exits
//   --write-jpeg=FILE    writes our JPEG of it and exits
#include "BusyScreen.h"

#include "platform/JpegEncoder.h"
#include "platform/PngEncoder.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const QImage& busyScreen() {
    static const QImage image = bench::BusyScreen::make();
    return image;
}

constexpr int dotsPerMeter144 = 5669; // 144 dpi, a scale-2 screen

void encodePng(benchmark::State& state, platform::PngEncoder::Options options) {
    options.dotsPerMeter = dotsPerMeter144;
    options.maxThreads = static_cast<unsigned>(state.range(0));
    qsizetype size = 0;
    for (auto _ : state) {
        const auto png = platform::PngEncoder::encode(busyScreen(), options);
        if (!png) {
            state.SkipWithError("encoding failed");
            return;
        }
        size = png->size();
        benchmark::DoNotOptimize(png->constData());
    }
    state.counters["bytes"] = static_cast<double>(size);
}

void BM_Png(benchmark::State& state) {
    encodePng(state, {});
}
// 0 = one thread per core.
BENCHMARK(BM_Png)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PngLevel(benchmark::State& state) {
    platform::PngEncoder::Options options;
    options.compressionLevel = static_cast<int>(state.range(1));
    encodePng(state, options);
}
BENCHMARK(BM_PngLevel)
    ->ArgsProduct({{0}, {1, 2, 4, 6}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_PngZlib(benchmark::State& state) {
    platform::PngEncoder::Options options;
    options.deflater = platform::PngEncoder::Deflater::zlib;
    options.compressionLevel = static_cast<int>(state.range(1));
    encodePng(state, options);
}
BENCHMARK(BM_PngZlib)->ArgsProduct({{0}, {1, 3}})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PngFilter(benchmark::State& state) {
    platform::PngEncoder::Options options;
    options.filter = static_cast<platform::png::Filter>(state.range(1));
    encodePng(state, options);
}
BENCHMARK(BM_PngFilter)
    ->ArgsProduct({{1}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_QtPng(benchmark::State& state) {
    qsizetype size = 0;
    for (auto _ : state) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.write(busyScreen());
        size = bytes.size();
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_QtPng)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_Jpeg(benchmark::State& state) {
    qsizetype size = 0;
    for (auto _ : state) {
        const auto jpeg = platform::JpegEncoder::encode(busyScreen(), 90, dotsPerMeter144);
        if (!jpeg) {
            state.SkipWithError("encoding failed");
            return;
        }
        size = jpeg->size();
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_Jpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

bool writeFile(const char* path, const QByteArray& bytes) {
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray portablePixmap(const QImage& image) {
    QByteArray bytes = "P6\n" + QByteArray::number(image.width()) + ' ' +
                       QByteArray::number(image.height()) + "\n255\n";
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y) {
        bytes.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    return bytes;
}

// Handles one of the --write-… flags; gives the exit status, or -1 for none.
int writeRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* flag) -> const char* {
            const std::size_t length = std::strlen(flag);
            return arg.compare(0, length, flag) == 0 ? argv[i] + length : nullptr;
        };
        if (const char* path = value("--write-image=")) {
            return writeFile(path, portablePixmap(busyScreen())) ? 0 : 1;
        }
        if (const char* path = value("--write-png=")) {
            platform::PngEncoder::Options options;
            options.dotsPerMeter = dotsPerMeter144;
            const auto png = platform::PngEncoder::encode(busyScreen(), options);
            return png && writeFile(path, *png) ? 0 : 1;
        }
        if (const char* path = value("--write-jpeg=")) {
            const auto jpeg = platform::JpegEncoder::encode(busyScreen(), 90, dotsPerMeter144);
            return jpeg && writeFile(path, *jpeg) ? 0 : 1;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (const int status = writeRequested(argc, argv); status >= 0) {
        return status;
    }
    busyScreen(); // made once, before any timing
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
