#include "settings/HiddenAppsSource.h"

namespace settings {

namespace {
HiddenAppsSource* installed = nullptr;
} // namespace

HiddenAppsSource& HiddenAppsSource::current() {
    static HiddenAppsSource empty;
    return installed != nullptr ? *installed : empty;
}

void HiddenAppsSource::setCurrent(HiddenAppsSource* source) {
    installed = source;
}

} // namespace settings
