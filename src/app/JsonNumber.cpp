#include "app/JsonNumber.h"

#include <charconv>
#include <cmath>
#include <string>

namespace app {

QByteArray jsonNumber(double value) {
    Q_ASSERT(std::isfinite(value));
    if (value == 0) {
        return std::signbit(value) ? QByteArrayLiteral("-0") : QByteArrayLiteral("0");
    }
    // Shortest round-trip digits in scientific form: d.ddde±x.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string text(buffer, result.ptr);
    const bool negative = text.front() == '-';
    const std::size_t ePos = text.find('e');
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < ePos; ++i) {
        if (text[i] != '.') {
            digits.push_back(text[i]);
        }
    }
    // value = 0.digits × 10^decimalExponent
    const int decimalExponent = std::stoi(text.substr(ePos + 1)) + 1;

    std::string out = negative ? "-" : "";
    if (decimalExponent < -3 || std::fabs(value) > 0x1.0p54) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        const int exponent = decimalExponent - 1;
        out += exponent < 0 ? "e-" : "e+";
        const std::string magnitude = std::to_string(std::abs(exponent));
        if (magnitude.size() < 2) {
            out += '0';
        }
        out += magnitude;
    } else if (decimalExponent <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-decimalExponent), '0');
        out += digits;
    } else if (static_cast<std::size_t>(decimalExponent) >= digits.size()) {
        out += digits;
        out.append(static_cast<std::size_t>(decimalExponent) - digits.size(), '0');
    } else {
        out += digits.substr(0, static_cast<std::size_t>(decimalExponent));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(decimalExponent));
    }
    return QByteArray::fromStdString(out);
}

} // namespace app
