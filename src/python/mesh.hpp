// The sampling mesh of the plotting vectors: n evenly spaced points over the
// span plus a point 1e-7 either side of every feature strictly inside
// (0, span), sorted and free of duplicates, so that each jump shows as a
// near-vertical segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

namespace python {

// The mesh size comes from the caller, so its storage may be impossible to
// obtain. This allocator asks the non-throwing operator new and reports a
// failure as std::bad_alloc itself: the same outcome as the default
// allocator, also where the runtime's throwing new cannot throw (sanitizer
// runtimes abort instead).
template <class T>
struct NothrowAllocator {
    using value_type = T;
    NothrowAllocator() noexcept = default;
    template <class U>
    NothrowAllocator(const NothrowAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        void* p = ::operator new(n * sizeof(T), std::nothrow);
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete(p); }
    friend bool operator==(const NothrowAllocator&, const NothrowAllocator&) noexcept { return true; }
};

using Mesh = std::vector<double, NothrowAllocator<double>>;

// n = 1 gives the single point 0.0. Points that are not numbers (a
// non-finite span, a NaN feature) are left out, so the mesh is strictly
// ascending. Throws std::bad_alloc when the storage cannot be obtained.
Mesh plotting_mesh(std::uint64_t n, double span, std::span<const double> features);

}  // namespace python
