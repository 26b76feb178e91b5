// Helpers shared by the C++ tests: exact (bitwise) double comparison,
// readable printing of terms, and solving a beam through the core's entry.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "arena/arena.hpp"
#include "engine/analysis.hpp"
#include "engine/loads.hpp"
#include "engine/model.hpp"

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

namespace sing {
inline void PrintTo(const Term& t, std::ostream* os) { *os << "{" << t.coefficient << ", " << t.position << ", " << t.order << "}"; }
}  // namespace sing

inline std::vector<sing::Term> terms_of(sing::Terms terms) { return {terms.begin(), terms.end()}; }

// A load as a caller writes it.
struct LoadEntry {
    std::string kind;
    std::vector<double> params;
};

// A beam problem; EI = EA = 1e4 and no shear deformation unless changed.
struct Beam {
    std::vector<engine::Support> supports;
    std::vector<LoadEntry> loads;
    double span = 10;
    engine::Units units{};
    double g = kInf;
    engine::Extensions extensions{};
};

// The result's block on the heap, or none when refused.
class HeapStorage final : public engine::ResultStorage {
public:
    explicit HeapStorage(bool refuse = false) : refuse_(refuse) {}
    void* obtain(std::size_t bytes) override {
        ++asked;
        if (refuse_) return nullptr;
        block_ = std::make_unique<std::max_align_t[]>(bytes / sizeof(std::max_align_t) + 1);
        return block_.get();
    }
    int asked = 0;

private:
    bool refuse_;
    std::unique_ptr<std::max_align_t[]> block_;
};

// A solve through engine::solve, with everything it refers to kept alive.
struct Solved {
    HeapStorage storage;
    engine::Outcome outcome = engine::Failure::stopped();
    std::size_t heap_blocks = 0;

    bool ok() const { return std::holds_alternative<const engine::Analysis*>(outcome); }
    const engine::Analysis& analysis() const { return *std::get<const engine::Analysis*>(outcome); }
    const engine::Failure& failure() const { return std::get<engine::Failure>(outcome); }
};

inline std::unique_ptr<Solved> solve(const Beam& beam, interrupt::Check check = {}, bool refuse_storage = false) {
    auto solved = std::make_unique<Solved>();
    solved->storage = HeapStorage(refuse_storage);
    alignas(16) std::byte room[arena::small_beam_room];
    arena::Arena arena(room);
    std::vector<engine::LoadInput> loads;
    for (const LoadEntry& l : beam.loads) loads.push_back(engine::load_input(l.kind, l.params, arena));
    const engine::Input in{beam.span, 1e4, 1, 1, beam.g, beam.supports, loads, beam.units, beam.extensions};
    solved->outcome = engine::solve(in, arena, check, solved->storage);
    solved->heap_blocks = arena.heap_blocks();
    return solved;
}
