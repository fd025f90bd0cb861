#include "app/CaptureSound.h"

#include "platform/MainThread.h"

#include <QSoundEffect>

// The sound lives in this static library's resources; without a reference
// the linker would leave them out of the program.
static void loadSoundResources() {
    Q_INIT_RESOURCE(sounds);
}

namespace app {

CaptureSound::CaptureSound(const QUrl& source) : effect_(std::make_unique<QSoundEffect>()) {
    platform::assertMainThread();
    loadSoundResources();
    effect_->setSource(source);
}

CaptureSound::~CaptureSound() = default;

void CaptureSound::play() {
    if (effect_->status() == QSoundEffect::Error) {
        return;
    }
    effect_->stop();
    effect_->play();
}

bool CaptureSound::isLoaded() const {
    return effect_->status() == QSoundEffect::Ready;
}

CaptureSound& captureSound() {
    static CaptureSound* const sound = new CaptureSound;
    return *sound;
}

} // namespace app
