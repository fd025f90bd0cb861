#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace recording {

// A movie a recording left unfinished, made whole again.
struct RecoveredMovie {
    QString path;   // <name>.mp4 in the working folder
    QDateTime date; // when its recording began, as near as the file tells
};

// Finishes what recordings cut off (the program killed, the X server gone)
// left in `folder`: each hidden working movie ".<name>.mp4.part" is cut back
// to its whole fragments and written as "<name>.mp4" with its index in front
// (or, without room for that, renamed there as it is: it plays all the same).
// A working movie without a whole fragment, and half-written copies of a
// finish that was cut off, are removed: nothing unplayable stays. Files
// written after `before` (a recording of this run, started meanwhile) are
// left alone. Blocking: off the main thread.
std::vector<RecoveredMovie> recoverUnfinishedRecordings(const QString& folder,
                                                        const QDateTime& before);

} // namespace recording
