#include "core/measure/gain_set.h"

#include <gtest/gtest.h>

#include <string>

TEST(GainText, SaysTheValueTheRunTakesAndWhyItDiffersFromTheText) {
    const struct {
        const char* text;
        std::int16_t value;
        GainTextKind kind;
        const char* why;  // a part of the reason
    } cases[] = {
        {"250", 250, GainTextKind::AsWritten, ""},
        {" +42", 42, GainTextKind::AsWritten, ""},
        {"-32768", -32768, GainTextKind::AsWritten, ""},
        {"32768", -32768, GainTextKind::Wrapped, "The run uses -32768: 32768 does not fit in 16 bits"},
        {"70000", 4464, GainTextKind::Wrapped, "The run uses 4464"},
        {"-2147483648", 0, GainTextKind::Wrapped, "The run uses 0: -2147483648 does not fit"},
        {"abc", 0, GainTextKind::NotANumber, "The run uses 0: 'abc' is not a whole number"},
        {"", 0, GainTextKind::NotANumber, "is not a whole number"},
        {"2.5", 0, GainTextKind::NotANumber, "is not a whole number"},
        {"12 ", 0, GainTextKind::NotANumber, "is not a whole number"},
        {"+-1", 0, GainTextKind::NotANumber, "is not a whole number"},
        {"2147483648", 0, GainTextKind::TooLong, "too long to read as a number"},
        {"99999999999999999999999", 0, GainTextKind::TooLong, "too long to read as a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const GainText reading = read_gain_text(c.text);
        EXPECT_EQ(c.value, reading.value);
        EXPECT_EQ(c.kind, reading.kind);
        EXPECT_EQ(c.text, reading.text);
        EXPECT_NE(std::string::npos, reading.why.find(c.why)) << reading.why;
        EXPECT_EQ(reading.as_written(), reading.why.empty());
    }
}

TEST(GainSet, InitialSetIsTheWindowsStartAndRunGainsFollowTheKeyOrder) {
    EXPECT_EQ((GainSet{250, 60, 0, 30, 80, 20, false}), GAIN_SET_INITIAL);
    const RegulationGains gains{1, 2, 3, 4, 5};
    for (std::size_t g = 0; g < RUN_GAIN_COUNT; ++g) {
        SCOPED_TRACE(GAIN_SET_KEYS[g]);
        EXPECT_EQ(static_cast<std::int16_t>(g + 1), run_gain(gains, g));
        GainSet set;
        std::string error;
        ASSERT_TRUE(read_gain_value(GAIN_SET_KEYS[g], "7", set, error)) << error;
        EXPECT_EQ(7, set.*GAIN_SET_FIELDS[g]);
    }
}
