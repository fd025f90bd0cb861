#pragma once

#include <QString>

#include <cstddef>

// The libraries only some features need are loaded on their first use (see
// cmake/DeferredLibrary.cmake): the program idles in the tray most of its
// life and they would hold tens of megabytes meanwhile.

extern "C" {

// One deferred library, defined by its generated trampolines; the layout is
// theirs.
struct DeferredLibraryDescriptor {
    const char* soname;
    const char* const* names;
    void** slots;
    std::size_t count;
    void* handle;
};

// Called by a trampoline on the first call of function `index`: loads the
// library if need be, stores the function's address in its slot and returns
// it. A library or function that cannot be found ends the program with a
// message naming it and the loader's reason, since the call cannot go on.
void* vexlin_deferred_resolve(DeferredLibraryDescriptor* library, std::size_t index);
}

namespace platform {

// Groups of libraries, each what one feature calls.
enum class DeferredLibrary {
    movies,      // FFmpeg: recording, the video editor, movie thumbnails
    gif,         // giflib and libimagequant: GIF export and reading
    tiff,        // libtiff: TIFF output
    archive,     // libarchive: unpacking an update
    recognition, // Tesseract: text recognition
    codes,       // ZXing: reading QR and other codes
};

// Loads `which` now unless it is loaded. A feature calls this before it starts
// its work, so a missing library ends in the feature's own error path (with
// the reason in `error`) and not in the middle of writing a file. Thread-safe.
bool loadDeferred(DeferredLibrary which, QString* error = nullptr);

// Loads one library of trampolines; what loadDeferred does for each of its
// group. False with the library's name and the loader's reason in `error`
// (and on standard error).
bool loadDeferredLibrary(DeferredLibraryDescriptor& library, QString* error);

} // namespace platform
