#pragma once

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QObject>

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// The colour a tray asks its icons to draw their symbols in: the foreground
// of `_NET_SYSTEM_TRAY_COLORS` on the window of the tray that manages the
// default screen (the owner of `_NET_SYSTEM_TRAY_S<n>`). None without a tray,
// without an X server, or when the tray does not say.
std::optional<QColor> systemTrayForeground();

// The foreground of a `_NET_SYSTEM_TRAY_COLORS` value: twelve 16-bit
// channels (foreground, error, warning and success, red green blue each), the
// first three the foreground. None for a value too short to hold them.
std::optional<QColor> trayForegroundFrom(const std::vector<std::uint32_t>& words);

// Tells when a tray takes over the default screen (its MANAGER
// announcement), a tray that comes after the start or replaces another, so
// that icons can follow the new tray's colours. Main thread only.
class TrayAnnouncements final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit TrayAnnouncements(QObject* parent = nullptr);
    ~TrayAnnouncements() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // A tray announced itself; emitted a turn later, once the toolkit has
    // seen the announcement too.
    void trayAnnounced();

private:
    std::uint32_t managerAtom_ = 0;
    std::uint32_t selectionAtom_ = 0;
};

} // namespace platform
