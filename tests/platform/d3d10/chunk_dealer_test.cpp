#include <atomic>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d10/chunk_dealer.h"

namespace {

using platform::d3d10::ChunkDealer;

// Owners take their chunks from the front; a part that has run out takes from the back of the next
// parts' runs in turn, until none is left.
TEST(ChunkDealer, OwnersTakeFromTheFrontOthersFromTheBack) {
    ChunkDealer dealer(3);
    // The chunk a part takes of its own, -1 for none; the owner and chunk it takes of another's.
    auto own = [&](unsigned part) {
        uint32_t chunk = 0;
        return dealer.takeOwn(part, chunk) ? int(chunk) : -1;
    };
    using Taken = std::pair<int, int>;
    auto other = [&](unsigned thief) {
        unsigned owner = 0;
        uint32_t chunk = 0;
        return dealer.takeOther(thief, owner, chunk) ? Taken(int(owner), int(chunk)) : Taken(-1, -1);
    };
    EXPECT_EQ(own(0), -1); // nothing offered yet
    EXPECT_EQ(other(1), Taken(-1, -1));
    dealer.offer(0, 5);
    dealer.offer(1, 0);
    dealer.offer(2, 3);
    EXPECT_EQ(own(0), 0);
    EXPECT_EQ(own(0), 1);
    EXPECT_EQ(own(1), -1);
    EXPECT_EQ(other(1), Taken(2, 2)); // part 2 comes first after part 1
    EXPECT_EQ(own(2), 0);
    EXPECT_EQ(other(1), Taken(2, 1));
    EXPECT_EQ(own(2), -1); // its last chunk went to part 1
    EXPECT_EQ(other(1), Taken(0, 4));
    EXPECT_EQ(own(0), 2);
    EXPECT_EQ(other(2), Taken(0, 3));
    EXPECT_EQ(own(0), -1);
    EXPECT_EQ(other(0), Taken(-1, -1));
    EXPECT_EQ(dealer.takenFromOthers(), 4u);
    dealer.offer(1, 2);
    dealer.close();
    EXPECT_EQ(other(0), Taken(-1, -1));
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
