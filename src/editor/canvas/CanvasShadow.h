#pragma once

#include "desktop/DropShadow.h"

namespace editor {

using desktop::DropShadow;
using desktop::dropShadow;
using desktop::rectShadow;

} // namespace editor
