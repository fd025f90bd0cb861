#include "app/Bundle.h"

namespace app {

namespace {

const QVariant* stringValue(const QVariantMap& info, const char* key) {
    const auto it = info.constFind(QLatin1String(key));
    if (it == info.constEnd() || it->typeId() != QMetaType::QString) {
        return nullptr;
    }
    return &*it;
}

} // namespace

const Bundle& Bundle::main() {
    static const Bundle bundle(QVariantMap{
        {QStringLiteral("CFBundleName"), QStringLiteral("Vexlin Capture")},
        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral(VEXLIN_VERSION)},
    });
    return bundle;
}

QString Bundle::appDisplayName() const {
    if (const QVariant* value = stringValue(info_, "CFBundleDisplayName")) {
        return value->toString();
    }
    return QStringLiteral("Vexlin Capture");
}

QString Bundle::shortVersionString() const {
    if (const QVariant* value = stringValue(info_, "CFBundleShortVersionString")) {
        return value->toString();
    }
    return {};
}

} // namespace app
