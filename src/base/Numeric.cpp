#include "base/Numeric.h"

#include <cstdio>

namespace kelo {

std::string FormatMinDigits(long long value, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", digits, value);
    return buf;
}

std::string FormatSeconds(double value) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%06.2f", value);
    return buf;
}

double RoundTwoDecimals(double value) { return std::nearbyint(value * 100.0) / 100.0; }

std::string FormatTwoDecimalsTrimmed(double value) {
    long long hundredths = std::llrint(value * 100.0);
    bool negative = hundredths < 0;
    if (negative) hundredths = -hundredths;
    std::string text = std::to_string(hundredths / 100);
    int fraction = static_cast<int>(hundredths % 100);
    if (fraction != 0) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02d", fraction);
        std::string digits = buf;
        if (digits.back() == '0') digits.pop_back();
        text += "." + digits;
    }
    return negative ? "-" + text : text;
}

}  // namespace kelo
