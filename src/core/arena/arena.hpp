// Storage for everything one solve needs only while it runs: the converted
// input, the built loads, the fields, the matrices. Values are placed one
// after another in a buffer of the caller's (usually on the stack) and, when
// that is full, in heap blocks of growing size; nothing is freed or
// destroyed one by one, and the blocks go when the arena goes. A small beam
// is solved without a heap allocation, a large one with a few.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <type_traits>

namespace arena {

// Room enough for the temporaries of a small beam, such as a buffer on the
// stack: a beam of a few spans and loads is solved without a heap block.
inline constexpr std::size_t small_beam_room = 8192;

class Arena {
public:
    // `first` is used before any heap block; it must outlive the arena.
    explicit Arena(std::span<std::byte> first) noexcept : cursor_(first.data()), end_(first.data() + first.size()) {}
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena();

    // Room for n values of T, uninitialised. Only for types that need no
    // destructor: nothing placed here is ever destroyed. Throws
    // std::bad_alloc when the room cannot be had.
    template <class T>
    T* allocate(std::size_t n) {
        static_assert(std::is_trivially_destructible_v<T> && std::is_trivially_copyable_v<T>);
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(allocate_bytes(n * sizeof(T), alignof(T)));
    }

    // The most that allocate<T>(n) takes from a block, padding included.
    template <class T>
    static std::size_t footprint(std::size_t n) {
        if (n > (std::numeric_limits<std::size_t>::max() - alignof(T)) / sizeof(T)) throw std::bad_alloc();
        return n * sizeof(T) + alignof(T);
    }

    // Makes the next allocations, of `bytes` in footprints together, come
    // from one block, so that a phase whose needs are known takes at most
    // one heap allocation.
    void reserve(std::size_t bytes);

    // Heap blocks taken so far (for tests and measurements).
    std::size_t heap_blocks() const noexcept { return heap_blocks_; }

private:
    void* allocate_bytes(std::size_t bytes, std::size_t align) {
        const auto at = reinterpret_cast<std::uintptr_t>(cursor_);
        const std::size_t pad = (align - at % align) % align;
        if (static_cast<std::size_t>(end_ - cursor_) < pad || static_cast<std::size_t>(end_ - cursor_) - pad < bytes) {
            return from_new_block(bytes, align);
        }
        std::byte* out = cursor_ + pad;
        cursor_ = out + bytes;
        return out;
    }
    void* from_new_block(std::size_t bytes, std::size_t align);
    void new_block(std::size_t room);

    struct Block;
    std::byte* cursor_;
    std::byte* end_;
    Block* blocks_ = nullptr;  // the newest heap block, linked to the older ones
    std::size_t last_block_ = 0;
    std::size_t heap_blocks_ = 0;
};

// A list of trivially copyable values whose final length is only known once
// it is read (the items of a Python sequence): it starts with room for the
// expected count and, when more arrive, moves to twice the room. The room it
// leaves behind stays in the arena until the solve ends.
template <class T>
class GrowingList {
public:
    GrowingList(Arena& arena, std::size_t expected) : arena_(&arena) {
        if (expected > 0) {
            data_ = arena.allocate<T>(expected);
            capacity_ = expected;
        }
    }

    void push_back(const T& value) { push() = value; }
    // A new last value, default-initialised, to be filled in place.
    T& push() {
        if (size_ == capacity_) grow();
        return *new (data_ + size_++) T{};
    }
    T* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    std::span<const T> items() const noexcept { return {data_, size_}; }

private:
    void grow() {
        const std::size_t room = capacity_ < 8 ? 8 : 2 * capacity_;
        T* moved = arena_->allocate<T>(room);
        if (size_ > 0) std::memcpy(moved, data_, size_ * sizeof(T));
        data_ = moved;
        capacity_ = room;
    }

    Arena* arena_;
    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace arena
