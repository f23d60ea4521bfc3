// The "Modbus" window on the offscreen platform: it shows itself only once
// the setup record arrived, its "Do" runs off the interface thread, and the
// holding operations share one list.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPointer>
#include <QRadioButton>

#include "GuiSupport.h"
#include "app/network/CModbus.h"
#include "network/CModbusIds.h"
#include "support/TestLineWire.h"

namespace {

using namespace modbuswin;

class ModbusWindow : public TestLine {
protected:
    void SetUp() override {
        resetShell();
        ASSERT_NO_FATAL_FAILURE(startLine({testline::ir(1)}));
        ASSERT_NO_FATAL_FAILURE(openWire(1));
    }
    void TearDown() override {
        resetShell();
        TestLine::TearDown();
    }
};

TEST_F(ModbusWindow, OpensWithTheSetupRecordAndDoes) {
    QPointer<CModbus> window = new CModbus;
    ASSERT_TRUE(pumpUntil([&] { return window && window->isVisible(); }));
    auto* map = window->itemAs<QListWidget>(kMap);
    EXPECT_EQ(map->count(), 32);
    EXPECT_EQ(window->text(kMap), "30,001    Detector Type");

    window->setText(kCount, "2");
    window->onCommand(kDo);
    auto* result = window->itemAs<QListWidget>(kResult);
    ASSERT_TRUE(pumpUntil([&] { return result->count() == 4; }));
    EXPECT_EQ(result->item(0)->text(), "Command:");
    EXPECT_EQ(result->item(2)->text(), "Return code: 2");

    window->itemAs<QRadioButton>(kReadHolding)->click();
    ASSERT_EQ(map->count(), 37);
    map->setCurrentRow(1);
    window->itemAs<QRadioButton>(kWriteSingle)->click();
    EXPECT_EQ(window->text(kMap), "40,002    Setup.AlarmLatch");
    window->close();
    ASSERT_TRUE(pumpUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window.isNull();
    }));

    // Without the setup record the window goes unseen.
    ASSERT_TRUE(line->setDetectorSilent(1, true));
    QPointer<CModbus> refused = new CModbus;
    bool seen = false;
    EXPECT_TRUE(pumpUntil([&] {
        seen = seen || (refused && refused->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return refused.isNull();
    }));
    EXPECT_FALSE(seen);
}

}  // namespace
