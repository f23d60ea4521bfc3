// The Device Info page against the simulator: it reads, burns through the
// window, and returns the main window to its first page.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "MainWindowLine.h"
#include "app/config/CDevInfo.h"
#include "config/CDevInfoIds.h"
#include "config/DevInfo.h"
#include "shell/PagesIds.h"

namespace w = devinfowin;

TEST_F(MainWindowLine, DeviceInfoPageBurns) {
    ResetDevInfoState();
    ASSERT_NO_FATAL_FAILURE(openOn({testline::ir(1)}));
    ASSERT_TRUE(pumpUntil([&] { return window->poll().connected(); }));
    auto* page = static_cast<CDevInfo*>(window->pageById(page::DeviceInfo));
    ASSERT_NE(page, nullptr);
    window->showEntry(3, 1);
    ASSERT_EQ(window->currentPage(), page::DeviceInfo);
    ASSERT_TRUE(
        pumpUntil([&] { return page->text(w::kTag) == "FD-1    " && page->isEnabled(w::kBurn); }));
    EXPECT_EQ(std::tuple(page->text(w::kDeviceId), page->text(w::kDeviceRev)),
              std::tuple("20 90 00 E4 71", "1"));
    page->grab().save(QString::fromStdString((buildFolder / "device-info.png").string()));

    BoxRecorder boxes;
    page->itemAs<QLineEdit>(w::kTag)->setText("burned");
    page->burn();
    ASSERT_TRUE(pumpUntil([&] { return window->currentPage() == page::Select; }, 15000));
    EXPECT_TRUE(boxes.calls.empty());
    std::vector<uint8_t> stored;
    line->withDetector(1, [&](wsim::Detector& d, int64_t) { stored = d.devInfo(); });
    EXPECT_EQ(UnpackAscii(std::span(stored).subspan(devinfo::Tag, 6)), "BURNED  ");
}
