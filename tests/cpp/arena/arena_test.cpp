#include "arena/arena.hpp"

#include "../test_support.hpp"

namespace {

struct alignas(16) Wide {
    double a, b;
};

// Values of every alignment land aligned and apart, first in the caller's
// room and then in heap blocks; whatever was placed keeps its value.
TEST(Arena, PlacesAlignedValuesInTheRoomThenOnTheHeap) {
    alignas(16) std::byte room[100];
    arena::Arena arena(room);
    std::vector<std::pair<char*, std::size_t>> placed;
    for (int k = 0; k < 200; ++k) {
        char* c = arena.allocate<char>(static_cast<std::size_t>(k % 7 + 1));
        double* d = arena.allocate<double>(static_cast<std::size_t>(k % 5));
        Wide* w = arena.allocate<Wide>(1);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(d) % alignof(double), 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(w) % 16, 0u);
        std::memset(c, k, static_cast<std::size_t>(k % 7 + 1));
        placed.emplace_back(c, static_cast<std::size_t>(k % 7 + 1));
        *w = {1.0 * k, 2.0 * k};
    }
    EXPECT_LT(reinterpret_cast<std::byte*>(placed[0].first), room + sizeof room);
    for (std::size_t k = 0; k < placed.size(); ++k) {
        for (std::size_t j = 0; j < placed[k].second; ++j) EXPECT_EQ(placed[k].first[j], static_cast<char>(k));
    }
    EXPECT_GE(arena.heap_blocks(), 1u);
    EXPECT_LE(arena.heap_blocks(), 3u);  // blocks grow: not one per allocation
}

TEST(Arena, ReservedRoomIsOneBlock) {
    arena::Arena arena({});
    const std::size_t n = 100000;
    arena.reserve(arena::Arena::footprint<char>(1) + arena::Arena::footprint<double>(n) * 3);
    arena.allocate<char>(1);
    for (int k = 0; k < 3; ++k) arena.allocate<double>(n);
    EXPECT_EQ(arena.heap_blocks(), 1u);
}

TEST(Arena, ImpossibleSizesThrow) {
    arena::Arena arena({});
    EXPECT_THROW(arena.allocate<double>(std::numeric_limits<std::size_t>::max() / 4), std::bad_alloc);
    EXPECT_THROW(arena::Arena::footprint<double>(std::numeric_limits<std::size_t>::max() / 8), std::bad_alloc);
}

// A list that outgrows its expected length moves and keeps every value.
TEST(GrowingList, KeepsItsValuesAcrossMoves) {
    alignas(16) std::byte room[256];
    arena::Arena arena(room);
    for (std::size_t expected : {0, 1, 5, 64}) {
        arena::GrowingList<double> list(arena, expected);
        for (int k = 0; k < 1000; ++k) list.push_back(k * 0.5);
        ASSERT_EQ(list.size(), 1000u);
        for (int k = 0; k < 1000; ++k) EXPECT_EQ(list.items()[k], k * 0.5);
    }
}

}  // namespace
