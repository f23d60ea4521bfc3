// A half-duplex adapter that hands back every byte we send, played by the
// simulator, through both link backends: our own bytes are taken off before
// the answer, and a garbled echo fails the exchange instead of being read as
// (part of) an answer.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "link/CommDriver.h"
#include "support/TestLineWire.h"
#include "util/Log.h"

namespace {

enum class LinkKind { Library, Raw };

class EchoLine : public TestLine, public ::testing::WithParamInterface<LinkKind> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startLine(testline::demo(), {.echo = true}));
        ASSERT_NO_FATAL_FAILURE(openWire(1));
        ASSERT_EQ(Wire().port.echo, true);
        if (GetParam() == LinkKind::Raw) {
            CloseModbusContext();
            ASSERT_TRUE(OpenRawLink());
        }
        logs::attachLists([this](const std::string& l) {
            std::lock_guard lock(mu);
            lines.push_back(l);
        }, {});
    }
    void TearDown() override {
        logs::detachLists();
        ResetCommDriver();
        TestLine::TearDown();
    }
    // One record request to detector 1; the frame bytes received, or the failure.
    int get(unsigned command, std::vector<uint8_t> payload, size_t size) {
        buffer.assign(std::max(size, payload.size()), 0);
        std::copy(payload.begin(), payload.end(), buffer.begin());
        return ModbusGet(static_cast<unsigned>(payload.size()), command, Wire().ctx, buffer.data(),
                         static_cast<unsigned>(size), 100, 2000);
    }
    std::vector<uint8_t> buffer;
    std::mutex mu;
    std::vector<std::string> lines;
};

TEST_P(EchoLine, AnswersArriveWholeBehindOurOwnBytes) {
    struct Case {
        unsigned command;
        std::vector<uint8_t> payload;
        size_t size;
    } const cases[] = {
        {D_DATA2HOST, {}, 177},
        {D_MISC_CONTROL, {0x08, 0x00}, 1403},  // the message record: the longest answer the detector has
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_EQ(get(c.command, c.payload, c.size), static_cast<int>(c.size));
        EXPECT_EQ(buffer[0], 1);
        EXPECT_EQ(buffer[4], c.command);
    }
}

TEST_P(EchoLine, AGarbledEchoIsALoggedLineFaultNotAnAnswer) {
    line->corruptEchoes(1);
    EXPECT_LT(get(D_DATA2HOST, {}, 177), 0);
    {
        std::lock_guard lock(mu);
        const std::string fault = "line fault on " + line->slavePath() + ": echo mismatch, byte ";
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& l) { return l.find(fault) != std::string::npos; }))
            << ::testing::PrintToString(lines);
    }
    // The answer to the garbled request is gone with it; the next exchange is clean.
    EXPECT_EQ(get(D_DATA2HOST, {}, 177), 177);
}

INSTANTIATE_TEST_SUITE_P(BothLinks, EchoLine, ::testing::Values(LinkKind::Library, LinkKind::Raw),
                         [](const auto& info) { return info.param == LinkKind::Raw ? "Raw" : "Library"; });

}  // namespace
