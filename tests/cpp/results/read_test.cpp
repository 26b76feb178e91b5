#include "results/read.hpp"

#include <algorithm>
#include <random>

#include "../test_support.hpp"

namespace {

// Terms of every order and position, NaN and infinite ones among them.
std::vector<sing::Term> random_terms(std::mt19937& random) {
    auto pick = [&](std::initializer_list<double> from) { return *(from.begin() + random() % from.size()); };
    std::vector<sing::Term> terms(random() % 8);
    for (sing::Term& t : terms) {
        t = {pick({1.0, -2.5, 0.0, -0.0, 1e-300, 1e300, kNaN, kInf}), pick({0.0, 1, 2, 2.5, -1, kNaN, kInf, -kInf}),
             static_cast<std::int32_t>(random() % 10) - 2};
    }
    return terms;
}

void expect_same(double got, double want, const std::vector<sing::Term>& terms, double x) {
    if (std::isnan(want)) EXPECT_TRUE(std::isnan(got));
    else EXPECT_EQ(bits(got), bits(want)) << testing::PrintToString(terms) << " at " << x;
}

// Summing term after term over ascending points gives, at every point, the
// bits of evaluating the point alone: for every order, concentrated terms,
// NaN and infinite positions and coefficients, and points left of,
// at and right of every term. Any NaN matches any NaN: which of two NaNs an
// addition keeps is the compiler's choice (results show every NaN alike).
TEST(AddTerms, SumsEqualPointByPointEvaluation) {
    std::mt19937 random(3);
    const std::vector<double> points{-kInf, -3, -0.5, 0.0, 1e-7, 0.5, 1, 2, 2.5, 3, 7, 1e300, kInf};
    for (int trial = 0; trial < 300; ++trial) {
        const std::vector<sing::Term> terms = random_terms(random);
        std::vector<double> sums(points.size(), -0.0);
        results::add_terms(terms, points, sums.data());
        for (std::size_t k = 0; k < points.size(); ++k) expect_same(sums[k], sing::eval_terms(terms, points[k]), terms, points[k]);
    }
}

// A block reads each point as read() does, whatever the points' order:
// ascending (with equal neighbours and -0.0 beside 0.0), shuffled, with NaN,
// and a single point; on either side of a jump and two-sidedly.
TEST(ReadBlock, EachPointAsReadAlone) {
    std::mt19937 random(5);
    std::vector<double> ascending{-kInf, -1, -0.0, 0.0, 0.0, 1e-300, 1, 1, 2, 2.5, 2.5, 3, 1e300, kInf};
    std::vector<double> shuffled = ascending;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    std::vector<double> with_nan = ascending;
    with_nan.insert(with_nan.begin() + 5, kNaN);
    // Enough points in any order to be grouped by stretch, NaN among them.
    std::vector<double> many = with_nan;
    for (int copy = 0; copy < 2; ++copy) many.insert(many.end(), with_nan.begin(), with_nan.end());
    std::shuffle(many.begin(), many.end(), random);
    const std::vector<double> orders[] = {ascending, shuffled, with_nan, many, {kNaN}, {2.5}, {}};
    for (int trial = 0; trial < 200; ++trial) {
        const std::vector<sing::Term> terms = random_terms(random);
        for (const std::vector<double>& points : orders) {
            for (results::Read how : {results::Read::at, results::Read::left, results::Read::larger_side}) {
                std::vector<double> values(points.size());
                results::read_block(terms, points, how, values.data());
                for (std::size_t k = 0; k < points.size(); ++k) {
                    expect_same(values[k], results::read(terms, points[k], how), terms, points[k]);
                }
            }
        }
    }
}

// More terms than the read keeps on its stack, and more points than a
// block's handful: read grouped by stretch, each point as read() reads it,
// at the terms' positions, a double either side and between.
TEST(ReadBlock, ManyTermsInAnyOrder) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> along(0.0, 10.0);
    std::vector<sing::Term> terms(300);
    for (sing::Term& t : terms) t = {along(random) - 5.0, along(random), static_cast<std::int32_t>(random() % 6) - 1};
    std::vector<double> points;
    for (const sing::Term& t : terms) points.insert(points.end(), {t.position, std::nextafter(t.position, -kInf),
                                                                  std::nextafter(t.position, kInf), along(random)});
    std::shuffle(points.begin(), points.end(), random);
    points.resize(results::block_points);
    for (results::Read how : {results::Read::at, results::Read::left}) {
        std::vector<double> values(points.size());
        results::read_block(terms, points, how, values.data());
        for (std::size_t k = 0; k < points.size(); ++k) {
            expect_same(values[k], results::read(terms, points[k], how), terms, points[k]);
        }
    }
}

// Left of x is the next double below it: a term starting at x is not active
// there, and a value just left of a step is the value before it.
TEST(Read, LeftOfAStepIsBeforeIt) {
    const sing::Term step{3, 2.5, 0};
    EXPECT_EQ(results::read({&step, 1}, 2.5, results::Read::at), 3);
    EXPECT_EQ(bits(results::read({&step, 1}, 2.5, results::Read::left)), bits(+0.0));
    const double lowest = std::numeric_limits<double>::lowest(), tiny = std::numeric_limits<double>::denorm_min();
    for (double x : {0.0, -0.0, tiny, -tiny, 1.0, -1.0, 2.5, 1e-308, -1e-308, 1e308, lowest, -lowest, kInf, -kInf}) {
        EXPECT_EQ(bits(results::just_left(x)), bits(std::nextafter(x, -kInf))) << x;
    }
    EXPECT_TRUE(std::isnan(results::just_left(kNaN)));
}

}  // namespace
