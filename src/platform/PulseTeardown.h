#pragma once

// Shared by this folder's PulseAudio streams (recording and playing sound).

#include <pulse/pulseaudio.h>

namespace platform::pulse {

// Ends `stream` and `context`, taking their callbacks off first so that none
// runs on an owner being destroyed, then stops and frees the threaded main
// loop; all three are null afterwards. `underLock` runs first, with the loop
// locked.
template <typename UnderLock>
void tearDown(pa_threaded_mainloop*& loop, pa_context*& context, pa_stream*& stream,
              UnderLock underLock) {
    if (loop == nullptr) {
        return;
    }
    pa_threaded_mainloop_lock(loop);
    underLock();
    if (stream != nullptr) {
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }
    if (context != nullptr) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    pa_threaded_mainloop_unlock(loop);
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
    loop = nullptr;
}

} // namespace platform::pulse
