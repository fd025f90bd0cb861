// Exports a range of a movie as the video editor does (re-encoded with every
// sound track), for bench/video_trim_vs_ffmpeg.sh, which times it as a whole
// process. The folder receives one new movie named by a UUID.
//   video_trim MOVIE FOLDER START END
#include "videoeditor/VideoExport.h"

#include <QCoreApplication>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: video_trim MOVIE FOLDER START END\n");
        return 2;
    }
    app::Recording source;
    source.url = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1]));
    const double start = std::atof(argv[3]);
    const double end = std::atof(argv[4]);
    videoeditor::ExportPlan plan;
    plan.kind = videoeditor::ExportPlan::Kind::video;
    plan.range = videoeditor::TrimRange{start, end - start};
    const videoeditor::ExportResult result =
        videoeditor::runExport(plan, source, QString::fromLocal8Bit(argv[2]));
    if (const auto* error = std::get_if<recording::WriterError>(&result)) {
        std::fprintf(stderr, "%s\n", qPrintable(error->description()));
        return 1;
    }
    return 0;
}
