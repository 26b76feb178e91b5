#include "sing/term_list.hpp"

#include <utility>

#include "../test_support.hpp"

namespace {

using List = sing::SmallList<sing::Term>;

// Lists of 0 to 5 terms cross the inline/heap boundary (two inline) in every
// operation; each must keep the terms and their order.
List make(int count, double base) {
    List list;
    for (int k = 0; k < count; ++k) list.push_back({base + k, static_cast<double>(k), k});
    return list;
}

TEST(TermList, CopyMoveAppendAcrossTheInlineBoundary) {
    for (int n = 0; n <= 5; ++n) {
        for (int m = 0; m <= 5; ++m) {
            SCOPED_TRACE(testing::Message() << n << " + " << m);
            const List a = make(n, 10), b = make(m, 20);
            List joined = a;
            joined.append(b);
            ASSERT_EQ(joined.size(), static_cast<std::size_t>(n + m));
            for (int k = 0; k < n + m; ++k) EXPECT_EQ(joined[k], k < n ? a[k] : b[k - n]);

            List moved = std::move(joined);
            EXPECT_TRUE(joined.empty());
            joined = moved;  // reusable after the move, assigned by copy
            EXPECT_EQ(joined, moved);
            List assigned = make(3, 0);
            assigned = std::move(moved);
            EXPECT_EQ(assigned, joined);
            assigned = a;  // copy over a larger or smaller list
            EXPECT_EQ(assigned, a);
        }
    }
}

}  // namespace
