// The recent-captures strip's thumbnails of a whole folder, as one process
// that bench/recent_thumbnails.sh times beside ImageMagick.
//
//   recent_thumbnails --make-pictures FOLDER [PNGS] [JPEGS]
//       writes PNGS (default 50) busy 3840×2160 screens as PNG and JPEGS
//       (default 5) as JPEG, each a little different
//   recent_thumbnails --thumbnails FOLDER [SCALE]
//       lists FOLDER through RecentCaptures as an editor's strip does, then
//       asks for every listed file's thumbnail at SCALE (default 1) at once,
//       as a strip showing all its tiles would, and waits for all of them;
//       prints the count made and the time from the listing's start
#include "BusyScreen.h"

#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "delivery/RecentCaptures.h"
#include "platform/JpegEncoder.h"
#include "platform/PngEncoder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

int usage() {
    std::fprintf(stderr, "usage: recent_thumbnails --make-pictures FOLDER [PNGS] [JPEGS]\n"
                         "       recent_thumbnails --thumbnails FOLDER [SCALE]\n");
    return 2;
}

bool write(const QString& path, const std::optional<QByteArray>& bytes) {
    QFile file(path);
    return bytes && file.open(QIODevice::WriteOnly) && file.write(*bytes) == bytes->size();
}

int makePictures(const QString& folder, int pngs, int jpegs) {
    QDir().mkpath(folder);
    const QImage screen = bench::BusyScreen::make();
    for (int i = 0; i < pngs + jpegs; ++i) {
        // A different window in front on each, so no two files are the same.
        QImage image = screen.copy();
        QPainter painter(&image);
        painter.drawImage(QPoint(200 + 37 * i, 300 + 23 * i),
                          screen.copy(1000 + 11 * i, 200 + 7 * i, 1200, 800).mirrored(i % 2, true));
        painter.end();
        const QString name = QStringLiteral("Vexlin Capture %1").arg(i, 2, 10, QLatin1Char('0'));
        const bool written =
            i < pngs ? write(folder + "/" + name + ".png", platform::PngEncoder::encode(image))
                     : write(folder + "/" + name + ".jpg",
                             platform::JpegEncoder::encode(image, 90, 5669));
        if (!written) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}

int makeThumbnails(const QString& folder, double scale) {
    QTemporaryDir settings;
    app::Preferences preferences(settings.filePath(QStringLiteral("settings.conf")));
    preferences.setSaveFolderBookmark(QDir(folder).absolutePath().toUtf8());
    const app::SaveLocation::ScopedServices location({&preferences, {}});
    delivery::RecentCaptures recent;

    QElapsedTimer timer;
    timer.start();
    std::size_t asked = 0, answered = 0, made = 0;
    QObject::connect(&recent, &delivery::RecentCaptures::filesChanged, &recent, [&] {
        asked = recent.files().size();
        for (const app::RecentFile& file : recent.files()) {
            recent.thumbnail(file, scale, &recent, [&](const QImage& image) {
                ++answered;
                made += image.isNull() ? 0 : 1;
                if (answered == asked) {
                    QCoreApplication::quit();
                }
            });
        }
    });
    recent.refresh();
    QApplication::exec();
    std::printf("%zu of %zu thumbnails at scale %g in %.1f ms\n", made, asked, scale,
                double(timer.nsecsElapsed()) / 1e6);
    return made == asked && asked > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return usage();
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    if (std::strcmp(argv[1], "--make-pictures") == 0) {
        return makePictures(folder, argc > 3 ? std::atoi(argv[3]) : 50,
                            argc > 4 ? std::atoi(argv[4]) : 5);
    }
    if (std::strcmp(argv[1], "--thumbnails") == 0) {
        return makeThumbnails(folder, argc > 3 ? std::atof(argv[3]) : 1.0);
    }
    return usage();
}
