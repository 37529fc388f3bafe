#include "toolkit/app/exception.h"
#include "io/gain_file.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::string write(const QTemporaryDir& dir, const std::string& name, const std::string& text) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path) << text;
    return path;
}

std::string read(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const char kGood[] = "[gains]\nkp=250\nki=60\nkd=0\nkv=30\nw=80\npos=20\nspeed_mode=false\n";

// The bytes "Save gains..." has written since gain files exist: keys in
// alphabetical order, LF line ends, no quoting.
const char kSaved[] = "[gains]\nkd=0\nki=60\nkp=250\nkv=30\npos=20\nspeed_mode=false\nw=80\n";
const char kSavedEdges[] = "[gains]\nkd=-1\nki=32767\nkp=-32768\nkv=0\npos=7\nspeed_mode=true\nw=-200\n";

TEST(GainFile, SavesTheBytesItAlwaysHasAndLoadsThemBack) {
    QTemporaryDir dir;
    const struct {
        GainSet set;
        const char* bytes;
    } cases[] = {
        {{250, 60, 0, 30, 80, 20, false}, kSaved},
        {{-32768, 32767, -1, 0, -200, 7, true}, kSavedEdges},
    };
    const std::string path = dir.filePath("gains.ini").toStdString();
    std::ofstream(path) << "[other]\nkey=1\n";  // a file saved over holds the set alone
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set.kp);
        SaveGainFile(path, c.set);
        EXPECT_EQ(read(path), c.bytes);
        EXPECT_EQ(LoadGainFile(path), c.set);
    }
}

TEST(GainFile, LoadsHandWrittenFiles) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        std::string text;
        GainSet set;
    } cases[] = {
        {"key order of the manual", kGood, {250, 60, 0, 30, 80, 20, false}},
        {"blanks, signs, zeros, other groups",
         "[gains]\nkp = +5\nki=-0\n\tkd\t=\t007 \nkv=1\nw=2\npos=3\nspeed_mode = true\n[more]\nx=y\n",
         {5, 0, 7, 1, 2, 3, true}},
        {"byte-order mark, CR LF", "\xEF\xBB\xBF[gains]\r\nkp=1\r\nki=2\r\nkd=3\r\nkv=4\r\nw=5\r\npos=6\r\nspeed_mode=false\r\n",
         {1, 2, 3, 4, 5, 6, false}},
        {"comments, keys outside the group, no final line end",
         "; saved by hand\nkp=9\n[other]\nno key here\n  [ gains ]\n# the speed loop\n  ; indented\nkp=1 ; trailing\n"
         "ki=\"2\"\nkd=3\nkv=4\nw=5\npos=6\nspeed_mode=\"true\"",
         {1, 2, 3, 4, 5, 6, true}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(LoadGainFile(write(dir, "hand" + std::to_string(i) + ".ini", cases[i].text)), cases[i].set);
    }
}

TEST(GainFile, BadFilesAreRefusedNamingFileKeyAndValue) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        std::string text;
        std::string message;  // after "PATH: "
    } cases[] = {
        {"missing key", "[gains]\nkp=250\nki=60\nkd=0\nw=80\npos=20\nspeed_mode=false\n", "key kv: missing"},
        {"missing mode", "[gains]\nkp=250\nki=60\nkd=0\nkv=30\nw=80\npos=20\n", "key speed_mode: missing"},
        {"no group", "kp=250\n", "no [gains] group"},
        {"not a number", "[gains]\nkp=abc\n", "key kp: value 'abc' is not a whole number"},
        {"empty", "[gains]\nkp=\n", "key kp: value '' is not a whole number"},
        {"fraction", "[gains]\nkp=250\nki=6.5\n", "key ki: value '6.5' is not a whole number"},
        {"list", "[gains]\nkp=250\nki=60\nkd=1,2\n", "key kd: value '1,2' is not a whole number"},
        {"two signs", "[gains]\nkp=+-5\n", "key kp: value '+-5' is not a whole number"},
        {"above 16 bits", "[gains]\nkp=250\nki=60\nkd=0\nkv=32768\n", "key kv: value '32768' is outside -32768 ... 32767"},
        {"below 16 bits", "[gains]\nkp=250\nki=60\nkd=0\nkv=30\nw=-32769\n",
         "key w: value '-32769' is outside -32768 ... 32767"},
        {"beyond 64 bits", "[gains]\nkp=99999999999999999999999\n",
         "key kp: value '99999999999999999999999' is outside -32768 ... 32767"},
        {"long value cut", "[gains]\nkp=" + std::string(60, 'x') + "\n",
         "key kp: value '" + std::string(40, 'x') + "...' is not a whole number"},
        {"mode not a truth value", std::string(kGood).replace(std::string(kGood).find("false"), 5, "yes"),
         "key speed_mode: value 'yes' is neither 'true' nor 'false'"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const std::string path = write(dir, "bad" + std::to_string(i) + ".ini", cases[i].text);
        try {
            LoadGainFile(path);
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), path + ": " + cases[i].message);
        }
    }
    write(dir, "hand.ini", kGood);
    const std::string absent = dir.filePath("absent.ini").toStdString();
    EXPECT_THROW(LoadGainFile(absent), Exception);
    EXPECT_THROW(LoadGainFile(dir.path().toStdString()), Exception);
    for (const char* name : {"no/such/folder/g.ini", "hand.ini/g.ini", "."}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(SaveGainFile(dir.filePath(name).toStdString(), GainSet{}), Exception);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("no")));
    }
}

}  // namespace
