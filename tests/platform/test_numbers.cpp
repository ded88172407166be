#include <cmath>
#include <gtest/gtest.h>

#include "platform/Numbers.h"

using namespace brimlow;

TEST(Numbers, NumericTextAndItsValue)
{
    struct Case {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"500", 500}, {" 12 ", 12}, {"+3", 3}, {"-2", -2}, {"1.5", 1.5}, {".5", 0.5}, {"5.", 5},
        {"1e3", 1000}, {"2E-1", 0.2}, {"0", 0},
        {"", std::nullopt}, {" ", std::nullopt}, {"abc", std::nullopt}, {"1a", std::nullopt},
        {"1.2.3", std::nullopt}, {"-", std::nullopt}, {".", std::nullopt}, {"1e", std::nullopt},
        {"inf", std::nullopt}, {"nan", std::nullopt}, {"0x10", std::nullopt}, {"1 2", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumericValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(Numbers, OutOfRangeNumbersAreHugeOrZero)
{
    EXPECT_EQ(NumericValue("1e999"), HUGE_VAL);
    EXPECT_EQ(NumericValue("-1e999"), -HUGE_VAL);
    EXPECT_EQ(NumericValue(std::string(400, '9')), HUGE_VAL);
    EXPECT_EQ(NumericValue("1e-999"), 0.0);
    EXPECT_EQ(NumericValue("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(Numbers, HalvesRoundToTheEvenNeighbour)
{
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(5.4), 5);
    EXPECT_EQ(RoundHalfEven(5.5), 6);
}
