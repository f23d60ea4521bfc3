#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "support/TempFolder.h"
#include "util/Profile.h"

namespace {

void put(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TEST(Profile, ReadsAsTheClassicFunctions) {
    TempFolder folder;
    put("Param.ini",
        "[VantorD]\nfUsUnits=1\niGood = 2 \nneg=-5\nhex=0x10\nword=abc\nlead=12abc\nempty=\n"
        "[DCB]\nszCom=\"COM3:9600,n,8,1\"\n[General]\nfill=170\n");
    struct IntCase {
        const char* section;
        const char* key;
        int def;
        int want;
    } const ints[] = {
        {"VantorD", "fUsUnits", 0, 1}, {"vantord", "IGOOD", 1, 2}, {"VantorD", "neg", 0, -5},
        {"VantorD", "hex", 0, 16},     {"VantorD", "word", 9, 0},  {"VantorD", "lead", 0, 12},
        {"VantorD", "empty", 4, 4},    {"VantorD", "missing", 3, 3}, {"general", "fill", 0, 170},
        {"Nowhere", "fill", -1, -1},
    };
    for (const auto& c : ints) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ProfileGetInt("Param.ini", c.section, c.key, c.def), c.want);
    }
    EXPECT_EQ(ProfileGetString("Param.ini", "dcb", "szcom", ""), "COM3:9600,n,8,1");
    EXPECT_EQ(ProfileGetString("Param.ini", "DCB", "szCom", "", 4), "COM3");
    EXPECT_EQ(ProfileGetString("Param.ini", "DCB", "none", "COM0:9600,n,8,1  "), "COM0:9600,n,8,1");
    EXPECT_EQ(ProfileGetString("NoSuchFile.ini", "DCB", "szCom", "dflt"), "dflt");
}

TEST(Profile, WritesWholeFilesAndDeletes) {
    TempFolder folder;
    ASSERT_TRUE(ProfileWriteInt("New.ini", "Network", "address0", 5));
    ASSERT_TRUE(ProfileWriteString("New.ini", "network", "DETECTOR0", "7"));
    ASSERT_TRUE(ProfileWriteString("New.ini", "Other", "k", "v"));
    EXPECT_EQ(ProfileGetInt("New.ini", "NETWORK", "detector0", 0), 7);
    // One section however it is spelled.
    const std::string text = slurp("New.ini");
    EXPECT_EQ(text.find("[network]"), std::string::npos);

    ASSERT_TRUE(ProfileDeleteKey("New.ini", "Network", "address0"));
    EXPECT_EQ(ProfileGetInt("New.ini", "Network", "address0", -1), -1);
    EXPECT_EQ(ProfileGetInt("New.ini", "Network", "detector0", -1), 7);
    ASSERT_TRUE(ProfileDeleteSection("New.ini", "NETWORK"));
    EXPECT_EQ(ProfileGetInt("New.ini", "Network", "detector0", -1), -1);
    EXPECT_EQ(ProfileGetString("New.ini", "Other", "k", ""), "v");
    EXPECT_TRUE(ProfileDeleteKey("New.ini", "Gone", "k"));
}

TEST(Profile, AFailedWriteLeavesTheFileAsItWas) {
    TempFolder folder;
    put("Param.ini", "[A]\nk=1\n");
    // A folder where the temporary file must go makes the write fail, even for root.
    const std::string temp = "Param.ini.tmp" + std::to_string(::getpid());
    ::mkdir(temp.c_str(), 0755);
    errno = 0;
    EXPECT_FALSE(ProfileWriteInt("Param.ini", "A", "k", 2));
    EXPECT_EQ(errno, EISDIR) << "the reason the caller shows";
    EXPECT_EQ(slurp("Param.ini"), "[A]\nk=1\n");
    ::rmdir(temp.c_str());
    ASSERT_TRUE(ProfileWriteInt("Param.ini", "A", "k", 3));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1) << "a temporary file was left";
}

// A folder name with a line break once rewrote szCom: no write may add keys or sections.
TEST(Profile, WritesRefuseWhatWouldMakeKeysOfItsOwn) {
    TempFolder folder;
    put("Param.ini", "[DCB]\nszCom=COM3:9600,n,8,1\n");
    const char* refused[][3] = {{"general", "dir", "/tmp/a\nszCom=COM9"}, {"general", "dir", "/tmp/a\r[DCB]"},
                                {"general", "a\nszCom", "x"},            {"DCB]\n[x", "k", "v"},
                                {"a]b", "k", "v"}};
    for (const auto& c : refused) {
        SCOPED_TRACE(std::string(c[0]) + "/" + c[1] + "=" + c[2]);
        errno = 0;
        EXPECT_FALSE(ProfileWriteString("Param.ini", c[0], c[1], c[2]));
        EXPECT_EQ(errno, EINVAL);
        EXPECT_FALSE(ProfileWriteStrings("Param.ini", c[0], {{"ok", "1"}, {c[1], c[2]}})) << "all or none";
    }
    EXPECT_EQ(slurp("Param.ini"), "[DCB]\nszCom=COM3:9600,n,8,1\n");
}

}  // namespace
