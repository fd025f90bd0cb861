// Text recognition of two 1920 × 1080 pictures, a page of text (whose
// characters are known, so the accuracy is measured) and the busy desktop of
// BusyScreen.h, ours beside Tesseract's, two ways:
//  - warm, in this process: our recognizer with its engines loaded, against
//    one loaded Tesseract engine reading the whole picture (on one thread, and
//    on all threads as its OpenMP default gives);
//  - whole processes: `text_recognition --recognize FILE` (ours: load, read,
//    print) against the `tesseract FILE stdout` command at its defaults, with
//    OMP_THREAD_LIMIT=1, and with that and --dpi 70 (the resolution we give
//    our engines).
// Runs interleaved; prints medians, per-round ratios and the CPU time of all
// threads beside the wall time.
//
//   text_recognition [ROUNDS]             (default 3; about a minute a round)
//   text_recognition --recognize FILE     our recognition as one process
#include "BusyScreen.h"
#include "Interleave.h"

#include "capture/text/TextRecognitionEngines.h"
#include "capture/text/TextRecognizer.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <cstdio>
#include <cstring>
#include <memory>

// Tesseract's OpenMP runtime (libgomp): its limit is one global setting.
extern "C" void omp_set_max_active_levels(int levels);

namespace TextRecognizer = capture::TextRecognizer;

namespace {

struct Picture {
    QString name;
    QImage image;
    QString truth; // empty: not known
    QString path;
};

// A full screen of 13-pixel DejaVu Sans lines, as a scale-1 screen shows a
// document: words, numbers and punctuation.
Picture renderPage(const QString& folder) {
    const int id = QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    QFont font(QFontDatabase::applicationFontFamilies(id).value(0));
    font.setPixelSize(13);
    const QFontMetrics metrics(font);
    const QStringList words{
        "capture",  "Screen",    "region,", "the",        "text:",      "window",    "42",
        "brown",    "fox.",      "record",  "settings",   "(shortcut)", "clipboard", "image",
        "folder/",  "save",      "editor",  "annotation", "arrow",      "blur",      "pixelate",
        "counter;", "highlight", "pencil",  "spotlight",  "menu",       "status",    "display",
        "scroll",   "stitch",    "toast",   "link",       "code",       "invoice",   "$12.50",
        "paid",     "2026-04",   "v1.4",    "update",     "review",     "about",     "welcome",
        "keyboard", "mouse",     "pointer", "frame",      "video"};
    QRandomGenerator random(2026);
    Picture page{QStringLiteral("page of text"), QImage(1920, 1080, QImage::Format_RGB32), {}, {}};
    page.image.fill(Qt::white);
    QPainter painter(&page.image);
    painter.setFont(font);
    painter.setPen(QColor(20, 20, 20));
    const int lineHeight = 21;
    for (int y = 40; y + lineHeight < page.image.height() - 20; y += lineHeight) {
        QString line;
        for (;;) {
            const QString word = words[random.bounded(words.size())];
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (metrics.horizontalAdvance(longer) > page.image.width() - 120) {
                break;
            }
            line = longer;
        }
        painter.drawText(60, y, line);
        page.truth += line + QLatin1Char('\n');
    }
    painter.end();
    page.path = QDir(folder).filePath(QStringLiteral("page.png"));
    page.image.save(page.path);
    return page;
}

Picture renderDesktop(const QString& folder) {
    Picture desktop{QStringLiteral("busy desktop"), bench::BusyScreen::make(1920, 1080), {}, {}};
    desktop.path = QDir(folder).filePath(QStringLiteral("desktop.png"));
    desktop.image.save(desktop.path);
    return desktop;
}

QString normalised(QString text) {
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")).trimmed();
}

// 1 − edit distance / length of the truth, on text with its white space
// folded to single spaces.
double accuracy(const QString& read, const QString& truth) {
    const QString a = normalised(read), b = normalised(truth);
    std::vector<int> previous(static_cast<size_t>(b.size()) + 1), current(previous.size());
    for (size_t j = 0; j < previous.size(); ++j) {
        previous[j] = static_cast<int>(j);
    }
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = static_cast<int>(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const auto u = static_cast<size_t>(j);
            current[u] = std::min({previous[u] + 1, current[u - 1] + 1,
                                   previous[u - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        }
        std::swap(previous, current);
    }
    return 1.0 - double(previous.back()) / double(std::max<qsizetype>(1, b.size()));
}

QString ourText(const QImage& image, capture::TextRecognitionEngines& engines) {
    const auto result = TextRecognizer::perform(image, engines);
    if (const auto* failure = std::get_if<TextRecognizer::Failure>(&result)) {
        std::fprintf(stderr, "text_recognition: %s\n", qPrintable(failure->description));
        std::exit(1);
    }
    return TextRecognizer::lines(std::get<TextRecognizer::Recognition>(result).fragments, true);
}

// One Tesseract engine as its command sets itself up (automatic page
// segmentation, the default engine), given the colour picture and the
// resolution we give ours.
class Tesseract {
public:
    Tesseract() {
        if (api_.Init(nullptr, "eng") != 0) {
            std::fprintf(stderr, "text_recognition: Tesseract cannot load English\n");
            std::exit(1);
        }
        api_.SetVariable("debug_file", "/dev/null");
        // The library's own default is one block; the command's is this.
        api_.SetPageSegMode(tesseract::PSM_AUTO);
    }
    ~Tesseract() { api_.End(); }
    QString read(const QImage& picture, bool allThreads) {
        omp_set_max_active_levels(allThreads ? 1 : 0);
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
        api_.SetImage(rgb.constBits(), rgb.width(), rgb.height(), 3,
                      static_cast<int>(rgb.bytesPerLine()));
        api_.SetSourceResolution(70);
        std::unique_ptr<char[]> text(api_.GetUTF8Text());
        api_.Clear();
        return QString::fromUtf8(text.get());
    }

private:
    tesseract::TessBaseAPI api_;
};

struct Accuracies {
    std::vector<std::pair<std::string, QString>> texts; // side → last text read
    void keep(const std::string& side, const QString& text) {
        for (auto& [name, kept] : texts) {
            if (name == side) {
                kept = text;
                return;
            }
        }
        texts.emplace_back(side, text);
    }
    void print(const Picture& picture) const {
        if (picture.truth.isEmpty()) {
            return;
        }
        std::printf("accuracy (1 - edit distance / %lld characters):",
                    static_cast<long long>(normalised(picture.truth).size()));
        for (const auto& [name, text] : texts) {
            std::printf("  %s %.4f;", name.c_str(), accuracy(text, picture.truth));
        }
        std::printf("\n");
    }
};

void warmInProcess(const Picture& picture, int rounds, Tesseract& tesseract) {
    auto& engines = capture::TextRecognitionEngines::shared();
    Accuracies read;
    const auto ours = [&] {
        QString text;
        const bench::Sample s = bench::measure([&] { text = ourText(picture.image, engines); });
        read.keep("ours", text);
        return s;
    };
    const auto theirs = [&](bool allThreads, const char* name) {
        return [&, allThreads, name] {
            QString text;
            const bench::Sample s =
                bench::measure([&] { text = tesseract.read(picture.image, allThreads); });
            read.keep(name, text);
            return s;
        };
    };
    std::printf("\n== %s, warm in this process\n", qPrintable(picture.name));
    bench::printResults(
        bench::interleave({{"ours (engines loaded, bands in parallel)", ours},
                           {"Tesseract engine loaded, 1 thread", theirs(false, "1 thread")},
                           {"Tesseract engine loaded, all threads", theirs(true, "all threads")}},
                          rounds),
        rounds);
    read.print(picture);
}

QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void wholeProcesses(const Picture& picture, int rounds, const std::string& self,
                    const std::string& tesseract, const QString& folder) {
    Accuracies read;
    const auto side = [&](const char* key, std::vector<std::string> argv,
                          std::vector<std::string> environment) {
        const std::string output = QDir(folder).filePath(QString::fromLatin1(key)).toStdString();
        return [&read, key, argv, environment, output] {
            const bench::Sample s = bench::runCommand(argv, environment, output.c_str());
            read.keep(key, readFile(QString::fromStdString(output)));
            return s;
        };
    };
    const std::string file = picture.path.toStdString();
    std::printf("\n== %s, whole processes\n", qPrintable(picture.name));
    bench::printResults(
        bench::interleave(
            {{"ours: text_recognition --recognize", side("ours", {self, "--recognize", file}, {})},
             {"tesseract (defaults)", side("defaults", {tesseract, file, "stdout"}, {})},
             {"tesseract, OMP_THREAD_LIMIT=1",
              side("1 thread", {tesseract, file, "stdout"}, {"OMP_THREAD_LIMIT=1"})},
             {"tesseract --dpi 70, OMP_THREAD_LIMIT=1",
              side("1 thread dpi 70", {tesseract, "--dpi", "70", file, "stdout"},
                   {"OMP_THREAD_LIMIT=1"})}},
            rounds),
        rounds);
    read.print(picture);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--recognize") == 0) {
        const QImage image(QString::fromLocal8Bit(argv[2]));
        if (image.isNull()) {
            std::fprintf(stderr, "text_recognition: cannot read %s\n", argv[2]);
            return 1;
        }
        std::fputs(qPrintable(ourText(image, capture::TextRecognitionEngines::shared())), stdout);
        std::fputc('\n', stdout);
        return 0;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QString tesseract = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    if (tesseract.isEmpty()) {
        std::fprintf(stderr, "tesseract is not installed (package tesseract-ocr)\n");
        return 1;
    }
    // Leptonica's complaints about boxes at a picture's edge are noise here.
    setMsgSeverity(L_SEVERITY_NONE);
    QTemporaryDir folder;
    const Picture pictures[] = {renderPage(folder.path()), renderDesktop(folder.path())};
    std::printf("1920 x 1080 pictures, %d cores\n", QThread::idealThreadCount());

    // Warm: the state a capture finds, the launch warm-up done and the band
    // engines loaded by an earlier capture (the warm-up round).
    TextRecognizer::warmUp(capture::TextRecognitionEngines::shared()).waitForFinished();
    Tesseract engine;
    for (const Picture& picture : pictures) {
        warmInProcess(picture, rounds, engine);
    }
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    for (const Picture& picture : pictures) {
        wholeProcesses(picture, rounds, self, tesseract.toStdString(), folder.path());
    }
    return 0;
}
