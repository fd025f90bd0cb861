#include "app/PasteboardCopy.h"

#include "support/TiffReading.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace app;

namespace {

// Every pixel its own, so a shifted or swapped channel shows.
QImage sample(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x % 256, y % 256, static_cast<int>(random.bounded(256))));
        }
    }
    return image;
}

QImage decodeTiff(const QByteArray& bytes) {
    const auto read = testsupport::readTiff(bytes);
    return read ? read->toImage() : QImage();
}

// Encoders that count their runs and hold every run until released, so a
// test sees the mime data while its encoding is under way. The state is
// shared with the encoders, which outlive the test in the workers' hands.
class HeldEncoders {
public:
    explicit HeldEncoders(PasteboardEncoders inner = PasteboardEncoders::standard())
        : state_(std::make_shared<State>()), inner_(std::move(inner)) {}
    ~HeldEncoders() { release(); }

    PasteboardEncoders encoders() const {
        PasteboardEncoders encoders;
        encoders.png = wrap(state_->png, inner_.png);
        encoders.tiff = wrap(state_->tiff, inner_.tiff);
        return encoders;
    }

    // Waits until `count` runs have begun; false when they do not come.
    bool waitForStarts(int count) const {
        std::unique_lock lock(state_->mutex);
        return state_->changed.wait_for(lock, std::chrono::seconds(10),
                                        [&] { return state_->started >= count; });
    }
    void release() {
        {
            const std::lock_guard lock(state_->mutex);
            state_->held = false;
        }
        state_->changed.notify_all();
    }
    int pngRuns() const { return state_->png; }
    int tiffRuns() const { return state_->tiff; }
    bool ranOnMainThread() const { return state_->onMainThread; }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool held = true;
        int started = 0;
        std::atomic<int> png{0};
        std::atomic<int> tiff{0};
        std::atomic<bool> onMainThread{false};
    };

    PasteboardEncoders::Encode wrap(std::atomic<int>& runs,
                                    const PasteboardEncoders::Encode& inner) const {
        return [state = state_, &runs, inner](const QImage& image, double scale) {
            ++runs;
            if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
                state->onMainThread = true;
            }
            {
                std::unique_lock lock(state->mutex);
                ++state->started;
                state->changed.notify_all();
                state->changed.wait(lock, [&] { return !state->held; });
            }
            return inner(image, scale);
        };
    }

    std::shared_ptr<State> state_;
    PasteboardEncoders inner_;
};

PasteboardEncoders fixedEncoders(std::optional<QByteArray> png, std::optional<QByteArray> tiff) {
    PasteboardEncoders encoders;
    encoders.png = [png](const QImage&, double) { return png; };
    encoders.tiff = [tiff](const QImage&, double) { return tiff; };
    return encoders;
}

} // namespace

TEST(PasteboardMimeData, ListsItsFormsBeforeTheEncodingEnds) {
    struct Case {
        const char* name;
        QImage image;
        std::optional<QString> file;
        QStringList formats;
        int encodings; // begun at once, off the main thread: the PNG alone
    };
    // Past the TIFF limit in one bit a pixel, to keep the fixture small.
    const QImage tall(5001, 8000, QImage::Format_Mono);
    const Case cases[] = {
        {"file and image",
         sample(40, 30),
         QStringLiteral("/tmp/a.png"),
         {"text/uri-list", "image/png", "image/tiff"},
         1},
        {"image alone", sample(40, 30), std::nullopt, {"image/png", "image/tiff"}, 1},
        {"above the TIFF limit", tall, std::nullopt, {"image/png"}, 1},
        {"null image", QImage(), QStringLiteral("/tmp/x.png"), {"text/uri-list"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeldEncoders held(fixedEncoders(QByteArray("png"), QByteArray("tiff")));
        const PasteboardMimeData mime(c.image, c.file, 1.0, std::nullopt, held.encoders());
        ASSERT_TRUE(held.waitForStarts(c.encodings));
        EXPECT_EQ(c.formats, mime.formats());
        EXPECT_TRUE(mime.hasFormat(c.formats.last()));
        EXPECT_FALSE(mime.hasFormat(QStringLiteral("text/plain")));
        EXPECT_FALSE(mime.hasImage());
        EXPECT_FALSE(held.ranOnMainThread());
        held.release();
        if (c.formats.contains("image/png")) {
            EXPECT_EQ("png", mime.data("image/png"));
        }
    }
}

TEST(PasteboardMimeData, GivesTheFileUrlAndThePixelsAsPngAndTiff) {
    const QImage image = sample(130, 70);
    const PasteboardMimeData mime(image, QStringLiteral("/tmp/a b.png"), 2.0);
    EXPECT_EQ(QList<QUrl>({QUrl::fromLocalFile("/tmp/a b.png")}), mime.urls());
    EXPECT_EQ("file:///tmp/a%20b.png", mime.data("text/uri-list").trimmed());

    const QImage png = QImage::fromData(mime.data("image/png"), "PNG");
    EXPECT_EQ(image, png.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(144, qRound(png.dotsPerMeterX() * 0.0254));
    const QByteArray tiff = mime.data("image/tiff");
    EXPECT_TRUE(tiff.startsWith(QByteArray("II*\0", 4)));
    EXPECT_EQ(image, decodeTiff(tiff));
}

TEST(PasteboardMimeData, EncodesEachFormOnceHoweverOftenItIsAskedFor) {
    const QImage image = sample(64, 48);
    HeldEncoders held;
    const PasteboardMimeData mime(image, std::nullopt, 1.0, std::nullopt, held.encoders());
    ASSERT_TRUE(held.waitForStarts(1));
    // Askers from other threads and the main thread wait for the encoding
    // that is under way.
    QByteArray fromThreads[2];
    {
        std::jthread first([&] { fromThreads[0] = mime.data("image/png"); });
        std::jthread second([&] { fromThreads[1] = mime.data("image/png"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        held.release();
    }
    const QByteArray again = mime.data("image/png");
    EXPECT_EQ(image, QImage::fromData(again, "PNG").convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(again, fromThreads[0]);
    EXPECT_EQ(again, fromThreads[1]);
    EXPECT_EQ(mime.data("image/tiff"), mime.data("image/tiff"));
    EXPECT_EQ(image, decodeTiff(mime.data("image/tiff")));
    EXPECT_EQ(1, held.pngRuns());
    EXPECT_EQ(1, held.tiffRuns());
}

TEST(PasteboardMimeData, ReusesAGivenPng) {
    const QImage image = sample(20, 10);
    const QByteArray given = *PasteboardEncoders::standard().png(image, 1.0);
    HeldEncoders held;
    held.release();
    const PasteboardMimeData mime(image, std::nullopt, 1.0, given, held.encoders());
    EXPECT_EQ(given, mime.data("image/png"));
    EXPECT_EQ(image, decodeTiff(mime.data("image/tiff")));
    EXPECT_EQ(0, held.pngRuns());
    EXPECT_EQ(1, held.tiffRuns());
}

TEST(PasteboardMimeData, AFormThatCannotBeMadeStaysListedAndEmpty) {
    const QImage image = sample(8, 8);
    const QByteArray png = *PasteboardEncoders::standard().png(image, 1.0);
    struct Case {
        const char* name;
        std::optional<QByteArray> png;
        std::optional<QByteArray> tiff;
        QByteArray expectedPng;
        QByteArray expectedTiff;
    };
    const Case cases[] = {
        // The TIFF is made from the PNG, so it goes with it.
        {"no PNG", std::nullopt, QByteArray("tiff"), {}, {}},
        {"a PNG that does not decode", QByteArray("png"), QByteArray("tiff"), "png", {}},
        {"no TIFF", png, std::nullopt, png, {}},
        {"both", png, QByteArray("tiff"), png, "tiff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PasteboardMimeData mime(image, std::nullopt, 1.0, std::nullopt,
                                      fixedEncoders(c.png, c.tiff));
        EXPECT_EQ(QStringList({"image/png", "image/tiff"}), mime.formats());
        EXPECT_EQ(c.expectedPng, mime.data("image/png"));
        EXPECT_EQ(c.expectedTiff, mime.data("image/tiff"));
    }
}

// A copy left on the clipboard holds its PNG alone: not the picture, and no
// TIFF until a paste asks for one.
TEST(PasteboardMimeData, HoldsOnlyThePngUntilATiffIsAskedFor) {
    QImage image = sample(64, 48);
    HeldEncoders held;
    held.release();
    const PasteboardMimeData mime(image, std::nullopt, 2.0, std::nullopt, held.encoders());
    EXPECT_FALSE(mime.data("image/png").isEmpty());
    EXPECT_TRUE(image.isDetached()) << "the copy still holds the picture";
    EXPECT_EQ(0, held.tiffRuns());
    const QByteArray tiff = mime.data("image/tiff");
    EXPECT_EQ(image, decodeTiff(tiff));
    EXPECT_EQ(1, held.tiffRuns());
}

TEST(PasteboardMimeData, LeavesTiffOutAboveFortyMillionPixels) {
    EXPECT_TRUE(copiesAsTiff(QSize(5000, 8000)));
    EXPECT_TRUE(copiesAsTiff(QSize(40'000'000, 1)));
    EXPECT_FALSE(copiesAsTiff(QSize(40'000'001, 1)));
    EXPECT_FALSE(copiesAsTiff(QSize(5001, 8000)));
    // Large sides whose product overflows 32 bits.
    EXPECT_FALSE(copiesAsTiff(QSize(70000, 70000)));
}

TEST(CopyImageToPasteboard, TakesTheClipboardAtOnceAndTheNewestCopyWins) {
    QSignalSpy copied(&PasteboardWriter::shared(), &PasteboardWriter::copied);
    copyImageToPasteboard(sample(1200, 900), std::nullopt, 1.0);
    // No event loop between the copy and the look: the clipboard is taken at once.
    const QPointer<QMimeData> first =
        const_cast<QMimeData*>(QGuiApplication::clipboard()->mimeData());
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(1, copied.count());

    const QImage green = sample(20, 10);
    copyImageToPasteboard(green, QStringLiteral("/tmp/green.png"), 1.0);
    EXPECT_EQ(2, copied.count());
    // The clipboard owns what it was given and lets the replaced copy go.
    EXPECT_TRUE(first.isNull());
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(nullptr, mime);
    EXPECT_EQ(QList<QUrl>({QUrl::fromLocalFile("/tmp/green.png")}), mime->urls());
    EXPECT_EQ(
        green,
        QImage::fromData(mime->data("image/png"), "PNG").convertToFormat(QImage::Format_RGB32));
}
