#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

namespace platform {

// One line of printed text as the engine read it, with its box in the pixels
// of the image it was given.
struct TextLine {
    QString text;
    QRect box;
};

// One loaded Tesseract engine. Loading the language data is the slow part, so
// callers keep engines and reuse them. An engine is not thread-safe: one caller
// at a time, though different engines may run on different threads at once.
class TesseractEngine {
public:
    // Loads the engine for `languages` ("eng", "eng+deu", …); none, with a
    // reason in `error`, when the language data cannot be loaded.
    static std::unique_ptr<TesseractEngine> create(const QString& languages, QString* error);
    ~TesseractEngine();
    TesseractEngine(const TesseractEngine&) = delete;
    TesseractEngine& operator=(const TesseractEngine&) = delete;

    // Reads the text lines of an 8-bit grey image (Format_Grayscale8) in the
    // engine's reading order, each line's text without its line break. None,
    // with a reason in `error`, when the engine fails.
    std::optional<std::vector<TextLine>> readLines(const QImage& grey, QString* error);

    // The languages whose data the engine found next to its own.
    QStringList availableLanguages() const;
    QString languages() const { return languages_; }

private:
    TesseractEngine(std::unique_ptr<tesseract::TessBaseAPI> api, QString languages);

    std::unique_ptr<tesseract::TessBaseAPI> api_;
    QString languages_;
};

} // namespace platform
