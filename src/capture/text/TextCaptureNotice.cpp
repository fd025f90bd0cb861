#include "capture/text/TextCaptureNotice.h"

#include "desktop/Toast.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>
#include <QTextBoundaryFinder>

namespace capture {

namespace {

constexpr qsizetype previewLength = 90;

const QColor green{52, 199, 89};
const QColor orange{255, 149, 0};

} // namespace

TextCaptureNotice TextCaptureNotice::recognizing() {
    return {QCoreApplication::translate("TextCapture", "Recognizing text…"), std::nullopt,
            QStringLiteral("text.viewfinder"),
            QGuiApplication::palette().color(QPalette::Highlight)};
}

TextCaptureNotice TextCaptureNotice::forOutput(const TextRecognizer::Output& output) {
    using Kind = TextRecognizer::Output::Kind;
    switch (output.kind) {
    case Kind::codes:
        if (output.isLink) {
            //: Capture Text found a QR code holding a web address
            return {QCoreApplication::translate("TextCapture", "Link copied"),
                    preview(output.string), QStringLiteral("link"), green};
        }
        //: Capture Text found a QR code (or another 2D code) and copied what it holds
        return {QCoreApplication::translate("TextCapture", "QR code copied"),
                preview(output.string), QStringLiteral("qrcode"), green};
    case Kind::text:
        return {QCoreApplication::translate("TextCapture", "Text copied"), preview(output.string),
                QStringLiteral("checkmark.circle.fill"), green};
    case Kind::nothing:
        break;
    }
    return {QCoreApplication::translate("TextCapture", "No text found"), std::nullopt,
            QStringLiteral("text.magnifyingglass"), orange};
}

QString TextCaptureNotice::preview(const QString& copied) {
    QString line = copied;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // Counted in characters as people see them, so that an emoji or an
    // accented letter is never cut in half.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, line);
    qsizetype count = 0;
    while (characters.toNextBoundary() != -1) {
        if (++count == previewLength) {
            const qsizetype end = characters.position();
            return end < line.size() ? line.left(end) + QStringLiteral("…") : line;
        }
    }
    return line;
}

void TextCaptureNotice::show() const {
    desktop::showToast(title, detail, symbol, tint);
}

void copyTextCaptureOutput(const TextRecognizer::Output& output) {
    if (output.kind == TextRecognizer::Output::Kind::nothing) {
        return;
    }
    // Plain text alone, a web address too, so that pasting gives the string.
    auto* data = new QMimeData;
    data->setText(output.string);
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace capture
