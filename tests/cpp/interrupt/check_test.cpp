#include "interrupt/check.hpp"

#include "../test_support.hpp"
#include "engine/analysis.hpp"
#include "linalg/solve.hpp"
#include "loads/loads.hpp"
#include "results/mesh.hpp"

namespace {

// Counts the asks in its context; says stop from the third ask on.
bool third_time(void* asks) { return ++*static_cast<int*>(asks) >= 3; }

TEST(Check, AsksAfterEveryIntervalAndStaysStopped) {
    int asks = 0;
    interrupt::Check check(third_time, &asks, 10);
    std::vector<bool> stops;
    for (std::uint64_t work : {9, 1, 25, 10, 3, 1}) stops.push_back(check.stop(work));
    EXPECT_EQ(stops, (std::vector<bool>{false, false, false, true, true, true}));
    EXPECT_EQ(asks, 3);  // once stopped, the caller is not asked again
    EXPECT_TRUE(check.stopped());
}

bool now(void*) { return true; }

TEST(Check, EveryLongComputationGivesUpWhenAsked) {
    std::vector<engine::Support> supports{{0, kInf, kInf, 0}};
    for (int k = 1; k <= 40; ++k) supports.push_back({k / 4.0, 0, kInf, 0});
    const engine::Beam beam{supports, {loads::uniform_load(-1, 0, 10, 90)}, 10, 1e4, 1, 1, kInf, {}};
    const std::vector<double> coefficients(50, 1.0);
    linalg::Matrix identity(3);
    for (std::size_t k = 0; k < 3; ++k) identity.at(k, k) = 1.0;

    interrupt::Check a(now, nullptr, 1), b(now, nullptr, 1), c(now, nullptr, 1), d(now, nullptr, 1);
    EXPECT_EQ(engine::analyse(beam, a).failure(), engine::AnalyseFailure::interrupted);
    EXPECT_FALSE(loads::polynomial_load(coefficients, 0, 1, 90, b).has_value());
    EXPECT_FALSE(results::plotting_mesh(1000, 10, {}, c).has_value());
    EXPECT_FALSE(linalg::solve(identity, {1, 2, 3}, d).has_value());
    for (const interrupt::Check* check : {&a, &b, &c, &d}) EXPECT_TRUE(check->stopped());
}

}  // namespace
