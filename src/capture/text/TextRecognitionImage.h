#pragma once

#include <QImage>
#include <QList>

namespace capture {

// A captured picture made ready for the text engine: grey, and enlarged when
// its text is too small for the engine to read reliably.
struct TextRecognitionImage {
    // The picture in 8-bit grey at its own size (what the code reader uses).
    QImage grey;
    // `grey` enlarged by `factor` (the same image when the factor is 1).
    QImage forText;
    qreal factor = 1;

    static TextRecognitionImage prepare(const QImage& picture);

    // Typical text height in pixels: the median height of the runs of rows
    // that hold any ink, 0 when no row does.
    static int typicalInkHeight(const QImage& grey);
    // How much to enlarge text of that height. On rendered screen text
    // (DejaVu Sans and Serif, 9 to 32 pixels) the engine misread 1 to 12
    // characters in 500 where text rows were under 13 pixels high and none
    // when they were enlarged by 1.5; taller text read as well at its own size
    // and enlarging it only cost time.
    static qreal enlargement(int inkHeight);

    // Rows (from the top) at which to cut `grey` into at most `bands` pieces
    // of about equal height for engines working side by side. Cuts lie in the
    // middle of runs of blank rows, so no text line is split; where no such
    // run lies near an even cut there are fewer pieces. Starts with 0 and ends
    // with the image height.
    static QList<int> bandCuts(const QImage& grey, int bands);
};

} // namespace capture
