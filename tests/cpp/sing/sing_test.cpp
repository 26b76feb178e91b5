#include "sing/sing.hpp"

#include "../test_support.hpp"

namespace {

using sing::Term;

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
    const Term dirac{4, 0, -1};
    EXPECT_EQ(bits(sing::eval_terms({&dirac, 1}, 0.0)), bits(+0.0));
}

// Integration from the left and scaling, term by term.
TEST(TermOps, IntegrateAndScale) {
    const struct { Term t, integrated; } cases[] = {
        {{4, 1, -2}, {4, 1, -1}}, {{4, 1, -1}, {4, 1, 0}}, {{3, 0, 0}, {3, 0, 1}}, {{6, 2, 2}, {2, 2, 3}}};
    for (const auto& c : cases) EXPECT_EQ(c.t.integrated(), c.integrated) << testing::PrintToString(c.t);
    EXPECT_EQ(bits(Term{-3, 1, 0}.scaled(0.0).coefficient), bits(-0.0));  // scaling by 0 keeps the term
}

}  // namespace
