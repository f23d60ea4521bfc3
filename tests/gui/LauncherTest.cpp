// LaunchWexcon: the question, which Wexcon it starts, and a start that fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "GuiSupport.h"
#include "launcher/Launcher.h"
#include "support/TempFolder.h"
#include "support/WaitFor.h"

namespace {

// A stand-in Wexcon that only notes who it is and what it was given.
void writeStandIn(const std::string& folder, const std::string& who, const std::string& marker) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/Wexcon") << "#!/bin/sh\necho \"" << who << " $*\" > " << marker << "\n";
    std::filesystem::permissions(folder + "/Wexcon", std::filesystem::perms::owner_all);
}

struct LaunchCase {
    const char* name;
    int answer;
    bool inFolder, onPath;
    const char* started;  // what the stand-in noted; nullptr: nothing started
};

TEST(Launcher, AsksAndStartsTheRightWexconOrSaysWhyNot) {
    const LaunchCase cases[] = {
        {"the working folder's copy first", IDOK, true, true, "folder \n"},
        {"else the search path's, in the user folder", IDOK, false, true, "path --user-folder\n"},
        {"Cancel starts nothing", IDCANCEL, true, true, nullptr},
        {"no copy anywhere", IDOK, false, false, nullptr},
    };
    const QByteArray path = qgetenv("PATH");
    for (const LaunchCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder work;
        const std::string marker = work.path() + "/started";
        if (c.inFolder) writeStandIn(work.path(), "folder", marker);
        if (c.onPath) writeStandIn(work.path() + "/bin", "path", marker);
        qputenv("PATH", (work.path() + "/bin").c_str());
        BoxRecorder boxes(c.answer);
        EXPECT_EQ(RunLauncher(work.path()), 0);
        qputenv("PATH", path);

        ASSERT_GE(boxes.calls.size(), 1u);
        EXPECT_EQ(boxes.calls[0].text, "Click 'Ok' to Launch 'Wexcon'\r\nOtherwise - click 'Cancel'");
        EXPECT_EQ(boxes.calls[0].caption, "Installation Concluded");
        EXPECT_EQ(boxes.calls[0].buttons, static_cast<unsigned>(MB_OKCANCEL));
        EXPECT_EQ(boxes.calls[0].icon, static_cast<unsigned>(MB_ICONINFORMATION));
        if (c.started) {
            EXPECT_TRUE(WaitFor([&] { return slurp(marker) == c.started; })) << slurp(marker);
            EXPECT_EQ(boxes.calls.size(), 1u);
        } else {
            const bool failed = c.answer == IDOK;
            ASSERT_EQ(boxes.calls.size(), failed ? 2u : 1u);
            if (failed) {
                EXPECT_EQ(boxes.calls[1].text.rfind("Wexcon could not be started: ", 0), 0u);
            }
            EXPECT_FALSE(WaitFor([&] { return std::filesystem::exists(marker); }, 200));
        }
    }
}

}  // namespace
