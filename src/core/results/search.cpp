#include "results/search.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "results/read.hpp"

namespace results {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

// Bisection steps at most: a segment halves to its tolerance in about 45.
constexpr int max_bisections = 200;

// Of two values the second only when it is smaller: a NaN first stays.
double smaller(double first, double second) noexcept { return second < first ? second : first; }

// Whether the segment between two features is searched: a NaN bound never is.
bool is_segment(double a, double b) noexcept { return a < b; }

// Sample j of count over [a, b]: b itself at j = count.
double sample_x(double a, double b, std::uint32_t j, std::uint32_t count) noexcept {
    if (j == count) return b;
    return a + (b - a) * static_cast<double>(j) / static_cast<double>(count);
}

// Where sample j is read: at b, just left of b, since the value at b is the
// one right of a jump there.
double sample_read_at(double a, double b, std::uint32_t j, std::uint32_t count) noexcept {
    return j == count ? just_left(b) : sample_x(a, b, j, count);
}

// Peaks of sign * f on one smooth segment [a, b], counting the terms it
// evaluates as work for the interrupt check.
class Segment {
public:
    Segment(const Summed& f, double a, double b, double sign, double tolerance) noexcept
        : f_(f), a_(a), b_(b), sign_(sign), tolerance_(tolerance) {
        // A segment narrower than the least double times 64 (a load at
        // x = 5e-324) has no step to difference over: its ends' samples
        // are its values.
        const double step = (b - a) / static_cast<double>(4 * base_samples);
        step_ = step == 0.0 ? inf : step;
    }

    double step() const noexcept { return step_; }

    // The work done since last asked.
    std::uint64_t take_work() noexcept { return std::exchange(work_, 0); }

    // Bisection for the zero of the slope between lo (rising) and hi (falling).
    Peak refine(double lo, double hi) noexcept {
        for (int k = 0; k < max_bisections; ++k) {
            const double mid = 0.5 * (lo + hi);
            if (hi - lo <= tolerance_ || !(lo < mid && mid < hi)) break;
            if (slope(mid) > 0.0) {
                lo = mid;
            } else {
                hi = mid;
            }
        }
        const double x = 0.5 * (lo + hi);
        return {f(x), x};
    }

    // sign * the rise of f going into the segment from its end x (one-sided,
    // second order): inward 1.0 from a, -1.0 from b.
    double end_slope(double x, double inward) noexcept {
        const double h = inward * step_;
        const double start = f(inward > 0.0 ? x : just_left(x));
        const double near = f(x + h);
        const double far = f(x + 2.0 * h);
        return sign_ * (-3.0 * start + 4.0 * near - far) / (2.0 * step_);
    }

private:
    double f(double x) noexcept {
        work_ += 1 + f_.size();
        return f_.at(x);
    }

    // sign * f'(x): central differences at steps h and h/2, extrapolated
    // (Richardson), reaching no further than the segment's ends.
    double slope(double x) noexcept {
        const double h = smaller(smaller(step_, (x - a_) / 2.0), (b_ - x) / 2.0);
        if (h <= 0.0) return 0.0;
        const double right = f(x + h), left = f(x - h), half_right = f(x + h / 2.0), half_left = f(x - h / 2.0);
        const double wide = (right - left) / (2.0 * h);
        const double narrow = (half_right - half_left) / h;
        return sign_ * (4.0 * narrow - wide) / 3.0;
    }

    const Summed& f_;
    double a_, b_, sign_, tolerance_, step_;
    std::uint64_t work_ = 0;
};

// The samples of every segment, count + 1 each, read into `values` in the
// segments' order, a block at a time. False when the check says stop.
bool read_samples(const Summed& f, std::span<const double> features, std::uint32_t count, double* values,
                  interrupt::Check& check) noexcept {
    double points[block_points], scratch[block_points];
    std::size_t filled = 0, done = 0;
    auto flush = [&] {
        f.block({points, filled}, values + done, scratch);
        done += filled;
        const bool stop = check.stop(filled * (1 + f.size()));
        filled = 0;
        return !stop;
    };
    for (std::size_t k = 1; k < features.size(); ++k) {
        const double a = features[k - 1], b = features[k];
        if (!is_segment(a, b)) continue;
        for (std::uint32_t j = 0; j <= count; ++j) {
            points[filled++] = sample_read_at(a, b, j, count);
            if (filled == block_points && !flush()) return false;
        }
    }
    return filled == 0 || flush();
}

// The largest magnitude among the samples, the first met of equal ones (a
// NaN first stays).
double largest_magnitude(const double* values, std::size_t n) noexcept {
    double scale = std::fabs(values[0]);
    for (std::size_t k = 1; k < n; ++k) {
        if (std::fabs(values[k]) > scale) scale = std::fabs(values[k]);
    }
    return scale;
}

// The sampled segments of one search.
struct Sampled {
    const Summed& f;
    std::span<const double> features;
    std::uint32_t count;
    const double* values;
    std::size_t total;  // values read: count + 1 per segment
};

// The max (sign 1) or min (sign -1) over the sampled segments: every local
// peak among a segment's samples, refined where the diagram may rise between
// samples (the refined value only where it is not below the sample's); a
// later peak wins only by more than 1e-12 of the largest sample.
std::optional<Peak> best_peak(const Sampled& s, double sign, double span, interrupt::Check& check) noexcept {
    if (s.total == 0) return Peak{s.f.at(s.features[0]), s.features[0]};
    const double scale = largest_magnitude(s.values, s.total);
    const double tolerance = 1e-13 * span, noise = 1e-13 * scale, margin = 1e-12 * scale;
    const std::uint32_t last = s.count;
    double best = -inf, best_x = s.features[0];
    const double* values = s.values;
    for (std::size_t k = 1; k < s.features.size(); ++k) {
        const double a = s.features[k - 1], b = s.features[k];
        if (!is_segment(a, b)) continue;
        Segment segment(s.f, a, b, sign, tolerance);
        for (std::uint32_t j = 0; j <= last; ++j) {
            const double here = sign * values[j];
            const double left = j > 0 ? sign * values[j - 1] : -inf;
            const double right = j < last ? sign * values[j + 1] : -inf;
            if (here < left || here < right) continue;
            bool rising = false;
            if (j == 0) {
                rising = segment.end_slope(a, 1.0) * segment.step() > noise;
            } else if (j == last) {
                rising = segment.end_slope(b, -1.0) * segment.step() > noise;
            } else {
                rising = here - smaller(left, right) > noise;
            }
            Peak found{values[j], sample_x(a, b, j, s.count)};
            if (rising) {
                const Peak refined = segment.refine(sample_x(a, b, j > 0 ? j - 1 : 0, s.count),
                                                    sample_x(a, b, std::min(j + 1, last), s.count));
                if (sign * refined.value >= here) found = refined;
            }
            if (sign * found.value > best + margin) {
                best = sign * found.value;
                best_x = found.x;
            }
            if (check.stop(segment.take_work())) return std::nullopt;
        }
        values += last + 1;
    }
    return Peak{sign * best, best_x};
}

std::optional<Sampled> sampled(const Summed& f, std::span<const double> features, std::uint32_t count,
                               double* room, interrupt::Check& check) noexcept {
    std::size_t segments = 0;
    for (std::size_t k = 1; k < features.size(); ++k) segments += is_segment(features[k - 1], features[k]);
    if (!read_samples(f, features, count, room, check)) return std::nullopt;
    return Sampled{f, features, count, room, segments * (count + std::size_t{1})};
}

}  // namespace

std::size_t Summed::size() const noexcept {
    std::size_t n = terms.size();
    for (const Addend& a : added) n += a.terms.size();
    return n;
}

double Summed::at(double x) const noexcept {
    double value = read(terms, x, Read::at);
    for (const Addend& a : added) value = value + a.factor * read(a.terms, x, Read::at);
    return value;
}

void Summed::block(std::span<const double> points, double* values, double* scratch) const noexcept {
    read_block(terms, points, Read::at, values);
    for (const Addend& a : added) {
        read_block(a.terms, points, Read::at, scratch);
        for (std::size_t k = 0; k < points.size(); ++k) values[k] = values[k] + a.factor * scratch[k];
    }
}

std::optional<std::size_t> search_room(std::span<const double> features, std::uint32_t count) noexcept {
    const std::size_t segments = features.empty() ? 0 : features.size() - 1;
    const std::size_t per_segment = count + std::size_t{1};
    if (segments > std::numeric_limits<std::size_t>::max() / sizeof(double) / per_segment) return std::nullopt;
    return std::max<std::size_t>(segments * per_segment, 1);
}

std::optional<Extreme> find_extreme(const Summed& f, std::span<const double> features, std::uint32_t count,
                                    double* room, interrupt::Check& check) noexcept {
    const std::optional<Sampled> s = sampled(f, features, count, room, check);
    if (!s) return std::nullopt;
    const double span = features.back() - features.front();
    const std::optional<Peak> max = best_peak(*s, 1.0, span, check);
    if (!max) return std::nullopt;
    const std::optional<Peak> min = best_peak(*s, -1.0, span, check);
    if (!min) return std::nullopt;
    return Extreme{*max, *min};
}

std::optional<Peak> find_peak(const Summed& f, std::span<const double> features, double sign,
                              std::uint32_t count, double span, double* room, interrupt::Check& check) noexcept {
    const std::optional<Sampled> s = sampled(f, features, count, room, check);
    if (!s) return std::nullopt;
    return best_peak(*s, sign, span, check);
}

}  // namespace results
