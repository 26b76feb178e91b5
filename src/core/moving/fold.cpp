#include "moving/fold.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <new>
#include <vector>

#include "engine/loads.hpp"
#include "results/read.hpp"
#include "sing/sing.hpp"

namespace moving {
namespace {

// The result of each position's solve, in one block used again and again.
class Reused final : public engine::ResultStorage {
public:
    void* obtain(std::size_t bytes) override {
        try {
            const std::size_t doubles = bytes / sizeof(double) + 1;
            if (room_.size() < doubles) room_.resize(doubles);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return room_.data();
    }

private:
    std::vector<double> room_;
};

// A position's jumps at one mesh position: read left of the leftmost and
// right of the rightmost.
struct Own {
    std::size_t j;
    double first;
    double last;
};

// An axle standing on another jump at mesh position j: its own jump where
// it stands on the leftmost of the position's jumps there (else 0), and
// where on the rightmost.
struct Standing {
    std::size_t j;
    double at_first;
    double at_last;
};

// A load entry as the caller's list gives it: its kind and parameters.
engine::LoadInput load_entry(engine::LoadName name, std::initializer_list<double> params) {
    engine::LoadInput out;
    out.name = name;
    for (double v : params) engine::add_param(out, v);
    return out;
}

// A value beside an axle standing on a jump, folded after the chunk's values.
struct Limit {
    std::size_t band;
    std::size_t entry;
    std::int64_t member;
    double value;
};

// The chunk's largest and smallest value at each entry (the band's screen)
// and the members giving them; per mesh position instead where the band's
// quantity jumps nowhere, so that both entries of a position held twice
// have the same values (the moment and the deflection of a vehicle's
// positions: the README's vehicle job 437M instructions to 393M).
struct Chunk {
    bool by_position;
    std::vector<double> top, bottom;
    std::vector<std::int64_t> top_member, bottom_member;

    Chunk(bool by_position, std::size_t n)
        : by_position(by_position),
          top(n, -std::numeric_limits<double>::infinity()),
          bottom(n, std::numeric_limits<double>::infinity()),
          top_member(n),
          bottom_member(n) {}
};

struct Folder {
    const Run& run;
    const Mesh& mesh;
    std::span<const Band> bands;
    const Ranges& ranges;
    interrupt::Check& check;
    std::vector<Chunk> chunks{};  // per band
    std::vector<double> row{};    // a member's values at the mesh positions
    std::vector<double> entry{};  // and at the entries
    bool ascending = true;        // the mesh positions are read in ascending order
    std::vector<Own> owns{};
    std::vector<Standing> standing{};
    std::vector<Limit> limits{};
    std::vector<engine::LoadInput> loads{};
    std::vector<std::size_t> order{};  // the caller's index of each reaction
    Reused result{};

    // The mesh position of a jump's exact position.
    bool mesh_position(double x, std::size_t& j) const {
        const auto it = std::lower_bound(mesh.keys.begin(), mesh.keys.end(), x);
        if (it == mesh.keys.end() || !(*it == x)) return false;
        j = static_cast<std::size_t>(mesh.key_position[static_cast<std::size_t>(it - mesh.keys.begin())]);
        return j < mesh.position.size();
    }

    bool add_jump(double x) {
        std::size_t j = 0;
        if (!mesh_position(x, j)) return false;
        for (Own& own : owns) {
            if (own.j != j) continue;
            if (x < own.first) own.first = x;
            if (x > own.last) own.last = x;
            return true;
        }
        owns.push_back({j, x, x});
        return true;
    }

    // The position's jumps in the band's quantity, by mesh position, and
    // for the shear its axles standing on another jump.
    bool find_jumps(const Band& band, const Placed& p) {
        owns.clear();
        standing.clear();
        for (double x : band.jumps) {
            if (!add_jump(x)) return false;
        }
        if (band.axle_jumps) {
            for (std::size_t k = 0; k + 1 < p.axles.size(); k += 2) {
                if (p.axles[k + 1] != 0.0 && !add_jump(p.axles[k])) return false;
            }
        }
        const auto code = static_cast<double>(band.quantity);
        for (std::size_t k = 0; k + 1 < p.jumps.size(); k += 2) {
            if (p.jumps[k] == code && !add_jump(p.jumps[k + 1])) return false;
        }
        if (band.quantity == engine::Quantity::sf) {
            for (std::size_t k = 0; k + 1 < p.standing.size(); k += 2) {
                const double x = p.standing[k], jump = p.standing[k + 1];
                std::size_t j = 0;
                if (!mesh_position(x, j)) return false;
                auto own = std::find_if(owns.begin(), owns.end(), [j](const Own& o) { return o.j == j; });
                if (own == owns.end()) own = owns.insert(owns.end(), Own{j, x, x});
                standing.push_back({j, x == own->first ? jump : 0.0, x == own->last ? jump : 0.0});
            }
        }
        return true;
    }

    // Every entry's value of one member into the chunk's range: its top the
    // last of equal largest values (its sign of zero) and its member the first
    // of them, its bottom the first of equal smallest values.
    static void take(Chunk& c, const double* values, std::size_t n, std::int64_t member) {
        double* const top = c.top.data();
        double* const bottom = c.bottom.data();
        std::int64_t* const top_member = c.top_member.data();
        std::int64_t* const bottom_member = c.bottom_member.data();
        for (std::size_t e = 0; e < n; ++e) {
            const double v = values[e];
            if (v >= top[e]) {
                if (v > top[e]) top_member[e] = member;
                top[e] = v;
            }
            if (v < bottom[e]) {
                bottom[e] = v;
                bottom_member[e] = member;
            }
        }
    }

    // The chunk's range into the envelope (a later chunk raises an entry only
    // with a larger top, or a smaller bottom) and into the band's screen.
    void merge(const Band& b, const Chunk& c) const {
        const auto into = [&](std::size_t e, std::size_t from) {
            b.top[e] = c.top[from];
            b.bottom[e] = c.bottom[from];
            if (c.top[from] > b.hi[e]) {
                b.hi[e] = c.top[from];
                b.hi_member[e] = c.top_member[from];
            }
            if (c.bottom[from] < b.lo[e]) {
                b.lo[e] = c.bottom[from];
                b.lo_member[e] = c.bottom_member[from];
            }
        };
        if (!c.by_position) {
            for (std::size_t e = 0; e < entry.size(); ++e) into(e, e);
            return;
        }
        for (std::size_t j = 0; j < mesh.left.size(); ++j) {
            into(static_cast<std::size_t>(mesh.left[j]), j);
            if (mesh.right[j] != mesh.left[j]) into(static_cast<std::size_t>(mesh.right[j]), j);
        }
    }

    void limit(std::size_t band, std::size_t entry, std::int64_t member, double value) {
        limits.push_back({band, entry, member, value});
    }

    // One member's values at a mesh position where it jumps, into its entries.
    void fold_jump(std::size_t b, const Own& own, sing::Terms terms, std::int64_t member) {
        const std::size_t j = own.j, left = static_cast<std::size_t>(mesh.left[j]),
                          right = static_cast<std::size_t>(mesh.right[j]);
        const double p = mesh.position[j];
        const double leftmost = sing::eval_terms(terms, results::just_left(own.first));
        const double rightmost = own.last != p ? sing::eval_terms(terms, own.last) : row[j];
        if (left == right) {  // an end: right of x = 0, left of the far end
            const bool far_end = j + 1 == mesh.position.size();
            const double v = far_end ? (own.first != p ? leftmost : row[j]) : rightmost;
            entry[left] = v;
            for (const Standing& s : standing) {
                const double jump = far_end ? s.at_first : s.at_last;
                if (s.j == j && jump != 0.0) limit(b, left, member, far_end ? v + jump : v - jump);
            }
            return;
        }
        entry[right] = rightmost;
        entry[left] = leftmost;
        for (const Standing& s : standing) {
            if (s.j != j) continue;
            if (s.at_last != 0.0) limit(b, right, member, rightmost - s.at_last);
            if (s.at_first != 0.0) limit(b, left, member, leftmost + s.at_first);
        }
    }

    bool fold_band(std::size_t b, const engine::Analysis& a, const Placed& p, std::int64_t member) {
        const Band& band = bands[b];
        const sing::Terms terms = engine::terms_of(a, band.quantity);
        const std::size_t count = mesh.read_at.size();
        if (ascending) {  // read_block's way for ascending positions, without its test each time
            std::fill(row.begin(), row.end(), -0.0);
            results::add_terms(terms, mesh.read_at, row.data());
        } else {
            for (std::size_t start = 0; start < count; start += results::block_points) {
                const std::size_t n = std::min(results::block_points, count - start);
                results::read_block(terms, mesh.read_at.subspan(start, n), results::Read::at, row.data() + start);
            }
        }
        if (chunks[b].by_position) {
            take(chunks[b], row.data(), count, member);
            return !check.stop(count * (terms.size() + 1));
        }
        if (!find_jumps(band, p)) return false;
        for (std::size_t j = 0; j < count; ++j) {
            entry[static_cast<std::size_t>(mesh.left[j])] = row[j];
            entry[static_cast<std::size_t>(mesh.right[j])] = row[j];
        }
        for (const Own& own : owns) fold_jump(b, own, terms, member);
        take(chunks[b], entry.data(), entry.size(), member);
        return !check.stop(count * (terms.size() + 1));
    }

    void fold_reactions(const engine::Analysis& a, std::int64_t member, const std::size_t* reaction_order) {
        for (std::size_t k = 0; k < a.reactions.size(); ++k) {
            const engine::Reaction& r = a.reactions[k];
            const double values[3] = {r.rx, r.ry, r.m};
            for (std::size_t c = 0; c < 3; ++c) {
                const std::size_t at = 3 * reaction_order[k] + c;
                if (values[c] > ranges.hi[at]) {
                    ranges.hi[at] = values[c];
                    ranges.hi_member[at] = member;
                }
                if (values[c] < ranges.lo[at]) {
                    ranges.lo[at] = values[c];
                    ranges.lo_member[at] = member;
                }
            }
        }
    }

    bool balanced(const engine::Analysis& a) const {
        const double span = run.beam->span, force = run.balance.force, moment = run.balance.moment;
        constexpr double inf = std::numeric_limits<double>::infinity();
        return std::fabs(sing::eval_terms(a.sf, span)) <= force && std::fabs(sing::eval_terms(a.nf, span)) <= force &&
               std::fabs(sing::eval_terms(a.bm, span)) <= moment && force < inf && moment < inf;
    }

    // The beam's own loads, then the position's axles and lane stretches,
    // as the layer lists them for a single solve.
    void place(const Placed& p) {
        loads.resize(run.beam->loads.size());
        for (std::size_t k = 0; k + 1 < p.axles.size(); k += 2) {
            loads.push_back(load_entry(engine::LoadName::point, {-p.axles[k + 1], p.axles[k], 90.0}));
        }
        for (std::size_t k = 0; k + 1 < p.pieces.size(); k += 2) {
            loads.push_back(load_entry(engine::LoadName::udl, {-run.lane, p.pieces[k], p.pieces[k + 1], 90.0}));
        }
    }

    // Each placed position solved as a single solve would be, balanced, and
    // handed to `use`; false from `use` is a jump outside the mesh (or a stop).
    template <class Use>
    Folded each_solved(std::span<const Placed> placed, Use&& use) {
        const engine::Input& beam = *run.beam;
        loads.resize(beam.loads.size());
        std::copy(beam.loads.begin(), beam.loads.end(), loads.begin());
        for (std::size_t k = 0; k < placed.size(); ++k) {
            place(placed[k]);
            engine::Input input = beam;
            input.loads = loads;
            alignas(16) std::byte room[arena::small_beam_room];
            arena::Arena arena{room};
            const engine::Outcome outcome = engine::solve(input, arena, check, result);
            if (const auto* failure = std::get_if<engine::Failure>(&outcome)) {
                switch (failure->reason) {
                    case engine::Failure::Reason::stopped: return {Folded::Status::stopped, k};
                    case engine::Failure::Reason::out_of_memory: return {Folded::Status::out_of_memory, k};
                    case engine::Failure::Reason::invalid: return {Folded::Status::failed, k};
                }
            }
            const engine::Analysis& a = *std::get<const engine::Analysis*>(outcome);
            if (!balanced(a)) return {Folded::Status::failed, k};
            if (!use(a, placed[k], run.first_member + static_cast<std::int64_t>(k))) {
                return {check.stopped() ? Folded::Status::stopped : Folded::Status::not_in_mesh, k};
            }
        }
        return {Folded::Status::done, placed.size()};
    }

    // One solved position (or member) into the reactions' ranges and the
    // chunk's range of every band; false for a jump outside the mesh or a stop.
    bool fold_one(const engine::Analysis& a, const Placed& p, std::int64_t member, const std::size_t* reaction_order) {
        fold_reactions(a, member, reaction_order);
        for (std::size_t b = 0; b < bands.size(); ++b) {
            if (!fold_band(b, a, p, member)) return false;
        }
        return true;
    }

    Folded fold(std::span<const Placed> placed) {
        const Folded folded = each_solved(placed, [&](const engine::Analysis& a, const Placed& p, std::int64_t member) {
            return fold_one(a, p, member, order.data());
        });
        if (folded.status == Folded::Status::done) finish();
        return folded;
    }

    Folded fold(std::span<const Member> members, std::int64_t first_member) {
        for (std::size_t k = 0; k < members.size(); ++k) {
            const Member& m = members[k];
            if (!fold_one(*m.analysis, m.placed, first_member + static_cast<std::int64_t>(k), m.order)) {
                return {check.stopped() ? Folded::Status::stopped : Folded::Status::not_in_mesh, k};
            }
        }
        finish();
        return {Folded::Status::done, members.size()};
    }

    // The chunk's ranges into the envelope, then the standing axles' limits.
    void finish() {
        for (std::size_t b = 0; b < bands.size(); ++b) merge(bands[b], chunks[b]);
        for (const Limit& l : limits) {  // in the order the chunk gave them
            const Band& band = bands[l.band];
            if (l.value > band.hi[l.entry] || (l.value == band.hi[l.entry] && l.member < band.hi_member[l.entry])) {
                band.hi[l.entry] = l.value;
                band.hi_member[l.entry] = l.member;
            }
            if (l.value < band.lo[l.entry] || (l.value == band.lo[l.entry] && l.member < band.lo_member[l.entry])) {
                band.lo[l.entry] = l.value;
                band.lo_member[l.entry] = l.member;
            }
        }
    }

    Folded watch(std::span<const Placed> placed, std::span<const Watch> watches, std::vector<Hit>& hits) {
        return each_solved(placed, [&](const engine::Analysis& a, const Placed&, std::int64_t member) {
            for (std::size_t b = 0; b < watches.size(); ++b) {
                const sing::Terms terms = engine::terms_of(a, bands[b].quantity);
                const Watch& w = watches[b];
                for (std::size_t k = 0; k < w.at.size(); ++k) {
                    if (w.sign[k] * sing::eval_terms(terms, w.at[k]) >= w.least[k]) hits.push_back({b, k, member});
                }
                if (check.stop(w.at.size() * (terms.size() + 1))) return false;
            }
            return true;
        });
    }
};

std::size_t entries_of(const Mesh& mesh) {
    std::size_t n = 0;
    for (std::int64_t e : mesh.right) n = std::max(n, static_cast<std::size_t>(e) + 1);
    return n;
}

// The folder's chunk ranges and rows for the mesh; `jumps_in(q)`: whether
// some position or member jumps in q besides the bands' own jumps.
template <class JumpsIn>
void prepare(Folder& folder, JumpsIn&& jumps_in) {
    const Mesh& mesh = folder.mesh;
    const std::size_t entries = entries_of(mesh);
    for (const Band& band : folder.bands) {
        const bool by_position = band.jumps.empty() && !band.axle_jumps && band.quantity != engine::Quantity::sf &&
                                 !jumps_in(band.quantity);
        folder.chunks.emplace_back(by_position, by_position ? mesh.position.size() : entries);
    }
    folder.row.resize(mesh.read_at.size());
    folder.entry.resize(entries);
    folder.ascending = std::is_sorted(mesh.read_at.begin(), mesh.read_at.end()) &&
                       std::none_of(mesh.read_at.begin(), mesh.read_at.end(), [](double x) { return std::isnan(x); });
}

bool jumps_in(const Placed& p, engine::Quantity q) {
    for (std::size_t k = 0; k + 1 < p.jumps.size(); k += 2) {
        if (p.jumps[k] == static_cast<double>(q)) return true;
    }
    return false;
}

}  // namespace

Folded fold_members(std::span<const Member> members, std::int64_t first_member, const Mesh& mesh,
                    std::span<const Band> bands, const Ranges& ranges, interrupt::Check& check) {
    try {
        const Run none{};
        Folder folder{none, mesh, bands, ranges, check};
        prepare(folder, [&](engine::Quantity q) {
            return std::any_of(members.begin(), members.end(), [q](const Member& m) { return jumps_in(m.placed, q); });
        });
        return folder.fold(members, first_member);
    } catch (const std::bad_alloc&) {
        return {Folded::Status::out_of_memory, 0};
    }
}

Folded fold_positions(const Run& run, std::span<const Placed> placed, const Mesh& mesh, std::span<const Band> bands,
                      const Ranges& ranges, interrupt::Check& check) {
    try {
        Folder folder{run, mesh, bands, ranges, check};
        prepare(folder, [&](engine::Quantity q) {
            return std::any_of(placed.begin(), placed.end(), [q](const Placed& p) { return jumps_in(p, q); });
        });
        const std::span<const engine::Support> supports = run.beam->supports;
        folder.order.resize(supports.size());
        std::vector<std::size_t> scratch(supports.size());
        if (!engine::reaction_order(supports, folder.order.data(), scratch.data(), check)) {
            return {Folded::Status::stopped, 0};
        }
        return folder.fold(placed);
    } catch (const std::bad_alloc&) {
        return {Folded::Status::out_of_memory, 0};
    }
}

Folded watch_positions(const Run& run, std::span<const Placed> placed, std::span<const Band> bands,
                       std::span<const Watch> watches, std::vector<Hit>& hits, interrupt::Check& check) {
    if (watches.size() > bands.size()) return {Folded::Status::not_in_mesh, 0};
    try {
        const Mesh none{};
        const Ranges unused{};
        Folder folder{run, none, bands, unused, check};
        return folder.watch(placed, watches, hits);
    } catch (const std::bad_alloc&) {
        return {Folded::Status::out_of_memory, 0};
    }
}

}  // namespace moving
