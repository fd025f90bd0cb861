#pragma once

#include <QString>
#include <QVariantMap>

namespace app {

// What the program tells the user about itself: its name and version. The
// information dictionary of the installed program is fixed at build time.
class Bundle {
public:
    explicit Bundle(QVariantMap info) : info_(std::move(info)) {}

    // The program as built: its version comes from the build (VEXLIN_VERSION).
    static const Bundle& main();

    // "CFBundleDisplayName" when it is a string (also an empty one), else
    // "Vexlin Capture".
    QString appDisplayName() const;
    // "CFBundleShortVersionString" when it is a string, else empty.
    QString shortVersionString() const;

private:
    QVariantMap info_;
};

} // namespace app
