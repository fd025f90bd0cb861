#pragma once

#include "platform/GlobalKeyGrabber.h"
#include "platform/GrabbedKeyMatcher.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <map>
#include <vector>

struct xcb_connection_t;

namespace platform {

// Hot keys as passive key grabs on every root window. Each combination is
// grabbed four times, with and without Num Lock and Caps Lock, so that the
// lock keys do not disable it; a press reaches the owner through a native
// event filter on the application. The connection is the application's own
// (its events are the ones the filter sees) and must outlive the grabber.
class X11KeyGrabber final : public GlobalKeyGrabber, public QAbstractNativeEventFilter {
public:
    explicit X11KeyGrabber(xcb_connection_t* connection);
    ~X11KeyGrabber() override;
    X11KeyGrabber(const X11KeyGrabber&) = delete;
    X11KeyGrabber& operator=(const X11KeyGrabber&) = delete;

    GrabResult grab(quint32 id, XKeyCombo key) override;
    void ungrab(quint32 id) override;
    void setOnPressed(std::function<void(quint32 id)> onPressed) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    quint16 readNumLockMask() const;
    std::vector<quint16> lockVariants() const;
    void ungrabVariants(XKeyCombo key, const std::vector<quint16>& variants);

    xcb_connection_t* connection_;
    std::vector<quint32> roots_;
    GrabbedKeyMatcher matcher_;
    // The lock variants each id was grabbed with, to let go of exactly those.
    std::map<quint32, std::vector<quint16>> variants_;
    std::function<void(quint32)> onPressed_;
    // Presses are handed on from the event loop rather than from inside the
    // filter, which runs in the middle of Qt's event reading.
    QObject context_;
};

} // namespace platform
