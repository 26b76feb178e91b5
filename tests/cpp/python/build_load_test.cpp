#include "python/build_load.hpp"

#include "../test_support.hpp"

namespace {

using engine::Load;
using engine::LoadKind;

TEST(BuildLoad, BuildsEachKindAndIgnoresSurplusParams) {
    const struct { const char* kind; std::vector<double> params; Load want; } cases[] = {
        {"point", {10, 2, 90, 7}, {{{10, 2, -1}}, 90, 20, LoadKind::Point}},
        {"point", {10, 2, 0}, {{{10, 2, -1}}, 0, 0, LoadKind::Point}},
        {"udl", {2, 1, 4, 90}, {{{2, 1, 0}, {-2, 4, 0}}, 90, 15, LoadKind::Distributed}},
        {"udl", {2, 4, 1, 90, 8}, {{{2, 4, 0}, {-2, 1, 0}}, 90, -15, LoadKind::Distributed}},
        {"torque", {5, 3, 45}, {{{-5, 3, -2}}, 90, 5, LoadKind::Torque}},
        {"trap", {0, 6, 0, 3, 90, 1}, {{{0, 0, 0}, {0, 3, 0}, {2, 0, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 18, LoadKind::Distributed}},
        {"dist", {1, 3, 90, 0, 2}, {{{2, 1, 0}, {2, 1, 1}, {-6, 3, 0}, {-2, 3, 1}}, 90, 52.0 / 3, LoadKind::Distributed}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << testing::PrintToString(c.params));
        const auto got = python::build_load(c.kind, c.params);
        ASSERT_TRUE(std::holds_alternative<Load>(got)) << std::get<python::LoadError>(got).message;
        expect_load(std::get<Load>(got), c.want);
    }
}

TEST(BuildLoad, FailuresRepeatTheCallersText) {
    const struct { const char* kind; std::vector<double> params; const char* message; } cases[] = {
        {"bogus", {1, 2, 3}, "unknown load kind 'bogus'"}, {"Point", {10, 2, 90}, "unknown load kind 'Point'"},
        {"", {}, "unknown load kind ''"}, {"point", {10, 2}, "load 'point' needs 3 params, got 2"},
        {"udl", {1, 2, 3}, "load 'udl' needs 4 params, got 3"}, {"trap", {1, 2, 0, 3}, "load 'trap' needs 5 params, got 4"},
        {"torque", {5}, "load 'torque' needs 2 params, got 1"}, {"dist", {0, 3, 90}, "load 'dist' needs 4 params, got 3"}};
    for (const auto& c : cases) {
        const auto got = python::build_load(c.kind, c.params);
        ASSERT_TRUE(std::holds_alternative<python::LoadError>(got)) << c.message;
        EXPECT_EQ(std::get<python::LoadError>(got).message, c.message);
    }
}

}  // namespace
