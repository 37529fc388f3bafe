#include "core/engine/module.h"
#include "core/program/nc_program.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr NcBlockKind L = NC_LINEAR;
constexpr NcBlockKind P = NC_POSITION;
constexpr NcBlockKind F = NC_FEED_RESET;

std::vector<NcPoint> points_to_end() {
    std::vector<NcPoint> points;
    NcPoint point{0, 0, 0};
    while (nc_step(point) == NC_STEPPED) points.push_back(point);
    return points;
}

class NcProgramTest : public ::testing::Test {
protected:
    void TearDown() override {
        nc_release_program();
        nc_choose_demo();
    }
};

TEST_F(NcProgramTest, ReadsEachWordIntoItsBlocks) {
    struct Case {
        const char* text;
        std::vector<NcProgramBlock> blocks;
    };
    const Case cases[] = {
        {"G1 X10 Y-20 Z3", {{L, {10, -20, 3}}}},
        {"G0 X5", {{P, {5, 0, 0}}}},
        {"Y7 X-3 G1", {{L, {-3, 7, 0}}}},                          // any order, Z left out
        {"G1 X1\nY2\nG0 Z3\nX4", {{L, {1, 0, 0}}, {L, {0, 2, 0}}, {P, {0, 0, 3}}, {P, {4, 0, 0}}}},  // modal
        {"G1\nX1", {{L, {1, 0, 0}}}},                              // G alone only sets the mode
        {"g01 x+32767 y-32768", {{L, {32767, -32768, 0}}}},        // case, leading zeros, signs, edges
        {"F60 G1 X1", {{F, {0, 0, 0}}, {L, {1, 0, 0}}}},           // the feed acts before the move
        {"N10 G91 G1 X1", {{L, {1, 0, 0}}}},
        {"G1 X1 (a (comment)\n; all comment X9\nX2 ; Y9", {{L, {1, 0, 0}}, {L, {2, 0, 0}}}},
        {"%\r\n\r\n  G1 X1\r\n%", {{L, {1, 0, 0}}}},              // CR LF, blank and % lines
        {"%\rG1 X1\r\rY2\r%\r", {{L, {1, 0, 0}}, {L, {0, 2, 0}}}},   // CR alone
        {"\xEF\xBB\xBF%\nG0 X3", {{P, {3, 0, 0}}}},                // a byte-order mark
        {"G1 X1 M2 \nX2", {{L, {1, 0, 0}}}},                       // nothing after M2 is read
        {"G1 X1\nM30\n\x01\xff garbage", {{L, {1, 0, 0}}}},
        {"G1 X1", {{L, {1, 0, 0}}}},                               // no newline at the end
        {"G1X1Y2", {{L, {1, 2, 0}}}},
        {"G1 X0", {{L, {0, 0, 0}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const NcProgramParse parse = nc_parse_program(c.text, "t.nc");
        ASSERT_TRUE(parse.ok) << parse.error.message;
        EXPECT_EQ(parse.program.blocks, c.blocks);
        EXPECT_EQ(parse.program.name, "t.nc");
    }
}

TEST_F(NcProgramTest, RefusesWithLineColumnAndReason) {
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"G1 X1\n\n\nG1 Y2\n\n\nG1 X40000", "p.nc:7:4: X value 40000 is beyond the 16-bit range (-32768 to 32767)"},
        {"G1 Y-32769", "p.nc:1:4: Y value -32769 is beyond the 16-bit range (-32768 to 32767)"},
        {"G1 Z99999999999999999999999999999",
         "p.nc:1:4: Z value 999999999999999999999999... is beyond the 16-bit range (-32768 to 32767)"},
        {"G90 G1 X1", "p.nc:1:1: G90 (absolute distances) is not supported: every block moves relative to where "
                      "the last one ended, so programs are incremental (G91)"},
        {"G2 X1", "p.nc:1:1: G2 is not supported: the words are G0, G1 and G91"},
        {"G1 X1\nF100", "p.nc:2:1: F100 is not supported: the interpreter has one feed only, F60 (which resets it)"},
        {"G1 X1 M3", "p.nc:1:7: M3 is not supported: M2 and M30 end the program, no other M"},
        {"X10", "p.nc:1:1: X needs a G0 or G1 in force before it"},
        {"G1 X1 X2", "p.nc:1:7: X is given twice on this line"},
        {"G0 G1 X1", "p.nc:1:4: only one of G0 and G1 may stand on a line"},
        {"G1 X1.5", "p.nc:1:4: X value 1.5 is not a whole number: the interpreter moves in whole units"},
        {"G1 X", "p.nc:1:4: X needs a whole number right after it"},
        {"G1 X -5", "p.nc:1:4: X needs a whole number right after it"},
        {"G1 A5", "p.nc:1:4: A words are not supported: a block is made of G, X, Y, Z, F, M and N words"},
        {"G1 X1 (open", "p.nc:1:7: comment '(' is not closed on its line"},
        {"G1 X1 )", "p.nc:1:7: ')' without a '(' before it"},
        {"G1 X1 #", "p.nc:1:7: unexpected '#': a block is made of words like G1 or X-20"},
        {std::string("G1 X1\n\0", 7), "p.nc:2:1: unexpected byte 0x00: a block is made of words like G1 or X-20"},
        {"G1 X1 %", "p.nc:1:7: unexpected '%': a block is made of words like G1 or X-20"},
        {"% x", "p.nc:1:3: '%' stands on a line of its own"},
        {"G1 X1\rY1\rX1.5", "p.nc:3:1: X value 1.5 is not a whole number: the interpreter moves in whole units"},
        {"\xEF\xBB\xBFG1 X1 #", "p.nc:1:7: unexpected '#': a block is made of words like G1 or X-20"},
        {"", "p.nc: the program has no blocks: give at least one G0 or G1 move"},
        {"%\n(nothing)\nM2", "p.nc: the program has no blocks: give at least one G0 or G1 move"},
        // The running position stays in 16 bits: the interpreter would wrap it.
        {"G1 X32767\nX1", "p.nc:2:1: the path leaves the 16-bit range here: X would reach 32768 (-32768 to 32767)"},
        {"G1 X20000\nX-100 Y-5\nX20000", "p.nc:3:1: the path leaves the 16-bit range here: X would reach 39900 "
                                          "(-32768 to 32767)"},
        {"G0 Y-32768\nF60 G1 Z9 Y-1", "p.nc:2:5: the path leaves the 16-bit range here: Y would reach -32769 "
                                       "(-32768 to 32767)"},
        {"G1 Z30000\nG0 Z2767\nZ1", "p.nc:3:1: the path leaves the 16-bit range here: Z would reach 32768 "
                                     "(-32768 to 32767)"},
        {std::string(NC_PROGRAM_MAX_BYTES + 1, ' '),
         "p.nc: the file is larger than 1 MiB (1048576 bytes), the most a program may have"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        const NcProgramParse parse = nc_parse_program(c.text, "p.nc");
        EXPECT_FALSE(parse.ok);
        EXPECT_TRUE(parse.program.blocks.empty());
        EXPECT_EQ(nc_program_error_text("p.nc", parse.error), c.error);
    }
}

TEST_F(NcProgramTest, BlockLimitCountsThePiecesOfLongMoves) {
    std::string atLimit = "G1\n";
    for (std::size_t i = 0; i < NC_PROGRAM_MAX_BLOCKS; ++i) atLimit += i % 2 ? "X-1\n" : "X1\n";
    EXPECT_TRUE(nc_parse_program(atLimit, "a.nc").ok);
    EXPECT_EQ(nc_program_error_text("a.nc", nc_parse_program(atLimit + "X1\n", "a.nc").error),
              "a.nc:100002:1: the program grows beyond 100000 blocks here (a move longer than 255 counts once "
              "per piece it is split into)");
    // X1000 becomes four blocks, so the limit comes 3 lines earlier.
    std::string longMoves = "G1\n";
    for (std::size_t i = 0; i < NC_PROGRAM_MAX_BLOCKS / 4; ++i) longMoves += i % 2 ? "X-1000\n" : "X1000\n";
    EXPECT_TRUE(nc_parse_program(longMoves, "b.nc").ok);
    EXPECT_EQ(nc_parse_program(longMoves + "X1", "b.nc").error.line, NC_PROGRAM_MAX_BLOCKS / 4 + 2);
}

TEST_F(NcProgramTest, ExtentAndTheLineWhereThePathLeavesAnArea) {
    const NcProgram program =
        nc_parse_program("G1 X10 Y5\n\nF60\nG0 X-20 Z99\nG1 X600 Y-300\nX-590 Y295", "e.nc").program;
    EXPECT_EQ(program.lines, (std::vector<std::size_t>{1, 3, 4, 5, 6}));
    EXPECT_EQ(nc_program_extent(program), (NcArea{-10, 590, -295, 5}));
    struct Case {
        NcArea area;
        std::size_t line;
    };
    const Case cases[] = {
        {{-10, 590, -295, 5}, 0},   // the extent holds everything
        {{-10, 590, -295, 4}, 1},   // Y5 at the first line
        {{-9, 590, -295, 5}, 4},    // the jump to X-10
        {{-10, 589, -300, 9}, 5},   // the far end of the long move
        {{1, 590, -295, 5}, 1},     // the origin itself is outside
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(nc_program_line_leaving(program, c.area), c.line);
    }
}

TEST_F(NcProgramTest, DemoFileRunsTheDemoPointForPoint) {
    nc_load_demo();
    const std::vector<NcPoint> demo = points_to_end();
    const NcProgramParse parse = nc_parse_program(nc_demo_program_text(), "demo.nc");
    ASSERT_TRUE(parse.ok) << parse.error.message;
    nc_load_program(moduleEngine.nc, parse.program);
    EXPECT_EQ(points_to_end(), demo);
    EXPECT_EQ(demo.size(), 195u);
}

TEST_F(NcProgramTest, LongMoveIsSplitAndEndsExactly) {
    const NcProgramParse parse = nc_parse_program("G1 X600 Y-300\nG0 X-7\nF60\nX1", "long.nc");
    ASSERT_TRUE(parse.ok);
    nc_load_program(moduleEngine.nc, parse.program);
    std::vector<NcBlockKind> kinds;
    NcPoint sum{0, 0, 0};
    for (const NcBlock* b = ncProgramHead; b != nullptr; b = b->next) {
        kinds.push_back(b->kind);
        if (b->kind == NC_LINEAR && kinds.size() <= 4) {
            sum.X = static_cast<std::int16_t>(sum.X + b->offset.X);
            sum.Y = static_cast<std::int16_t>(sum.Y + b->offset.Y);
        }
    }
    EXPECT_EQ(kinds, (std::vector<NcBlockKind>{NC_START, L, L, L, P, F, P}));
    EXPECT_EQ(sum, (NcPoint{600, -300, 0}));
    EXPECT_EQ(ncCurrentBlock, ncProgramHead);
    const std::vector<NcPoint> points = points_to_end();
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.back(), (NcPoint{594, -300, 0}));  // after the jump the feed block moves on
}

TEST_F(NcProgramTest, ChosenProgramIsWhatLoads) {
    EXPECT_TRUE(nc_demo_chosen());
    nc_choose_program(nc_parse_program("G0 X9 Y8", "jump.nc").program);
    EXPECT_FALSE(nc_demo_chosen());
    EXPECT_EQ(nc_chosen_program().name, "jump.nc");
    nc_load_chosen();
    EXPECT_EQ(points_to_end(), (std::vector<NcPoint>{{0, 0, 0}, {9, 8, 0}}));
    nc_choose_demo();
    nc_load_chosen();
    EXPECT_EQ(points_to_end().size(), 195u);
}

// Random bytes, random words and random mutations of a valid program: the
// parser returns (ok or an error inside the text) and never reads out of
// bounds; the sanitizer build catches what a plain build would not.
TEST_F(NcProgramTest, SurvivesRandomInput) {
    std::mt19937 random(20261209);
    const char kAlphabet[] = "GXYZFMN0123456789-+.() ;%\n\r\tgxA#\x00\xff";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    const std::string base = nc_demo_program_text();
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int kind = round % 3;
        const std::size_t length = random() % 200;
        if (kind == 0) {
            for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(random() & 0xFF);
        } else if (kind == 1) {
            for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        } else {
            text = base;
            for (int m = 0; m < 3; ++m) text[random() % text.size()] = alphabet[random() % alphabet.size()];
        }
        const NcProgramParse parse = nc_parse_program(text, "r.nc");
        if (parse.ok) {
            nc_load_program(moduleEngine.nc, parse.program);
            NcPoint point{0, 0, 0};
            for (int i = 0; i < 100000 && nc_step(point) == NC_STEPPED; ++i) {
            }
        } else {
            EXPECT_FALSE(parse.error.message.empty());
        }
    }
}

}  // namespace
