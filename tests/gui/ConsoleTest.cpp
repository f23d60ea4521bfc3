// The console: lines from any thread, the list limit, Clear and Copy.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <fstream>
#include <thread>

#include "GuiSupport.h"
#include "app/util/CDebugLog.h"
#include "util/Log.h"
#include "support/TempFolder.h"

namespace {

TEST(Console, LinesFromWorkerThreadsReachTheLists) {
    TempFolder folder;
    {
        CDebugLog console;
        std::thread worker([] {
            DebugLog("from a worker %d", 1);
            ProtocolLog("frame\tbytes");
        });
        worker.join();
        auto* general = console.itemAs<QListWidget>(CDebugLog::kGeneralList);
        auto* protocol = console.itemAs<QListWidget>(CDebugLog::kProtocolList);
        ASSERT_TRUE(pumpUntil([&] { return general->count() == 1 && protocol->count() == 1; }));
        EXPECT_EQ(general->item(0)->text().toStdString(), "from a worker 1");
        EXPECT_EQ(protocol->item(0)->text().toStdString(), "frame    bytes");

        for (int i = 0; i < 4000; ++i) DebugLog("%d", i);
        ASSERT_TRUE(pumpUntil([&] { return console.lines(CDebugLog::kGeneralList).size() == 3001; }));
        EXPECT_EQ(general->count(), 3001);
        EXPECT_EQ(general->item(0)->text().toStdString(), "999");

        console.copyList(CDebugLog::kProtocolList);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "frame    bytes\r\n");
        ASSERT_TRUE(pumpUntil([&] { return general->item(general->count() - 1)->text() == "1 lines copied to clipboard"; }));
        console.clearList(CDebugLog::kGeneralList);
        EXPECT_EQ(general->count(), 0);
    }
    // Gone with the console: the logs write nowhere, the files are complete.
    EXPECT_FALSE(logs::debugActive());
    std::ifstream f2("logf2.txt");
    std::string line;
    std::getline(f2, line);
    EXPECT_EQ(line, "frame    bytes");
}

}  // namespace
