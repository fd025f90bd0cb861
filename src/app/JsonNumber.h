#pragma once

#include <QByteArray>

namespace app {

// A double as the platform's default JSON encoder writes it in the stored
// formats: the shortest text that reads back to the same double, whole values
// without a fractional part ("40", not "40.0"), exponent form below 1e-4 and
// above 2^54 ("1e-05", "1.5e+20"). Not-finite values have no JSON form: the
// caller must reject them first.
QByteArray jsonNumber(double value);

} // namespace app
