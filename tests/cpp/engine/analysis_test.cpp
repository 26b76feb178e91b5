#include "engine/analysis.hpp"

#include <algorithm>
#include <random>

#include "../test_support.hpp"

namespace {

using namespace engine;

Support pin(double x) { return {x, kInf, kInf, 0}; }
Support roller(double x) { return {x, 0, kInf, 0}; }
Support fixed(double x) { return {x, kInf, kInf, kInf}; }

void expect_close(double got, double want) { EXPECT_NEAR(got, want, 1e-9 * std::max(1.0, std::fabs(want))); }

struct Probe { sing::Terms Analysis::*quantity; double x, want; };
struct PhysicsCase { const char* name; Beam beam; std::vector<Reaction> reactions; std::vector<Probe> probes; };
void PrintTo(const PhysicsCase& c, std::ostream* os) { *os << c.name; }

class Physics : public testing::TestWithParam<PhysicsCase> {};

TEST_P(Physics, ReactionsAndFieldsMatchClosedForm) {
    const auto r = solve(GetParam().beam);
    ASSERT_TRUE(r->ok()) << r->failure().message;
    ASSERT_EQ(r->analysis().reactions.size(), GetParam().reactions.size());
    for (std::size_t k = 0; k < GetParam().reactions.size(); ++k) {
        const Reaction &got = r->analysis().reactions[k], &want = GetParam().reactions[k];
        EXPECT_EQ(got.pos, want.pos);
        for (auto f : {&Reaction::rx, &Reaction::ry, &Reaction::m}) expect_close(got.*f, want.*f);
    }
    for (const Probe& p : GetParam().probes) expect_close(sing::eval_terms(r->analysis().*p.quantity, p.x), p.want);
}

constexpr auto nf = &Analysis::nf, sf = &Analysis::sf, bm = &Analysis::bm, d = &Analysis::d;
const LoadEntry P5{"point", {-10, 5, 90}}, W{"udl", {-2, 0, 10, 90}}, H4{"point", {8, 4, 0}};
const LoadEntry tipV{"point", {-10, 10, 90}}, tipH{"point", {8, 10, 0}}, tipT{"torque", {7, 10}};
const std::vector<Reaction> five_five{{0, 0, 5, 0}, {10, 0, 5, 0}};

INSTANTIATE_TEST_SUITE_P(Beams, Physics, testing::Values(
    PhysicsCase{"simply_supported", {{pin(0), roller(10)}, {P5}}, five_five,
                {{sf, 4, 5}, {sf, 6, -5}, {bm, 5, 25}, {d, 5, -1e4 / 48e4}}},
    PhysicsCase{"shear_deformation", {{pin(0), roller(10)}, {P5}, 10, {}, 100}, five_five,
                {{d, 5, -1e4 / 48e4 - 100.0 / (4 * 100)}}},  // + PL / (4 GA)
    PhysicsCase{"spring_support", {{pin(0), {10, 0, 5e5, 0}}, {P5}, 10, {.stiffness = 2}}, five_five,
                {{d, 10, -5 / 1e6}}},
    PhysicsCase{"cantilever_point", {{fixed(0)}, {tipV}}, {{0, 0, 10, 100}}, {{bm, 0, -100}, {d, 10, -1e4 / 3e4}}},
    PhysicsCase{"cantilever_torque", {{fixed(0)}, {tipT}}, {{0, 0, 0, -7}}, {{bm, 0, 7}, {bm, 10 - 1e-9, 7}, {bm, 10, 0}}},
    PhysicsCase{"propped_udl", {{fixed(0), roller(10)}, {W}}, {{0, 0, 12.5, 25}, {10, 0, 7.5, 0}}, {{bm, 0, -25}}},
    PhysicsCase{"propped_udl_units", {{fixed(0), roller(10)}, {W}, 10, {.length = 2, .distributed = 3}},
                {{0, 0, 75, 300}, {10, 0, 45, 0}}, {{bm, 0, -300}}},  // w uD over L uL
    PhysicsCase{"fixed_fixed_udl", {{fixed(0), {10, 0, kInf, kInf}}, {W}},
                {{0, 0, 10, 200.0 / 12}, {10, 0, 10, -200.0 / 12}}, {{bm, 5, 200.0 / 24}}},
    PhysicsCase{"two_spans_udl", {{pin(0), roller(10), roller(20)}, {{"udl", {-2, 0, 20, 90}}}, 20},
                {{0, 0, 7.5, 0}, {10, 0, 25, 0}, {20, 0, 7.5, 0}}, {{bm, 10, -25}}},
    PhysicsCase{"triangle_trap", {{pin(0), roller(3)}, {{"trap", {0, -6, 0, 3, 90}}}, 3},
                {{0, 0, 3, 0}, {3, 0, 6, 0}}, {}},
    PhysicsCase{"axial_two_rigid", {{pin(0), pin(10)}, {H4}}, {{0, -4.8, 0, 0}, {10, -3.2, 0, 0}},
                {{nf, 2, -4.8}, {nf, 5, 3.2}, {nf, 10, 0}}},
    PhysicsCase{"axial_one_restraint", {{pin(0), roller(10)}, {H4}}, {{0, -8, 0, 0}, {10, 0, 0, 0}}, {{nf, 5, 0}}},
    PhysicsCase{"axial_unrestrained", {{roller(0), roller(10)}, {H4}}, {{0, 0, 0, 0}, {10, 0, 0, 0}},
                {{nf, 5, 8}, {nf, 10, 8}}},
    // Bar and spring in series on each side: 4/EA + 1/5000 left, 6/EA + 1/2500 right.
    PhysicsCase{"axial_springs", {{{0, 5000, kInf, 0}, {10, 2500, kInf, 0}}, {H4}},
                {{0, -5, 0, 0}, {10, -3, 0, 0}}, {{nf, 5, 3}}},
    // Unit factors scale magnitudes (base value / output factor) but never positions.
    PhysicsCase{"force_unit", {{fixed(0)}, {tipV, tipH}, 10, {.force = 1000}}, {{0, -8, 10, 1e5}},
                {{sf, 5, 10}, {nf, 5, -8}, {bm, 0, -1e5}, {d, 10, -1e3 / 3}}},
    PhysicsCase{"length_unit", {{fixed(0)}, {tipV, tipH}, 10, {.length = 2}}, {{0, -8, 10, 200}},
                {{sf, 5, 10}, {bm, 0, -200}, {d, 10, -8.0 / 3}}},
    // The torque enters in the moment unit; its deflection is T L^2 / (2 EI).
    PhysicsCase{"moment_section_deflection_units",
                {{fixed(0)}, {tipV, tipT}, 10, {.moment = 10, .E = 2, .I = 2, .deflection = 4}},
                {{0, 0, 10, 3}}, {{bm, 0, -3}, {d, 10, (-1e4 / 3 + 70 * 100 / 2) / 4e4 / 4}}}),
    [](const testing::TestParamInfo<PhysicsCase>& i) { return std::string(i.param.name); });

// Seven equal spans under a uniform load (ten unknowns, beyond the solver's
// fixed sizes): symmetric reactions carrying the whole load, no deflection
// at the supports, shear and moment back to zero at the end.
TEST(Solve, ContinuousBeamIsInEquilibrium) {
    std::vector<Support> sup{pin(0)};
    for (int k = 1; k <= 7; ++k) sup.push_back(roller(k));
    const auto r = solve({sup, {{"udl", {-1, 0, 7, 90}}}, 7});
    ASSERT_TRUE(r->ok());
    const Analysis& a = r->analysis();
    double total = 0;
    for (int k = 0; k < 8; ++k) {
        total += a.reactions[k].ry;
        expect_close(a.reactions[k].ry, a.reactions[7 - k].ry);
        EXPECT_NEAR(sing::eval_terms(a.d, k), 0, 1e-15);
    }
    expect_close(total, 7);
    EXPECT_NEAR(sing::eval_terms(a.sf, 7 + 1e-9), 0, 1e-12);
    EXPECT_NEAR(sing::eval_terms(a.bm, 7 + 1e-9), 0, 1e-12);
}

// Every number of the result, bit for bit, in order.
std::vector<std::uint64_t> fingerprint(const Analysis& a) {
    std::vector<std::uint64_t> out;
    for (auto q : {nf, sf, bm, d}) {
        for (const sing::Term& t : a.*q) out.insert(out.end(), {bits(t.coefficient), bits(t.position), bits(t.order)});
    }
    for (const Reaction& r : a.reactions) out.insert(out.end(), {bits(r.pos), bits(r.rx), bits(r.ry), bits(r.m)});
    for (double f : a.features) out.push_back(bits(f));
    return out;
}

TEST(Solve, EquivalentSupportsGiveIdenticalBits) {
    const std::vector<LoadEntry> loads{W, P5, H4};
    const auto ref = solve({{fixed(0), roller(10)}, loads});
    ASSERT_TRUE(ref->ok());
    for (const std::vector<Support>& sup : {std::vector<Support>{roller(10), fixed(0)},  // any input order
                                            {{0, kInf, kInf, 5.0}, roller(10)},          // km only switches
                                            {fixed(0), {10, 0, kNaN, 0}}}) {             // NaN is rigid
        const auto r = solve({sup, loads});
        ASSERT_TRUE(r->ok());
        EXPECT_EQ(fingerprint(r->analysis()), fingerprint(ref->analysis()));
    }
}

TEST(Solve, EqualPositionsKeepInputOrder) {
    const Support axial{0, kInf, 0, 0}, bending{0, 0, kInf, kInf};
    const auto a = solve({{axial, bending}, {tipV}}), b = solve({{bending, axial}, {tipV}});
    ASSERT_TRUE(a->ok() && b->ok());
    EXPECT_EQ(a->analysis().reactions[0].ry, 0.0);
    expect_close(a->analysis().reactions[1].ry, 10);
    expect_close(b->analysis().reactions[0].ry, 10);
}

// Supports in any input order give the bits of the same list stably sorted
// beforehand, for short lists and long ones (beyond the sort's first runs);
// ties (an axial and a vertical support at one position) keep their input
// order.
TEST(Solve, ShuffledSupportsMatchTheirStableSort) {
    for (std::size_t pairs : {3, 7, 25, 70}) {
        std::vector<Support> sup;
        for (std::size_t k = 0; k < pairs; ++k) {
            const double x = static_cast<double>(k);
            sup.push_back({x, kInf, 0, 0});
            sup.push_back({x, 0, 1e3 + x, 0});
        }
        std::shuffle(sup.begin(), sup.end(), std::mt19937(static_cast<unsigned>(pairs)));
        std::vector<Support> sorted = sup;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Support& a, const Support& b) { return a.pos < b.pos; });
        const auto r = solve({sup, {W, H4}}), want = solve({sorted, {W, H4}});
        ASSERT_TRUE(r->ok() && want->ok()) << pairs;
        EXPECT_EQ(fingerprint(r->analysis()), fingerprint(want->analysis())) << pairs;
    }
}

// Axial loads whose sum overflows leave no finite horizontal reaction, with
// one horizontal restraint as with two.
TEST(Solve, OverflowingAxialLoadIsSingular) {
    const std::vector<LoadEntry> huge{{"point", {1e308, 0.5, 0}}, {"point", {1e308, 0.75, 0}}};
    for (const std::vector<Support>& sup : {std::vector<Support>{pin(0), roller(10)}, {pin(0), pin(10)}}) {
        const auto r = solve({sup, huge});
        ASSERT_FALSE(r->ok());
        EXPECT_EQ(r->failure().message, "beam is unstable / singular (no unique solution)");
    }
}

TEST(Solve, FeaturesReactionsAndTermsKeptInOrder) {
    const auto r = solve({{roller(10), {5, 0, 0, 0}, pin(0)}, {P5, {"udl", {-2, 2, 6, 90}}, {"torque", {3, 7}}}});
    ASSERT_TRUE(r->ok());
    const Analysis& a = r->analysis();
    EXPECT_EQ(std::vector<double>(a.features.begin(), a.features.end()), (std::vector<double>{0, 5, 10, 5, 2, 6, 7}));
    ASSERT_EQ(a.reactions.size(), 3u);
    for (double v : {a.reactions[1].pos - 5, a.reactions[1].rx, a.reactions[1].ry, a.reactions[1].m})
        EXPECT_EQ(bits(v), bits(+0.0));
    // Three load terms (one torque), then one term per unknown, zero-valued ones included.
    EXPECT_EQ(std::vector<std::size_t>({a.sf.size(), a.bm.size(), a.d.size(), a.nf.size()}),
              std::vector<std::size_t>({3 + 2, 4 + 2, 2 * 3 + 1 + 2 * 2 + 2, 3 + 1}));
}

// Which failure each input meets first: loads in order, then the supports'
// order, then the analysis.
TEST(Solve, FailuresCarryTheirMessageInOrder) {
    const Support nan_pos{kNaN, kInf, kInf, 0};
    const struct { const char* name; Beam beam; const char* message; } cases[] = {
        {"no support", {{}, {P5}}, "beam is unstable / singular (no unique solution)"},
        {"no vertical restraint", {{{0, kInf, 0, kInf}, {10, kInf, -0.0, 0}}, {P5}},
         "beam is unstable / singular (no unique solution)"},
        {"two rigid at one position", {{pin(0), roller(0), roller(10)}, {P5}},
         "beam is unstable / singular (no unique solution)"},
        {"single NaN position", {{nan_pos}, {P5}}, "beam is unstable / singular (no unique solution)"},
        {"NaN position", {{roller(10), nan_pos}, {P5}}, "support position is not a number"},
        {"load before supports", {{roller(10), nan_pos}, {P5, {"bogus", {}}}}, "unknown load kind 'bogus'"},
        {"first failing load", {{}, {{"point", {1}}, {"bogus", {}}}}, "load 'point' needs 3 params, got 1"}};
    for (const auto& c : cases) {
        const auto r = solve(c.beam);
        ASSERT_FALSE(r->ok()) << c.name;
        EXPECT_EQ(r->failure().reason, Failure::Reason::invalid) << c.name;
        EXPECT_EQ(r->failure().message, c.message) << c.name;
        // A load or the supports' order fails before a result is made.
        const bool before_result = r->failure().message != "beam is unstable / singular (no unique solution)";
        EXPECT_EQ(r->storage.asked, before_result ? 0 : 1) << c.name;
    }
}

bool always(void*) { return true; }

// A check that says stop at its first ask ends every solve as stopped, and
// storage that gives nothing as out of memory, for beams whose work is in
// any phase.
TEST(Solve, StopsWhenTheCallerSaysSo) {
    std::vector<Support> many;
    for (int k = 0; k <= 40; ++k) many.push_back(k % 4 == 0 ? pin(k) : roller(k));
    const Beam beams[] = {{{pin(0), roller(10)}, {P5}}, {{roller(10), pin(0), {5, kInf, kInf, kInf}}, {W, H4}, 10},
                          {many, {{"dist", {0, 40, 90, 1, 2, 3}}}, 40}};
    for (const Beam& beam : beams) {
        const auto stopped = solve(beam, interrupt::Check(always, nullptr, 1));
        ASSERT_FALSE(stopped->ok());
        EXPECT_EQ(stopped->failure().reason, Failure::Reason::stopped);
        const auto refused = solve(beam, {}, true);
        ASSERT_FALSE(refused->ok());
        EXPECT_EQ(refused->failure().reason, Failure::Reason::out_of_memory);
        EXPECT_EQ(refused->storage.asked, 1);
    }
}

// Room for the work that cannot even be counted is out of memory as well,
// returned rather than thrown.
TEST(Solve, WorkTooLargeToCountIsOutOfMemory) {
    alignas(16) std::byte room[1024];
    arena::Arena arena(room);
    const double params[] = {0, 1, 90, 1};
    engine::LoadInput huge = engine::load_input("dist", params, arena);
    huge.count = SIZE_MAX / 4;  // as many coefficients as no memory holds
    const Support supports[] = {pin(0), roller(10)};
    const engine::Input in{10, 1e4, 1, 1, kInf, supports, {&huge, 1}, {}, {}};
    interrupt::Check never;
    HeapStorage storage;
    const engine::Outcome outcome = engine::solve(in, arena, never, storage);
    ASSERT_TRUE(std::holds_alternative<Failure>(outcome));
    EXPECT_EQ(std::get<Failure>(outcome).reason, Failure::Reason::out_of_memory);
    EXPECT_EQ(storage.asked, 0);
}

// The temporaries of a small beam fit in the caller's room; a large one
// takes a handful of heap blocks, not one per load or field.
TEST(Solve, TemporariesTakeFewHeapBlocks) {
    EXPECT_EQ(solve({{pin(0), roller(10)}, {P5, W, tipT}})->heap_blocks, 0u);
    Beam large{{pin(0), roller(10)}, {}};
    for (int k = 0; k < 5000; ++k) large.loads.push_back({"point", {-1, k / 500.0, 60}});
    const auto r = solve(large);
    ASSERT_TRUE(r->ok());
    EXPECT_LE(r->heap_blocks, 2u);
}

// The reactions' order as the caller's indices: ascending position, ties
// in the caller's order, as the solve lists them.
TEST(Solve, ReactionOrderIsTheCallersIndexOfEachReaction) {
    const std::vector<Support> supports{roller(12), {4, 0, 0, 0}, pin(0), roller(4), {8, 1e4, 0, 0}, {4, 0, 0, 0}};
    const auto r = solve({supports, {P5, W}, 12});
    ASSERT_TRUE(r->ok());
    std::vector<std::size_t> order(supports.size()), scratch(supports.size());
    interrupt::Check never;
    ASSERT_TRUE(engine::reaction_order(supports, order.data(), scratch.data(), never));
    EXPECT_EQ(order, (std::vector<std::size_t>{2, 1, 3, 5, 4, 0}));
    for (std::size_t k = 0; k < order.size(); ++k) EXPECT_EQ(r->analysis().reactions[k].pos, supports[order[k]].pos);
    EXPECT_NE(r->analysis().reactions[2].ry, 0.0);  // the roller among the three supports at 4
    const std::vector<Support> sorted{pin(0), roller(10)};
    ASSERT_TRUE(engine::reaction_order(sorted, order.data(), scratch.data(), never));
    EXPECT_EQ(order[0], 0u);
    EXPECT_EQ(order[1], 1u);
}

TEST(Solve, ReactionsRoundToTenDecimalsKeepingSign) {
    EXPECT_EQ(bits(engine::round10(0.1 + 2e-15)), bits(0.1));
    EXPECT_EQ(bits(engine::round10(2.5e-11)), bits(0.0));
    EXPECT_EQ(bits(engine::round10(-2.5e-11)), bits(-0.0));
    EXPECT_EQ(engine::round10(5e-11), 1e-10);  // halves away from zero
    for (double huge : {1e299, -1.7976931348623157e308}) EXPECT_EQ(bits(engine::round10(huge)), bits(huge));
    EXPECT_EQ(bits(engine::round10(1e298)), bits(std::round(1e298 * 1e10) / 1e10));  // still scalable
    EXPECT_EQ(engine::round10(-kInf), -kInf);
    EXPECT_TRUE(std::isnan(engine::round10(kNaN)));
}

}  // namespace
