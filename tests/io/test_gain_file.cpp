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

// The bytes "Save gains…" has written since gain files exist.
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

TEST(GainFile, RefusalsAreOneLineNamingTheFile) {
    QTemporaryDir dir;
    const std::string twice = write(dir, "twice.ini", std::string(kGood) + "kp=7\n");
    const std::string large = write(dir, "large.ini", std::string(kGood) + std::string(70 * 1024, ';'));
    const std::string absent = dir.filePath("absent.ini").toStdString();
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {twice, twice + ":9:1: key kp is given twice: first on line 2"},
        {large, large + ": the file is larger than 64 KiB (65536 bytes), the most a gain file may have"},
        {absent, "Cannot read " + absent + ": No such file or directory"},
        {dir.path().toStdString(), "Cannot read " + dir.path().toStdString() + ": it is a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        try {
            LoadGainFile(c.path);
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    for (const char* name : {"no/such/folder/g.ini", "twice.ini/g.ini", "."}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(SaveGainFile(dir.filePath(name).toStdString(), GainSet{}), Exception);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("no")));
    }
}

}  // namespace
