#include "sing/sing.hpp"

#include <cmath>
#include <vector>

#include "../test_support.hpp"

namespace {

using sing::Field;
using sing::Term;
using sing::TermList;

// Values compared bit for bit, so the sign of every zero counts.
struct ValueCase {
    Term term;
    double x;
    double want;
};

class TermValue : public testing::TestWithParam<ValueCase> {};

TEST_P(TermValue, MatchesBitForBit) {
    const ValueCase& c = GetParam();
    EXPECT_EQ(bits(c.term.value_at(c.x)), bits(c.want)) << c.term.value_at(c.x);
}

INSTANTIATE_TEST_SUITE_P(Cases, TermValue, testing::Values(
    ValueCase{{5, 2, 0}, 1.9999999, +0.0},  // inactive left of its start
    ValueCase{{5, 2, 0}, 2, 5},             // a step is closed at its start
    ValueCase{{5, 2, 0}, 3, 5},
    ValueCase{{-5, 2, 0}, 1, +0.0},         // inactive is +0.0 whatever the sign
    ValueCase{{3, 2, 1}, 2, +0.0},
    ValueCase{{-3, 2, 1}, 2, -0.0},         // coefficient times a zero power
    ValueCase{{3, 2, 1}, 3, 3},
    ValueCase{{1, 0, 2}, -1, +0.0},         // left of the start, not (-1)^2
    ValueCase{{-7, 1, -1}, 1, +0.0},        // concentrated terms have no value
    ValueCase{{-7, 1, -2}, 4, +0.0},
    ValueCase{{5, kNaN, 0}, 1, 5},          // a NaN position compares false: active
    ValueCase{{5, 2, 0}, kNaN, 5}));

TEST(TermValue, PowersFollowSquareAndMultiply) {
    const double x = 2.7, a = 0.4, c = 1.3, b = x - a;
    const double b2 = b * b, b4 = b2 * b2;
    const double want[] = {b2, b * b2, b4, b * b4, b2 * b4, (b * b2) * b4};
    for (int n = 2; n <= 7; ++n) {
        EXPECT_EQ(bits(Term{c, a, n}.value_at(x)), bits(c * want[n - 2])) << "order " << n;
    }
    EXPECT_EQ(bits(sing::ipow(0.0, 0)), bits(1.0));
    EXPECT_EQ(bits(sing::ipow(-0.0, 3)), bits(-0.0));
}

TEST(EvalTerms, SumStartsAtNegativeZero) {
    EXPECT_EQ(bits(sing::eval_terms({}, 1.0)), bits(-0.0));
    EXPECT_EQ(bits(sing::eval_terms({{4, 0, -1}}, 0.0)), bits(+0.0));
    const Field f{{{1, 0, 0}}, {{{2, 0, 0}}, {}, {{3, 0, 1}}}};
    const sing::AffineValue v = f.eval_affine(2.0);
    EXPECT_EQ(v.coeffs, (std::vector<double>{2, -0.0, 6}));
    EXPECT_TRUE(std::signbit(v.coeffs[1]));
    EXPECT_EQ(v.constant, 1.0);
}

TEST(FieldOps, AddConcatenatesWithoutMergingAndDropsSurplusEntries) {
    const Field a{{{1, 2, 0}, {4, 3, 1}}, {{{1, 0, 0}}, {}, {{9, 9, 0}}}};
    const Field b{{{-1, 2, 0}, {5, 6, 2}}, {{{2, 1, 0}}, {{3, 1, 0}}}};
    const Field s = Field::add(a, b);
    EXPECT_EQ(s.constant, (TermList{{1, 2, 0}, {4, 3, 1}, {-1, 2, 0}, {5, 6, 2}}));
    EXPECT_EQ(s.per_unknown, (std::vector<TermList>{{{1, 0, 0}, {2, 1, 0}}, {{3, 1, 0}}}));
}

TEST(FieldOps, IntegrateScaleAndSubs) {
    const Field f{{{4, 1, -2}, {3, 0, 0}, {6, 2, 2}}, {{{-2, 1, 0}}, {{5, 3, 0}}}};
    const Field i1 = f.integrate(), i2 = i1.integrate();
    EXPECT_EQ(i1.constant, (TermList{{4, 1, -1}, {3, 0, 1}, {2, 2, 3}}));
    EXPECT_EQ(i2.constant, (TermList{{4, 1, 0}, {1.5, 0, 2}, {0.5, 2, 4}}));
    EXPECT_EQ(i1.per_unknown[0], (TermList{{-2, 1, 1}}));

    const Field z = f.scale(0.0);
    ASSERT_EQ(z.constant.size(), 3u);
    ASSERT_EQ(z.per_unknown.size(), 2u);
    EXPECT_EQ(z.constant[1], (Term{0, 0, 0}));
    EXPECT_TRUE(std::signbit(z.per_unknown[0][0].coefficient));

    const double values[] = {2, 0, 99};  // surplus values are ignored
    const TermList s = f.subs(values);
    EXPECT_EQ(s, (TermList{{4, 1, -2}, {3, 0, 0}, {6, 2, 2}, {-4, 1, 0}, {0, 3, 0}}));
}

}  // namespace
