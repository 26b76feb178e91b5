#include "cases/cases.hpp"

#include "../test_support.hpp"

namespace {

using engine::Load;

Load dist(std::vector<double> c, double x1, double x2, double theta) { return cases::distributed_pub(c, x1, x2, theta); }

TEST(VaryingLoad, TermsAndMoment) {
    constexpr auto D = engine::LoadKind::Distributed;
    const struct { const char* name; Load got, want; } cases[] = {
        {"uniform trap", cases::trap_pub(3, 3, 1, 4, 90), {{{3, 1, 0}, {-3, 4, 0}}, 90, 22.5, D}},
        {"triangle", cases::trap_pub(0, 6, 0, 3, 90), {{{0, 0, 0}, {-0.0, 3, 0}, {2, 0, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 18, D}},
        {"axial trap", cases::trap_pub(2, 2, 0, 1, 0), {{{2, 0, 0}, {-2, 1, 0}}, 0, 0, D}},
        {"constant", dist({5}, 1, 3, 90), {{{5, 1, 0}, {-5, 3, 0}}, 90, 20, D}},
        {"linear from origin", dist({0, 2}, 0, 3, 90), {{{2, 0, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 18, D}},
        {"linear shifted", dist({0, 2}, 1, 3, 90), {{{2, 1, 0}, {2, 1, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 52.0 / 3, D}},
        // w = 1 + 3x^2 on [1, 2]: w(1) = 4, w'(1) = 6, w(2) = 13, w'(2) = 12.
        {"quadratic", dist({1, 0, 3}, 1, 2, 90),
         {{{4, 1, 0}, {6, 1, 1}, {3, 1, 2}, {-13, 2, 0}, {-12, 2, 1}, {-3, 2, 2}}, 90, 12.75, D}},
        {"zero polynomial", dist({0}, 1, 3, 45), {{}, 45, 0, D}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expect_load(c.got, c.want);
    }
    EXPECT_TRUE(std::signbit(cases::trap_pub(0, 6, 0, 3, 90).terms[1].coefficient));
    EXPECT_EQ(cases::trap_pub(kNaN, kNaN, 0, 1, 90).terms.size(), 5u);  // NaN intensities count as unequal
}

}  // namespace
