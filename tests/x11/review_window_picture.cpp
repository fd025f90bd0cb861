// Shows the review window on the X server, filled in and with a problem
// under the note, and writes what the server shows of it to a PNG:
//   review_window_picture OUT.png [thanks]
// Run under scripts/x11-rig.sh, with QT_SCALE_FACTOR for other scales.
#include "service/InstallCount.h"
#include "service/ReviewWindow.h"
#include "service/Reviews.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QWindow>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        return 2;
    }
    const QString settings = QDir::temp().filePath(QStringLiteral("review-picture.conf"));
    service::InstallCount count(settings);
    service::Reviews reviews(settings, &count);
    reviews.setTransport([argc](const QNetworkRequest&, const QByteArray&,
                                std::function<void(std::optional<service::Reviews::Answer>)> done) {
        done(service::Reviews::Answer{argc > 2 ? 201 : 429, {}, true});
    });
    reviews.setRating(4);
    reviews.setName(QStringLiteral("Ann Lee"));
    reviews.setText(QStringLiteral("Quick to start, and the arrows look right.\nMore please."));
    service::ReviewWindowController::show(reviews);
    reviews.send();
    QTimer::singleShot(1500, [&] {
        QWidget* window = service::ReviewWindowController::window();
        const QPixmap picture = window->screen()->grabWindow(window->winId());
        QFile::remove(settings);
        application.exit(picture.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1);
    });
    return application.exec();
}
