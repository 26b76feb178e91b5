#include "engine/model.hpp"

#include "../test_support.hpp"

namespace {

// The shares of an angle across and along the beam, with the cut-off that
// makes 90 degrees purely transverse and 0 or 180 purely axial; a torque's
// fixed share is that of 90 degrees.
TEST(Projection, SharesOfAnAngleWithCutOff) {
    const struct { double angle, axial, transverse; } cases[] = {
        {0, 1, 0}, {90, 0, 1}, {180, -1, 0}, {270, 0, -1}, {30, std::sqrt(3.0) / 2, 0.5}, {5e-7, 1, 0}, {kNaN, kNaN, kNaN}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.angle << " deg");
        for (auto [got, want] : {std::pair{engine::axial_factor(c.angle), c.axial},
                                 std::pair{engine::transverse_factor(c.angle), c.transverse}}) {
            if (std::isnan(want)) EXPECT_TRUE(std::isnan(got));
            else if (want == 0) EXPECT_EQ(bits(got), bits(+0.0));  // exact, not 1e-16
            else EXPECT_NEAR(got, want, 1e-12);
        }
    }
    EXPECT_EQ(bits(engine::transverse_factor(90)), bits(1.0));
}

TEST(LoadNames, ExactCaseSensitiveText) {
    const std::pair<const char*, engine::LoadName> cases[] = {
        {"point", engine::LoadName::point}, {"dist", engine::LoadName::dist}, {"torque", engine::LoadName::torque},
        {"Point", engine::LoadName::unknown}, {"udl ", engine::LoadName::unknown}, {"", engine::LoadName::unknown}};
    for (const auto& [text, name] : cases) EXPECT_EQ(engine::load_name(text), name) << text;
    EXPECT_EQ(engine::load_name(std::string_view("trap\0", 5)), engine::LoadName::unknown);
}

}  // namespace
