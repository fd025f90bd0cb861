#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace platform {

// A movie being recorded is written as fragmented MPEG-4: an empty index up
// front, then a fragment (its own small index and its data) every second or
// so. Whatever stops the writing (a crash, a full disk, a lost X server)
// leaves every fragment finished before it playable.

// What cutting a fragmented movie back to its whole fragments left.
struct WholeFragments {
    bool isFragmented = false; // an MPEG-4 file with an index and fragments
    int fragments = 0;         // whole fragments kept
    std::int64_t size = 0;     // the file's length afterwards
};

// Cuts the file at `path` back to its last whole fragment (a fragment whose
// data was only partly written, or a box cut off, goes). Needs no free space:
// the file only gets shorter. Nothing when the file cannot be read or cut.
std::optional<WholeFragments> keepWholeFragments(const QString& path);

// Writes the movie at `from` again into `to` as one ordinary MPEG-4 file with
// its index in front (players can start before reading it all), without
// encoding anything again. `packets`, when known, is the number of samples of
// all tracks: room for the index is then kept at the start and the data is
// written once; otherwise it is moved once more at the end. The movie is
// written beside `to` under a hidden temporary name and moved there only when
// complete. Nothing on success, else why not.
std::optional<QString> remuxWithIndexInFront(const QString& from, const QString& to,
                                             std::int64_t packets = 0);

} // namespace platform
