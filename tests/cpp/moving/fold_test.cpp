#include "moving/fold.hpp"

#include <array>
#include <memory>
#include <tuple>
#include <vector>

#include "../test_support.hpp"

namespace {

// One axle of 40 on a simple span of 10, standing at 0, 2.5, 5, 7.5 and 10; the
// mesh holds those positions, both sides of the three inside.
struct SimpleSpan {
    std::array<engine::Support, 2> supports{{{0.0, kInf, kInf, 0.0}, {10.0, 0.0, kInf, 0.0}}};
    engine::Input beam{10, 1e4, 1, 1, kInf, supports, {}, {}, {}};
    std::array<double, 5> at{0.0, 2.5, 5.0, 7.5, 10.0};
    std::array<double, 10> axles{0.0, 40.0, 2.5, 40.0, 5.0, 40.0, 7.5, 40.0, 10.0, 40.0};
    std::array<double, 2> on_first_support{0.0, -40.0};  // the axle's own shear jump
    std::array<double, 5> read_at{0.0, 2.5, 5.0, 7.5, 10.0 - 1.7763568394002505e-15};
    std::array<std::int64_t, 5> left{0, 1, 3, 5, 7}, right{0, 2, 4, 6, 7}, keys_at{0, 1, 2, 3, 4};
    std::array<double, 2> own_jumps{0.0, 10.0};  // the supports'
    moving::Mesh mesh{at, read_at, left, right, at, keys_at};
    std::vector<double> hi = std::vector<double>(8, -kInf), lo = std::vector<double>(8, kInf), top = hi, bottom = lo;
    std::vector<std::int64_t> hi_member = std::vector<std::int64_t>(8), lo_member = hi_member;
    std::vector<double> range_hi = std::vector<double>(6, -kInf), range_lo = std::vector<double>(6, kInf);
    std::vector<std::int64_t> range_hi_member = std::vector<std::int64_t>(6), range_lo_member = range_hi_member;

    moving::Band band(engine::Quantity q) {
        const bool shear = q == engine::Quantity::sf;  // the supports' steps are the shear's only
        return {q, shear ? std::span<const double>(own_jumps) : std::span<const double>(), shear, hi.data(), lo.data(), hi_member.data(), lo_member.data(),
                top.data(), bottom.data()};
    }
    std::vector<moving::Placed> placed(std::size_t from, std::size_t to) {
        std::vector<moving::Placed> out;
        for (std::size_t k = from; k < to; ++k) {
            out.push_back({std::span<const double>(axles).subspan(2 * k, 2), {},
                           k == 0 ? std::span<const double>(on_first_support) : std::span<const double>()});
        }
        return out;
    }
    moving::Folded fold(engine::Quantity q, std::size_t from, std::size_t to) {
        const moving::Run run{&beam, 0.0, {1e-9 * 40, 1e-9 * 400}, static_cast<std::int64_t>(from)};
        const moving::Band bands[] = {band(q)};
        interrupt::Check never;
        return moving::fold_positions(run, placed(from, to), mesh, bands,
                                      {range_hi.data(), range_lo.data(), range_hi_member.data(), range_lo_member.data()},
                                      never);
    }
};

TEST(VehicleFold, LargestMomentUnderTheAxleAtMidspan) {
    SimpleSpan s;
    EXPECT_EQ(s.fold(engine::Quantity::bm, 0, 5).status, moving::Folded::Status::done);
    EXPECT_NEAR(s.hi[3], 100.0, 1e-12);  // P L / 4, both sides of the axle's position
    EXPECT_EQ(bits(s.hi[3]), bits(s.hi[4]));
    EXPECT_EQ(s.hi_member[3], 2);
    EXPECT_NEAR(s.hi[1], 75.0, 1e-12);  // P a b / L at 2.5
    EXPECT_EQ(s.hi_member[1], 1);
    EXPECT_NEAR(s.range_hi[1], 40.0, 1e-12);  // ry of A: the whole axle when it stands on A
    EXPECT_EQ(s.range_hi_member[1], 0);
    EXPECT_EQ(bits(s.range_lo[1]), bits(0.0));
    EXPECT_EQ(s.range_lo_member[1], 4);
}

// The shear just right of A with the axle a hair inside is P; at 2.5 the axle's own
// position is read on both sides of its jump.
TEST(VehicleFold, ShearBesideTheAxlesAndTheSupportLimit) {
    SimpleSpan s;
    s.fold(engine::Quantity::sf, 0, 5);
    EXPECT_NEAR(s.hi[0], 40.0, 1e-12);
    EXPECT_EQ(s.hi_member[0], 0);
    EXPECT_NEAR(s.top[0], 30.0, 1e-12);  // the screen: the positions' values (2.5's), not the limit
    EXPECT_NEAR(s.hi[1], 30.0, 1e-12);  // left of the axle at 2.5
    EXPECT_NEAR(s.lo[2], -10.0, 1e-12);  // right of it
    EXPECT_EQ(s.lo_member[2], 1);
}

// Folded in two calls (two chunks), the envelope is the one of a single call.
TEST(VehicleFold, ChunksGiveTheBitsOfOneCall) {
    SimpleSpan one, two;
    one.fold(engine::Quantity::d, 0, 5);
    EXPECT_EQ(two.fold(engine::Quantity::d, 0, 2).status, moving::Folded::Status::done);
    two.fold(engine::Quantity::d, 2, 5);
    for (std::size_t e = 0; e < 8; ++e) {
        EXPECT_EQ(bits(one.hi[e]), bits(two.hi[e])) << e;
        EXPECT_EQ(bits(one.lo[e]), bits(two.lo[e])) << e;
        EXPECT_EQ(one.hi_member[e], two.hi_member[e]) << e;
        EXPECT_EQ(one.lo_member[e], two.lo_member[e]) << e;
    }
}

TEST(VehicleFold, RefusedPositionsAndForeignMeshesAreReported) {
    SimpleSpan s;
    s.axles[3] = kInf;  // the second position's axle: residuals not finite
    const moving::Folded unbalanced = s.fold(engine::Quantity::bm, 0, 5);
    EXPECT_EQ(unbalanced.status, moving::Folded::Status::failed);
    EXPECT_EQ(unbalanced.position, 1u);
    SimpleSpan t;
    t.own_jumps[1] = 9.0;  // no mesh position there
    EXPECT_EQ(t.fold(engine::Quantity::sf, 0, 1).status, moving::Folded::Status::not_in_mesh);
}

// The same positions solved first (engine::solve) and folded as members, their
// axles' shear jumps given per member: the bits of the positions' own fold.
TEST(MemberFold, SolvedMembersFoldToTheBitsOfThePositions) {
    for (engine::Quantity q : {engine::Quantity::sf, engine::Quantity::bm}) {
        SimpleSpan positions, members;
        EXPECT_EQ(positions.fold(q, 1, 5).status, moving::Folded::Status::done);  // no axle on a support
        std::vector<std::unique_ptr<Solved>> solved;
        std::array<std::array<double, 2>, 4> jumps{};
        std::vector<moving::Member> list;
        const std::size_t order[2] = {0, 1};
        for (std::size_t k = 0; k < 4; ++k) {
            const double x = members.axles[2 * k + 2];
            jumps[k] = {static_cast<double>(engine::Quantity::sf), x};
            solved.push_back(solve({{members.supports.begin(), members.supports.end()}, {{"point", {-40.0, x, 90.0}}}}));
            list.push_back({&solved.back()->analysis(), order, {{}, {}, {}, jumps[k]}});
        }
        const moving::Band bands[] = {members.band(q)};
        interrupt::Check never;
        const moving::Ranges ranges{members.range_hi.data(), members.range_lo.data(), members.range_hi_member.data(),
                                    members.range_lo_member.data()};
        EXPECT_EQ(moving::fold_members(list, 1, members.mesh, bands, ranges, never).status,
                  moving::Folded::Status::done);
        for (std::size_t e = 0; e < 8; ++e) {
            EXPECT_EQ(std::make_tuple(bits(positions.hi[e]), bits(positions.lo[e]), bits(positions.top[e])),
                      std::make_tuple(bits(members.hi[e]), bits(members.lo[e]), bits(members.top[e]))) << e;
        }
        EXPECT_EQ(std::tie(positions.hi_member, positions.lo_member, positions.range_hi, positions.range_lo_member),
                  std::tie(members.hi_member, members.lo_member, members.range_hi, members.range_lo_member));
    }
}

}  // namespace
