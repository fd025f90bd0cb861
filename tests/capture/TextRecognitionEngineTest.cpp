// Recognition through the real engines (Tesseract, ZXing) on drawn pictures.

#include "capture/text/TextRecognitionEngines.h"
#include "capture/text/TextRecognizer.h"

#include "TextRecognitionFixtures.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace TextRecognizer = capture::TextRecognizer;
using capture::TextRecognitionEngines;
using textfixtures::str;
using TextRecognizer::Output;
using TextRecognizer::Recognition;
using TextRecognizer::Recognized;

namespace {

Recognition performed(const QImage& picture, TextRecognitionEngines& engines) {
    TextRecognizer::Performed result = TextRecognizer::perform(picture, engines);
    if (const auto* failure = std::get_if<TextRecognizer::Failure>(&result)) {
        ADD_FAILURE() << failure->description.toStdString();
        return {};
    }
    return std::get<Recognition>(result);
}

TextRecognizer::Result recognizedOnMainThread(const QImage& picture, bool keepLineBreaks,
                                              TextRecognitionEngines& engines) {
    QFuture<TextRecognizer::Result> future =
        TextRecognizer::recognize(picture, keepLineBreaks, engines);
    // The text is built on the main thread, so its event loop must run.
    EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 60'000));
    return future.result();
}

class TextRecognitionEngineTest : public ::testing::Test {
protected:
    TextRecognitionEngines engines;
};

TEST_F(TextRecognitionEngineTest, ReadsScreenTextAtOneAndTwoPixelsPerPoint) {
    const QStringList lines{"Vexlin 2026 OCR", "The quick brown fox jumps over the lazy dog.",
                            "Total: $1,234.56 (paid)"};
    for (qreal scale : {1.0, 2.0}) {
        // Dark windows too: light grey on charcoal.
        for (bool dark : {false, true}) {
            const QImage picture =
                dark ? textfixtures::renderLines(lines, scale, 13, QColor(230, 230, 230),
                                                 QColor(30, 30, 30))
                     : textfixtures::renderLines(lines, scale);
            const Recognition recognition = performed(picture, engines);
            EXPECT_EQ(str(TextRecognizer::lines(recognition.fragments, true)),
                      str(lines.join('\n')))
                << "scale " << scale << (dark ? ", dark" : "");
            EXPECT_TRUE(recognition.codes.isEmpty());
        }
    }
}

TEST_F(TextRecognitionEngineTest, LineBreaksAreKeptOrJoinedOnTheMainThread) {
    const QStringList lines{"First line here", "Second line there"};
    const QImage picture = textfixtures::renderLines(lines, 2);
    for (bool keep : {true, false}) {
        const TextRecognizer::Result result = recognizedOnMainThread(picture, keep, engines);
        ASSERT_TRUE(std::holds_alternative<Recognized>(result));
        EXPECT_EQ(str(std::get<Recognized>(result).text), str(lines.join(keep ? '\n' : ' ')));
    }
}

TEST_F(TextRecognitionEngineTest, FragmentBoxesAreNormalisedFromTheLowerLeft) {
    const QImage line = textfixtures::renderLines({"Top line"}, 2);
    // The line in the upper left quarter of a larger white picture.
    const QImage picture =
        textfixtures::compose(QSize(line.width() * 2, line.height() * 4), {{QPoint(0, 0), line}});
    const Recognition recognition = performed(picture, engines);
    ASSERT_EQ(recognition.fragments.size(), 1u);
    const QRectF box = recognition.fragments.front().box;
    EXPECT_LT(box.right(), 0.5);
    EXPECT_GT(box.top(), 0.75);   // lower edge, from the bottom
    EXPECT_LT(box.bottom(), 1.0); // upper edge
}

TEST_F(TextRecognitionEngineTest, ACodeTakesPrecedenceOverText) {
    const QImage text = textfixtures::renderLines({"Scan this code for the page"}, 2);
    const QImage code = textfixtures::qrCode("https://example.org/x");
    const QImage picture = textfixtures::compose(
        QSize(std::max(text.width(), code.width()), text.height() + code.height()),
        {{QPoint(0, 0), text}, {QPoint(0, text.height()), code}});

    const TextRecognizer::Result result = recognizedOnMainThread(picture, true, engines);
    ASSERT_TRUE(std::holds_alternative<Recognized>(result));
    const Recognized& recognized = std::get<Recognized>(result);
    EXPECT_TRUE(recognized.text.contains(QStringLiteral("Scan this code")));
    EXPECT_EQ(str(recognized.codes), str(QStringList{"https://example.org/x"}));
    EXPECT_EQ(TextRecognizer::output(recognized.codes, recognized.text),
              Output::codes("https://example.org/x", true));
}

TEST_F(TextRecognitionEngineTest, QrCodesAreReadInReadingOrderAndDuplicatesCopiedOnce) {
    const QImage left = textfixtures::qrCode("left");
    const QImage right = textfixtures::qrCode("right");
    const QImage below = textfixtures::qrCode("below");
    const QImage picture = textfixtures::compose(
        QSize(700, 560),
        {{QPoint(380, 24), right}, {QPoint(20, 20), left}, {QPoint(200, 300), below}});
    EXPECT_EQ(str(performed(picture, engines).codes), str(QStringList{"left", "right", "below"}));

    const QImage twice =
        textfixtures::compose(QSize(700, 260), {{QPoint(20, 20), left}, {QPoint(380, 20), left}});
    const Recognition both = performed(twice, engines);
    EXPECT_EQ(str(both.codes), str(QStringList{"left", "left"}));
    EXPECT_EQ(TextRecognizer::output(both.codes, QString()), Output::codes("left", false));
}

TEST_F(TextRecognitionEngineTest, EachTwoDimensionalFamilyIsRead) {
    using ZXing::BarcodeFormat;
    const std::vector<std::tuple<BarcodeFormat, std::string, QSize>> cases{
        {BarcodeFormat::QRCode, "qr payload", QSize(200, 200)},
        {BarcodeFormat::Aztec, "aztec payload", QSize(160, 160)},
        {BarcodeFormat::DataMatrix, "matrix payload", QSize(160, 160)},
        {BarcodeFormat::PDF417, "stacked payload", QSize(360, 120)},
    };
    for (const auto& [format, payload, size] : cases) {
        const QImage code = textfixtures::renderCode(format, payload, size.width(), size.height());
        const QImage picture =
            textfixtures::compose(code.size() + QSize(120, 80), {{QPoint(40, 30), code}});
        EXPECT_EQ(str(performed(picture, engines).codes), "[" + payload + "]")
            << ZXing::ToString(format);
    }
}

TEST_F(TextRecognitionEngineTest, LinearBarcodesAreNotLookedFor) {
    const QImage barcode =
        textfixtures::renderCode(ZXing::BarcodeFormat::Code128, "CODE-128-PAYLOAD", 400, 100);
    const QImage caption = textfixtures::renderLines({"Order number"}, 2);
    const QImage picture = textfixtures::compose(
        QSize(std::max(barcode.width(), caption.width()), barcode.height() + caption.height()),
        {{QPoint(0, 0), caption}, {QPoint(0, caption.height()), barcode}});
    const Recognition recognition = performed(picture, engines);
    EXPECT_TRUE(recognition.codes.isEmpty());
    EXPECT_TRUE(TextRecognizer::lines(recognition.fragments, true)
                    .contains(QStringLiteral("Order number")));
}

TEST_F(TextRecognitionEngineTest, AnAllOneColourPictureHasNoTextAndIsNoError) {
    for (const QColor& colour : {QColor(Qt::white), QColor(Qt::black), QColor(90, 140, 200)}) {
        QImage plain(640, 400, QImage::Format_RGB32);
        plain.fill(colour);
        const TextRecognizer::Result result = recognizedOnMainThread(plain, true, engines);
        ASSERT_TRUE(std::holds_alternative<Recognized>(result)) << colour.name().toStdString();
        const Recognized& recognized = std::get<Recognized>(result);
        EXPECT_TRUE(recognized.codes.isEmpty());
        EXPECT_EQ(TextRecognizer::output(recognized.codes, recognized.text), Output::nothing())
            << colour.name().toStdString();
    }
}

TEST_F(TextRecognitionEngineTest, AnEmptyPictureIsAFailure) {
    const TextRecognizer::Performed result = TextRecognizer::perform(QImage(), engines);
    ASSERT_TRUE(std::holds_alternative<TextRecognizer::Failure>(result));
    EXPECT_FALSE(std::get<TextRecognizer::Failure>(result).description.isEmpty());
}

TEST_F(TextRecognitionEngineTest, MissingLanguageDataIsAFailureThatSaysWhatIsMissing) {
    QTemporaryDir empty;
    const QByteArray before = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", empty.path().toUtf8() + '/');
    const TextRecognizer::Performed result =
        TextRecognizer::perform(textfixtures::renderLines({"Unreadable"}, 2), engines);
    if (before.isEmpty()) {
        qunsetenv("TESSDATA_PREFIX");
    } else {
        qputenv("TESSDATA_PREFIX", before);
    }
    ASSERT_TRUE(std::holds_alternative<TextRecognizer::Failure>(result));
    EXPECT_TRUE(std::get<TextRecognizer::Failure>(result).description.contains(
        QStringLiteral("tesseract-ocr-eng")));
    EXPECT_EQ(engines.loadedCount(), 0);
}

TEST_F(TextRecognitionEngineTest, TheWarmUpLoadsOneEngineThatCapturesReuse) {
    EXPECT_EQ(TextRecognizer::warmUpPicture().size(), QSize(160, 48));
    TextRecognizer::warmUp(engines).waitForFinished();
    EXPECT_EQ(engines.loadedCount(), 1);
    EXPECT_EQ(engines.idleCount(), 1);

    for (int capture = 0; capture < 3; ++capture) {
        performed(textfixtures::renderLines({"Again and again"}, 2), engines);
    }
    EXPECT_EQ(engines.loadedCount(), 1);
    EXPECT_EQ(engines.idleCount(), 1);
}

// A program at rest holds no engine: one left idle goes after its lifetime,
// and the next capture loads a new one.
TEST(TextRecognitionEngineLifetime, IdleEnginesAreLetGoAndLoadedAgainWhenNeeded) {
    TextRecognitionEngines engines(std::chrono::milliseconds(50));
    TextRecognizer::warmUp(engines).waitForFinished();
    EXPECT_EQ(engines.idleCount(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return engines.idleCount() == 0; }, 10'000));

    const Recognition recognition =
        performed(textfixtures::renderLines({"Loaded again"}, 2), engines);
    EXPECT_EQ(str(TextRecognizer::lines(recognition.fragments, true)),
              str(QStringLiteral("Loaded again")));
    EXPECT_EQ(engines.loadedCount(), 2);
    EXPECT_EQ(engines.idleCount(), 1);
    engines.releaseIdle();
    EXPECT_EQ(engines.idleCount(), 0);
}

TEST_F(TextRecognitionEngineTest, ALargePageReadInBandsKeepsEveryLineInOrder) {
    QStringList lines;
    const QStringList words{"capture",   "screen", "region", "window", "record", "settings",
                            "clipboard", "image",  "folder", "editor", "arrow",  "pencil"};
    for (int i = 0; i < 64; ++i) {
        QStringList line;
        for (int w = 0; w < 11; ++w) {
            line.append(words[(i * 7 + w * 5) % words.size()]);
        }
        lines.append(line.join(' '));
    }
    const QImage picture = textfixtures::renderLines(lines, 1, 14);
    ASSERT_GT(qsizetype(picture.width()) * picture.height(), 800'000);

    const Recognition recognition = performed(picture, engines);
    EXPECT_EQ(str(TextRecognizer::lines(recognition.fragments, true)), str(lines.join('\n')));
    if (QThread::idealThreadCount() > 1) {
        EXPECT_GT(engines.loadedCount(), 1);
    }
    EXPECT_EQ(engines.idleCount(), engines.loadedCount());
}

TEST(TextRecognitionLanguages, EnglishFirstThenInstalledDetectedLanguages) {
    EXPECT_EQ(TextRecognitionEngines::languagesToLoad({"osd", "eng"}), QStringLiteral("eng"));
    EXPECT_EQ(TextRecognitionEngines::languagesToLoad({"deu", "eng", "fra", "osd", "lat"}),
              QStringLiteral("eng+fra+deu"));
    EXPECT_EQ(TextRecognitionEngines::languagesToLoad({"deu"}), QString());
}

} // namespace
