// The start of the program: settings dialog without a usable port, one copy only.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <fstream>

#include "GuiSupport.h"
#include "app/Application.h"
#include "app/shell/CSettings.h"
#include "shell/StartUp.h"
#include "support/TempFolder.h"
#include "util/Log.h"

namespace {

class StartUpWindow : public ::testing::Test {
protected:
    void SetUp() override {
        resetShell();
        ::setenv("WEXCON_LOCK_FILE", (folder.path() + "/wexcon.lock").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("WEXCON_LOCK_FILE");
        logs::detachLists();
        resetShell();
    }
    TempFolder folder;
};

TEST_F(StartUpWindow, WithoutParamIniTheHostSettingsDialogOpensAndExitEnds) {
    bool sawDialog = false;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (auto* d = dynamic_cast<CSettings*>(QApplication::activeModalWidget())) {
            sawDialog = d->windowTitle() == "Host Settings" && d->templateId() == 269;
            d->onCommand(IDCANCEL);
        }
    });
    poke.start(50);
    EXPECT_EQ(RunWexcon({}), 0);
    EXPECT_TRUE(sawDialog);
    // The console was there, hidden, before the link was tried.
    std::ifstream general("logf1.txt");
    std::string first;
    ASSERT_TRUE(std::getline(general, first));
    EXPECT_EQ(first, "ParseDCB(COM0:9600,n,8,1) failed...");
    // Exit writes nothing.
    EXPECT_FALSE(std::ifstream("Param.ini").good());
}

TEST_F(StartUpWindow, ASecondCopyGivesUp) {
    SingleCopyGuard first;
    ASSERT_TRUE(first.acquire(1));
    BoxRecorder boxes;
    EXPECT_EQ(RunWexcon({}), 1);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, "\"Harrow\" failed to exit...");
    EXPECT_EQ(boxes.calls[0].caption, "Restart Failed");
    EXPECT_EQ(boxes.calls[0].icon, static_cast<unsigned>(MB_ICONEXCLAMATION));
}

}  // namespace
