// Stepped sections, hinges, rotational springs, settlements and imposed
// curvature against closed forms; a plain beam's bits when they are absent.
#include "engine/analysis.hpp"

#include <algorithm>

#include "../test_support.hpp"

namespace {

using namespace engine;

Support pin(double x) { return {x, kInf, kInf, 0}; }
Support roller(double x) { return {x, 0, kInf, 0}; }
Support fixed(double x) { return {x, kInf, kInf, kInf}; }
Support sprung(double x, double km) { return {x, kInf, kInf, km}; }

void expect_close(double got, double want) { EXPECT_NEAR(got, want, 1e-9 * std::max(1.0, std::fabs(want))); }

constexpr double EI = 1e4, L = 10;  // the test beam's (test_support.hpp)
const LoadEntry W{"udl", {-2, 0, 10, 90}}, tipV{"point", {-10, 10, 90}}, H4{"point", {8, 4, 0}};

// Extensions refer to their lists; these live as long as the tests.
const SectionChange stiffer_from_4[] = {{4, 1e4, 2, 1, 200}};  // EI 2e4, EA 1e4, GA 200 from x = 4
const SectionChange stiffer_axially_from_4[] = {{4, 2e4, 1, 1, kInf}};  // EI and EA 2e4
const SectionChange same_from_4[] = {{4, 1e4, 1, 1, kInf}};
const double hinge_4[] = {4};
const Settlement middle_down[] = {{0, 0}, {-0.01, 0}, {0, 0}};
const Settlement right_up[] = {{0, 0}, {0.01, 0}};
const Settlement left_turned[] = {{0, 1e-3}, {0, 0}};
const ImposedCurvature kappa_all[] = {{1e-3, 1e-3, 0, 10}};
const ImposedCurvature kappa_two_spans[] = {{1e-3, 1e-3, 0, 20}};

struct Probe { sing::Terms Analysis::*quantity; double x, want; };
struct Case { const char* name; Beam beam; std::vector<Reaction> reactions; std::vector<Probe> probes; };
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ClosedForm : public testing::TestWithParam<Case> {};

TEST_P(ClosedForm, ReactionsAndFields) {
    const auto r = solve(GetParam().beam);
    ASSERT_TRUE(r->ok()) << r->failure().message;
    ASSERT_EQ(r->analysis().reactions.size(), GetParam().reactions.size());
    for (std::size_t k = 0; k < GetParam().reactions.size(); ++k) {
        const Reaction &got = r->analysis().reactions[k], &want = GetParam().reactions[k];
        for (auto f : {&Reaction::rx, &Reaction::ry, &Reaction::m}) expect_close(got.*f, want.*f);
    }
    for (const Probe& p : GetParam().probes) {
        expect_close(sing::eval_terms(r->analysis().*p.quantity, p.x), p.want);
    }
}

constexpr auto nf = &Analysis::nf, sf = &Analysis::sf, bm = &Analysis::bm, d = &Analysis::d,
               rot = &Analysis::rotation;
constexpr Extensions with_rotation{.rotation = true};

// Propped cantilever under w on a rotational spring k: the end moment is
// the fixed one, w L^2 / 8 = 25, times 1 / (1 + 3 EI / (k L)).
Case propped_on_spring(const char* name, double k) {
    const double m = 25 / (1 + 3 * EI / (k * L));
    return {name, {{sprung(0, k), roller(10)}, {W}, L, {}, kInf, {.rotational_springs = true, .rotation = true}},
            {{0, 0, 10 + m / L, m}, {10, 0, 10 - m / L, 0}},
            {{bm, 0, -m}, {rot, 0, -m / k}}};
}

// Unit-load integrals of a cantilever stepped at a = 4 under a tip load P:
// P ((L^3 - b^3) / (3 EI1) + b^3 / (3 EI2)), b = L - a, and its shear and
// axial counterparts.
constexpr double P = -10, b = 6;

INSTANTIATE_TEST_SUITE_P(Extensions, ClosedForm, testing::Values(
    propped_on_spring("spring_half_fixed", 3e3), propped_on_spring("spring_stiff", 1e9),
    propped_on_spring("spring_soft", 1e-3),
    Case{"stepped_cantilever", {{fixed(0)}, {tipV}, L, {}, 100, {.sections = stiffer_from_4, .rotation = true}},
         {{0, 0, 10, 100}},
         {{d, 10, P * ((1000 - b * b * b) / (3 * EI) + b * b * b / (6 * EI)) + P * (4 / 100.0 + b / 200)},
          {rot, 10, P * ((100 - b * b) / (2 * EI) + b * b / (4 * EI))}, {bm, 0, -100}}},
    // Two bars in series either side of the load: 4 / EA1 left, 6 / EA2 right.
    Case{"stepped_bar", {{pin(0), pin(10)}, {H4}, L, {}, kInf, {.sections = stiffer_axially_from_4}},
         {{0, -8 * 3.0 / 7, 0, 0}, {10, -8 * 4.0 / 7, 0, 0}}, {{nf, 5, 8 * 4.0 / 7}}},
    // Gerber beam: the part right of the hinge is simply supported on the
    // cantilever's tip, which carries its half of the load.
    Case{"gerber", {{fixed(0), roller(10)}, {W}, L, {}, kInf, {.hinges = hinge_4, .rotation = true}},
         {{0, 0, 14, 40}, {10, 0, 6, 0}},
         {{bm, 0, -40}, {bm, 4, 0}, {bm, 7, 9}, {d, 4, -(2 * 256 / 8.0 + 6 * 64 / 3.0) / EI},
          {rot, 4 - 1e-12, -(2 * 64 / 6.0 + 6 * 16 / 2.0) / EI}}},
    // Two spans, the middle support settled by delta: 6 EI delta / L^3 there.
    Case{"two_spans_settled", {{pin(0), roller(10), roller(20)}, {}, 20, {}, kInf, {.settlements = middle_down}},
         {{0, 0, 0.3, 0}, {10, 0, -0.6, 0}, {20, 0, 0.3, 0}}, {{d, 10, -0.01}, {bm, 10, 3}}},
    // The same through a spring of 6 EI / L^3 in series with the beam.
    Case{"two_spans_settled_spring", {{pin(0), {10, 0, 60, 0}, roller(20)}, {}, 20, {}, kInf,
                                      {.settlements = middle_down}},
         {{0, 0, 0.15, 0}, {10, 0, -0.3, 0}, {20, 0, 0.15, 0}}, {{d, 10, -0.01 + 0.3 / 60}}},
    // Fixed-fixed, one end raised by delta: 12 EI delta / L^3 and 6 EI delta / L^2.
    Case{"fixed_end_raised", {{fixed(0), fixed(10)}, {}, L, {}, kInf, {.settlements = right_up}},
         {{0, 0, -1.2, -6}, {10, 0, 1.2, -6}}, {{bm, 0, 6}, {d, 10, 0.01}, {d, 5, 0.005}}},
    // Fixed-fixed, one end turned by theta: 4 EI theta / L there, 2 EI theta / L at the other.
    Case{"fixed_end_turned", {{fixed(0), fixed(10)}, {}, L, {}, kInf, {.settlements = left_turned, .rotation = true}},
         {{0, 0, 0.6, 4}, {10, 0, -0.6, 2}}, {{bm, 0, -4}, {bm, 10 - 1e-9, 2}, {rot, 0, 1e-3}, {d, 10, 0}}},
    // Imposed curvature: free to bend, no moment; held, M = -EI kappa.
    Case{"cantilever_curved", {{fixed(0)}, {}, L, {}, kInf, {.curvatures = kappa_all, .rotation = true}},
         {{0, 0, 0, 0}}, {{d, 10, 1e-3 * 100 / 2}, {rot, 10, 1e-2}, {bm, 5, 0}}},
    Case{"simple_span_curved", {{pin(0), roller(10)}, {}, L, {}, kInf, {.curvatures = kappa_all}},
         {{0, 0, 0, 0}, {10, 0, 0, 0}}, {{d, 5, -1e-3 * 100 / 8}, {bm, 5, 0}}},
    Case{"fixed_fixed_curved", {{fixed(0), fixed(10)}, {}, L, {}, kInf, {.curvatures = kappa_all, .rotation = true}},
         {{0, 0, 0, 10}, {10, 0, 0, -10}}, {{bm, 3, -10}, {d, 5, 0}, {rot, 5, 0}}},
    // Two spans: the middle support holds back -kappa (2L)^2 / 8, 3 EI kappa / L.
    Case{"two_spans_curved", {{pin(0), roller(10), roller(20)}, {}, 20, {}, kInf, {.curvatures = kappa_two_spans}},
         {{0, 0, -1.5, 0}, {10, 0, 3, 0}, {20, 0, -1.5, 0}}, {{bm, 10, -15}, {d, 10, 0}}}),
    [](const testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// Every number of the four lists and the reactions, bit for bit.
std::vector<std::uint64_t> fingerprint(const Analysis& a) {
    std::vector<std::uint64_t> out;
    for (auto q : {nf, sf, bm, d}) {
        for (const sing::Term& t : a.*q) out.insert(out.end(), {bits(t.coefficient), bits(t.position), bits(t.order)});
    }
    for (const Reaction& r : a.reactions) out.insert(out.end(), {bits(r.pos), bits(r.rx), bits(r.ry), bits(r.m)});
    return out;
}

// What adds nothing leaves every bit of the plain beam: a rigid rotational
// restraint read as a spring, zero settlements, the rotation asked for, a
// change to the same section.
TEST(Extensions, NeutralOnesLeaveThePlainBits) {
    const std::vector<Support> sup{fixed(0), roller(10)};
    const std::vector<LoadEntry> loads{W, tipV, H4, {"torque", {3, 7}}};
    const auto plain = solve({sup, loads});
    ASSERT_TRUE(plain->ok());
    const Settlement none[] = {{0, 0}, {0, 0}};
    for (const Extensions& ext : {Extensions{.rotational_springs = true}, Extensions{.settlements = none},
                                  Extensions{.rotation = true}, Extensions{.sections = same_from_4}}) {
        const auto r = solve({sup, loads, L, {}, kInf, ext});
        ASSERT_TRUE(r->ok()) << r->failure().message;
        EXPECT_EQ(fingerprint(r->analysis()), fingerprint(plain->analysis()));
    }
}

// A stepped propped cantilever and its mirror image: reactions swap, the
// deflection mirrors, the rotation mirrors with its sign turned.
TEST(Extensions, MirroredSteppedBeamMirrors) {
    // i = 1, 3, 1 on [0, 2), [2, 6), [6, 10] and on [0, 4), [4, 8), [8, 10].
    const SectionChange left[] = {{2, 1e4, 3, 1, kInf}, {6, 1e4, 1, 1, kInf}};
    const SectionChange right[] = {{4, 1e4, 3, 1, kInf}, {8, 1e4, 1, 1, kInf}};
    const auto a = solve({{fixed(0), roller(10)}, {{"trap", {-1, -3, 2, 9, 90}}, {"point", {-4, 6, 90}}}, L, {}, kInf,
                          {.sections = left, .rotation = true}});
    const auto m = solve({{roller(0), {10, 0, kInf, kInf}}, {{"trap", {-3, -1, 1, 8, 90}}, {"point", {-4, 4, 90}}},
                          L, {}, kInf, {.sections = right, .rotation = true}});
    ASSERT_TRUE(a->ok() && m->ok());
    expect_close(a->analysis().reactions[0].ry, m->analysis().reactions[1].ry);
    expect_close(a->analysis().reactions[0].m, -m->analysis().reactions[1].m);
    for (double x : {1.0, 2.0, 4.5, 6.0, 8.5, 9.9}) {
        expect_close(sing::eval_terms(a->analysis().d, x), sing::eval_terms(m->analysis().d, 10 - x));
        expect_close(sing::eval_terms(a->analysis().rotation, x), -sing::eval_terms(m->analysis().rotation, 10 - x));
        expect_close(sing::eval_terms(a->analysis().bm, x), sing::eval_terms(m->analysis().bm, 10 - x));
    }
}

// The Gerber beam's hinge: the rotation jumps there by the difference of
// the two parts' end rotations (the cantilever's tip, the simple span's
// rigid turn and bending), both sides exact; the jump is reported.
TEST(Extensions, HingeRotationJumpIsReported) {
    const auto r = solve({{fixed(0), roller(10)}, {W}, L, {}, kInf, {.hinges = hinge_4, .rotation = true}});
    ASSERT_TRUE(r->ok());
    const double left = -(2 * 64 / 6.0 + 6 * 16 / 2.0) / EI;
    const double right = (2 * 256 / 8.0 + 6 * 64 / 3.0) / EI / 6 - 2 * 216 / (24 * EI);
    ASSERT_EQ(r->analysis().hinge_jumps.size(), 1u);
    expect_close(r->analysis().hinge_jumps[0], right - left);
    expect_close(sing::eval_terms(r->analysis().rotation, 4), right);
    expect_close(sing::eval_terms(r->analysis().rotation, std::nextafter(4.0, 0.0)), left);
}

// Everything at once on a three-span girder, deeper over the piers, with a
// hinge, a rotational spring at the far end, a settled pier and a linear
// imposed curvature: equilibrium, every restraint's condition, no moment
// at the hinge, continuity at the section changes, and the rotation as the
// slope of the deflection.
TEST(Extensions, CombinedGirderMeetsEveryCondition) {
    const SectionChange piers[] = {{8, 1e4, 2, 1, kInf}, {12, 1e4, 1, 1, kInf}, {18, 1e4, 2, 1, kInf},
                                   {22, 1e4, 1, 1, kInf}};
    const double hinges[] = {25};
    const Settlement settle[] = {{0, 0}, {-0.005, 0}, {0, 0}, {0.002, 5e-4}};
    const ImposedCurvature warm[] = {{1e-4, 3e-4, 0, 30}};
    const double k = 4e4;
    const auto r = solve({{pin(0), roller(10), roller(20), {30, 0, kInf, k}},
                          {{"udl", {-2, 0, 30, 90}}, {"point", {-15, 14, 90}}, {"torque", {6, 5}}}, 30, {}, kInf,
                          {.sections = piers, .hinges = hinges, .settlements = settle, .curvatures = warm,
                           .rotational_springs = true, .rotation = true}});
    ASSERT_TRUE(r->ok()) << r->failure().message;
    const Analysis& a = r->analysis();
    auto at = [](sing::Terms t, double x) { return sing::eval_terms(t, x); };
    double total = 0;
    for (const Reaction& rc : a.reactions) total += rc.ry;
    EXPECT_NEAR(total, 75, 1e-8);
    EXPECT_NEAR(at(a.sf, 30), 0, 1e-9);
    EXPECT_NEAR(at(a.bm, 30), 0, 1e-9);  // the spring's moment reaction closes the diagram
    EXPECT_NEAR(at(a.bm, 25), 0, 1e-9);
    for (const auto& [x, want] : {std::pair{0.0, 0.0}, {10.0, -0.005}, {20.0, 0.0}, {30.0, 0.002}}) {
        EXPECT_NEAR(at(a.d, x), want, 1e-12) << x;
    }
    EXPECT_NEAR(at(a.rotation, 30), 5e-4 - a.reactions[3].m / k, 1e-12);
    const double h = 1e-5;
    for (double x : {3.0, 8.0, 12.0, 18.0, 22.0, 27.0}) {
        EXPECT_NEAR(at(a.rotation, x), at(a.rotation, std::nextafter(x, 0.0)), 1e-15) << x;
        EXPECT_NEAR((at(a.d, x + h) - at(a.d, x - h)) / (2 * h), at(a.rotation, x), 1e-8) << x;
    }
}

// Hinges placed as only the core sees them (the layer refuses them first).
TEST(Extensions, MechanismsAreRefused) {
    struct Hinged { std::vector<Support> supports; std::vector<double> hinges; bool stable; };
    for (const auto& [supports, hinges, stable] : std::vector<Hinged>{
             {{fixed(0), roller(10)}, {4, 4}, false},                      // twice at one place
             {{fixed(0), roller(6)}, {8}, false},                          // past the supports
             {{pin(0), fixed(5), roller(10)}, {5}, false},                 // a moment restraint at the hinge
             {{pin(0), fixed(5), roller(10)}, {5.5}, true},
             {{pin(0), roller(2), roller(7), roller(9)}, {3, 5}, true}}) {  // a drop-in span
        const auto r = solve({supports, {W}, L, {}, kInf, {.hinges = hinges}});
        EXPECT_EQ(r->ok(), stable) << hinges[0] << (r->ok() ? "" : r->failure().message);
    }
}

// A check that says stop, or storage that gives nothing, ends an extended
// solve as it ends a plain one.
TEST(Extensions, StopsAndRunsOutOfMemoryAsPlainSolves) {
    const Beam beam{{fixed(0), roller(10)}, {W, tipV}, L, {}, kInf,
                    {.sections = stiffer_from_4, .hinges = hinge_4, .curvatures = kappa_all, .rotation = true}};
    const auto stopped = solve(beam, interrupt::Check(+[](void*) { return true; }, nullptr, 1)), refused = solve(beam, {}, true);
    ASSERT_FALSE(stopped->ok() || refused->ok());
    EXPECT_EQ(stopped->failure().reason, Failure::Reason::stopped);
    EXPECT_EQ(refused->failure().reason, Failure::Reason::out_of_memory);
}

}  // namespace
