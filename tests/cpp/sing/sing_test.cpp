#include "sing/sing.hpp"

#include "../test_support.hpp"

namespace {

using sing::Field;
using sing::Term;
using sing::TermList;

// Compared bit for bit, so the sign of every zero counts.
TEST(TermValue, ActivityAndSignOfZero) {
    const struct { Term t; double x, want; } cases[] = {
        {{5, 2, 0}, 1.9999999, +0.0}, {{5, 2, 0}, 2, 5}, {{5, 2, 0}, 3, 5},  // a step is closed at its start
        {{-5, 2, 0}, 1, +0.0}, {{3, 2, 1}, 2, +0.0}, {{-3, 2, 1}, 2, -0.0}, {{3, 2, 1}, 3, 3},
        {{1, 0, 2}, -1, +0.0}, {{-7, 1, -1}, 1, +0.0}, {{-7, 1, -2}, 4, +0.0},
        {{5, kNaN, 0}, 1, 5}, {{5, 2, 0}, kNaN, 5}};  // comparisons with NaN are false: active
    for (const auto& c : cases) {
        EXPECT_EQ(bits(c.t.value_at(c.x)), bits(c.want)) << testing::PrintToString(c.t) << " at " << c.x;
    }
}

TEST(TermValue, PowersFollowSquareAndMultiply) {
    const double x = 2.7, a = 0.4, c = 1.3, b = x - a;  // orders 4-7 differ from repeated multiplication
    const double b2 = b * b, b4 = b2 * b2;
    const double want[] = {b2, b * b2, b4, b * b4, b2 * b4, (b * b2) * b4};
    for (int n = 2; n <= 7; ++n) EXPECT_EQ(bits(Term{c, a, n}.value_at(x)), bits(c * want[n - 2])) << n;
    EXPECT_EQ(bits(sing::ipow(0.0, 0)), bits(1.0));
}

TEST(EvalTerms, SumStartsAtNegativeZero) {
    EXPECT_EQ(bits(sing::eval_terms({}, 1.0)), bits(-0.0));
    EXPECT_EQ(bits(sing::eval_terms({{4, 0, -1}}, 0.0)), bits(+0.0));
    const sing::AffineValue v = Field{{{1, 0, 0}}, {{{2, 0, 0}}, {}, {{3, 0, 1}}}}.eval_affine(2.0);
    EXPECT_EQ(std::vector<std::uint64_t>({bits(v.constant), bits(v.coeffs.at(0)), bits(v.coeffs.at(1)), bits(v.coeffs.at(2))}),
              std::vector<std::uint64_t>({bits(1), bits(2), bits(-0.0), bits(6)}));  // an empty entry gives -0.0
}

TEST(FieldOps, AddConcatenatesWithoutMergingAndDropsSurplusEntries) {
    const Field a{{{1, 2, 0}, {4, 3, 1}}, {{{1, 0, 0}}, {}, {{9, 9, 0}}}};
    const Field s = Field::add(a, Field{{{-1, 2, 0}, {5, 6, 2}}, {{{2, 1, 0}}, {{3, 1, 0}}}});
    EXPECT_EQ(s.constant, (TermList{{1, 2, 0}, {4, 3, 1}, {-1, 2, 0}, {5, 6, 2}}));
    EXPECT_EQ(s.per_unknown, (std::vector<TermList>{{{1, 0, 0}, {2, 1, 0}}, {{3, 1, 0}}}));
}

TEST(FieldOps, IntegrateScaleAndSubstitute) {
    const Field f{{{4, 1, -2}, {3, 0, 0}, {6, 2, 2}}, {{{-2, 1, 0}}, {{5, 3, 0}}}};
    EXPECT_EQ(f.integrate().constant, (TermList{{4, 1, -1}, {3, 0, 1}, {2, 2, 3}}));
    EXPECT_EQ(f.integrate().integrate().constant, (TermList{{4, 1, 0}, {1.5, 0, 2}, {0.5, 2, 4}}));
    const Field z = f.scale(0.0);  // keeps every term
    EXPECT_EQ(z.constant, (TermList{{0, 1, -2}, {0, 0, 0}, {0, 2, 2}}));
    ASSERT_EQ(z.per_unknown.at(0).size(), 1u);
    EXPECT_EQ(bits(z.per_unknown[0][0].coefficient), bits(-0.0));
    const double values[] = {2, 0, 99};  // surplus values are ignored
    EXPECT_EQ(f.subs(values), (TermList{{4, 1, -2}, {3, 0, 0}, {6, 2, 2}, {-4, 1, 0}, {0, 3, 0}}));
}

}  // namespace
