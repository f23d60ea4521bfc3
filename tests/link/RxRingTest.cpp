#include "link/RxRing.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "LinkTestSupport.h"

namespace {

// A byte sequence whose period is no divisor of any ring size used here, so a
// byte from the wrong place never matches by chance.
uint8_t Pattern(size_t i) { return static_cast<uint8_t>(i ^ (i >> 8) ^ (i >> 16) ^ 0x5A); }

std::vector<uint8_t> PatternRange(size_t from, size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = Pattern(from + i);
    return v;
}

struct Op {
    char kind;  // 'p': put the next n bytes of the sequence; 'g': get up to n
    size_t n;
};

struct RingCase {
    const char* name;
    uint32_t size;
    std::vector<Op> ops;
    // After the ops: what one get of everything returns (sequence positions).
    size_t expectFrom;
    size_t expectCount;
    RxRing::Indexes expect;  // indexes before that final get
};

TEST(RxRing, PutGetAndOverrunCases) {
    const RingCase cases[] = {
        {"fill exactly", 8, {{'p', 8}}, 0, 8, {0, 8, 0, 7}},
        {"overrun keeps the newest", 8, {{'p', 5}, {'p', 5}}, 2, 8, {2, 8, 2, 1}},
        {"wrap without loss", 8, {{'p', 6}, {'g', 4}, {'p', 5}}, 4, 7, {4, 7, 3, 2}},
        {"refill after emptying is no overrun", 8, {{'p', 3}, {'g', 3}, {'p', 8}}, 3, 8, {3, 8, 3, 2}},
        {"overrun across the end", 8, {{'p', 7}, {'g', 1}, {'p', 4}}, 3, 8, {3, 8, 3, 2}},
        {"full ring plus one byte", 8, {{'p', 8}, {'p', 1}}, 1, 8, {1, 8, 1, 0}},
        {"zero bytes queue nothing", 8, {{'p', 3}, {'p', 0}}, 0, 3, {0, 3, 3, 2}},
        {"block larger than the ring queues nothing", 8, {{'p', 3}, {'p', 9}}, 0, 3, {0, 3, 3, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RxRing ring(c.size);
        size_t next = 0;
        for (const auto& op : c.ops) {
            if (op.kind == 'p') {
                const auto block = PatternRange(next, op.n);
                const int queued = ring.put(block.data(), block.size());
                EXPECT_EQ(queued, (op.n == 0 || op.n > c.size) ? 0 : 1);
                if (queued) next += op.n;
            } else {
                std::vector<uint8_t> sink(op.n);
                ring.get(sink.data(), sink.size());
            }
        }
        const auto ix = ring.indexes();
        EXPECT_EQ(ix.read, c.expect.read);
        EXPECT_EQ(ix.count, c.expect.count);
        EXPECT_EQ(ix.write, c.expect.write);
        EXPECT_EQ(ix.last, c.expect.last);
        EXPECT_LE(ring.count(), c.size);

        std::vector<uint8_t> out(c.size + 4, 0xEE);
        EXPECT_EQ(ring.get(out.data(), out.size()), c.expectCount);
        out.resize(c.expectCount);
        EXPECT_EQ(out, PatternRange(c.expectFrom, c.expectCount));
        EXPECT_EQ(ring.count(), 0u);
    }
}

TEST(RxRing, OneByteMoreThanAMebibyteKeepsTheNewestMebibyte) {
    RxRing ring;
    ASSERT_EQ(ring.size(), 1048576u);
    const size_t sent = 1048577;
    const auto all = PatternRange(0, sent);
    // As the read thread delivers it: whole 2048-byte reads, then the odd byte.
    for (size_t at = 0; at < sent; at += 2048)
        ASSERT_EQ(ring.put(all.data() + at, std::min<size_t>(2048, sent - at)), 1);

    const auto ix = ring.indexes();
    EXPECT_EQ(ix.count, 1048576u);
    EXPECT_EQ(ix.read, ix.write);
    EXPECT_EQ(ring.total(), sent);

    std::vector<uint8_t> out(sent, 0);
    ASSERT_EQ(ring.get(out.data(), out.size()), 1048576u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 1048576, all.begin() + 1));
    EXPECT_EQ(out[1048576], 0) << "wrote past what it returned";
}

TEST(RxRing, GetLimitsAndEmptyRing) {
    RxRing ring(16);
    std::vector<uint8_t> buf(8, 0xEE);
    EXPECT_EQ(ring.get(buf.data(), buf.size()), 0u);
    EXPECT_EQ(buf, std::vector<uint8_t>(8, 0xEE)) << "empty ring touched the buffer";

    const auto block = PatternRange(0, 5);
    ring.put(block.data(), block.size());
    EXPECT_EQ(ring.get(buf.data(), 3), 3u);
    EXPECT_EQ(buf[3], 0xEE) << "wrote past max";
    std::fill(buf.begin(), buf.end(), 0xEE);
    EXPECT_EQ(ring.get(buf.data(), buf.size()), 2u) << "max above count returns count";
    EXPECT_EQ(buf[0], Pattern(3));
    EXPECT_EQ(buf[2], 0xEE);
}

TEST(RxRing, TotalCountsEveryByteOfferedAndPurgeKeepsIt) {
    RxRing ring(8);
    const auto block = PatternRange(0, 20);
    ring.put(block.data(), 3);
    ring.put(block.data(), 0);
    ring.put(block.data(), 20);  // too large to queue, still received
    EXPECT_EQ(ring.total(), 23u);
    EXPECT_EQ(ring.count(), 3u);

    ring.purge();
    const auto ix = ring.indexes();
    EXPECT_EQ(ix.read + ix.count + ix.write + ix.last, 0u);
    EXPECT_EQ(ring.total(), 23u);
    ring.reset();
    EXPECT_EQ(ring.total(), 0u);
}

TEST(RxRing, DumpFileGetsEveryByteOfferedInOrder) {
    linktest::TempWorkDir dir;
    RxDumpFile dump;
    ASSERT_TRUE(dump.recreate("dump.dat"));
    RxRing ring(8, &dump);
    const auto block = PatternRange(0, 12);
    ring.put(block.data(), 4);
    ring.put(block.data() + 4, 0);
    ring.put(block.data() + 4, 8);
    ring.put(block.data(), 12);  // larger than the ring: dumped all the same
    std::string expect(block.begin(), block.begin() + 12);
    expect += std::string(block.begin(), block.end());
    EXPECT_EQ(dir.readFile("dump.dat"), expect);

    ASSERT_TRUE(dump.recreate("dump.dat"));
    EXPECT_EQ(dir.readFile("dump.dat"), "") << "a new start must begin a new dump";
}

TEST(RxRing, ConcurrentProducerAndConsumerSeeOneOrderedStream) {
    RxRing ring(4096);
    const size_t total = 1 << 20;
    std::thread producer([&] {
        std::vector<uint8_t> block(777);
        for (size_t at = 0; at < total;) {
            const size_t n = std::min(block.size(), total - at);
            // Stay below the ring's room so nothing is overwritten.
            if (ring.count() + n > ring.size()) {
                std::this_thread::yield();
                continue;
            }
            for (size_t i = 0; i < n; ++i) block[i] = Pattern(at + i);
            ring.put(block.data(), n);
            at += n;
        }
    });
    size_t got = 0;
    bool inOrder = true;
    std::vector<uint8_t> buf(1000);
    while (got < total && inOrder) {
        const size_t n = ring.get(buf.data(), buf.size());
        for (size_t i = 0; i < n; ++i)
            if (buf[i] != Pattern(got + i)) inOrder = false;
        got += n;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(got, total);
}

}  // namespace
