#include "support/NumberedMovie.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace testsupport {

namespace {
constexpr int bits = 10;
} // namespace

bool makeNumberedMovie(const QString& path, const NumberedMovie& movie) {
    const QString size = QStringLiteral("%1x%2").arg(movie.size.width()).arg(movie.size.height());
    const int block = movie.size.width() / bits;
    const int band = movie.size.height() / 8;
    // A grey picture with a black band along the top, each block of which
    // turns white in the frames whose number has its bit (drawbox's timeline
    // is far cheaper than an expression evaluated at every pixel).
    QString video = QStringLiteral("color=c=0x3c3c3c:s=%1:r=%2:d=%3,"
                                   "drawbox=x=0:y=0:w=iw:h=%4:color=black:t=fill")
                        .arg(size)
                        .arg(movie.framesPerSecond)
                        .arg(movie.seconds)
                        .arg(band);
    for (int bit = 0; bit < bits; ++bit) {
        video += QStringLiteral(",drawbox=x=%1:y=0:w=%2:h=%3:color=white:t=fill:"
                                "enable='mod(floor(n/%4),2)'")
                     .arg(block * bit)
                     .arg(block)
                     .arg(band)
                     .arg(1 << bit);
    }
    video += QStringLiteral(",format=yuv420p");
    const QString font = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
    video += QStringLiteral(",drawtext=text='%{frame_num}':fontsize=%1:fontcolor=white:"
                            "x=(w-tw)/2:y=(h-th)/2")
                 .arg(movie.size.height() / 3);
    if (QFile::exists(font)) {
        video += QStringLiteral(":fontfile=") + font;
    }
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                          QStringLiteral("error"),        QStringLiteral("-y"),
                          QStringLiteral("-f"),           QStringLiteral("lavfi"),
                          QStringLiteral("-i"),           video};
    for (int track = 0; track < movie.soundTracks; ++track) {
        arguments << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                  << QStringLiteral("sine=frequency=%1:sample_rate=48000:duration=%2")
                         .arg(440 * (track + 1))
                         .arg(movie.seconds);
    }
    arguments << QStringLiteral("-map") << QStringLiteral("0:v");
    for (int track = 0; track < movie.soundTracks; ++track) {
        arguments << QStringLiteral("-map") << QStringLiteral("%1:a").arg(track + 1);
    }
    arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
              << QStringLiteral("ultrafast") << QStringLiteral("-g")
              << QString::number(movie.framesPerSecond * 3 / 2) << QStringLiteral("-pix_fmt")
              << QStringLiteral("yuv420p") << QStringLiteral("-c:a") << QStringLiteral("aac")
              << QStringLiteral("-movflags") << QStringLiteral("+faststart") << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
    const bool ran = ffmpeg.waitForFinished(120'000) &&
                     ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    EXPECT_TRUE(ran) << "ffmpeg could not make " << path.toStdString() << ": "
                     << ffmpeg.readAllStandardError().toStdString();
    return ran;
}

int frameNumber(const QImage& frame) {
    if (frame.isNull()) {
        return -1;
    }
    const int block = frame.width() / bits;
    const int y = frame.height() / 16;
    int number = 0;
    for (int i = 0; i < bits; ++i) {
        const int grey = qGray(frame.pixel(block * i + block / 2, y));
        if (grey > 170) {
            number |= 1 << i;
        } else if (grey > 70) {
            return -1; // neither black nor white: no number here
        }
    }
    return number;
}

} // namespace testsupport
