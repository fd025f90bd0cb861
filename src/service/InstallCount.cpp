#include "service/InstallCount.h"

namespace service {

InstallCount& InstallCount::shared() {
    static InstallCount instance;
    return instance;
}

void InstallCount::start() {
    running_ = false;
}

} // namespace service
