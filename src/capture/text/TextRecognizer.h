#pragma once

#include <QFuture>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace capture {

class TextRecognitionEngines;

// On-device recognition of the printed text and the 2-D codes in a captured
// picture, and the rules that turn them into the one string a text capture
// copies. Holds no state of its own; the loaded engines live in
// TextRecognitionEngines.
namespace TextRecognizer {

// One recognised piece of text (a line as the engine saw it).
struct Fragment {
    // As recognised, not trimmed.
    QString text;
    // In normalised picture coordinates: 0…1 on both axes, origin at the
    // lower-left corner, so a larger y lies higher in the picture.
    QRectF box;

    bool operator==(const Fragment&) const = default;
};

// A decoded code before ordering: its text payload (none for binary data) and
// its box in the same normalised coordinates as a fragment's.
struct DetectedCode {
    std::optional<QString> payload;
    QRectF box;
};

// What a text capture copies.
struct Output {
    enum class Kind { codes, text, nothing };
    Kind kind = Kind::nothing;
    // The kept code payloads joined by "\n", or the recognised text.
    QString string;
    // Codes only: exactly one payload was kept and it is a web address.
    bool isLink = false;

    static Output codes(QString payloads, bool isLink) {
        return {Kind::codes, std::move(payloads), isLink};
    }
    static Output text(QString text) { return {Kind::text, std::move(text), false}; }
    static Output nothing() { return {}; }
    bool operator==(const Output&) const = default;
};

// Why recognition failed, in words for the user.
struct Failure {
    QString description;
    bool operator==(const Failure&) const = default;
};

// What the engines found in a picture.
struct Recognition {
    std::vector<Fragment> fragments;
    QStringList codes;
};
using Performed = std::variant<Recognition, Failure>;

// What a text capture gets back: the text built from the fragments, and the
// code payloads.
struct Recognized {
    QString text;
    QStringList codes;
};
using Result = std::variant<Recognized, Failure>;

// Recognises the picture on a worker thread of the user-initiated kind and
// builds the text on the main thread, keeping line breaks or joining lines by
// `keepLineBreaks`. The future finishes on the main thread; chain on it with
// a context object there. Main thread.
QFuture<Result> recognize(const QImage& picture, bool keepLineBreaks);
QFuture<Result> recognize(const QImage& picture, bool keepLineBreaks,
                          TextRecognitionEngines& engines);

// Text and codes of the picture, on the calling thread (never the main
// thread: it takes from a tenth of a second to seconds). An engine failure
// comes back as a Failure and nothing else is returned.
Performed perform(const QImage& picture);
Performed perform(const QImage& picture, TextRecognitionEngines& engines);

// The fragments as text: grouped into lines from the top of the picture
// down, each line read left to right with single spaces, the lines joined by
// "\n" or, when `keepLineBreaks` is false, by single spaces.
QString lines(std::vector<Fragment> fragments, bool keepLineBreaks);

// The code payloads in reading order: top to bottom, and left to right where
// two codes lie at nearly the same height. Codes without a text payload are
// left out; nothing is de-duplicated.
QStringList orderedPayloads(std::vector<DetectedCode> codes);

// What to copy: the codes when any is worth keeping, otherwise the text when
// it is not blank, otherwise nothing.
Output output(const QStringList& codes, const QString& text);

// True for an http or https address with a host and no white space inside.
bool isWebURL(const QString& string);

// The small synthetic picture the warm-up recognises: 160 × 48 grey pixels,
// white with ten black bars.
QImage warmUpPicture();

// Loads an engine and runs one recognition of warmUpPicture() on a
// background thread, so that the first text capture finds an engine ready.
// The engine stays in `engines`; the result and any failure are dropped.
QFuture<void> warmUp();
QFuture<void> warmUp(TextRecognitionEngines& engines);

} // namespace TextRecognizer

} // namespace capture
