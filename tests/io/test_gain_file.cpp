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

TEST(GainFile, SavedSetsLoadBackUnchanged) {
    QTemporaryDir dir;
    const GainSet sets[] = {
        {250, 60, 0, 30, 80, 20, false},
        {-32768, 32767, -1, 0, -200, 7, true},
    };
    const std::string path = dir.filePath("gains.ini").toStdString();
    std::ofstream(path) << "[other]\nkey=1\n";  // a file saved over holds the set alone
    for (const GainSet& set : sets) {
        SCOPED_TRACE(set.kp);
        SaveGainFile(path, set);
        EXPECT_EQ(LoadGainFile(path), set);
        EXPECT_EQ(read(path).find("other"), std::string::npos);
    }
    EXPECT_EQ(LoadGainFile(write(dir, "hand.ini", kGood)), (GainSet{250, 60, 0, 30, 80, 20, false}));
    EXPECT_EQ(LoadGainFile(write(dir, "spaced.ini", "[gains]\nkp = +5\nki=-0\nkd=007\nkv=1\nw=2\npos=3\n"
                                                     "speed_mode = true\n[more]\nx=y\n")),
              (GainSet{5, 0, 7, 1, 2, 3, true}));
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
