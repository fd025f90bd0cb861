#include "support/MovieClips.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace testsupport {

bool makeMovieClip(const QString& path, const MovieClip& clip) {
    const QString size = QStringLiteral("%1x%2").arg(clip.size.width()).arg(clip.size.height());
    const auto colour = [&](const char* name, double seconds) {
        return QStringLiteral("color=c=%1:s=%2:r=%3:d=%4")
            .arg(QLatin1String(name), size)
            .arg(clip.framesPerSecond)
            .arg(seconds);
    };
    QString video;
    if (clip.pattern) {
        video = QStringLiteral("testsrc2=s=%1:r=%2:d=%3[v]")
                    .arg(size)
                    .arg(clip.framesPerSecond)
                    .arg(clip.seconds);
    } else if (clip.blueAfter < clip.seconds) {
        video = colour("red", clip.blueAfter) + QStringLiteral("[a];") +
                colour("blue", clip.seconds - clip.blueAfter) +
                QStringLiteral("[b];[a][b]concat=n=2:v=1:a=0[v]");
    } else {
        video = colour("red", clip.seconds) + QStringLiteral("[v]");
    }
    QStringList arguments{QStringLiteral("-hide_banner"),    QStringLiteral("-loglevel"),
                          QStringLiteral("error"),           QStringLiteral("-y"),
                          QStringLiteral("-filter_complex"), video};
    if (clip.withSound) {
        arguments << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-t")
                  << QString::number(clip.seconds) << QStringLiteral("-i")
                  << QStringLiteral("anullsrc=r=44100:cl=mono");
    }
    arguments << QStringLiteral("-map") << QStringLiteral("[v]");
    if (clip.withSound) {
        arguments << QStringLiteral("-map") << QStringLiteral("0:a") << QStringLiteral("-c:a")
                  << QStringLiteral("aac");
    }
    // Key frames every second, so a frame at a time is found near it.
    arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
              << QStringLiteral("ultrafast") << QStringLiteral("-g")
              << QString::number(clip.framesPerSecond) << QStringLiteral("-pix_fmt")
              << QStringLiteral("yuv420p");
    if (clip.fastStart) {
        arguments << QStringLiteral("-movflags") << QStringLiteral("+faststart");
    }
    arguments << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
    const bool ran = ffmpeg.waitForFinished(60'000) &&
                     ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    EXPECT_TRUE(ran) << "ffmpeg could not make " << path.toStdString() << ": "
                     << ffmpeg.readAllStandardError().toStdString();
    return ran;
}

} // namespace testsupport
