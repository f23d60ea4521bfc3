#include "link/RxRing.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "support/TempFolder.h"

namespace {

// A byte sequence whose period is no divisor of any ring size used here, so a
// byte from the wrong place never matches by chance.
uint8_t Pattern(size_t i) { return static_cast<uint8_t>(i ^ (i >> 8) ^ (i >> 16) ^ 0x5A); }

std::vector<uint8_t> PatternRange(size_t from, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = Pattern(from + i);
    return v;
}

TEST(RxRing, PutGetAndOverrunCases) {
    struct Case {
        const char* name;
        std::vector<std::pair<char, size_t>> ops;  // 'p': put the next n bytes; 'g': get up to n
        // Then one get of everything returns these sequence positions.
        size_t expectFrom;
        size_t expectCount;
    } const cases[] = {
        {"overrun keeps the newest", {{'p', 5}, {'p', 5}}, 2, 8},
        {"wrap without loss", {{'p', 6}, {'g', 4}, {'p', 5}}, 4, 7},
        // An overrun is decided by the count, not by where the indexes stand.
        {"refill after emptying is no overrun", {{'p', 3}, {'g', 3}, {'p', 8}}, 3, 8},
        {"overrun across the end", {{'p', 7}, {'g', 1}, {'p', 4}}, 3, 8},
        {"full ring plus one byte", {{'p', 8}, {'p', 1}}, 1, 8},
        {"zero bytes queue nothing", {{'p', 3}, {'p', 0}}, 0, 3},
        {"block larger than the ring queues nothing", {{'p', 3}, {'p', 9}}, 0, 3},
        {"empty ring", {}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RxRing ring(8);
        size_t next = 0, taken = 0;
        for (const auto& [kind, n] : c.ops) {
            std::vector<uint8_t> block = PatternRange(next, n);
            if (kind == 'g') {
                block.assign(n + 1, 0xEE);
                taken += ring.get(block.data(), n);
                EXPECT_EQ(block[n], 0xEE) << "wrote past max";
            } else if (ring.put(block.data(), n) == 1) {
                next += n;
            } else {
                EXPECT_TRUE(n == 0 || n > 8) << "a block that fits must be queued";
            }
        }
        std::vector<uint8_t> out(12, 0xEE), expect = PatternRange(c.expectFrom, c.expectCount);
        expect.resize(12, 0xEE);  // nothing written past what it returned
        EXPECT_EQ(ring.get(out.data(), out.size()), c.expectCount);
        EXPECT_EQ(out, expect);
        EXPECT_EQ(ring.count(), 0u);
        EXPECT_EQ(ring.overwritten(), c.expectFrom - taken) << "bytes lost unread";
    }
}

TEST(RxRing, OneByteMoreThanAMebibyteKeepsTheNewestMebibyte) {
    RxRing ring;
    const size_t sent = 1048577;
    const auto all = PatternRange(0, sent);
    // As the read thread delivers it: whole 2048-byte reads, then the odd byte.
    for (size_t at = 0; at < sent; at += 2048)
        ASSERT_EQ(ring.put(all.data() + at, std::min<size_t>(2048, sent - at)), 1);
    EXPECT_EQ(ring.total(), sent);

    std::vector<uint8_t> out(sent, 0);
    ASSERT_EQ(ring.get(out.data(), out.size()), 1048576u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 1048576, all.begin() + 1));
    EXPECT_EQ(out[1048576], 0) << "wrote past what it returned";
}

// Every byte offered is counted and dumped, even a block too large to queue;
// a purge keeps the total, a reset clears it.
TEST(RxRing, TotalAndDumpSeeEveryByteOffered) {
    TempFolder folder;
    RxDumpFile dump;
    ASSERT_TRUE(dump.recreate("dump.dat"));
    RxRing ring(8, &dump);
    const auto block = PatternRange(0, 20);
    ring.put(block.data(), 3);
    ring.put(block.data() + 3, 0);
    ring.put(block.data() + 3, 17);
    EXPECT_EQ(ring.total(), 20u);
    EXPECT_EQ(ring.count(), 3u);
    EXPECT_EQ(slurp("dump.dat"), std::string(block.begin(), block.end()));

    ring.purge();
    EXPECT_EQ(ring.count(), 0u);
    EXPECT_EQ(ring.total(), 20u);
    ring.reset();
    EXPECT_EQ(ring.total(), 0u);
}

TEST(RxRing, ConcurrentProducerAndConsumerSeeOneOrderedStream) {
    RxRing ring(4096);
    const size_t total = 1 << 20;
    std::thread producer([&] {
        const auto all = PatternRange(0, total);
        for (size_t at = 0; at < total;) {
            const size_t n = std::min<size_t>(777, total - at);
            // Stay below the ring's room so nothing is overwritten.
            if (ring.count() + n > ring.size()) {
                std::this_thread::yield();
                continue;
            }
            ring.put(all.data() + at, n);
            at += n;
        }
    });
    size_t got = 0;
    bool inOrder = true;
    std::vector<uint8_t> buf(1000);
    while (got < total && inOrder) {
        const size_t n = ring.get(buf.data(), buf.size());
        for (size_t i = 0; i < n; ++i) inOrder = inOrder && buf[i] == Pattern(got + i);
        got += n;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(got, total);
}

}  // namespace
