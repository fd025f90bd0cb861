#pragma once

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace app {

// Save As: asks for a file in a save panel (modal to window when there is
// one, application-modal otherwise) proposing the capture name with the
// extension of the imageFormat setting and opening in the save folder, then
// writes the image there: as JPEG when the chosen name ends in .jpg or .jpeg
// (any letter case), as PNG otherwise. An image that cannot be encoded or a
// write that fails is shown in an alert. completion runs once, with the path
// written or nothing (cancelled or failed).
void saveImageWithPanel(const QImage& image, const QDateTime& date, QWidget* window, double scale,
                        std::function<void(std::optional<QString>)> completion);

// The same for a Quick Access card, which may close while the panel is open:
// finished runs only while card still exists.
void saveQuickAccessImageWithPanel(const QImage& image, const QDateTime& date, QWidget* window,
                                   QPointer<QObject> card, double scale,
                                   std::function<void(std::optional<QString>)> finished);

} // namespace app
