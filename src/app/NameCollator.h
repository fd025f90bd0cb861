#pragma once

#include <QCollator>

namespace app {

// Names compared as a file manager lists them: runs of digits by their value
// ("shot9" before "shot10"), letters by the user's language, case ignored.
// The C locale has no collation rules, and Qt's collator then ignores numeric
// mode, so English ones stand in. One collator per thread: it is not meant to
// be shared between threads.
const QCollator& nameCollator();

} // namespace app
