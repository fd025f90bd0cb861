#include "platform/TesseractEngine.h"

#include "platform/DeferredLibrary.h"

#include <QCoreApplication>

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

// libtesseract runs its OpenMP teams on GCC's runtime (libgomp): the limit is
// set there, whichever compiler builds this file.
extern "C" void omp_set_max_active_levels(int levels);

// The context of this file's texts, declared where lupdate finds it.
struct TextRecognitionText {
    Q_DECLARE_TR_FUNCTIONS(TextRecognitionText)
};

namespace platform {

namespace {

// Screen pictures carry no real resolution; without one the engine guesses
// from each picture and the guess swings its speed by seconds. 70 dpi read
// every size of rendered screen text we measured, 9 to 96 pixels.
constexpr int sourceResolution = 70;

QString takeText(char* text) {
    QString result = QString::fromUtf8(text);
    delete[] text;
    return result;
}

} // namespace

TesseractEngine::TesseractEngine(std::unique_ptr<tesseract::TessBaseAPI> api, QString languages)
    : api_(std::move(api)), languages_(std::move(languages)) {}

TesseractEngine::~TesseractEngine() {
    if (api_) {
        api_->End();
    }
}

std::unique_ptr<TesseractEngine> TesseractEngine::create(const QString& languages, QString* error) {
    if (!loadDeferred(DeferredLibrary::recognition, error)) {
        return nullptr;
    }
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(nullptr, languages.toUtf8().constData(), tesseract::OEM_LSTM_ONLY) != 0) {
        if (error) {
            *error =
                QStringLiteral("Tesseract could not load the language data \"%1\"").arg(languages);
        }
        return nullptr;
    }
    // The engine's diagnostics ("Empty page!!" and the like) would otherwise
    // land on the program's standard error.
    api->SetVariable("debug_file", "/dev/null");
    api->SetPageSegMode(tesseract::PSM_AUTO);
    return std::unique_ptr<TesseractEngine>(new TesseractEngine(std::move(api), languages));
}

std::optional<std::vector<TextLine>> TesseractEngine::readLines(const QImage& grey,
                                                                QString* error) {
    if (grey.format() != QImage::Format_Grayscale8 || grey.isNull()) {
        if (error) {
            //: Text capture: why recognition failed, shown to the user
            *error = TextRecognitionText::tr("Tesseract needs an 8-bit grey picture");
        }
        return std::nullopt;
    }
    // The engine's own OpenMP teams spin while they wait; on a busy machine
    // that made one page take minutes instead of seconds. We run several
    // engines side by side instead, each on one thread.
    omp_set_max_active_levels(0);
    api_->SetImage(grey.constBits(), grey.width(), grey.height(), 1,
                   static_cast<int>(grey.bytesPerLine()));
    api_->SetSourceResolution(sourceResolution);
    if (api_->Recognize(nullptr) != 0) {
        api_->Clear();
        if (error) {
            //: Text capture: why recognition failed, shown to the user
            *error = TextRecognitionText::tr("Tesseract could not recognise the picture");
        }
        return std::nullopt;
    }

    std::vector<TextLine> lines;
    // Held by its base, whose destructor the library defines: the derived
    // class's inline one would need the library's vtable, a data symbol, which
    // a library loaded on first use cannot provide (DeferredLibrary.h).
    std::unique_ptr<tesseract::LTRResultIterator> it(api_->GetIterator());
    if (it) {
        do {
            char* raw = it->GetUTF8Text(tesseract::RIL_TEXTLINE);
            if (!raw) {
                continue;
            }
            QString text = takeText(raw);
            // A line comes with its own line break (and a paragraph's last
            // line with one more); the text itself stays as read.
            while (text.endsWith(QLatin1Char('\n'))) {
                text.chop(1);
            }
            int left = 0, top = 0, right = 0, bottom = 0;
            it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom);
            lines.push_back({text, QRect(QPoint(left, top), QPoint(right - 1, bottom - 1))});
        } while (it->Next(tesseract::RIL_TEXTLINE));
    }
    api_->Clear();
    return lines;
}

QStringList TesseractEngine::availableLanguages() const {
    std::vector<std::string> names;
    api_->GetAvailableLanguagesAsVector(&names);
    QStringList result;
    for (const std::string& name : names) {
        result.append(QString::fromStdString(name));
    }
    return result;
}

} // namespace platform
