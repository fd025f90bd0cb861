#include "capture/text/TextRecognitionEngines.h"

#include "platform/MemoryRelease.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace capture {

namespace {

// The engine's names of the languages the text is detected in besides
// English, in that order of preference.
const QStringList& detectedLanguages() {
    static const QStringList names{
        QStringLiteral("fra"),     QStringLiteral("ita"), QStringLiteral("deu"),
        QStringLiteral("spa"),     QStringLiteral("por"), QStringLiteral("chi_sim"),
        QStringLiteral("chi_tra"), QStringLiteral("kor"), QStringLiteral("jpn"),
        QStringLiteral("rus"),     QStringLiteral("ukr"), QStringLiteral("tha"),
        QStringLiteral("vie"),     QStringLiteral("ara")};
    return names;
}

const QString english = QStringLiteral("eng");

QString missingDataText() {
    //: Reason a text capture failed: the text recognition engine has no English language data
    return QCoreApplication::translate(
        "TextRecognizer",
        "Text recognition needs the English language data of Tesseract, which is not "
        "installed (package tesseract-ocr-eng).");
}

} // namespace

TextRecognitionEngines::TextRecognitionEngines(std::chrono::milliseconds idleLifetime)
    : context_(std::make_unique<QObject>()) {
    if (const QCoreApplication* app = QCoreApplication::instance()) {
        context_->moveToThread(app->thread());
    }
    releaseTimer_ = new QTimer(context_.get());
    releaseTimer_->setSingleShot(true);
    releaseTimer_->setInterval(idleLifetime);
    QObject::connect(releaseTimer_, &QTimer::timeout, context_.get(), [this] { releaseIdle(); });
}

TextRecognitionEngines::~TextRecognitionEngines() = default;

TextRecognitionEngines& TextRecognitionEngines::shared() {
    // Never destroyed: a warm-up or a recognition may still hold it while the
    // program exits.
    static auto* engines = new TextRecognitionEngines;
    return *engines;
}

QString TextRecognitionEngines::languagesToLoad(const QStringList& installed) {
    if (!installed.contains(english)) {
        return {};
    }
    QStringList languages{english};
    for (const QString& name : detectedLanguages()) {
        if (installed.contains(name)) {
            languages.append(name);
        }
    }
    return languages.join(QLatin1Char('+'));
}

std::unique_ptr<platform::TesseractEngine> TextRecognitionEngines::borrow(QString* error) {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto engine = std::move(idle_.back());
            idle_.pop_back();
            return engine;
        }
    }
    // Loading takes a while; other threads borrow and give back meanwhile.
    return load(error);
}

std::unique_ptr<platform::TesseractEngine> TextRecognitionEngines::load(QString* error) {
    std::optional<QString> languages;
    {
        std::lock_guard lock(mutex_);
        languages = languages_;
    }
    if (!languages) {
        // The installed languages are only known to a loaded engine: load
        // English, ask, and load again when more languages are there.
        QString reason;
        auto probe = platform::TesseractEngine::create(english, &reason);
        if (!probe) {
            if (error) {
                *error = missingDataText();
            }
            return nullptr;
        }
        const QString wanted = languagesToLoad(probe->availableLanguages());
        std::unique_ptr<platform::TesseractEngine> engine;
        if (wanted == english || wanted.isEmpty()) {
            engine = std::move(probe);
        } else {
            probe.reset();
            engine = platform::TesseractEngine::create(wanted, &reason);
            if (!engine) {
                // A broken extra language must not cost English.
                engine = platform::TesseractEngine::create(english, &reason);
            }
        }
        if (!engine) {
            if (error) {
                *error = missingDataText();
            }
            return nullptr;
        }
        std::lock_guard lock(mutex_);
        if (!languages_) {
            languages_ = engine->languages();
        }
        ++loaded_;
        return engine;
    }

    QString reason;
    auto engine = platform::TesseractEngine::create(*languages, &reason);
    if (!engine) {
        if (error) {
            *error = missingDataText();
        }
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    ++loaded_;
    return engine;
}

void TextRecognitionEngines::giveBack(std::unique_ptr<platform::TesseractEngine> engine) {
    if (!engine) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        idle_.push_back(std::move(engine));
    }
    // The timer lives on the main thread; engines come back from workers.
    QMetaObject::invokeMethod(
        context_.get(), [timer = releaseTimer_] { timer->start(); }, Qt::QueuedConnection);
}

void TextRecognitionEngines::releaseIdle() {
    std::vector<std::unique_ptr<platform::TesseractEngine>> released;
    {
        std::lock_guard lock(mutex_);
        released.swap(idle_);
    }
    if (released.empty()) {
        return;
    }
    released.clear();
    platform::returnFreeMemory();
}

int TextRecognitionEngines::loadedCount() const {
    std::lock_guard lock(mutex_);
    return loaded_;
}

int TextRecognitionEngines::idleCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(idle_.size());
}

} // namespace capture
