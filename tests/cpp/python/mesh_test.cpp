#include "python/mesh.hpp"

#include <new>

#include "../test_support.hpp"

namespace {

using python::Mesh;

TEST(PlottingMesh, RefinesAroundFeaturesStrictlyInsideTheSpan) {
    const double f[] = {0, 10, 5}, repeated[] = {4, 4, kNaN};
    EXPECT_EQ(python::plotting_mesh(3, 10, f), (Mesh{0, 1e-7, 5 - 1e-7, 5, 5 + 1e-7, 10 - 1e-7, 10}));
    EXPECT_EQ(python::plotting_mesh(2, 10, repeated), (Mesh{0, 4 - 1e-7, 4 + 1e-7, 10}));
    EXPECT_EQ(python::plotting_mesh(0, 10, {}), Mesh{});
    EXPECT_EQ(python::plotting_mesh(1, 10, {}), Mesh{0.0});
}

// n near 2^64 must not wrap the reserved size around to a small value.
TEST(PlottingMesh, UnobtainableSizeIsAnAllocationFailure) {
    const double f[] = {5};
    EXPECT_THROW(python::plotting_mesh(std::numeric_limits<std::uint64_t>::max(), 10, f), std::bad_alloc);
    EXPECT_THROW(python::plotting_mesh(std::uint64_t{1} << 62, 10, f), std::bad_alloc);
}

}  // namespace
