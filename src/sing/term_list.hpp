// TermList: an ordered list of terms with room for two of them inline.
// Most per-unknown entries of a field hold one or two terms (a reaction's
// step, its ramp), so fields are built and copied without a heap
// allocation per entry. Terms are trivially copyable and copied bytewise.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <new>
#include <type_traits>

namespace sing {

template <class T>
class SmallList {
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr std::size_t inline_capacity = 2;

public:
    using value_type = T;
    using size_type = std::size_t;
    using iterator = T*;
    using const_iterator = const T*;

    SmallList() noexcept = default;
    SmallList(std::initializer_list<T> items) { append_n(items.begin(), items.size()); }
    SmallList(const SmallList& other) { append_n(other.data(), other.size()); }
    SmallList(SmallList&& other) noexcept { take(other); }
    SmallList& operator=(const SmallList& other) {
        if (this != &other) {
            size_ = 0;
            append_n(other.data(), other.size());
        }
        return *this;
    }
    SmallList& operator=(SmallList&& other) noexcept {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    ~SmallList() { release(); }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    T* data() noexcept { return heap_ != nullptr ? heap_ : inline_; }
    const T* data() const noexcept { return heap_ != nullptr ? heap_ : inline_; }
    T* begin() noexcept { return data(); }
    T* end() noexcept { return data() + size_; }
    const T* begin() const noexcept { return data(); }
    const T* end() const noexcept { return data() + size_; }
    T& operator[](std::size_t k) noexcept { return data()[k]; }
    const T& operator[](std::size_t k) const noexcept { return data()[k]; }

    void reserve(std::size_t wanted) {
        if (wanted <= capacity_) return;
        T* grown = static_cast<T*>(::operator new(wanted * sizeof(T)));
        std::copy_n(data(), size_, grown);
        release();
        heap_ = grown;
        capacity_ = wanted;
    }
    void push_back(const T& item) {
        if (size_ == capacity_) reserve(std::max<std::size_t>(2 * capacity_, 4));
        data()[size_++] = item;
    }
    // Appends the terms of another list (not this one).
    void append(const SmallList& other) { append_n(other.data(), other.size()); }

    friend bool operator==(const SmallList& a, const SmallList& b) noexcept {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    void append_n(const T* items, std::size_t count) {
        if (size_ + count > capacity_) reserve(std::max(size_ + count, 2 * capacity_));
        std::copy_n(items, count, data() + size_);
        size_ += count;
    }
    void release() noexcept {
        ::operator delete(heap_);
        heap_ = nullptr;
        capacity_ = inline_capacity;
    }
    void take(SmallList& other) noexcept {
        size_ = other.size_;
        capacity_ = other.capacity_;
        heap_ = other.heap_;
        if (heap_ == nullptr) std::memcpy(inline_, other.inline_, sizeof inline_);
        other.heap_ = nullptr;
        other.size_ = 0;
        other.capacity_ = inline_capacity;
    }

    T* heap_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = inline_capacity;
    T inline_[inline_capacity];
};

}  // namespace sing
