// Replays the golden corpus through the C++ core alone: reads beams in a flat
// text form on standard input (written by tests/golden/replay.py), solves
// each through the core's one entry as solve() does and prints every result
// as the bit pattern of the double. A build with another compiler, standard library, C library or
// operating system can so be compared with the stored bits without building
// the Python module for it.
//
// Input, one item a line, every number as the 16 hex digits of its bits:
//   case NAME
//   beam SPAN E I A G
//   unit KEY FACTOR          (any number of lines)
//   support POS KX KY KM     (any number, in the caller's order)
//   load KIND P1 P2 ...      (any number, in the caller's order)
//   at X1 X2 ...             positions of the point queries
//   plot N                   mesh size of the plotting vectors; ends the case
// Output for each case: "case NAME", then "error MESSAGE" or
//   reaction KEY RX RY M     (one line a support, ascending position)
//   eval_nf V ...            (and eval_sf ... get_deflection at the positions)
//   plot_x V ...             (and plot_nf ... plot_d on the mesh)
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "arena/arena.hpp"
#include "engine/analysis.hpp"
#include "engine/loads.hpp"
#include "results/mesh.hpp"
#include "results/reaction_table.hpp"
#include "results/read.hpp"

namespace {

double read_bits(std::istream& in) {
    std::string token;
    in >> token;
    return std::bit_cast<double>(static_cast<std::uint64_t>(std::stoull(token, nullptr, 16)));
}

std::vector<double> read_all(std::istream& in) {
    std::vector<double> out;
    while (in >> std::ws && !in.eof()) out.push_back(read_bits(in));
    return out;
}

void print_bits(double v) {
    std::printf(" %016llx", static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(v)));
}

struct Case {
    engine::Input input;
    std::vector<engine::Support> supports;
    std::vector<std::pair<std::string, std::vector<double>>> loads;
    std::vector<double> at;
};

// The result's block, on the heap.
class HeapStorage final : public engine::ResultStorage {
public:
    void* obtain(std::size_t bytes) override {
        block_ = std::make_unique<std::max_align_t[]>(bytes / sizeof(std::max_align_t) + 1);
        return block_.get();
    }

private:
    std::unique_ptr<std::max_align_t[]> block_;
};

void print_values(const char* name, std::span<const double> values) {
    std::printf("%s", name);
    for (double v : values) print_bits(v);
    std::printf("\n");
}

// Every result as solve()'s BeamResult gives it, through the same functions.
void print_results(const engine::Analysis& r, const std::vector<double>& at, double span, std::uint64_t n) {
    interrupt::Check never;
    results::visit_keyed_reactions(r.reactions, never, [](const results::KeyedReaction& reaction) {
        std::printf("reaction %.*s", static_cast<int>(reaction.key.size()), reaction.key.data());
        for (double v : {reaction.rx, reaction.ry, reaction.m}) print_bits(v);
        std::printf("\n");
        return true;
    });
    using engine::Quantity;
    using results::Read;
    const struct { const char* name; Quantity q; Read how; } queries[] = {
        {"eval_nf", Quantity::nf, Read::at},
        {"eval_sf", Quantity::sf, Read::at},
        {"eval_bm", Quantity::bm, Read::at},
        {"eval_d", Quantity::d, Read::at},
        {"get_normal_force", Quantity::nf, Read::larger_side},
        {"get_shear_force", Quantity::sf, Read::larger_side},
        {"get_bending_moment", Quantity::bm, Read::larger_side},
        {"get_deflection", Quantity::d, Read::larger_side}};
    for (const auto& query : queries) {
        std::vector<double> values;
        for (double x : at) values.push_back(results::read(engine::terms_of(r, query.q), x, query.how));
        print_values(query.name, values);
    }
    const std::optional<std::size_t> room = results::mesh_room(n, r.features.size());
    if (!room) return;  // reported as the missing plot_* lines
    std::vector<double> mesh(*room);
    mesh.resize(*results::plotting_mesh(n, span, r.features, mesh.data(), never));
    for (const results::PlotColumn& column : results::plot_columns) {
        std::vector<double> values;
        results::sample_column(r, column, mesh, never, [&](std::span<const double> block, std::size_t) {
            values.insert(values.end(), block.begin(), block.end());
            return true;
        });
        print_values(("plot_" + std::string(column.name)).c_str(), values);
    }
}

// Solves the case through the core's one entry, as solve() does; a failure
// is printed with its message.
void replay(Case& c, std::uint64_t n) {
    arena::Arena arena({});
    std::vector<engine::LoadInput> loads;
    for (const auto& [kind, params] : c.loads) loads.push_back(engine::load_input(kind, params, arena));
    c.input.supports = c.supports;
    c.input.loads = loads;
    interrupt::Check never;
    HeapStorage storage;
    const engine::Outcome outcome = engine::solve(c.input, arena, never, storage);
    if (const auto* failure = std::get_if<engine::Failure>(&outcome)) {
        std::printf("error %s\n", failure->message.c_str());
        return;
    }
    print_results(*std::get<const engine::Analysis*>(outcome), c.at, c.input.span, n);
}

}  // namespace

int main() {
    Case c;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string item;
        in >> item;
        if (item == "case") {
            c = Case{};
            std::string name;
            in >> name;
            std::printf("case %s\n", name.c_str());
        } else if (item == "beam") {
            for (double* v : {&c.input.span, &c.input.e, &c.input.i, &c.input.a, &c.input.g}) *v = read_bits(in);
        } else if (item == "unit") {
            std::string key;
            in >> key;
            engine::set_unit_factor(c.input.units, key, read_bits(in));
        } else if (item == "support") {
            engine::Support s;
            for (double* v : {&s.pos, &s.kx, &s.ky, &s.km}) *v = read_bits(in);
            c.supports.push_back(s);
        } else if (item == "load") {
            std::string kind;
            in >> kind;
            c.loads.emplace_back(kind, read_all(in));
        } else if (item == "at") {
            c.at = read_all(in);
        } else if (item == "plot") {
            std::uint64_t n = 0;
            in >> n;
            replay(c, n);
        } else if (!item.empty()) {
            std::fprintf(stderr, "unknown item '%s'\n", item.c_str());
            return 2;
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
