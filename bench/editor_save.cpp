// Ctrl+S in the editor on a 3840 × 2160 capture of the busy desktop
// (BusyScreen.h) with 50 marks, 5 of them blurs, and the background on
// (AnnotatedDocument.h): render, encode as PNG, write over the opened file
// atomically (flushed to disk) and store the edit record. Aim: at most
// 0.5 s. The CPU column counts every thread of the process.
//
//   BM_SaveEdited          the document as it is while being edited: the
//                          canvas has drawn it, so its blurred copy exists
//   BM_SaveRightAfterOpen  a fresh document: the save builds the blurred copy
//
// The files go to the temporary folder (TMPDIR), on its disk.
#include "AnnotatedDocument.h"
#include "BusyScreen.h"

#include "annotation/CustomColors.h"
#include "annotation/EditStore.h"
#include "annotation/EditorDocument.h"
#include "annotation/Renderer.h"
#include "app/ContentKey.h"
#include "app/FilePanels.h"
#include "app/ImageEncoding.h"
#include "app/Preferences.h"
#include "app/SaveLocation.h"
#include "editor/export/EditorExport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
constexpr double kScale = 2;

// Any alert means the measurement is void.
class FailingPanels : public app::FilePanels {
public:
    void runSavePanel(const SaveRequest&, QWidget*, SaveDone done) override { done(std::nullopt); }
    std::optional<QString> chooseFolder(const std::optional<QString>&) override {
        return std::nullopt;
    }
    std::optional<QString> chooseImageToAnnotate() override { return std::nullopt; }
    void showError(QWidget*, const app::FileError& error) override {
        std::fprintf(stderr, "editor_save: %s\n", qPrintable(error.description()));
        std::abort();
    }
};

class Window : public editor::ExportHost {
public:
    std::unique_ptr<annotation::EditorDocument> shown;
    std::optional<editor::EditorFile> editorFile;

    annotation::EditorDocument* document() const override { return shown.get(); }
    const std::optional<editor::EditorFile>& file() const override { return editorFile; }
    void setFile(const std::optional<editor::EditorFile>& file) override { editorFile = file; }
    QWidget* window() const override { return nullptr; }
    void finishTextEditing() override {}
    void closeAfterExport() override {}
};

// A screenshot saved into the save folder when it was taken, opened again
// in the editor and marked up.
class Session {
public:
    Session()
        : preferences_(dir_.filePath("config/VexlinCapture.conf"))
        , location_({&preferences_, {}})
        , panels_(failing_)
        , store_(dir_.filePath("Edits"))
        , exporter_(window_, badge_, services()) {
        const QString folder = dir_.filePath("Captures");
        QDir().mkpath(folder);
        preferences_.setSaveFolderBookmark(folder.toUtf8());
        capture_.id = QUuid::createUuid();
        capture_.image = bench::BusyScreen::make(kWidth, kHeight)
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        capture_.scale = kScale;
        capture_.date = QDateTime::currentDateTime();
        path_ = folder + QStringLiteral("/capture.png");
        original_ = *app::encodeImage(capture_.image, app::ImageFormat::png, kScale);
        QFile file(path_);
        file.open(QIODevice::WriteOnly);
        file.write(original_);
        capture_.filePath = path_;
        open();
    }

    // The capture as the editor opens it, with the marks made.
    void open() {
        window_.shown = std::make_unique<annotation::EditorDocument>(
            capture_, bench::annotatedDocument(kWidth / kScale, kHeight / kScale, 96), &colours_);
        window_.editorFile = editor::EditorFile{path_, app::contentKey(original_),
                                                annotation::EditorState{}, original_};
    }
    // The canvas has drawn the document: its filtered copies exist.
    void draw() { annotation::renderer::render(window_.shown->state(), window_.shown->sources()); }
    // Changes since the last save, so that the next one writes.
    void edit() { window_.editorFile->savedState = annotation::EditorState{}; }
    bool save() { return exporter_.writeImage(); }

private:
    editor::ExportServices services() {
        editor::ExportServices s;
        s.editStore = &store_;
        s.now = [] { return QDateTime::currentDateTime(); };
        return s;
    }

    QTemporaryDir dir_;
    app::Preferences preferences_;
    app::SaveLocation::ScopedServices location_;
    FailingPanels failing_;
    app::ScopedFilePanels panels_;
    annotation::EditStore store_;
    annotation::CustomColors colours_{nullptr};
    editor::ConfirmationBadgeModel badge_;
    Window window_;
    editor::EditorExport exporter_;
    app::Capture capture_;
    QString path_;
    QByteArray original_;
};

// Made on first use, removed with its files before the program ends.
std::unique_ptr<Session>& sessionSlot() {
    static std::unique_ptr<Session> slot;
    return slot;
}
Session& session() {
    if (!sessionSlot()) {
        sessionSlot() = std::make_unique<Session>();
    }
    return *sessionSlot();
}

void BM_SaveEdited(benchmark::State& state) {
    Session& s = session();
    s.open();
    s.draw();
    for (auto _ : state) {
        state.PauseTiming();
        s.edit();
        state.ResumeTiming();
        if (!s.save()) {
            state.SkipWithError("nothing was saved");
        }
    }
}
BENCHMARK(BM_SaveEdited)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_SaveRightAfterOpen(benchmark::State& state) {
    Session& s = session();
    for (auto _ : state) {
        state.PauseTiming();
        s.open();
        state.ResumeTiming();
        if (!s.save()) {
            state.SkipWithError("nothing was saved");
        }
    }
}
BENCHMARK(BM_SaveRightAfterOpen)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sessionSlot().reset();
    return 0;
}
