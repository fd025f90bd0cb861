// Exports a movie as a GIF as the recording session does, for
// bench/gif_vs_ffmpeg.sh, which times it as a whole process.
//   gif_export MOVIE GIF FPS MAX_WIDTH
#include "recording/GifExport.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: gif_export MOVIE GIF FPS MAX_WIDTH\n");
        return 2;
    }
    const std::optional<recording::WriterError> error =
        recording::exportGif(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                             std::atoi(argv[3]), std::atof(argv[4]));
    if (error) {
        std::fprintf(stderr, "%s\n", qPrintable(error->description()));
        return 1;
    }
    return 0;
}
