#include "core/formats/gain_file_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The bytes "Save gains…" has always written (captured from the released program).
const char kSaved[] = "[gains]\nkd=0\nki=60\nkp=250\nkv=30\npos=20\nspeed_mode=false\nw=80\n";
const GainSet kSavedSet{250, 60, 0, 30, 80, 20, false};

// kSaved with its line `kp=250` (line 4) replaced.
std::string saved_with(const std::string& kpLine) {
    std::string text = kSaved;
    return text.replace(text.find("kp=250"), 6, kpLine);
}

TEST(GainFileFormat, ReadsEveryShapeOfTheGroup) {
    const struct {
        const char* name;
        std::string text;
        GainSet set;
    } cases[] = {
        {"saved", kSaved, kSavedSet},
        {"key order of the manual, no final line end",
         "[gains]\nkp=1\nki=2\nkd=3\nkv=4\nw=5\npos=6\nspeed_mode=true", {1, 2, 3, 4, 5, 6, true}},
        {"byte-order mark and CR LF", "\xEF\xBB\xBF[gains]\r\nkd=0\r\nki=60\r\nkp=250\r\nkv=30\r\npos=20\r\n"
                                      "speed_mode=false\r\nw=80\r\n", kSavedSet},
        {"CR alone", "[gains]\rkd=0\rki=60\rkp=250\rkv=30\rpos=20\rspeed_mode=false\rw=80\r", kSavedSet},
        {"blanks, signs and zeros", "  [ gains ] ; group\n\tkp = +250 \nki=060\nkd=-0\nkv=30\nw=80\npos=20\n"
                                    "speed_mode\t=\tfalse\n", kSavedSet},
        {"comments, quotes, other groups",
         "kp=1\n[other]\nno key=here\nkp=2\n[gains]\n; a note\n  # another\nkd=0\nki=\"60\"\nkp=250 ; the speed loop\n"
         "kv=30\n\npos=20\nspeed_mode=\"false\"\nw=80\n[more]\nkp=3\n[gains/sub]\nkp=4\n", kSavedSet},
        {"largest file", std::string(kSaved) + std::string(GAIN_FILE_MAX_BYTES - sizeof kSaved, ';') + "\n",
         kSavedSet},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GainFileParse parse = gain_parse_file(c.text);
        ASSERT_TRUE(parse.ok) << parse.error.message;
        EXPECT_EQ(parse.set, c.set);
    }
}

TEST(GainFileFormat, RefusesTheWholeFileAtItsFirstError) {
    const struct {
        std::string text;
        std::string error;  // after "g.ini"
    } cases[] = {
        {"", ": no [gains] group"},
        {"[Gains]\nkp=1\n", ": no [gains] group"},
        {std::string(GAIN_FILE_MAX_BYTES + 1, '\n'),
         ": the file is larger than 64 KiB (65536 bytes), the most a gain file may have"},
        {std::string(kSaved) + "kp=7\n", ":9:1: key kp is given twice: first on line 4"},
        {"[gains]\nki=1\n[x]\n[gains]\n", ":4:1: [gains] is given twice: first on line 1"},
        {saved_with("kdd=5"), ":4:1: unknown key 'kdd': the keys of [gains] are kp, ki, kd, kv, w, pos and speed_mode"},
        {saved_with(" KP=250"), ":4:2: unknown key 'KP': the keys of [gains] are kp, ki, kd, kv, w, pos and speed_mode"},
        {saved_with("=250"), ":4:1: '=' without a key before it"},
        {saved_with("kp 250"), ":4:1: a line of [gains] is key=value; 'kp 250' has no '='"},
        {"\n\n [gains]\nkd=0\nki=60\nkp=250\npos=20\nspeed_mode=false\nw=80\n",
         ":3:2: key kv is missing from [gains]: every one of kp, ki, kd, kv, w, pos and speed_mode is needed"},
        {"[gains\n", ":1:1: group name '[' is not closed by ']'"},
        {"[gains] x\n", ":1:9: unexpected text after the group name"},
        {saved_with("kp=abc"), ":4:4: key kp: value 'abc' is not a whole number"},
        {saved_with("kp =  "), ":4:7: key kp: value '' is not a whole number"},
        {saved_with("kp=2.5"), ":4:4: key kp: value '2.5' is not a whole number"},
        {saved_with("kp=1,2"), ":4:4: key kp: value '1,2' is not a whole number"},
        {saved_with("kp=+-5"), ":4:4: key kp: value '+-5' is not a whole number"},
        {saved_with("kp=0x10"), ":4:4: key kp: value '0x10' is not a whole number"},
        {saved_with("kp=250 # note"), ":4:4: key kp: value '250 # note' is not a whole number"},
        {saved_with("kp=\"250"), ":4:4: key kp: value '\"250' is not a whole number"},
        {saved_with("kp=32768"), ":4:4: key kp: value '32768' is outside -32768 ... 32767"},
        {saved_with("kp=-32769"), ":4:4: key kp: value '-32769' is outside -32768 ... 32767"},
        {saved_with("kp=99999999999999999999999"),
         ":4:4: key kp: value '99999999999999999999999' is outside -32768 ... 32767"},
        {saved_with("kp=" + std::string(80, 'x')), ":4:4: key kp: value '" + std::string(60, 'x') +
                                                        "...' is not a whole number"},
        {saved_with(std::string("kp=2\x01") + "0"), ":4:4: key kp: value '2\\x010' is not a whole number"},
        {"[gains]\nspeed_mode=True\n", ":2:12: key speed_mode: value 'True' is neither 'true' nor 'false'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const GainFileParse parse = gain_parse_file(c.text);
        ASSERT_FALSE(parse.ok);
        EXPECT_EQ(gain_file_error_text("g.ini", parse.error), "g.ini" + c.error);
    }
}

}  // namespace
