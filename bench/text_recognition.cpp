// Recognition latency of a 1920 × 1080 screenshot of text: our recognizer with
// its warm engines against the `tesseract` command on the same picture, with
// the character accuracy of both. Prints the time ratio at the end.

#include "capture/text/TextRecognitionEngines.h"
#include "capture/text/TextRecognizer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace TextRecognizer = capture::TextRecognizer;

namespace {

struct Page {
    QImage image;
    QString truth;
    QString path;
};

// A full screen of 13-pixel DejaVu Sans lines, as a scale-1 screen shows a
// document: words, numbers and punctuation.
Page renderPage(const QString& folder) {
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
    Page page;
    page.image = QImage(1920, 1080, QImage::Format_RGB32);
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

Page* page = nullptr;
std::map<std::string, double> accuracies;

void ours(benchmark::State& state) {
    auto& engines = capture::TextRecognitionEngines::shared();
    // The warm state a capture finds: the launch warm-up done, and the band
    // engines loaded by an earlier capture.
    TextRecognizer::warmUp(engines).waitForFinished();
    TextRecognizer::perform(page->image, engines);
    QString text;
    for (auto _ : state) {
        const auto result = TextRecognizer::perform(page->image, engines);
        const auto& recognition = std::get<TextRecognizer::Recognition>(result);
        text = TextRecognizer::lines(recognition.fragments, true);
    }
    accuracies["ours"] = accuracy(text, page->truth);
    state.counters["accuracy"] = accuracies["ours"];
}

void command(benchmark::State& state, bool oneThread) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    if (program.isEmpty()) {
        state.SkipWithError("tesseract is not installed (package tesseract-ocr)");
        return;
    }
    QString text;
    for (auto _ : state) {
        QProcess process;
        if (oneThread) {
            auto environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
            process.setProcessEnvironment(environment);
        }
        process.start(program, {page->path, QStringLiteral("stdout")});
        process.waitForFinished(-1);
        text = QString::fromUtf8(process.readAllStandardOutput());
    }
    const std::string name = oneThread ? "command, one thread" : "command";
    accuracies[name] = accuracy(text, page->truth);
    state.counters["accuracy"] = accuracies[name];
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred) {
                seconds[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    Page rendered = renderPage(folder.path());
    page = &rendered;

    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("recognizer (warm)", ours)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("tesseract command",
                                 [](benchmark::State& s) { command(s, false); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark("tesseract command, OMP_THREAD_LIMIT=1",
                                 [](benchmark::State& s) { command(s, true); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const auto& t = reporter.seconds;
    std::printf("\n1920 x 1080 page, %lld characters\n",
                static_cast<long long>(normalised(page->truth).size()));
    for (const auto& [name, value] : accuracies) {
        std::printf("accuracy %-22s %.4f\n", name.c_str(), value);
    }
    const auto ourTime = t.find("recognizer (warm)/iterations:3/real_time");
    for (const char* other : {"tesseract command/iterations:3/real_time",
                              "tesseract command, OMP_THREAD_LIMIT=1/iterations:3/real_time"}) {
        const auto theirs = t.find(other);
        if (ourTime != t.end() && theirs != t.end() && ourTime->second > 0) {
            std::printf("time ratio %s / ours: %.2f\n", other, theirs->second / ourTime->second);
        }
    }
    benchmark::Shutdown();
    return 0;
}
