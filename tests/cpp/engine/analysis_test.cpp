#include "engine/analysis.hpp"

#include <algorithm>
#include <random>

#include "../test_support.hpp"
#include "loads/loads.hpp"

namespace {

using namespace engine;
using sing::TermList;

Load load(const char* kind, std::vector<double> p) { return std::get<Load>(loads::build_load(kind, p)); }
Support pin(double x) { return {x, kInf, kInf, 0}; }
Support roller(double x) { return {x, 0, kInf, 0}; }
Support fixed(double x) { return {x, kInf, kInf, kInf}; }

// EI = EA = 1e4; shear deformation off unless g is finite.
Beam beam(std::vector<Support> s, std::vector<Load> l, double span = 10, Units u = {}, double g = kInf) {
    return {std::move(s), std::move(l), span, 1e4, 1, 1, g, u};
}

void expect_close(double got, double want) { EXPECT_NEAR(got, want, 1e-9 * std::max(1.0, std::fabs(want))); }

struct Probe { TermList Analysis::*quantity; double x, want; };
struct PhysicsCase { const char* name; Beam beam; std::vector<Reaction> reactions; std::vector<Probe> probes; };
void PrintTo(const PhysicsCase& c, std::ostream* os) { *os << c.name; }

class Physics : public testing::TestWithParam<PhysicsCase> {};

TEST_P(Physics, ReactionsAndFieldsMatchClosedForm) {
    const AnalyseResult r = analyse(GetParam().beam);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.analysis().reactions.size(), GetParam().reactions.size());
    for (std::size_t k = 0; k < GetParam().reactions.size(); ++k) {
        const Reaction &got = r.analysis().reactions[k], &want = GetParam().reactions[k];
        EXPECT_EQ(got.pos, want.pos);
        for (auto f : {&Reaction::rx, &Reaction::ry, &Reaction::m}) expect_close(got.*f, want.*f);
    }
    for (const Probe& p : GetParam().probes) expect_close(sing::eval_terms(r.analysis().*p.quantity, p.x), p.want);
}

constexpr auto nf = &Analysis::nf, sf = &Analysis::sf, bm = &Analysis::bm, d = &Analysis::d;
const Load P5 = load("point", {-10, 5, 90}), W = load("udl", {-2, 0, 10, 90}), H4 = load("point", {8, 4, 0});
const Load tipV = load("point", {-10, 10, 90}), tipH = load("point", {8, 10, 0}), tipT = load("torque", {7, 10});
const std::vector<Reaction> five_five{{0, 0, 5, 0}, {10, 0, 5, 0}};

INSTANTIATE_TEST_SUITE_P(Beams, Physics, testing::Values(
    PhysicsCase{"simply_supported", beam({pin(0), roller(10)}, {P5}), five_five,
                {{sf, 4, 5}, {sf, 6, -5}, {bm, 5, 25}, {d, 5, -1e4 / 48e4}}},
    PhysicsCase{"shear_deformation", beam({pin(0), roller(10)}, {P5}, 10, {}, 100), five_five,
                {{d, 5, -1e4 / 48e4 - 100.0 / (4 * 100)}}},  // + PL / (4 GA)
    PhysicsCase{"spring_support", beam({pin(0), {10, 0, 5e5, 0}}, {P5}, 10, {.stiffness = 2}), five_five,
                {{d, 10, -5 / 1e6}}},
    PhysicsCase{"cantilever_point", beam({fixed(0)}, {tipV}), {{0, 0, 10, 100}}, {{bm, 0, -100}, {d, 10, -1e4 / 3e4}}},
    PhysicsCase{"cantilever_torque", beam({fixed(0)}, {tipT}), {{0, 0, 0, -7}}, {{bm, 0, 7}, {bm, 10 - 1e-9, 7}, {bm, 10, 0}}},
    PhysicsCase{"propped_udl", beam({fixed(0), roller(10)}, {W}), {{0, 0, 12.5, 25}, {10, 0, 7.5, 0}}, {{bm, 0, -25}}},
    PhysicsCase{"propped_udl_units", beam({fixed(0), roller(10)}, {W}, 10, {.length = 2, .distributed = 3}),
                {{0, 0, 75, 300}, {10, 0, 45, 0}}, {{bm, 0, -300}}},  // w uD over L uL
    PhysicsCase{"fixed_fixed_udl", beam({fixed(0), {10, 0, kInf, kInf}}, {W}),
                {{0, 0, 10, 200.0 / 12}, {10, 0, 10, -200.0 / 12}}, {{bm, 5, 200.0 / 24}}},
    PhysicsCase{"two_spans_udl", beam({pin(0), roller(10), roller(20)}, {load("udl", {-2, 0, 20, 90})}, 20),
                {{0, 0, 7.5, 0}, {10, 0, 25, 0}, {20, 0, 7.5, 0}}, {{bm, 10, -25}}},
    PhysicsCase{"triangle_trap", beam({pin(0), roller(3)}, {load("trap", {0, -6, 0, 3, 90})}, 3),
                {{0, 0, 3, 0}, {3, 0, 6, 0}}, {}},
    PhysicsCase{"axial_two_rigid", beam({pin(0), pin(10)}, {H4}), {{0, -4.8, 0, 0}, {10, -3.2, 0, 0}},
                {{nf, 2, -4.8}, {nf, 5, 3.2}, {nf, 10, 0}}},
    PhysicsCase{"axial_one_restraint", beam({pin(0), roller(10)}, {H4}), {{0, -8, 0, 0}, {10, 0, 0, 0}}, {{nf, 5, 0}}},
    PhysicsCase{"axial_unrestrained", beam({roller(0), roller(10)}, {H4}), {{0, 0, 0, 0}, {10, 0, 0, 0}},
                {{nf, 5, 8}, {nf, 10, 8}}},
    // Bar and spring in series on each side: 4/EA + 1/5000 left, 6/EA + 1/2500 right.
    PhysicsCase{"axial_springs", beam({{0, 5000, kInf, 0}, {10, 2500, kInf, 0}}, {H4}),
                {{0, -5, 0, 0}, {10, -3, 0, 0}}, {{nf, 5, 3}}},
    // Unit factors scale magnitudes (base value / output factor) but never positions.
    PhysicsCase{"force_unit", beam({fixed(0)}, {tipV, tipH}, 10, {.force = 1000}), {{0, -8, 10, 1e5}},
                {{sf, 5, 10}, {nf, 5, -8}, {bm, 0, -1e5}, {d, 10, -1e3 / 3}}},
    PhysicsCase{"length_unit", beam({fixed(0)}, {tipV, tipH}, 10, {.length = 2}), {{0, -8, 10, 200}},
                {{sf, 5, 10}, {bm, 0, -200}, {d, 10, -8.0 / 3}}},
    // The torque enters in the moment unit; its deflection is T L^2 / (2 EI).
    PhysicsCase{"moment_section_deflection_units",
                beam({fixed(0)}, {tipV, tipT}, 10, {.moment = 10, .E = 2, .I = 2, .deflection = 4}),
                {{0, 0, 10, 3}}, {{bm, 0, -3}, {d, 10, (-1e4 / 3 + 70 * 100 / 2) / 4e4 / 4}}}),
    [](const testing::TestParamInfo<PhysicsCase>& i) { return std::string(i.param.name); });

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

TEST(Analyse, EquivalentSupportsGiveIdenticalBits) {
    const std::vector<Load> loads{W, P5, H4};
    const AnalyseResult ref = analyse(beam({fixed(0), roller(10)}, loads));
    ASSERT_TRUE(ref.ok());
    for (const std::vector<Support>& sup : {std::vector<Support>{roller(10), fixed(0)},  // any input order
                                            {{0, kInf, kInf, 5.0}, roller(10)},          // km only switches
                                            {fixed(0), {10, 0, kNaN, 0}}}) {             // NaN is rigid
        const AnalyseResult r = analyse(beam(sup, loads));
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(fingerprint(r.analysis()), fingerprint(ref.analysis()));
    }
}

TEST(Analyse, EqualPositionsKeepInputOrder) {
    const Support axial{0, kInf, 0, 0}, bending{0, 0, kInf, kInf};
    const AnalyseResult a = analyse(beam({axial, bending}, {tipV})), b = analyse(beam({bending, axial}, {tipV}));
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a.analysis().reactions[0].ry, 0.0);
    expect_close(a.analysis().reactions[1].ry, 10);
    expect_close(b.analysis().reactions[0].ry, 10);
}

// Supports in any input order give the bits of the same list stably sorted
// beforehand, for short lists and long ones; ties (an axial and a vertical
// support at one position) keep their input order.
TEST(Analyse, ShuffledSupportsMatchTheirStableSort) {
    for (std::size_t pairs : {3, 7, 25}) {
        std::vector<Support> sup;
        for (std::size_t k = 0; k < pairs; ++k) {
            const double x = static_cast<double>(k);
            sup.push_back({x, kInf, 0, 0});
            sup.push_back({x, 0, 1e3 + x, 0});
        }
        std::shuffle(sup.begin(), sup.end(), std::mt19937(static_cast<unsigned>(pairs)));
        std::vector<Support> sorted = sup;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Support& a, const Support& b) { return a.pos < b.pos; });
        const AnalyseResult r = analyse(beam(sup, {W, H4})), want = analyse(beam(sorted, {W, H4}));
        ASSERT_TRUE(r.ok() && want.ok()) << pairs;
        EXPECT_EQ(fingerprint(r.analysis()), fingerprint(want.analysis())) << pairs;
    }
}

// Axial loads whose sum overflows leave no finite horizontal reaction, with
// one horizontal restraint as with two.
TEST(Analyse, OverflowingAxialLoadIsSingular) {
    const std::vector<Load> huge{load("point", {1e308, 0.5, 0}), load("point", {1e308, 0.75, 0})};
    for (const std::vector<Support>& sup : {std::vector<Support>{pin(0), roller(10)}, {pin(0), pin(10)}}) {
        const AnalyseResult r = analyse(beam(sup, huge));
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.failure(), AnalyseFailure::singular);
    }
}

TEST(Analyse, FeaturesReactionsAndTermsKeptInOrder) {
    const AnalyseResult r = analyse(beam({roller(10), {5, 0, 0, 0}, pin(0)}, {P5, load("udl", {-2, 2, 6, 90})}));
    ASSERT_TRUE(r.ok());
    const Analysis& a = r.analysis();
    EXPECT_EQ(a.features, (std::vector<double>{0, 5, 10, 5, 2, 6}));
    ASSERT_EQ(a.reactions.size(), 3u);
    for (double v : {a.reactions[1].pos - 5, a.reactions[1].rx, a.reactions[1].ry, a.reactions[1].m})
        EXPECT_EQ(bits(v), bits(+0.0));
    // Three load terms, then one term per unknown, zero-valued ones included.
    EXPECT_EQ(std::vector<std::size_t>({a.sf.size(), a.bm.size(), a.d.size(), a.nf.size()}),
              std::vector<std::size_t>({3 + 2, 3 + 2, 2 * 3 + 2 * 2 + 2, 3 + 1}));
}

TEST(Analyse, UnsolvableBeamsReportTheReason) {
    const struct { const char* name; std::vector<Support> sup; AnalyseFailure want; } cases[] = {
        {"no support", {}, AnalyseFailure::singular},
        {"no vertical restraint", {{0, kInf, 0, kInf}, {10, kInf, -0.0, 0}}, AnalyseFailure::singular},
        {"two rigid at one position", {pin(0), roller(0), roller(10)}, AnalyseFailure::singular},
        {"single NaN position", {{kNaN, kInf, kInf, kInf}}, AnalyseFailure::singular},
        {"NaN position", {roller(10), {kNaN, kInf, kInf, 0}}, AnalyseFailure::unordered_supports}};
    for (const auto& c : cases) {
        const AnalyseResult r = analyse(beam(c.sup, {P5}));
        ASSERT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.failure(), c.want) << c.name;
    }
}

TEST(Analyse, ReactionsRoundToTenDecimalsKeepingSign) {
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
