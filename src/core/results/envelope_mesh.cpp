#include "results/envelope_mesh.hpp"

#include <algorithm>
#include <charconv>
#include <functional>
#include <cmath>
#include <iterator>
#include <limits>
#include <new>
#include <stdexcept>

namespace results {
namespace {

bool all_finite(std::span<const double> values) noexcept {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// Sorted, each value once, a zero as 0.0: the set of the values with 0.0
// put in first, as the mesh's features are gathered.
void sort_once(std::vector<double>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    const auto zero = std::lower_bound(values.begin(), values.end(), 0.0);
    if (zero != values.end() && *zero == 0.0) *zero = 0.0;
}

// Of values within a group (closer than the merge tolerance), the one with
// the shortest decimal, then the least: a position that differs by rounding
// (0.1 * 3 beside 0.3) is placed where the user wrote it.
double shortest_decimal(std::span<const double> group) noexcept {
    double best = group[0];
    std::size_t best_length = repr_length(best);
    for (double v : group.subspan(1)) {
        const std::size_t length = repr_length(v);
        if (length < best_length || (length == best_length && v < best)) best = v, best_length = length;
    }
    return best;
}

// Mesh positions beyond which a mesh is not counted (positions, entries
// and their indices in int64 stay far from overflow).
constexpr double most_positions = 0x1p52;

// The positions a + ((b - a) * i) / parts for 0 < i < parts and the
// points `between`, ascending, each once, appended to `position`; sorted
// only where points come between or rounding repeats a position (a gap a
// few ulps wide).
void fill_gap(double a, double b, double parts, std::span<const double> between, std::vector<double>& position) {
    const std::ptrdiff_t start = std::ssize(position);
    const double width = b - a;
    for (double i = 1.0; i < parts; i += 1.0) position.push_back(a + (width * i) / parts);
    const auto first = position.begin() + start;
    const bool ascending = std::adjacent_find(first, position.end(), std::greater_equal<double>()) == position.end();
    if (between.empty() && ascending) return;
    position.insert(position.end(), between.begin(), between.end());
    std::sort(position.begin() + start, position.end());
    position.erase(std::unique(position.begin() + start, position.end()), position.end());
}

// Per mesh position its left and right entry, per entry its mesh position:
// the positions `twice` (ascending, each once) hold two entries.
void entries(std::size_t count, std::span<const std::size_t> twice, EnvelopeMesh& out) {
    out.left.resize(count);
    out.right.resize(count);
    out.source.clear();
    out.source.reserve(count + twice.size());
    std::size_t t = 0;
    for (std::size_t j = 0; j < count; ++j) {
        const auto e = static_cast<std::int64_t>(out.source.size());
        out.source.push_back(static_cast<std::int64_t>(j));
        out.left[j] = out.right[j] = e;
        if (t < twice.size() && twice[t] == j) {
            out.source.push_back(static_cast<std::int64_t>(j));
            out.right[j] = e + 1;
            ++t;
        }
    }
}

EnvelopeMeshStatus make(const EnvelopeMeshInput& in, EnvelopeMesh& out) {
    // Every feature once, with the ends, and the groups of those within the tolerance.
    std::vector<double>& keys = out.keys;
    keys.assign({0.0, in.span});
    keys.insert(keys.end(), in.features.begin(), in.features.end());
    sort_once(keys);
    const double tolerance = in.merge * in.span;
    std::vector<std::size_t> group_of(keys.size());
    std::vector<double> cluster;
    for (std::size_t k = 0, start = 0; k < keys.size(); ++k) {
        if (k != 0 && !(keys[k] - keys[k - 1] <= tolerance)) {
            cluster.push_back(k - start == 1 ? keys[start] : shortest_decimal({keys.data() + start, k - start}));
            start = k;
        }
        group_of[k] = cluster.size();
        if (k + 1 == keys.size()) {
            cluster.push_back(k == start ? keys[start] : shortest_decimal({keys.data() + start, k + 1 - start}));
        }
    }
    cluster.front() = 0.0;
    cluster.back() = in.span;

    // The caller's points that are no feature.
    std::vector<double> points(in.points.begin(), in.points.end());
    sort_once(points);
    std::vector<double> chosen;
    std::set_difference(points.begin(), points.end(), keys.begin(), keys.end(), std::back_inserter(chosen));

    // How many parts each gap takes, counted before any is made.
    const double step = in.span / static_cast<double>(in.n);
    std::vector<double> parts(cluster.size() - 1);
    double count = static_cast<double>(cluster.size() + chosen.size());
    for (std::size_t c = 0; c + 1 < cluster.size(); ++c) {
        parts[c] = std::ceil((cluster[c + 1] - cluster[c]) / step - 1e-9);
        if (!(parts[c] <= most_positions)) return EnvelopeMeshStatus::too_many;
        count += std::max(parts[c] - 1.0, 0.0);
    }
    if (!(count <= most_positions)) return EnvelopeMeshStatus::too_many;

    std::vector<double>& position = out.position;
    position.clear();
    position.reserve(static_cast<std::size_t>(count));
    std::vector<std::size_t> placed(cluster.size());  // each group's mesh position
    for (std::size_t c = 0; c + 1 < cluster.size(); ++c) {
        const double a = cluster[c], b = cluster[c + 1];
        placed[c] = position.size();
        position.push_back(a);
        const auto from = std::upper_bound(chosen.begin(), chosen.end(), a);
        const auto to = std::lower_bound(chosen.begin(), chosen.end(), b);
        const std::span<const double> between = from < to ? std::span<const double>(from, to) : std::span<const double>();
        if (parts[c] > 1.0 || !between.empty()) fill_gap(a, b, parts[c], between, position);
    }
    placed.back() = position.size();
    position.push_back(in.span);

    // A group holding a jump, but for the ends, is held twice.
    std::vector<std::size_t> twice;
    for (double x : in.jumps) {
        const auto at = std::lower_bound(keys.begin(), keys.end(), x);
        if (at == keys.end() || *at != x) continue;
        const std::size_t c = group_of[static_cast<std::size_t>(at - keys.begin())];
        if (c != 0 && c + 1 != cluster.size()) twice.push_back(placed[c]);
    }
    std::sort(twice.begin(), twice.end());
    twice.erase(std::unique(twice.begin(), twice.end()), twice.end());
    entries(position.size(), twice, out);

    out.read_at = position;
    out.read_at.back() = std::nextafter(in.span, -std::numeric_limits<double>::infinity());
    out.x.resize(out.source.size());
    for (std::size_t e = 0; e < out.x.size(); ++e) out.x[e] = position[static_cast<std::size_t>(out.source[e])];
    out.key_position.resize(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) out.key_position[k] = static_cast<std::int64_t>(placed[group_of[k]]);
    return EnvelopeMeshStatus::done;
}

}  // namespace

std::size_t repr_length(double v) noexcept {
    // The shortest round-trip digits as d.ddde±XX; Python's repr writes the
    // same digits, placed by the decimal exponent.
    char text[40];
    const char* const end = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific).ptr;
    const char* p = text;
    std::size_t length = 0;
    if (*p == '-') ++length, ++p;
    std::size_t digits = 0;
    for (; p != end && *p != 'e'; ++p) digits += *p != '.';
    int exponent = 0;
    const bool negative = p + 1 != end && p[1] == '-';
    std::from_chars(p + 2, end, exponent);  // after 'e' and its sign
    if (negative) exponent = -exponent;
    const int point = exponent + 1;  // digits before the decimal point
    if (point <= -4 || point > 16) {  // d[.ddd]e±XX, the exponent at least two digits
        const std::size_t exponent_digits = std::max<std::size_t>(2, static_cast<std::size_t>(end - (p + 2)));
        return length + digits + (digits > 1 ? 1 : 0) + 2 + exponent_digits;
    }
    if (point <= 0) return length + 2 + static_cast<std::size_t>(-point) + digits;  // 0.000ddd
    const auto whole = static_cast<std::size_t>(point);
    return length + (whole < digits ? digits + 1 : whole + 2);  // dd.ddd, or ddd00.0
}

EnvelopeMeshStatus envelope_mesh(const EnvelopeMeshInput& in, EnvelopeMesh& out) noexcept {
    if (in.n == 0 || !std::isfinite(in.span) || !std::isfinite(in.merge) || !all_finite(in.features) ||
        !all_finite(in.jumps) || !all_finite(in.points)) {
        return EnvelopeMeshStatus::not_finite;
    }
    try {
        return make(in, out);
    } catch (const std::bad_alloc&) {
        return EnvelopeMeshStatus::out_of_memory;
    } catch (const std::length_error&) {
        return EnvelopeMeshStatus::out_of_memory;
    }
}

}  // namespace results
