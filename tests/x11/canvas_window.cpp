// A window holding one editor canvas over a generated picture, for tests and
// pictures of the canvas on a real X server. Not part of the program.
//
//   canvas_window [--image WxH] [--size WxH] [--state FILE] [--demo select|crop]
//                 [--grab FILE]
//
// --state   the document (state JSON, tool, crop draft, text being typed) is
//           written to FILE after every change, whole (written aside, then
//           renamed).
// --demo    marks of every kind, with one selected or the crop tool active.
// --grab    draws the canvas into FILE and quits (no window shown).
// Once shown it prints "origin X Y" (where the image's top-left corner lies on
// the screen, in the screen's pixels, as xdotool counts them), "ratio R" (screen
// pixels per logical pixel) and "ready".
#include "annotation/CustomColors.h"
#include "annotation/EditorDocument.h"
#include "annotation/EditorState.h"
#include "annotation/Json.h"
#include "editor/canvas/CanvasView.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QSaveFile>
#include <QTimer>

#include <cstdio>

using namespace annotation;

namespace {

QSize parseSize(const QString& text, QSize fallback) {
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) {
        return fallback;
    }
    return QSize(parts[0].toInt(), parts[1].toInt());
}

// Something like a screenshot: a window with a title bar, lines of text and
// a coloured chart.
QImage fixture(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(246, 247, 249));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int w = size.width();
    const int h = size.height();
    p.fillRect(0, 0, w, 36, QColor(52, 58, 70));
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor::fromHsv(i * 40, 200, 240));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(18 + i * 20, 18), 6, 6);
    }
    QFont font;
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(QColor(40, 44, 52));
    for (int line = 0; line * 24 + 60 < h - 20; ++line) {
        p.drawText(20, 66 + line * 24,
                   QStringLiteral("Line %1 of a report: numbers, words and a few more words")
                       .arg(line + 1));
    }
    for (int bar = 0; bar < 8; ++bar) {
        const int height = 30 + (bar * 37) % 120;
        p.fillRect(QRectF(w - 260 + bar * 28, h - 30 - height, 20, height),
                   QColor::fromHsv(200 + bar * 8, 160, 220));
    }
    return image;
}

Annotation mark(Shape shape, const RGBA& colour, double size = 5,
                TextStyle style = TextStyle::plain) {
    return Annotation{QUuid::createUuid(), std::move(shape), colour, size, true, style};
}

void addDemo(EditorDocument& doc, const QString& demo) {
    const Size s = doc.imageSize();
    const auto& palette = RGBA::palette();
    doc.addAnnotation(
        mark(Shape::arrow({s.width * 0.55, s.height * 0.2}, {s.width * 0.33, s.height * 0.42}),
             palette[0]));
    const Annotation box =
        mark(Shape::area(ShapeKind::rectangle, Rect(18, s.height * 0.45, s.width * 0.42, 60)),
             palette[4], 4);
    doc.addAnnotation(box);
    doc.addAnnotation(
        mark(Shape::text({s.width * 0.58, s.height * 0.3}, QStringLiteral("Look here")), palette[2],
             4, TextStyle::filled));
    doc.addAnnotation(mark(Shape::counter({s.width * 0.62, s.height * 0.62}, 1), palette[0]));
    doc.addAnnotation(mark(Shape::counter({s.width * 0.7, s.height * 0.62}, 2), palette[0]));
    doc.addAnnotation(mark(Shape::highlighter({{20, 90}, {260, 90}}), palette[2], 3));
    doc.addAnnotation(
        mark(Shape::area(ShapeKind::blur, Rect(20, s.height * 0.75, 200, 40)), palette[0]));
    doc.addAnnotation(mark(Shape::pencil({{s.width * 0.8, 60},
                                          {s.width * 0.83, 80},
                                          {s.width * 0.86, 62},
                                          {s.width * 0.9, 84},
                                          {s.width * 0.93, 66}}),
                           palette[5], 3));
    if (demo == QStringLiteral("crop")) {
        doc.setTool(Tool::crop);
        doc.setCropDraft(Rect(s.width * 0.1, 40, s.width * 0.7, s.height * 0.65));
    } else {
        doc.select(box.id);
    }
}

// The document as the test reads it back.
void writeState(const EditorDocument& doc, const QString& path) {
    json::Writer writer;
    writer.beginObject();
    writer.key("state");
    encodeEditorState(writer, doc.state());
    writer.key("tool");
    writer.string(rawValue(doc.tool()));
    writer.key("cropDraft");
    if (doc.cropDraft()) {
        writer.rect(*doc.cropDraft());
    } else {
        writer.raw("null");
    }
    writer.key("editing");
    writer.boolean(doc.editingTextID().has_value());
    writer.endObject();
    const std::optional<QByteArray> text = writer.result();
    QSaveFile file(path);
    if (!text || !file.open(QIODevice::WriteOnly)) {
        return;
    }
    file.write(*text);
    file.write("\n");
    file.commit();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const auto value = [&](const char* name) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
    };
    const QSize imageSize = parseSize(value("--image"), QSize(640, 400));
    const QSize windowSize = parseSize(value("--size"), QSize(800, 560));
    const QString statePath = value("--state");
    const QString demo = value("--demo");
    const QString grabPath = value("--grab");

    CustomColors colours(nullptr);
    app::Capture capture;
    capture.id = QUuid::createUuid();
    capture.image = fixture(imageSize);
    capture.date = QDateTime::currentDateTimeUtc();
    EditorDocument doc(capture, EditorState{}, &colours);
    if (!demo.isEmpty()) {
        addDemo(doc, demo);
    }

    editor::CanvasView view(doc);
    view.setWindowTitle(QStringLiteral("Canvas"));
    view.resize(windowSize);
    if (!statePath.isEmpty()) {
        const auto write = [&] { writeState(doc, statePath); };
        for (auto signal :
             {&EditorDocument::stateChanged, &EditorDocument::toolChanged,
              &EditorDocument::cropDraftChanged, &EditorDocument::editingTextIDChanged}) {
            QObject::connect(&doc, signal, &view, write);
        }
        write();
    }
    if (!grabPath.isEmpty()) {
        QCoreApplication::processEvents();
        return view.grab().save(grabPath) ? 0 : 1;
    }
    view.show();
    QTimer::singleShot(300, &view, [&] {
        const annotation::Point o = view.geometry().toView({0, 0});
        const QPointF global = view.mapToGlobal(QPointF(o.x, o.y)) * view.devicePixelRatioF();
        std::printf("origin %d %d\nratio %g\nready\n", qRound(global.x()), qRound(global.y()),
                    view.devicePixelRatioF());
        std::fflush(stdout);
    });
    return QApplication::exec();
}
