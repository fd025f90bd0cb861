#pragma once

#include "platform/TesseractEngine.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QObject;
class QTimer;

namespace capture {

// Keeps loaded text engines between recognitions, since loading one takes
// longer than reading a paragraph. A recognition borrows an idle engine (or
// loads one when every engine is busy, as when a capture overlaps the launch
// warm-up) and gives it back; engines are never shared by two threads at once.
// An engine holds some 14 MB, so engines left idle for `idleLifetime` are let
// go: a run of text captures reuses one, a program at rest holds none.
class TextRecognitionEngines {
public:
    static constexpr std::chrono::milliseconds defaultIdleLifetime{10'000};

    explicit TextRecognitionEngines(std::chrono::milliseconds idleLifetime = defaultIdleLifetime);
    ~TextRecognitionEngines();
    TextRecognitionEngines(const TextRecognitionEngines&) = delete;
    TextRecognitionEngines& operator=(const TextRecognitionEngines&) = delete;

    // The engines of the program's recognitions, alive for the whole process.
    static TextRecognitionEngines& shared();

    // A loaded engine for the caller alone; none, with a reason in `error`,
    // when no language data can be loaded. Any thread.
    std::unique_ptr<platform::TesseractEngine> borrow(QString* error);
    // Returns an engine for the next recognition. Any thread.
    void giveBack(std::unique_ptr<platform::TesseractEngine> engine);
    // Lets go of every idle engine now and returns their memory to the
    // system. Any thread.
    void releaseIdle();

    // How many engines were loaded so far and how many wait unused.
    int loadedCount() const;
    int idleCount() const;

    // The engine's languages to load from those installed: English, then each
    // other language the text is detected in, where its data is installed.
    // Empty when English is missing.
    static QString languagesToLoad(const QStringList& installed);

private:
    std::unique_ptr<platform::TesseractEngine> load(QString* error);

    // Restarted by every engine given back; on the main thread.
    std::unique_ptr<QObject> context_;
    QTimer* releaseTimer_ = nullptr;

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<platform::TesseractEngine>> idle_;
    int loaded_ = 0;
    // Settled by the first engine that loads.
    std::optional<QString> languages_;
};

} // namespace capture
