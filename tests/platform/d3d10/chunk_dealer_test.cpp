#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d10/chunk_dealer.h"

namespace {

using platform::d3d10::ChunkDealer;

// Owners take their chunks from the front; a part that has run out takes from the back of the next
// parts' runs in turn, until none is left.
TEST(ChunkDealer, OwnersTakeFromTheFrontOthersFromTheBack) {
    ChunkDealer dealer(3);
    uint32_t chunk = 99;
    unsigned owner = 99;
    EXPECT_FALSE(dealer.takeOwn(0, chunk)); // nothing offered yet
    EXPECT_FALSE(dealer.takeOther(1, owner, chunk));
    dealer.offer(0, 5);
    dealer.offer(1, 0);
    dealer.offer(2, 3);
    ASSERT_TRUE(dealer.takeOwn(0, chunk));
    EXPECT_EQ(chunk, 0u);
    ASSERT_TRUE(dealer.takeOwn(0, chunk));
    EXPECT_EQ(chunk, 1u);
    EXPECT_FALSE(dealer.takeOwn(1, chunk));
    ASSERT_TRUE(dealer.takeOther(1, owner, chunk)); // part 2 comes first after part 1
    EXPECT_EQ(owner, 2u);
    EXPECT_EQ(chunk, 2u);
    ASSERT_TRUE(dealer.takeOwn(2, chunk));
    EXPECT_EQ(chunk, 0u);
    ASSERT_TRUE(dealer.takeOther(1, owner, chunk));
    EXPECT_EQ(owner, 2u);
    EXPECT_EQ(chunk, 1u);
    EXPECT_FALSE(dealer.takeOwn(2, chunk)); // its last chunk went to part 1
    ASSERT_TRUE(dealer.takeOther(1, owner, chunk));
    EXPECT_EQ(owner, 0u);
    EXPECT_EQ(chunk, 4u);
    ASSERT_TRUE(dealer.takeOwn(0, chunk));
    EXPECT_EQ(chunk, 2u);
    ASSERT_TRUE(dealer.takeOther(2, owner, chunk));
    EXPECT_EQ(owner, 0u);
    EXPECT_EQ(chunk, 3u);
    EXPECT_FALSE(dealer.takeOwn(0, chunk));
    EXPECT_FALSE(dealer.takeOther(0, owner, chunk));
    EXPECT_EQ(dealer.takenFromOthers(), 4u);
    dealer.close();
    EXPECT_FALSE(dealer.takeOther(0, owner, chunk));
}

// Parts racing for one another's chunks: every chunk is taken exactly once, and each part's own chunks
// in increasing order.
TEST(ChunkDealer, RacingPartsTakeEveryChunkOnce) {
    constexpr unsigned kParts = 4;
    ChunkDealer dealer(kParts);
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        dealer.close();
        std::vector<uint32_t> counts(kParts);
        for (uint32_t& c : counts) c = random() % 40;
        std::vector<std::vector<std::atomic<int>>> taken;
        for (uint32_t c : counts) taken.emplace_back(c);
        std::atomic<bool> ordered{true};
        std::vector<std::thread> threads;
        for (unsigned part = 0; part < kParts; ++part)
            threads.emplace_back([&, part] {
                dealer.offer(part, counts[part]);
                uint32_t chunk = 0, last = 0;
                bool first = true;
                while (dealer.takeOwn(part, chunk)) {
                    if (!first && chunk <= last) ordered = false;
                    first = false;
                    last = chunk;
                    taken[part][chunk]++;
                }
                unsigned owner = 0;
                while (dealer.takeOther(part, owner, chunk)) taken[owner][chunk]++;
            });
        for (std::thread& t : threads) t.join();
        // A part that offers late may find the others gone: it then takes all of its own.
        for (unsigned part = 0; part < kParts; ++part)
            for (uint32_t c = 0; c < counts[part]; ++c)
                ASSERT_EQ(taken[part][c].load(), 1) << part << " " << c;
        EXPECT_TRUE(ordered.load());
    }
}

} // namespace
