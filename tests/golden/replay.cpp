// Replays the golden corpus through the C++ core alone: reads beams in a flat
// text form on standard input (written by tests/golden/replay.py), analyses
// each as solve() does and prints every result as the bit pattern of the
// double. A build with another compiler, standard library, C library or
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
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/analysis.hpp"
#include "loads/loads.hpp"
#include "results/mesh.hpp"
#include "results/reaction_table.hpp"
#include "results/two_sided.hpp"

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
    engine::Beam beam;
    std::vector<std::pair<std::string, std::vector<double>>> loads;
    std::vector<double> at;
};

void print_results(const engine::Analysis& r, const std::vector<double>& at, double span, std::uint64_t n) {
    interrupt::Check never;
    for (const results::KeyedReaction& reaction : results::reaction_table(r.reactions, never)) {
        std::printf("reaction %s", reaction.key.c_str());
        for (double v : {reaction.rx, reaction.ry, reaction.m}) print_bits(v);
        std::printf("\n");
    }
    const std::pair<const char*, const sing::TermList*> lists[] = {
        {"nf", &r.nf}, {"sf", &r.sf}, {"bm", &r.bm}, {"d", &r.d}};
    const char* two_sided_names[] = {"get_normal_force", "get_shear_force", "get_bending_moment", "get_deflection"};
    for (const auto& [name, list] : lists) {
        std::printf("eval_%s", name);
        for (double x : at) print_bits(sing::eval_terms(*list, x));
        std::printf("\n");
    }
    for (int k = 0; k < 4; ++k) {
        std::printf("%s", two_sided_names[k]);
        for (double x : at) print_bits(results::two_sided_value(*lists[k].second, x));
        std::printf("\n");
    }
    const std::optional<results::Mesh> mesh = results::plotting_mesh(n, span, r.features);
    if (!mesh) return;  // reported as the missing plot_* lines
    std::printf("plot_x");
    for (double x : mesh->points()) print_bits(x);
    std::printf("\n");
    for (const auto& [name, list] : lists) {
        std::printf("plot_%s", name);
        for (double x : mesh->points()) print_bits(sing::eval_terms(*list, x));
        std::printf("\n");
    }
}

// Builds the loads and analyses the beam as solve() does; the first failure
// is printed with solve()'s ValueError message.
void replay(Case& c, std::uint64_t n) {
    for (const auto& [kind, params] : c.loads) {
        auto built = loads::build_load(kind, params);
        if (const auto* error = std::get_if<loads::LoadError>(&built)) {
            std::printf("error %s\n", error->message.c_str());
            return;
        }
        c.beam.loads.push_back(std::move(std::get<engine::Load>(built)));
    }
    engine::AnalyseResult result = engine::analyse(c.beam);
    if (!result.ok()) {
        const bool unordered = result.failure() == engine::AnalyseFailure::unordered_supports;
        std::printf("error %s\n", unordered ? "support position is not a number"
                                            : "beam is unstable / singular (no unique solution)");
        return;
    }
    print_results(result.analysis(), c.at, c.beam.span, n);
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
            for (double* v : {&c.beam.span, &c.beam.e, &c.beam.i, &c.beam.a, &c.beam.g}) *v = read_bits(in);
        } else if (item == "unit") {
            std::string key;
            in >> key;
            engine::set_unit_factor(c.beam.units, key, read_bits(in));
        } else if (item == "support") {
            engine::Support s;
            for (double* v : {&s.pos, &s.kx, &s.ky, &s.km}) *v = read_bits(in);
            c.beam.supports.push_back(s);
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
