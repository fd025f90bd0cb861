// The clipboard as other programs see it: xclip reads what a copy offered
// from a real X server. Runs under scripts/x11-rig.sh (ctest label x11) and
// skips elsewhere.
#include "app/PasteboardCopy.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

using namespace app;

namespace {

// Runs xclip while this process keeps serving the clipboard from its event
// loop.
QByteArray xclip(const QStringList& arguments) {
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    process.start(QStringLiteral("xclip"),
                  QStringList{QStringLiteral("-selection"), QStringLiteral("clipboard"),
                              QStringLiteral("-o")} +
                      arguments);
    loop.exec();
    return process.readAllStandardOutput();
}

} // namespace

TEST(ClipboardOnX11, OtherProgramsReadPngTiffAndTheFileUrl) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        GTEST_SKIP() << "needs an X server";
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
        GTEST_SKIP() << "needs xclip";
    }
    QImage image(320, 200, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x % 256, y, (x + y) % 256));
        }
    }
    // Taken at once; the requests below wait for the encoding if they come
    // before it ends, served from the event loop as every X11 request is.
    copyImageToPasteboard(image, QStringLiteral("/tmp/Vexlin Capture.png"), 2.0);

    const QList<QByteArray> targets =
        xclip({QStringLiteral("-t"), QStringLiteral("TARGETS")}).split('\n');
    EXPECT_TRUE(targets.contains("image/png"));
    EXPECT_TRUE(targets.contains("image/tiff"));
    EXPECT_TRUE(targets.contains("text/uri-list"));

    const QImage png =
        QImage::fromData(xclip({QStringLiteral("-t"), QStringLiteral("image/png")}), "PNG");
    EXPECT_EQ(image, png.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(144, qRound(png.dotsPerMeterX() * 0.0254));

    const QByteArray tiff = xclip({QStringLiteral("-t"), QStringLiteral("image/tiff")});
    EXPECT_TRUE(tiff.startsWith(QByteArray("II*\0", 4)));
    EXPECT_GE(tiff.size(), 320 * 200 * 3);

    EXPECT_EQ("file:///tmp/Vexlin%20Capture.png",
              xclip({QStringLiteral("-t"), QStringLiteral("text/uri-list")}).trimmed());
}
