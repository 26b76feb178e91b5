#include "arena/arena.hpp"

#include <algorithm>

namespace arena {

// Each heap block starts with this header; its room follows, 16-aligned.
struct alignas(16) Arena::Block {
    Block* older;
};

namespace {

// The smallest heap block: a spill from the caller's buffer is rarely tiny.
constexpr std::size_t min_block = std::size_t{1} << 14;

}  // namespace

Arena::~Arena() {
    while (blocks_ != nullptr) {
        Block* older = blocks_->older;
        ::operator delete(blocks_);
        blocks_ = older;
    }
}

void Arena::new_block(std::size_t room) {
    if (room > std::numeric_limits<std::size_t>::max() - sizeof(Block)) throw std::bad_alloc();
    auto* block = static_cast<Block*>(::operator new(sizeof(Block) + room));
    block->older = blocks_;
    blocks_ = block;
    ++heap_blocks_;
    last_block_ = room;
    cursor_ = reinterpret_cast<std::byte*>(block + 1);
    end_ = cursor_ + room;
}

void* Arena::from_new_block(std::size_t bytes, std::size_t align) {
    if (bytes > std::numeric_limits<std::size_t>::max() - align) throw std::bad_alloc();
    // Doubling keeps the count of blocks logarithmic in the total.
    const std::size_t doubled = last_block_ > std::numeric_limits<std::size_t>::max() / 2 ? 0 : 2 * last_block_;
    new_block(std::max({bytes + align, doubled, min_block}));
    return allocate_bytes(bytes, align);
}

void Arena::reserve(std::size_t bytes) {
    if (static_cast<std::size_t>(end_ - cursor_) >= bytes) return;
    new_block(std::max(bytes, min_block));
}

}  // namespace arena
