#include "engine/model.hpp"

#include "../test_support.hpp"

namespace {

// Projection by cos / sin of the angle, then one integration of every term.
TEST(Projection, SplitsAtTheAngleWithCutOffAndIntegrates) {
    const struct { double angle, axial, transverse; } cases[] = {
        {0, 1, 0}, {90, 0, 1}, {180, -1, 0}, {30, std::sqrt(3.0) / 2, 0.5}, {kNaN, kNaN, kNaN}};
    for (const auto& c : cases) {
        const engine::Load load{{{10, 2, -1}, {6, 1, 0}, {6, 1, 2}}, c.angle, 0, engine::LoadKind::Point};
        for (auto [got, f] : {std::pair{load.normal_force_terms(), c.axial}, std::pair{load.shear_force_terms(), c.transverse}}) {
            SCOPED_TRACE(testing::Message() << c.angle << " deg");
            ASSERT_EQ(got.size(), 3u);
            EXPECT_EQ(std::vector<int>({got[0].order, got[1].order, got[2].order}), std::vector<int>({0, 1, 3}));
            for (int k = 0; k < 3; ++k) {
                const double raw[] = {10, 6, 2};
                if (std::isnan(f)) EXPECT_TRUE(std::isnan(got[k].coefficient));
                else if (f == 0) EXPECT_EQ(got[k].coefficient, 0.0);  // exact, not 1e-16
                else EXPECT_NEAR(got[k].coefficient, f * raw[k], 1e-12);
            }
        }
    }
    EXPECT_TRUE((engine::Load{{}, 30, 0, engine::LoadKind::Point}.shear_force_terms().empty()));
}

}  // namespace
