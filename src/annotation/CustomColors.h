#pragma once

#include "app/RGBA.h"

#include <QObject>
#include <QTimer>

#include <optional>
#include <vector>

class QSettings;

namespace annotation {

using app::RGBA;

// The user's recent colours outside the built-in palette: normalised to whole
// 1/255 steps, opaque, without duplicates, at most ten, newest first.
struct CustomColorList {
    std::vector<RGBA> colors;

    friend bool operator==(const CustomColorList&, const CustomColorList&) = default;

    static constexpr std::size_t limit = 10;
    static CustomColorList normalized(const std::vector<RGBA>& colours);
    CustomColorList removing(const RGBA& colour) const;
};

// The recent-colour list kept in the settings key "customAnnotationColors"
// as a bare JSON array of colour objects. Main thread.
class CustomColors : public QObject {
    Q_OBJECT

public:
    // Over the given settings (not owned; none keeps the list in memory only).
    // An unreadable stored value gives an empty list and is left in place.
    explicit CustomColors(QSettings* settings, QObject* parent = nullptr);
    ~CustomColors() override;

    // The one instance, over the program's settings file.
    static CustomColors& shared();

    static inline const char* const settingsKey = "customAnnotationColors";
    // How long a picked colour must stay unchanged before it is added.
    static constexpr int settleMilliseconds = 1000;

    const CustomColorList& list() const { return list_; }
    // Stores and writes the list when it differs from the current one.
    void setList(const CustomColorList& list);

    // A colour being picked: added once no newer one came for a second.
    void colorDidChange(const RGBA& colour);
    // Adds the colour being picked at once, if there is one.
    void commitPendingColor();
    bool hasPendingColor() const { return settling_.has_value(); }

    // The list with the colour at the front; palette colours change nothing.
    static CustomColorList add(const CustomColorList& list, double red, double green, double blue);
    static bool isPaletteColor(double red, double green, double blue);
    // Each channel to the nearest 1/255 step within 0…1, alpha 1.
    static RGBA normalize(double red, double green, double blue);

    static QByteArray encode(const CustomColorList& list);
    static std::optional<CustomColorList> decode(const QByteArray& bytes);

Q_SIGNALS:
    void listChanged();

private:
    CustomColorList list_;
    QTimer pending_;
    std::optional<RGBA> settling_;
    QSettings* settings_;
};

} // namespace annotation
