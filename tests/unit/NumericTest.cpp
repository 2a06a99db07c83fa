#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "base/Numeric.h"

namespace kelo {
namespace {

TEST(Numeric, RoundsHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(38.5), 38);
    EXPECT_EQ(RoundHalfEven(156.5), 156);
    EXPECT_EQ(RoundHalfEven(157.5), 158);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(1e12), 2147483647);
}

// The inline conversion must agree with the library's nearbyint, saturated, on every
// quarter step (halves of both parities) and around both limits.
TEST(Numeric, RoundingAgreesWithNearbyintEverywhere) {
    auto reference = [](double v) {
        const double r = std::nearbyint(v);
        return r >= 2147483647.0 ? 2147483647 : r <= -2147483648.0 ? -2147483647 - 1 : static_cast<int32_t>(r);
    };
    std::vector<double> values;
    for (int q = -4000; q <= 4000; ++q) values.push_back(q / 4.0);
    for (double edge : {2147483647.0, -2147483648.0, 1e300, -1e300, 8388608.5, -8388609.5}) {
        for (double d : {-1.5, -0.5, -0.25, 0.0, 0.25, 0.5, 1.5}) values.push_back(edge + d);
    }
    values.push_back(std::numeric_limits<double>::infinity());
    values.push_back(-std::numeric_limits<double>::infinity());
    for (double v : values) EXPECT_EQ(RoundHalfEven(v), reference(v)) << v;
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

TEST(Numeric, TruncatingDivisionRoundsFloatsFirst) {
    EXPECT_EQ(TruncDiv(-7, 2), -3);
    EXPECT_EQ(TruncDiv(1099.5, 100), 11);  // 1099.5 rounds to 1100
    EXPECT_EQ(TruncDiv(1098.5, 100), 10);  // 1098.5 rounds to 1098
    EXPECT_EQ(TruncDiv(-150.0, 160), 0);
}

TEST(Numeric, DisplayPatterns) {
    EXPECT_EQ(FormatMinDigits(4, 2), "04");
    EXPECT_EQ(FormatMinDigits(123, 2), "123");
    EXPECT_EQ(FormatMinDigits(50, 4), "0050");
    EXPECT_EQ(FormatSeconds(61875.0 / 990), "062.50");
    EXPECT_EQ(FormatSeconds(5.5), "005.50");
    EXPECT_EQ(FormatSeconds(123.4), "123.40");
    EXPECT_EQ(FormatSeconds(0), "000.00");
    EXPECT_EQ(FormatTwoDecimalsTrimmed(96.0), "96");
    EXPECT_EQ(FormatTwoDecimalsTrimmed(87.5), "87.5");
    EXPECT_EQ(FormatTwoDecimalsTrimmed(93.27), "93.27");
}

TEST(Numeric, CountDownStopsAtZero) {
    EXPECT_EQ(CountDown(1), 0);
    EXPECT_EQ(CountDown(0), 0);
    EXPECT_EQ(CountDown(2, 4), 0);
    EXPECT_EQ(CountDown(50, 4), 46);
}

}  // namespace
}  // namespace kelo
