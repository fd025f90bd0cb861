#include "capture/text/TextRecognizer.h"
#include "capture/text/TextCaptureNotice.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

namespace TextRecognizer = capture::TextRecognizer;
using capture::TextCaptureNotice;
using TextRecognizer::DetectedCode;
using TextRecognizer::Fragment;
using TextRecognizer::Output;

namespace {

Fragment fragment(const char* text, qreal x, qreal y, qreal width = 0.2, qreal height = 0.1) {
    return {QString::fromUtf8(text), QRectF(x, y, width, height)};
}

// --- Lines -----------------------------------------------------------------

TEST(TextRecognizerLines, TwoWordsReportedRightToLeftReadLeftToRight) {
    EXPECT_EQ(
        TextRecognizer::lines({fragment("world", 0.5, 0.5), fragment("Hello", 0.1, 0.5)}, true),
        QStringLiteral("Hello world"));
}

TEST(TextRecognizerLines, LinesRunFromTheTopOfThePictureDown) {
    // Larger y lies higher up; the engine's order is bottom first here.
    const std::vector<Fragment> fragments{fragment("third", 0.1, 0.1), fragment("first", 0.1, 0.8),
                                          fragment("second", 0.1, 0.45)};
    EXPECT_EQ(TextRecognizer::lines(fragments, true), QStringLiteral("first\nsecond\nthird"));
    EXPECT_EQ(TextRecognizer::lines(fragments, false), QStringLiteral("first second third"));
}

TEST(TextRecognizerLines, ExactlyHalfTheSmallerHeightApartOpensANewLine) {
    // Mid-y values 0.625 and 0.5, heights 0.25 and 0.5: 0.125 is not below
    // half of 0.25.
    const std::vector<Fragment> apart{fragment("a", 0.1, 0.5, 0.2, 0.25),
                                      fragment("b", 0.4, 0.25, 0.2, 0.5)};
    EXPECT_EQ(TextRecognizer::lines(apart, true), QStringLiteral("a\nb"));
    const std::vector<Fragment> closer{fragment("a", 0.1, 0.5, 0.2, 0.25),
                                       fragment("b", 0.4, 0.26, 0.2, 0.5)};
    EXPECT_EQ(TextRecognizer::lines(closer, true), QStringLiteral("a b"));
}

TEST(TextRecognizerLines, AFragmentIsComparedWithEachLinesFirstFragmentNewestLineFirst) {
    // "c" lies near "b" (a later member of the first line) but not near "a",
    // which opened it: it opens a line of its own.
    const std::vector<Fragment> chain{fragment("a", 0.1, 0.60, 0.2, 0.1),
                                      fragment("b", 0.4, 0.56, 0.2, 0.1),
                                      fragment("c", 0.7, 0.52, 0.2, 0.1)};
    EXPECT_EQ(TextRecognizer::lines(chain, true), QStringLiteral("a b\nc"));

    // "d" lies within reach of both lines' first fragments; the newer line
    // ("m") takes it.
    const std::vector<Fragment> both{fragment("t", 0.1, 0.55, 0.2, 0.3),
                                     fragment("m", 0.1, 0.55, 0.2, 0.1),
                                     fragment("d", 0.5, 0.43, 0.2, 0.3)};
    EXPECT_EQ(TextRecognizer::lines(both, true), QStringLiteral("t\nm d"));
}

TEST(TextRecognizerLines, TextsStayAsRecognisedAndEmptyFragmentsKeepTheirSeparator) {
    const std::vector<Fragment> fragments{fragment(" padded ", 0.1, 0.8), fragment("", 0.5, 0.8),
                                          fragment("end", 0.1, 0.2)};
    EXPECT_EQ(TextRecognizer::lines(fragments, true), QStringLiteral(" padded  \nend"));
    EXPECT_EQ(TextRecognizer::lines({}, true), QString());
}

// --- Codes -----------------------------------------------------------------

TEST(TextRecognizerCodes, NearlySameHeightLeftToRightOtherwiseTopToBottom) {
    std::vector<DetectedCode> codes{
        {QStringLiteral("low"), QRectF(0.1, 0.1, 0.1, 0.1)},
        {QStringLiteral("top right"), QRectF(0.6, 0.715, 0.1, 0.1)},
        {QStringLiteral("top left"), QRectF(0.1, 0.70, 0.1, 0.1)},
        {std::nullopt, QRectF(0.3, 0.9, 0.1, 0.1)},
        {QStringLiteral("middle"), QRectF(0.4, 0.4, 0.1, 0.1)},
    };
    EXPECT_EQ(TextRecognizer::orderedPayloads(codes),
              (QStringList{"top left", "top right", "middle", "low"}));
    // 0.021 apart in height: top to bottom, whatever lies left.
    codes = {{QStringLiteral("lower left"), QRectF(0.1, 0.50, 0.1, 0.1)},
             {QStringLiteral("upper right"), QRectF(0.6, 0.521, 0.1, 0.1)}};
    EXPECT_EQ(TextRecognizer::orderedPayloads(codes), (QStringList{"upper right", "lower left"}));
}

// --- What to copy -----------------------------------------------------------

struct OutputCase {
    const char* name;
    QStringList codes;
    QString text;
    Output expected;
};

class TextRecognizerOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(TextRecognizerOutput, Decides) {
    EXPECT_EQ(TextRecognizer::output(GetParam().codes, GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextRecognizerOutput,
    ::testing::Values(
        OutputCase{"CodeWinsOverText", {"payload"}, "some text", Output::codes("payload", false)},
        OutputCase{"DuplicateCodesGiveOnePayload",
                   {"https://example.org/x", "https://example.org/x"},
                   "",
                   Output::codes("https://example.org/x", true)},
        OutputCase{"BlankCodeIsIgnoredAndTextUsed", {"   "}, "read me", Output::text("read me")},
        OutputCase{"UpperCaseSchemeWithSpacesIsALinkCopiedWithItsSpaces",
                   {"  HTTPS://Example.org/a  "},
                   "",
                   Output::codes("  HTTPS://Example.org/a  ", true)},
        OutputCase{"NoHostIsNoLink", {"http:///path"}, "", Output::codes("http:///path", false)},
        OutputCase{"SpaceInsideIsNoLink",
                   {"https://example.org/a b"},
                   "",
                   Output::codes("https://example.org/a b", false)},
        OutputCase{"MailIsNoLink",
                   {"mailto:someone@example.org"},
                   "",
                   Output::codes("mailto:someone@example.org", false)},
        OutputCase{"FileTransferIsNoLink",
                   {"ftp://example.org/file"},
                   "",
                   Output::codes("ftp://example.org/file", false)},
        OutputCase{"TwoLinksAreJoinedAndNoLink",
                   {"https://a.example", "https://b.example"},
                   "",
                   Output::codes("https://a.example\nhttps://b.example", false)},
        OutputCase{"DuplicatesCompareUntrimmed", {"a", " a"}, "", Output::codes("a\n a", false)},
        OutputCase{"BlankTextIsNothing", {}, " \n \n", Output::nothing()},
        OutputCase{"TextIsCopiedUntrimmed",
                   {},
                   " line one\nline two ",
                   Output::text(" line one\nline two ")}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Toasts and clipboard ---------------------------------------------------

TEST(TextCaptureNoticeTest, PreviewIsOneLineCutAfterNinetyCharacters) {
    const QString ninety = QString(45, QLatin1Char('a')) + QLatin1Char('\n') + QString(44, 'b');
    EXPECT_EQ(TextCaptureNotice::preview(ninety), QString(ninety).replace('\n', ' '));
    const QString hundredTwenty(120, QLatin1Char('x'));
    EXPECT_EQ(TextCaptureNotice::preview(hundredTwenty), QString(90, 'x') + QStringLiteral("…"));
    const QString ninetyOne(91, QLatin1Char('y'));
    EXPECT_EQ(TextCaptureNotice::preview(ninetyOne), QString(90, 'y') + QStringLiteral("…"));
    // Characters as people count them: an emoji is one, never cut in half.
    const QString emoji = QString(89, 'z') + QStringLiteral("😀😀");
    EXPECT_EQ(TextCaptureNotice::preview(emoji), QString(89, 'z') + QStringLiteral("😀…"));
}

TEST(TextCaptureNoticeTest, EachOutputHasItsToast) {
    struct Case {
        Output output;
        QString title;
        std::optional<QString> detail;
        QString symbol;
    };
    const std::vector<Case> cases{
        {Output::codes("https://example.org/x", true), "Link copied", "https://example.org/x",
         "link"},
        {Output::codes("a\nb", false), "QR code copied", "a b", "qrcode"},
        {Output::text("hello\nthere"), "Text copied", "hello there", "checkmark.circle.fill"},
        {Output::nothing(), "No text found", std::nullopt, "text.magnifyingglass"},
    };
    for (const Case& c : cases) {
        const TextCaptureNotice notice = TextCaptureNotice::forOutput(c.output);
        EXPECT_EQ(notice.title, c.title);
        EXPECT_EQ(notice.detail, c.detail) << c.title.toStdString();
        EXPECT_EQ(notice.symbol, c.symbol);
    }
    EXPECT_EQ(TextCaptureNotice::forOutput(Output::text("x")).tint, QColor(52, 199, 89));
    EXPECT_EQ(TextCaptureNotice::forOutput(Output::nothing()).tint, QColor(255, 149, 0));
    EXPECT_EQ(TextCaptureNotice::recognizing().title, QStringLiteral("Recognizing text…"));
    EXPECT_EQ(TextCaptureNotice::recognizing().detail, std::nullopt);
    EXPECT_EQ(TextCaptureNotice::recognizing().symbol, QStringLiteral("text.viewfinder"));
}

TEST(TextCaptureClipboard, CopiesPlainTextOnlyAndLeavesItAloneForNothing) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setImage(QImage(4, 4, QImage::Format_RGB32));

    capture::copyTextCaptureOutput(Output::nothing());
    EXPECT_TRUE(clipboard->mimeData()->hasImage());

    const QString link = QStringLiteral("https://example.org/x");
    capture::copyTextCaptureOutput(Output::codes(link, true));
    const QMimeData* data = clipboard->mimeData();
    EXPECT_EQ(clipboard->text(), link);
    EXPECT_FALSE(data->hasImage());
    EXPECT_FALSE(data->hasUrls());
}

} // namespace
