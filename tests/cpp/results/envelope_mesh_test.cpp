#include "results/envelope_mesh.hpp"

#include <cmath>
#include <vector>

#include "../test_support.hpp"

namespace {

results::EnvelopeMesh mesh_of(double span, std::vector<double> features, std::vector<double> jumps, std::uint64_t n,
                              std::vector<double> points) {
    results::EnvelopeMesh out;
    EXPECT_EQ(results::envelope_mesh({span, features, jumps, n, points}, out), results::EnvelopeMeshStatus::done);
    return out;
}

// Python's repr() lengths: positional from 1e-4 up to below 1e16, exponent
// notation outside, "20.0" for a whole number, a sign for -0.0.
TEST(EnvelopeMesh, ReprLengthIsPythons) {
    const std::pair<double, std::size_t> table[] = {{0.0, 3},    {-0.0, 4},    {20.0, 4},    {0.1 * 3, 19}, {1e-4, 6},
                                                     {1e-5, 5},   {1.5e-5, 7},  {-1e-100, 7}, {1e16, 5},     {1e15, 18},
                                                     {5e-324, 6}, {1.7976931348623157e308, 23}};
    for (const auto& [v, length] : table) EXPECT_EQ(results::repr_length(v), length) << v;
}

// A simple span with a point load at 2.5: the gaps filled at span / n, the
// load's position held twice, the end read just left of it, a point that
// repeats a filled position taken once.
TEST(EnvelopeMesh, FillsGapsAndDoublesJumpsInside) {
    const results::EnvelopeMesh m = mesh_of(10.0, {2.5, 10.0, 0.0, 2.5}, {2.5, 10.0, 0.0}, 4, {5.0, 6.0});
    EXPECT_EQ(m.position, (std::vector<double>{0.0, 2.5, 5.0, 6.0, 7.5, 10.0}));
    EXPECT_EQ(m.read_at, (std::vector<double>{0.0, 2.5, 5.0, 6.0, 7.5, std::nextafter(10.0, 0.0)}));
    EXPECT_EQ(m.left, (std::vector<std::int64_t>{0, 1, 3, 4, 5, 6}));
    EXPECT_EQ(m.right, (std::vector<std::int64_t>{0, 2, 3, 4, 5, 6}));
    EXPECT_EQ(m.source, (std::vector<std::int64_t>{0, 1, 1, 2, 3, 4, 5}));
    EXPECT_EQ(m.x, (std::vector<double>{0.0, 2.5, 2.5, 5.0, 6.0, 7.5, 10.0}));
    EXPECT_EQ(m.keys, (std::vector<double>{0.0, 2.5, 10.0}));
    EXPECT_EQ(m.key_position, (std::vector<std::int64_t>{0, 1, 5}));
}

}  // namespace
