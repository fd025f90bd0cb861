#pragma once

#include <QUrl>

#include <memory>

class QSoundEffect;

namespace app {

// The shutter sound played after each screenshot. A sound that cannot be
// loaded, or a machine without audio output, leaves it silent; playing never
// fails.
class CaptureSound {
public:
    // The bundled sound (main thread only).
    explicit CaptureSound(const QUrl& source = QUrl(QStringLiteral("qrc:/sounds/capture.wav")));
    ~CaptureSound();
    CaptureSound(const CaptureSound&) = delete;
    CaptureSound& operator=(const CaptureSound&) = delete;

    // Starts the sound from the beginning, even while the previous one still
    // sounds.
    void play();
    // Whether the sound was loaded and can be heard.
    bool isLoaded() const;
    QSoundEffect& effect() { return *effect_; }

private:
    std::unique_ptr<QSoundEffect> effect_;
};

// The one shared sound, made on first use and kept for the life of the program.
CaptureSound& captureSound();

} // namespace app
