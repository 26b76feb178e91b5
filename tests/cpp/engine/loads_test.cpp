#include "engine/loads.hpp"

#include "../test_support.hpp"

namespace {

using engine::Load;
using engine::LoadKind;

// A load as the tests expect it: its terms, the angle whose shares it
// carries, its moment and kind.
struct Want {
    std::vector<sing::Term> terms;
    double angle;
    double moment;
    LoadKind kind;
};

void expect_load(const Load& got, const Want& want) {
    EXPECT_EQ(terms_of(got.terms), want.terms);
    EXPECT_EQ(bits(got.transverse), bits(engine::transverse_factor(want.angle)));
    if (want.kind != LoadKind::Torque) {
        EXPECT_EQ(bits(got.axial), bits(engine::axial_factor(want.angle)));
    }
    EXPECT_EQ(got.moment, want.moment);
    EXPECT_EQ(got.kind, want.kind);
}

struct Built {
    alignas(16) std::byte room[1024];
    arena::Arena arena{room};
    interrupt::Check never;
    std::variant<Load, engine::Failure> load = engine::Failure::stopped();

    Built(const char* kind, const std::vector<double>& params)
        : load(engine::build_load(engine::load_input(kind, params, arena), arena, never)) {}
};

TEST(BuildLoad, BuildsEachKindAndIgnoresSurplusParams) {
    const struct { const char* kind; std::vector<double> params; Want want; } cases[] = {
        {"point", {10, 2, 90, 7}, {{{10, 2, -1}}, 90, 20, LoadKind::Point}},
        {"point", {10, 2, 0}, {{{10, 2, -1}}, 0, 0, LoadKind::Point}},
        {"udl", {2, 1, 4, 90}, {{{2, 1, 0}, {-2, 4, 0}}, 90, 15, LoadKind::Distributed}},
        {"udl", {2, 4, 1, 90, 8}, {{{2, 4, 0}, {-2, 1, 0}}, 90, -15, LoadKind::Distributed}},
        {"torque", {5, 3, 45}, {{{-5, 3, -2}}, 90, 5, LoadKind::Torque}},
        {"trap", {0, 6, 0, 3, 90, 1}, {{{0, 0, 0}, {0, 3, 0}, {2, 0, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 18, LoadKind::Distributed}},
        {"dist", {1, 3, 90, 0, 2}, {{{2, 1, 0}, {2, 1, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 52.0 / 3, LoadKind::Distributed}},
        {"dist", {1, 3, 30, 5, 0, 0, 0, 0, 0}, {{{5, 1, 0}, {-5, 3, 0}}, 30, 20 * engine::transverse_factor(30),
                                                LoadKind::Distributed}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << testing::PrintToString(c.params));
        const Built got(c.kind, c.params);
        ASSERT_TRUE(std::holds_alternative<Load>(got.load)) << std::get<engine::Failure>(got.load).message;
        expect_load(std::get<Load>(got.load), c.want);
    }
}

TEST(BuildLoad, FailuresRepeatTheCallersText) {
    const struct { std::string kind; std::vector<double> params; std::string message; } cases[] = {
        {"bogus", {1, 2, 3}, "unknown load kind 'bogus'"}, {"Point", {10, 2, 90}, "unknown load kind 'Point'"},
        {"", {}, "unknown load kind ''"}, {std::string("a\0b", 3), {}, std::string("unknown load kind 'a\0b'", 23)},
        {"point", {10, 2}, "load 'point' needs 3 params, got 2"},
        {"udl", {1, 2, 3}, "load 'udl' needs 4 params, got 3"}, {"trap", {1, 2, 0, 3}, "load 'trap' needs 5 params, got 4"},
        {"torque", {5}, "load 'torque' needs 2 params, got 1"}, {"dist", {0, 3, 90}, "load 'dist' needs 4 params, got 3"}};
    for (const auto& c : cases) {
        alignas(16) std::byte room[64];
        arena::Arena arena(room);
        interrupt::Check never;
        const auto load = engine::build_load(engine::load_input(c.kind, c.params, arena), arena, never);
        ASSERT_TRUE(std::holds_alternative<engine::Failure>(load)) << c.message;
        EXPECT_EQ(std::get<engine::Failure>(load).message, c.message);
    }
}

Load dist(std::vector<double> c, double x1, double x2, double theta, arena::Arena& arena) {
    interrupt::Check never;
    return std::get<Load>(engine::polynomial_load(c, x1, x2, theta, arena, never));
}

TEST(VaryingLoad, TermsAndMoment) {
    constexpr auto D = engine::LoadKind::Distributed;
    alignas(16) std::byte room[4096];
    arena::Arena a(room);
    const struct { const char* name; Load got; Want want; } cases[] = {
        {"uniform trap", engine::trapezoidal_load(3, 3, 1, 4, 90, a), {{{3, 1, 0}, {-3, 4, 0}}, 90, 22.5, D}},
        {"triangle", engine::trapezoidal_load(0, 6, 0, 3, 90, a), {{{0, 0, 0}, {-0.0, 3, 0}, {2, 0, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 18, D}},
        {"axial trap", engine::trapezoidal_load(2, 2, 0, 1, 0, a), {{{2, 0, 0}, {-2, 1, 0}}, 0, 0, D}},
        {"constant", dist({5}, 1, 3, 90, a), {{{5, 1, 0}, {-5, 3, 0}}, 90, 20, D}},
        {"linear from origin", dist({0, 2}, 0, 3, 90, a), {{{2, 0, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 18, D}},
        {"linear shifted", dist({0, 2}, 1, 3, 90, a), {{{2, 1, 0}, {2, 1, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 52.0 / 3, D}},
        // w = 1 + 3x^2 on [1, 2]: w(1) = 4, w'(1) = 6, w(2) = 13, w'(2) = 12.
        {"quadratic", dist({1, 0, 3}, 1, 2, 90, a),
         {{{4, 1, 0}, {6, 1, 1}, {3, 1, 2}, {-13, 2, 0}, {-12, 2, 1}, {-3, 2, 2}}, 90, 12.75, D}},
        {"zero polynomial", dist({0}, 1, 3, 45, a), {{}, 45, 0, D}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expect_load(c.got, c.want);
    }
    EXPECT_TRUE(std::signbit(engine::trapezoidal_load(0, 6, 0, 3, 90, a).terms[1].coefficient));
    EXPECT_EQ(engine::trapezoidal_load(kNaN, kNaN, 0, 1, 90, a).terms.size(), 5u);  // NaN intensities count as unequal
}

// Loads that carry nothing across the beam leave no couple, and loads of
// zero length or with zero coefficients carry exactly what they should.
TEST(BuildLoad, DegenerateLoadsCarryNothingSpurious) {
    constexpr auto D = engine::LoadKind::Distributed;
    alignas(16) std::byte room[64];
    arena::Arena a(room);  // spills: 308 coefficients need a heap block
    std::vector<double> cubic_tail(308, 0.0);
    cubic_tail[0] = -1;  // -1 on [0, 10], then 307 zero coefficients whose powers of 10 overflow
    const struct { const char* name; Load got; Want want; } cases[] = {
        {"point at 180 deg", engine::point_load(1e6, 3, 180, a), {{{1e6, 3, -1}}, 180, 0, LoadKind::Point}},
        {"point at 5e-7 deg", engine::point_load(-1e9, 2, 5e-7, a), {{{-1e9, 2, -1}}, 5e-7, 0, LoadKind::Point}},
        {"udl at 0 deg", engine::uniform_load(2, 1, 4, 0, a), {{{2, 1, 0}, {-2, 4, 0}}, 0, 0, D}},
        {"zero-length trap", engine::trapezoidal_load(-1, -2, 5, 5, 90, a), {{{-1, 5, 0}, {1, 5, 0}}, 90, 0, D}},
        {"zero coefficients", dist(cubic_tail, 0, 10, 90, a), {{{-1, 0, 0}, {1, 10, 0}}, 90, -50, D}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expect_load(c.got, c.want);
    }
}

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
