#include "platform/GifInfo.h"

#include "platform/DeferredLibrary.h"
#include "platform/SafeFile.h"

#include <gif_lib.h>

#include <cstring>

namespace platform {

std::optional<GifInfo> GifInfo::read(const QString& path) {
    if (!loadDeferred(DeferredLibrary::gif)) {
        return std::nullopt;
    }
    int error = 0;
    GifFileType* gif = DGifOpenFileName(pathBytes(path).constData(), &error);
    if (!gif) {
        return std::nullopt;
    }
    struct Closer {
        GifFileType* gif;
        ~Closer() { DGifCloseFile(gif, nullptr); }
    } closer{gif};
    if (DGifSlurp(gif) != GIF_OK) {
        return std::nullopt;
    }
    GifInfo info;
    info.size = QSize(gif->SWidth, gif->SHeight);
    for (int i = 0; i < gif->ImageCount; ++i) {
        GraphicsControlBlock control{};
        if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK) {
            info.delays.push_back(control.DelayTime);
        } else {
            info.delays.push_back(std::nullopt);
        }
        // The loop count travels in an application block before a frame: the
        // name, then a sub-block of 1 and the count, low byte first.
        const SavedImage& image = gif->SavedImages[i];
        for (int k = 0; k + 1 < image.ExtensionBlockCount && !info.loopCount; ++k) {
            const ExtensionBlock& name = image.ExtensionBlocks[k];
            const ExtensionBlock& data = image.ExtensionBlocks[k + 1];
            if (name.Function == APPLICATION_EXT_FUNC_CODE && name.ByteCount == 11 &&
                (std::memcmp(name.Bytes, "NETSCAPE2.0", 11) == 0 ||
                 std::memcmp(name.Bytes, "ANIMEXTS1.0", 11) == 0) &&
                data.Function == CONTINUE_EXT_FUNC_CODE && data.ByteCount >= 3 &&
                data.Bytes[0] == 1) {
                info.loopCount = data.Bytes[1] | (data.Bytes[2] << 8);
            }
        }
    }
    return info;
}

} // namespace platform
