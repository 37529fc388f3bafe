#include "toolkit/app/exception.h"
#include "toolkit/sys/sysutils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ParseIntDefault, ReadsDecimalTextsAndFallsBackOnAnythingElse) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"250", 250},         {"-7", -7},           {"+5", 5},
        {" 42", 42},          {"\t8", 8},           {"0", 0},
        {"", 99},             {" ", 99},            {"-", 99},
        {"12a", 99},          {"a12", 99},          {"42 ", 99},
        {"1 2", 99},          {"--1", 99},          {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},           {"2147483648", 99},
        {"-2147483649", 99},  {"99999999999999999999", 99},
        {"70000", 70000},     {"007", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("text '") + c.text + "'");
        EXPECT_EQ(c.expected, ParseIntDefault(c.text, 99));
    }
}

TEST(ParseIntDefault, WindowDefaultZeroForEmptyAndLetters) {
    EXPECT_EQ(0, ParseIntDefault("", 0));
    EXPECT_EQ(0, ParseIntDefault("12a", 0));
    EXPECT_EQ(-7, ParseIntDefault("-7", 0));
}

TEST(FormatText, PositionTextPadsToFourDigitsWithTheSignAhead) {
    struct Case {
        int x, y, z;
        const char* expected;
    };
    const Case cases[] = {
        {50, -25, 0, "X0050 Y-0025 Z0000"},
        {-1, 10000, 0, "X-0001 Y10000 Z0000"},
        {0, 0, 0, "X0000 Y0000 Z0000"},
        {32767, -32768, 7, "X32767 Y-32768 Z0007"},
        {120, -1, 9999, "X0120 Y-0001 Z9999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.expected, FormatText("X%0.4d Y%0.4d Z%0.4d", c.x, c.y, c.z));
    }
}

TEST(FormatText, RejectsConversionsOtherThanIntegers) {
    for (const char* format : {"%s", "%d %d %d %d", "%ld", "%x"}) {
        SCOPED_TRACE(format);
        EXPECT_THROW(FormatText(format, 1, 2, 3), Exception);
    }
    EXPECT_EQ("100%", FormatText("%d%%", 100, 0, 0));
}

TEST(Sleep, GoesThroughTheReplaceableHandler) {
    std::vector<unsigned> pauses;
    const SleepHandler previous = SetSleepHandler([&](unsigned ms) { pauses.push_back(ms); });
    Sleep(20);
    Sleep(1);
    SetSleepHandler(previous);
    EXPECT_EQ((std::vector<unsigned>{20, 1}), pauses);
}
