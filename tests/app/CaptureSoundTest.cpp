#include "app/CaptureSound.h"

#include <QSignalSpy>
#include <QSoundEffect>

#include <gtest/gtest.h>

using namespace app;

// The bundled sound loads from the program's resources; playing it works with
// or without an audio device.
TEST(CaptureSound, LoadsTheBundledSoundAndPlaysRepeatedly) {
    CaptureSound& sound = captureSound();
    if (!sound.isLoaded()) {
        QSignalSpy status(&sound.effect(), &QSoundEffect::statusChanged);
        status.wait(5000);
    }
    EXPECT_TRUE(sound.isLoaded()) << int(sound.effect().status());
    sound.play();
    sound.play();
    EXPECT_EQ(&sound, &captureSound());
}

TEST(CaptureSound, AMissingFilePlaysSilently) {
    CaptureSound sound(QUrl::fromLocalFile(QStringLiteral("/nonexistent/shutter.wav")));
    QSignalSpy status(&sound.effect(), &QSoundEffect::statusChanged);
    status.wait(2000);
    EXPECT_FALSE(sound.isLoaded());
    sound.play();
}
