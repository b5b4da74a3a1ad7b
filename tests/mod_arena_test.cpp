// A script state's region: places that follow only the requests, the region's edge, and memory given back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "mod_arena.h"
#include "mod_resident.h"

namespace {

using Pool = ModArena::Pool;
constexpr size_t PAGE = ModArena::PAGE;
constexpr size_t TEST_REGION = 64u << 20;
constexpr size_t MAX_LIVE = 100;

// Deterministic draws for a request sequence.
struct Draws {
    uint64_t state;
    size_t below(size_t n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<size_t>((state >> 33) % n);
    }
};

struct Block {
    char* at;
    size_t size;
    char fill;
};

// Applies one request to the arena and answers the offset it placed, or the size of a release. Every live block is
// filled with its own byte and checked before it goes, so blocks that overlap show.
struct Requester {
    ModArena arena{TEST_REGION};
    std::vector<Block> live;
    char nextFill = 1;

    size_t offset(const char* at) const { return static_cast<size_t>(at - arena.base()); }
    // Every byte equals the next one and the first is the fill.
    static bool intact(const Block& b) { return b.at[0] == b.fill && std::memcmp(b.at, b.at + 1, b.size - 1) == 0; }
    size_t apply(Draws& draws, size_t smallest, size_t largest) {
        const size_t kind = live.empty() ? 0 : live.size() > MAX_LIVE ? 1 : draws.below(3);
        const size_t size = smallest + draws.below(largest - smallest + 1);
        if (kind == 0) {
            auto* at = static_cast<char*>(arena.allocate(size, draws.below(2) ? Pool::Keyable : Pool::Data, true));
            EXPECT_NE(at, nullptr);
            std::memset(at, nextFill, size);
            live.push_back({at, size, nextFill++});
            return offset(at);
        }
        const size_t which = draws.below(live.size());
        Block& b = live[which];
        EXPECT_TRUE(intact(b));
        if (kind == 1) {
            arena.release(b.at, b.size);
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(which));
            return size_t{1} << 40;
        }
        b.at = static_cast<char*>(arena.resize(b.at, b.size, size, true));
        EXPECT_NE(b.at, nullptr);
        std::memset(b.at, b.fill, size);
        b.size = size;
        return offset(b.at);
    }
};

TEST(ModArena, SameRequestsGiveTheSamePlacesWhereverTheRegionLies) {
    const struct Case {
        const char* what;
        size_t smallest, largest;
    } cases[] = {
        {"fine classes", 1, 1024},
        {"coarse classes", 1025, ModArena::LARGEST_SMALL},
        {"whole pages", ModArena::LARGEST_SMALL + 1, 300000},
        {"all mixed", 1, 100000},
    };
    for (const Case& c : cases) {
        Requester first;
        std::vector<size_t> placed;
        Draws draws{7};
        for (int i = 0; i < 3000; ++i) placed.push_back(first.apply(draws, c.smallest, c.largest));
        // Other memory taken between the two, as the rest of the game takes it.
        std::vector<std::unique_ptr<char[]>> between;
        for (int i = 1; i < 50; ++i) between.emplace_back(new char[static_cast<size_t>(i) * 997]);
        Requester busy;
        Draws other{99};
        for (int i = 0; i < 500; ++i) busy.apply(other, 1, 50000);
        Requester second;
        ASSERT_NE(first.arena.base(), second.arena.base());
        draws = Draws{7};
        for (size_t i = 0; i < placed.size(); ++i)
            ASSERT_EQ(second.apply(draws, c.smallest, c.largest), placed[i]) << c.what << " request " << i;
    }
}

// The interpreter hashes a table or function key by its address's low 32 bits: with the region on such a boundary
// that is its offset, the same on every peer.
TEST(ModArena, RegionStartsWhereKeysHashByTheirOffsets) {
    const ModArena arena(TEST_REGION);
    ASSERT_TRUE(arena.reserved());
    EXPECT_EQ(reinterpret_cast<uintptr_t>(arena.base()) % (uintptr_t{1} << 32), 0u);
}

// Script requests stop short of the host's reserve, the host's own ones at the region's end.
TEST(ModArena, RefusesWhatTheRegionCannotPlaceAtItsEdge) {
    constexpr size_t REGION_PAGES = 2 * ModArena::HOST_RESERVE_PAGES;
    const struct Case {
        bool guarded;
        size_t pages;  // the most one block may take
    } cases[] = {{true, REGION_PAGES - ModArena::HOST_RESERVE_PAGES}, {false, REGION_PAGES}};
    for (const Case& c : cases) {
        ModArena arena(REGION_PAGES * PAGE);
        void* whole = arena.allocate(c.pages * PAGE, Pool::Data, c.guarded);
        ASSERT_NE(whole, nullptr) << c.guarded;
        EXPECT_EQ(arena.allocate(1, Pool::Data, c.guarded), nullptr) << c.guarded;
        arena.release(whole, c.pages * PAGE);
        EXPECT_EQ(arena.allocate(c.pages * PAGE + 1, Pool::Data, c.guarded), nullptr) << c.guarded;
        EXPECT_EQ(arena.allocate(c.pages * PAGE, Pool::Data, c.guarded), whole) << c.guarded;
    }
}

// Pages the host took beyond the scripts' ceiling and gave back stay out of a script's reach.
TEST(ModArena, HostReserveFreedByTheHostStaysTheHosts) {
    constexpr size_t RESERVE = ModArena::HOST_RESERVE_PAGES;
    ModArena arena(2 * RESERVE * PAGE);
    ASSERT_NE(arena.allocate(RESERVE * PAGE, Pool::Data, false), nullptr);
    void* above = arena.allocate(RESERVE / 2 * PAGE, Pool::Data, false);
    ASSERT_NE(arena.allocate(PAGE, Pool::Data, false), nullptr);
    arena.release(above, RESERVE / 2 * PAGE);
    EXPECT_EQ(arena.allocate(RESERVE / 4 * PAGE, Pool::Data, true), nullptr);
    EXPECT_EQ(arena.allocate(RESERVE / 4 * PAGE, Pool::Data, false), above);
}

TEST(ModArena, ResizeKeepsTheBytesAndStaysWhereTheBlockStillFits) {
    const struct Case {
        size_t from, to;
        bool inPlace;
    } cases[] = {
        {17, 32, true},       {16, 24, false},      {100, 5000, false},   {5000, 40000, false},
        {20000, 20400, true}, {90000, 40000, false}, {40000, 100, false}, {1024, 1025, false},
    };
    for (const Case& c : cases) {
        ModArena arena(TEST_REGION);
        auto* block = static_cast<char*>(arena.allocate(c.from, Pool::Data, true));
        for (size_t i = 0; i < c.from; ++i) block[i] = static_cast<char>(i * 31);
        auto* moved = static_cast<char*>(arena.resize(block, c.from, c.to, true));
        ASSERT_NE(moved, nullptr);
        EXPECT_EQ(moved == block, c.inPlace) << c.from << " to " << c.to;
        for (size_t i = 0; i < std::min(c.from, c.to); ++i)
            ASSERT_EQ(moved[i], static_cast<char>(i * 31)) << c.from << " to " << c.to << " at " << i;
    }
}

// A full region still shrinks a block: the pages past its new end come back and can be taken again.
TEST(ModArena, ShrinkInAFullRegionGivesTheTailBack) {
    constexpr size_t PAGES = ModArena::HOST_RESERVE_PAGES;
    ModArena arena(2 * PAGES * PAGE);
    void* whole = arena.allocate(PAGES * PAGE, Pool::Data, true);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(arena.resize(whole, PAGES * PAGE, PAGES / 2 * PAGE, true), whole);
    EXPECT_NE(arena.allocate(PAGES / 2 * PAGE, Pool::Data, true), nullptr);
    EXPECT_EQ(arena.allocate(1, Pool::Data, true), nullptr);
}

// Freed large blocks and emptied chunks leave the process's memory; one empty chunk per size stays for reuse.
TEST(ModArena, FreedMemoryLeavesTheProcess) {
    const struct Case {
        const char* what;
        size_t size, count;
        size_t pagesKept;
    } cases[] = {
        {"one large block", 64 * PAGE, 1, 0},
        {"two chunks of small blocks", 64, 2 * ModArena::CHUNK_PAGES * PAGE / 64, ModArena::CHUNK_PAGES},
    };
    for (const Case& c : cases) {
        ModArena arena(TEST_REGION);
        std::vector<void*> blocks;
        for (size_t i = 0; i < c.count; ++i) {
            blocks.push_back(arena.allocate(c.size, Pool::Data, true));
            std::memset(blocks.back(), 1, c.size);
        }
        const size_t pages = c.size * c.count / PAGE;
        ASSERT_EQ(residentPages(arena.base(), pages), pages) << c.what;
        for (void* block : blocks) arena.release(block, c.size);
        EXPECT_EQ(residentPages(arena.base(), pages), c.pagesKept) << c.what;
    }
}

TEST(ModArena, SmallClassesHoldTheirSizeWithLittleWaste) {
    const struct Case {
        size_t size, bytes;
    } cases[] = {{1, 16}, {16, 16}, {17, 32}, {1024, 1024}, {1025, 1280}, {16384, 16384}};
    for (const Case& c : cases) EXPECT_EQ(smallClassBytes(smallClassOf(c.size)), c.bytes) << c.size;
}

}  // namespace
