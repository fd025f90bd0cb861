// Encoding a busy 4K screenshot. As one process (what bench/run.sh times
// beside ImageMagick, which also runs as one):
//   image_encode --write-image=FILE [W H]     writes the test screen as binary PPM
//                                             (3840 × 2160 unless W and H given)
//   image_encode --encode-png IN.ppm OUT [THREADS]
//   image_encode --encode-jpeg IN.ppm OUT     reads the PPM, encodes it as a
//                                             capture is encoded, writes OUT
//   image_encode --in-memory [ROUNDS]         ours against libpng (what
//                                             ImageMagick writes PNG with) in
//                                             this process, warm, interleaved
// Otherwise Google Benchmark, in memory: our PNG writer's threads, levels,
// deflaters and filters, Qt's own PNG writer and JPEG, for tuning our side.
#include "BusyScreen.h"
#include "Interleave.h"
#include "Ppm.h"

#include "platform/JpegEncoder.h"
#include "platform/PngEncoder.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>

#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
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

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

// libpng as ImageMagick drives it: 8-bit RGB, every filter tried per row
// (adaptive), the given zlib level.
QByteArray encodeWithLibpng(const QImage& image, int level) {
    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &bytes, appendBytes, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, dotsPerMeter144, dotsPerMeter144, PNG_RESOLUTION_METER);
    png_set_compression_level(png, level);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_write_info(png, info);
    // RGB32 rows are B, G, R, X bytes on a little-endian machine.
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int y = 0; y < image.height(); ++y) {
        png_write_row(png, const_cast<png_bytep>(image.constScanLine(y)));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

int inMemory(int rounds) {
    const QImage& image = busyScreen();
    qsizetype ours = 0, level7 = 0, level1 = 0;
    const auto oursWith = [&](unsigned threads) {
        return [&image, &ours, threads] {
            return bench::measure([&] {
                platform::PngEncoder::Options options;
                options.dotsPerMeter = dotsPerMeter144;
                options.maxThreads = threads;
                ours = platform::PngEncoder::encode(image, options).value_or(QByteArray()).size();
            });
        };
    };
    const auto libpng = [&image](int level, qsizetype& size) {
        return [&image, level, &size] {
            return bench::measure([&] { size = encodeWithLibpng(image, level).size(); });
        };
    };
    std::printf("Busy 3840x2160 desktop, PNG encoded in memory by warm encoders in one process\n");
    bench::printResults(
        bench::interleave({{"ours, all cores", oursWith(0)},
                           {"ours, 1 thread", oursWith(1)},
                           {"libpng, zlib level 7 (ImageMagick's default)", libpng(7, level7)},
                           {"libpng, zlib level 1", libpng(1, level1)}},
                          rounds),
        rounds);
    std::printf("bytes: ours %lld, libpng level 7 %lld (ours %.3fx), level 1 %lld (ours %.3fx)\n",
                static_cast<long long>(ours), static_cast<long long>(level7),
                double(ours) / double(std::max<qsizetype>(1, level7)),
                static_cast<long long>(level1),
                double(ours) / double(std::max<qsizetype>(1, level1)));
    return ours > 0 && level7 > 0 && level1 > 0 ? 0 : 1;
}

// Handles the one-process modes; gives the exit status, or -1 for none.
int oneProcessMode(int argc, char** argv) {
    if (argc < 2) {
        return -1;
    }
    const std::string mode = argv[1];
    if (mode.rfind("--write-image=", 0) == 0) {
        const QImage image = argc == 4
                                 ? bench::BusyScreen::make(std::atoi(argv[2]), std::atoi(argv[3]))
                                 : busyScreen();
        return bench::writeFile(QString::fromLocal8Bit(argv[1] + std::strlen("--write-image=")),
                                bench::portablePixmap(image))
                   ? 0
                   : 1;
    }
    if (mode == "--in-memory") {
        return inMemory(argc > 2 ? std::max(1, std::atoi(argv[2])) : 9);
    }
    if (mode != "--encode-png" && mode != "--encode-jpeg") {
        return -1;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: image_encode %s IN.ppm OUT [THREADS]\n", mode.c_str());
        return 2;
    }
    const QImage image = bench::readPortablePixmap(QString::fromLocal8Bit(argv[2]));
    if (image.isNull()) {
        std::fprintf(stderr, "image_encode: cannot read %s as binary PPM\n", argv[2]);
        return 1;
    }
    std::optional<QByteArray> bytes;
    if (mode == "--encode-png") {
        platform::PngEncoder::Options options;
        options.dotsPerMeter = dotsPerMeter144;
        options.maxThreads = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 0;
        bytes = platform::PngEncoder::encode(image, options);
    } else {
        bytes = platform::JpegEncoder::encode(image, 90, dotsPerMeter144);
    }
    return bytes && bench::writeFile(QString::fromLocal8Bit(argv[3]), *bytes) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The encoders need no application object; the test screen's fonts do.
    if (argc > 1 && std::strncmp(argv[1], "--encode", 8) == 0) {
        return oneProcessMode(argc, argv);
    }
    QGuiApplication app(argc, argv);
    if (const int status = oneProcessMode(argc, argv); status >= 0) {
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
