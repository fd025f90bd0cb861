#include "service/InstallCount.h"

#include <QtGlobal>

namespace service {

InstallCount& InstallCount::shared() {
    static InstallCount instance;
    return instance;
}

void InstallCount::start() {
    running_ = false;
}

} // namespace service
