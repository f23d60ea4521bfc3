// The per-user working folder of an installed copy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TempFolder.h"
#include "util/UserFolder.h"

TEST(UserFolder, FollowsTheBaseDirectoryRules) {
    struct {
        const char *xdg, *home, *folder;
    } const cases[] = {
        {"/data", "/home/t", "/data/wexcon"},
        {nullptr, "/home/t", "/home/t/.local/share/wexcon"},
        {"relative", "/home/t", "/home/t/.local/share/wexcon"},
        {"", "/home/t", "/home/t/.local/share/wexcon"},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(UserFolder(c.xdg, c.home), c.folder) << (c.xdg ? c.xdg : "(unset)");
}

TEST(UserFolder, IsMadeOnFirstEntryAndBecomesTheWorkingFolder) {
    TempFolder temp;
    const std::string data = temp.path() + "/new/share";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    std::string error;
    EXPECT_TRUE(EnterUserFolder(&error)) << error;
    EXPECT_EQ(std::filesystem::current_path(), data + "/wexcon");
    // A file where the folder should be is a clear failure, naming the folder.
    ::setenv("XDG_DATA_HOME", (data + "/wexcon/x").c_str(), 1);
    std::ofstream(data + "/wexcon/x") << "";
    EXPECT_FALSE(EnterUserFolder(&error));
    EXPECT_EQ(error.rfind(data + "/wexcon/x/wexcon: ", 0), 0u) << error;
    ::unsetenv("XDG_DATA_HOME");
}
