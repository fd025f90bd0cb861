#include "platform/DeferredLibrary.h"

#include <QDebug>

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <mutex>

// The descriptors exist only for the libraries the build defers
// (cmake/DeferredLibrary.cmake defines VEXLIN_DEFERRED_name for each).
#define VEXLIN_DECLARE_DEFERRED(name) extern "C" DeferredLibraryDescriptor vexlin_deferred_##name;
#ifdef VEXLIN_DEFERRED_avformat
VEXLIN_DECLARE_DEFERRED(avformat)
VEXLIN_DECLARE_DEFERRED(avcodec)
VEXLIN_DECLARE_DEFERRED(swscale)
VEXLIN_DECLARE_DEFERRED(swresample)
VEXLIN_DECLARE_DEFERRED(avutil)
#endif
#ifdef VEXLIN_DEFERRED_gif
VEXLIN_DECLARE_DEFERRED(gif)
VEXLIN_DECLARE_DEFERRED(imagequant)
#endif
#ifdef VEXLIN_DEFERRED_tiff
VEXLIN_DECLARE_DEFERRED(tiff)
#endif
#ifdef VEXLIN_DEFERRED_archive
VEXLIN_DECLARE_DEFERRED(archive)
#endif
#ifdef VEXLIN_DEFERRED_tesseract
VEXLIN_DECLARE_DEFERRED(tesseract)
#endif
#ifdef VEXLIN_DEFERRED_zxing
VEXLIN_DECLARE_DEFERRED(zxing)
#endif

namespace {

// dlerror() is per thread but its text is only good until the next call; the
// lock also keeps two first calls from loading one library twice.
std::mutex& loaderLock() {
    static std::mutex lock;
    return lock;
}

// With the lock held. Null and the reason in `reason` when the library is
// not there.
void* openLocked(DeferredLibraryDescriptor& library, const char** reason) {
    if (!library.handle) {
        // RTLD_NOW: a library with a missing dependency fails here, where the
        // feature can still say so, and not at some later call.
        library.handle = dlopen(library.soname, RTLD_NOW | RTLD_LOCAL);
        if (!library.handle) {
            *reason = dlerror();
        }
    }
    return library.handle;
}

// `what` is "load LIBRARY" or "find FUNCTION in LIBRARY".
[[noreturn]] void giveUp(const char* what, const char* name, const char* soname,
                         const char* reason) {
    std::fprintf(stderr, what, name, soname);
    std::fprintf(stderr, ": %s\n", reason ? reason : "unknown reason");
    std::fflush(stderr);
    std::abort();
}

} // namespace

extern "C" void* vexlin_deferred_resolve(DeferredLibraryDescriptor* library, std::size_t index) {
    std::lock_guard<std::mutex> guard(loaderLock());
    const char* reason = nullptr;
    void* handle = openLocked(*library, &reason);
    if (!handle) {
        giveUp("Vexlin Capture: cannot load %s%s", "", library->soname, reason);
    }
    dlerror();
    void* function = dlsym(handle, library->names[index]);
    if (!function) {
        giveUp("Vexlin Capture: cannot find %s in %s", library->names[index], library->soname,
               dlerror());
    }
    // Other threads read the slot without the lock, from the trampoline.
    std::atomic_ref<void*>(library->slots[index]).store(function, std::memory_order_release);
    return function;
}

namespace platform {

bool loadDeferredLibrary(DeferredLibraryDescriptor& library, QString* error) {
    std::lock_guard<std::mutex> guard(loaderLock());
    const char* reason = nullptr;
    if (openLocked(library, &reason)) {
        return true;
    }
    const QString text = QStringLiteral("Could not load %1: %2")
                             .arg(QString::fromUtf8(library.soname),
                                  QString::fromUtf8(reason ? reason : "unknown reason"));
    // Some callers only have "could not open" to show; the reason goes to
    // standard error for whoever looks.
    qWarning("%s", qPrintable(text));
    if (error) {
        *error = text;
    }
    return false;
}

bool loadDeferred(DeferredLibrary which, QString* error) {
    [[maybe_unused]] auto loadAll =
        [error](std::initializer_list<DeferredLibraryDescriptor*> libraries) {
            for (DeferredLibraryDescriptor* library : libraries) {
                if (!loadDeferredLibrary(*library, error)) {
                    return false;
                }
            }
            return true;
        };
    switch (which) {
    case DeferredLibrary::movies:
#ifdef VEXLIN_DEFERRED_avformat
        return loadAll({&vexlin_deferred_avutil, &vexlin_deferred_swresample,
                        &vexlin_deferred_swscale, &vexlin_deferred_avcodec,
                        &vexlin_deferred_avformat});
#else
        break;
#endif
    case DeferredLibrary::gif:
#ifdef VEXLIN_DEFERRED_gif
        return loadAll({&vexlin_deferred_gif, &vexlin_deferred_imagequant});
#else
        break;
#endif
    case DeferredLibrary::tiff:
#ifdef VEXLIN_DEFERRED_tiff
        return loadAll({&vexlin_deferred_tiff});
#else
        break;
#endif
    case DeferredLibrary::archive:
#ifdef VEXLIN_DEFERRED_archive
        return loadAll({&vexlin_deferred_archive});
#else
        break;
#endif
    case DeferredLibrary::recognition:
#ifdef VEXLIN_DEFERRED_tesseract
        return loadAll({&vexlin_deferred_tesseract});
#else
        break;
#endif
    case DeferredLibrary::codes:
#ifdef VEXLIN_DEFERRED_zxing
        return loadAll({&vexlin_deferred_zxing});
#else
        break;
#endif
    }
    // Linked with the program: loaded already.
    return true;
}

} // namespace platform
