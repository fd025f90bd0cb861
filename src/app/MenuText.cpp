#include "app/MenuText.h"

#include <QHash>

#include <array>
#include <utility>

namespace app {

QString menuTitle(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return escaped;
}

QString menuTitle(const QString& text, const QString& shortcutText) {
    if (shortcutText.isEmpty()) {
        return menuTitle(text);
    }
    return menuTitle(text) + QLatin1Char('\t') + menuTitle(shortcutText);
}

QIcon menuSymbol(const QString& symbolName) {
    // Freedesktop icon names that show the same thing as the program's symbols.
    static const std::array<std::pair<const char*, const char*>, 11> kThemeNames{{
        {"rectangle.dashed", "select-rectangular"},
        {"macwindow", "window"},
        {"display", "video-display"},
        {"arrow.down", "go-down"},
        {"textformat", "insert-text"},
        {"video", "camera-video"},
        {"doc.on.clipboard", "edit-copy"},
        {"timer", "chronometer"},
        {"pencil", "document-edit"},
        {"folder", "folder"},
        {"stop.circle.fill", "media-playback-stop"},
    }};
    static QHash<QString, QIcon> cache;
    const auto cached = cache.constFind(symbolName);
    if (cached != cache.constEnd()) {
        return *cached;
    }
    QIcon icon;
    for (const auto& [symbol, theme] : kThemeNames) {
        if (symbolName == QLatin1String(symbol)) {
            icon = QIcon::fromTheme(QString::fromLatin1(theme));
            break;
        }
    }
    cache.insert(symbolName, icon);
    return icon;
}

} // namespace app
