// A window for the text-capture test: white, at a known place, showing either
// a line of large black text or a QR code. Prints "ready" once it is on screen.
//
//   text_target --text "Vexlin 2026 OCR" | --qr https://example.org/x
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <ZXing/BarcodeFormat.h>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <cstdio>

namespace {

// Where the test drags: the window's content fills this rectangle.
constexpr int targetLeft = 200, targetTop = 200, targetWidth = 900, targetHeight = 400;

QImage qrCode(const QString& payload) {
    const ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                        .setMargin(0)
                                        .encode(payload.toStdString(), 0, 0);
    // Eight pixels a module, as a phone screen or a printout would show it.
    constexpr int module = 8;
    QImage image(matrix.width() * module, matrix.height() * module, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < matrix.height(); ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            if (matrix.get(x, y)) {
                painter.fillRect(x * module, y * module, module, module, Qt::black);
            }
        }
    }
    return image;
}

class Target : public QWidget {
public:
    Target(QString text, QImage code) : text_(std::move(text)), code_(std::move(code)) {
        setWindowTitle(QStringLiteral("text target"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!code_.isNull()) {
            painter.drawImage((targetWidth - code_.width()) / 2,
                              (targetHeight - code_.height()) / 2, code_);
            return;
        }
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(72);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(rect(), Qt::AlignCenter, text_);
    }
    void showEvent(QShowEvent*) override {
        // Once the window manager has placed it and it has painted.
        QTimer::singleShot(500, this, [] {
            std::printf("ready\n");
            std::fflush(stdout);
        });
    }

private:
    QString text_;
    QImage code_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3 ||
        (arguments[1] != QLatin1String("--text") && arguments[1] != QLatin1String("--qr"))) {
        std::fprintf(stderr, "usage: text_target --text TEXT | --qr PAYLOAD\n");
        return 2;
    }
    const bool isCode = arguments[1] == QLatin1String("--qr");
    Target target(isCode ? QString() : arguments[2], isCode ? qrCode(arguments[2]) : QImage());
    target.setWindowFlags(Qt::FramelessWindowHint);
    target.setGeometry(targetLeft, targetTop, targetWidth, targetHeight);
    target.show();
    return app.exec();
}
