// Sorting long lists without going deaf to the caller: a stable merge sort
// that asks the check after every pass over the list, so that Ctrl-C stops
// even the sort of millions of supports or mesh points within one pass.
// A stable order is unique, so the result is that of any stable sort.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>

#include "interrupt/check.hpp"

namespace interrupt {

// Sorts items[0, n) by `before`, using scratch[0, n) as room to merge into.
// False, with the items in some order, when the check says stop.
template <class T, class Before>
bool stable_sort(T* items, T* scratch, std::size_t n, Before before, Check& check) {
    constexpr std::size_t run = 16;
    for (std::size_t start = 0; start < n; start += run) {
        const std::size_t end = std::min(n, start + run);
        for (std::size_t k = start + 1; k < end; ++k) {  // insertion sort keeps equal items in order
            const T item = items[k];
            std::size_t j = k;
            for (; j > start && before(item, items[j - 1]); --j) items[j] = items[j - 1];
            items[j] = item;
        }
    }
    if (check.stop(n)) return false;
    T* from = items;
    T* to = scratch;
    for (std::size_t width = run; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(n, lo + width), hi = std::min(n, lo + 2 * width);
            std::merge(from + lo, from + mid, from + mid, from + hi, to + lo, before);
        }
        std::swap(from, to);
        if (check.stop(n)) return false;
    }
    if (from != items) std::copy(from, from + n, items);
    return true;
}

}  // namespace interrupt
