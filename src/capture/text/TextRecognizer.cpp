#include "capture/text/TextRecognizer.h"

#include "capture/text/TextRecognitionEngines.h"
#include "capture/text/TextRecognitionImage.h"
#include "platform/MainThread.h"
#include "platform/ThreadPriority.h"
#include "platform/ZxingCodeReader.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QUrl>
#include <QtConcurrent>

#include <algorithm>
#include <numeric>

namespace capture::TextRecognizer {

namespace {

// Queue priority on the shared pool: a capture the user waits for goes ahead
// of any queued background work.
constexpr int userInitiatedPriority = 1;

// Engines reading horizontal bands of one picture side by side. More than four
// gained nothing measurable on a 1920 × 1080 page and each costs memory.
constexpr int maximumBands = 4;
// Below this many pixels per band, splitting costs more than it saves.
constexpr qsizetype pixelsPerBand = 400'000;

// Two codes whose middles lie closer in height than this (a fiftieth of the
// picture) count as side by side and are ordered left to right.
constexpr qreal sameHeight = 0.02;

QThreadPool& bandWorkers() {
    // Never destroyed: a recognition may still run while the program exits.
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(maximumBands);
        return p;
    }();
    return *pool;
}

QThreadPool& backgroundWorkers() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return *pool;
}

int bandCountFor(const QImage& image) {
    const qsizetype pixels = qsizetype(image.width()) * image.height();
    const int byWork = static_cast<int>(std::max<qsizetype>(1, pixels / pixelsPerBand));
    return std::clamp(std::min(byWork, QThread::idealThreadCount()), 1, maximumBands);
}

qreal midY(const QRectF& box) {
    return box.y() + box.height() / 2;
}

// Stable for any comparison, even one that is not transitive (as the
// ordering of codes at nearly the same height is not).
template <typename T, typename Before> void insertionSort(std::vector<T>& items, Before before) {
    for (size_t i = 1; i < items.size(); ++i) {
        size_t j = i;
        while (j > 0 && before(items[i], items[j - 1])) {
            --j;
        }
        std::rotate(items.begin() + static_cast<long>(j), items.begin() + static_cast<long>(i),
                    items.begin() + static_cast<long>(i) + 1);
    }
}

QString engineFailureText() {
    //: Reason a text capture failed: the recognition engine could not read the captured picture
    return QCoreApplication::translate("TextRecognizer",
                                       "The text in the picture could not be recognised.");
}

QString emptyPictureText() {
    //: Reason a text capture failed: the captured picture has no pixels
    return QCoreApplication::translate("TextRecognizer",
                                       "The captured picture is empty, so there is no text to "
                                       "recognise.");
}

struct Band {
    int top = 0;
    std::optional<std::vector<platform::TextLine>> lines;
    QString failure;
};

// The picture's pixels, in normalised coordinates with the origin at the
// lower-left corner.
QRectF normalised(const QRectF& pixels, const QSize& size) {
    const qreal width = size.width(), height = size.height();
    return QRectF(pixels.x() / width, 1 - (pixels.y() + pixels.height()) / height,
                  pixels.width() / width, pixels.height() / height);
}

} // namespace

Performed perform(const QImage& picture) {
    return perform(picture, TextRecognitionEngines::shared());
}

Performed perform(const QImage& picture, TextRecognitionEngines& engines) {
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) {
        return Failure{emptyPictureText()};
    }
    const TextRecognitionImage prepared = TextRecognitionImage::prepare(picture);
    const QSize size = prepared.grey.size();

    QFuture<QStringList> codes = QtConcurrent::run(&bandWorkers(), [&prepared, size] {
        static const std::vector<platform::CodeSymbology> symbologies{
            platform::CodeSymbology::qr, platform::CodeSymbology::aztec,
            platform::CodeSymbology::dataMatrix, platform::CodeSymbology::pdf417};
        std::vector<DetectedCode> detected;
        for (const platform::DecodedCode& code : platform::readCodes(prepared.grey, symbologies)) {
            detected.push_back({code.text, normalised(QRectF(code.box), size)});
        }
        return orderedPayloads(std::move(detected));
    });

    const QList<int> cuts =
        TextRecognitionImage::bandCuts(prepared.forText, bandCountFor(prepared.forText));
    std::vector<Band> bands(static_cast<size_t>(cuts.size() - 1));
    for (size_t i = 0; i < bands.size(); ++i) {
        bands[i].top = cuts[static_cast<qsizetype>(i)];
    }
    QtConcurrent::blockingMap(&bandWorkers(), bands, [&](Band& band) {
        const int index = static_cast<int>(&band - bands.data());
        const int bottom = cuts[index + 1];
        auto engine = engines.borrow(&band.failure);
        if (!engine) {
            return;
        }
        const QImage image =
            bands.size() == 1
                ? prepared.forText
                : prepared.forText.copy(0, band.top, prepared.forText.width(), bottom - band.top);
        QString reason;
        band.lines = engine->readLines(image, &reason);
        if (!band.lines) {
            // The engine's own reason is for developers, not for the alert.
            band.failure = engineFailureText();
        }
        engines.giveBack(std::move(engine));
    });
    const QStringList payloads = codes.result();

    Recognition recognition;
    for (const Band& band : bands) {
        if (!band.lines) {
            return Failure{band.failure};
        }
        for (const platform::TextLine& line : *band.lines) {
            const QRectF pixels(
                line.box.x() / prepared.factor, (line.box.y() + band.top) / prepared.factor,
                (line.box.width()) / prepared.factor, line.box.height() / prepared.factor);
            recognition.fragments.push_back({line.text, normalised(pixels, size)});
        }
    }
    recognition.codes = payloads;
    return recognition;
}

QString lines(std::vector<Fragment> fragments, bool keepLineBreaks) {
    std::stable_sort(fragments.begin(), fragments.end(), [](const Fragment& a, const Fragment& b) {
        return midY(a.box) > midY(b.box);
    });
    std::vector<std::vector<Fragment>> rows;
    for (Fragment& fragment : fragments) {
        auto row = std::find_if(rows.rbegin(), rows.rend(), [&fragment](const auto& candidate) {
            const Fragment& first = candidate.front();
            const qreal smaller = std::min(first.box.height(), fragment.box.height());
            return std::abs(midY(first.box) - midY(fragment.box)) < smaller / 2;
        });
        if (row != rows.rend()) {
            row->push_back(std::move(fragment));
        } else {
            rows.push_back({std::move(fragment)});
        }
    }
    QStringList texts;
    for (auto& row : rows) {
        std::stable_sort(row.begin(), row.end(), [](const Fragment& a, const Fragment& b) {
            return a.box.left() < b.box.left();
        });
        QStringList parts;
        for (const Fragment& fragment : row) {
            parts.append(fragment.text);
        }
        texts.append(parts.join(QLatin1Char(' ')));
    }
    return texts.join(keepLineBreaks ? QLatin1Char('\n') : QLatin1Char(' '));
}

QStringList orderedPayloads(std::vector<DetectedCode> codes) {
    insertionSort(codes, [](const DetectedCode& a, const DetectedCode& b) {
        if (std::abs(midY(a.box) - midY(b.box)) > sameHeight) {
            return midY(a.box) > midY(b.box);
        }
        return a.box.left() < b.box.left();
    });
    QStringList payloads;
    for (const DetectedCode& code : codes) {
        if (code.payload) {
            payloads.append(*code.payload);
        }
    }
    return payloads;
}

Output output(const QStringList& codes, const QString& text) {
    QStringList kept;
    for (const QString& code : codes) {
        if (!code.trimmed().isEmpty() && !kept.contains(code)) {
            kept.append(code);
        }
    }
    if (!kept.isEmpty()) {
        return Output::codes(kept.join(QLatin1Char('\n')),
                             kept.size() == 1 && isWebURL(kept.front()));
    }
    if (text.trimmed().isEmpty()) {
        return Output::nothing();
    }
    return Output::text(text);
}

bool isWebURL(const QString& string) {
    const QString trimmed = string.trimmed();
    if (std::any_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c.isSpace(); })) {
        return false;
    }
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        return false;
    }
    return !url.host().isEmpty();
}

QFuture<Result> recognize(const QImage& picture, bool keepLineBreaks) {
    return recognize(picture, keepLineBreaks, TextRecognitionEngines::shared());
}

QFuture<Result> recognize(const QImage& picture, bool keepLineBreaks,
                          TextRecognitionEngines& engines) {
    platform::assertMainThread();
    return QtConcurrent::task([picture, &engines] { return perform(picture, engines); })
        .onThreadPool(*QThreadPool::globalInstance())
        .withPriority(userInitiatedPriority)
        .spawn()
        .then(QCoreApplication::instance(), [keepLineBreaks](QFuture<Performed> done) -> Result {
            const Performed performed = done.takeResult();
            if (const auto* failure = std::get_if<Failure>(&performed)) {
                return *failure;
            }
            const auto& recognition = std::get<Recognition>(performed);
            return Recognized{lines(recognition.fragments, keepLineBreaks), recognition.codes};
        });
}

QImage warmUpPicture() {
    QImage picture(160, 48, QImage::Format_Grayscale8);
    picture.fill(Qt::white);
    for (int y = 14; y < 14 + 20; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 10; x <= 136; x += 14) {
            std::fill(row + x, row + x + 8, uchar(0));
        }
    }
    return picture;
}

QFuture<void> warmUp() {
    return warmUp(TextRecognitionEngines::shared());
}

QFuture<void> warmUp(TextRecognitionEngines& engines) {
    return QtConcurrent::run(&backgroundWorkers(), [&engines] {
        platform::lowerCurrentThreadToBackground();
        perform(warmUpPicture(), engines);
    });
}

} // namespace capture::TextRecognizer
