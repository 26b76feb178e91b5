#include "tools_engine/extensions.hpp"

#include "common/binding.hpp"
#include "common/convert.hpp"
#include "common/solve_call.hpp"

namespace tools_engine {
namespace {

using python::Converted;

Converted to_section(PyObject* obj, engine::SectionChange& out) {
    return python::number_tuple(obj, {&out.start, &out.e, &out.i, &out.a, &out.g});
}

Converted to_settlement(PyObject* obj, engine::Settlement& out) {
    return python::number_tuple(obj, {&out.dy, &out.rotation});
}

Converted to_curvature(PyObject* obj, engine::ImposedCurvature& out) {
    return python::number_tuple(obj, {&out.k1, &out.k2, &out.x1, &out.x2});
}

// A position of the list, held while a non-float runs its conversion.
Converted to_position(PyObject* obj, double& out) {
    python::Keep keep;
    return python::number_item(obj, out, keep);
}

// An exact bool: a switch given as anything else is a mistake to report,
// not a truth value to guess.
bool to_switch(PyObject* obj, bool& out) {
    if (!PyBool_Check(obj)) {
        python::set_downcast_error(obj, "PyBool");
        return false;
    }
    out = obj == Py_True;
    return true;
}

bool given(PyObject* obj) { return obj != nullptr && obj != Py_None; }

// On failure an exact TypeError is prefixed with the parameter's name.
bool converted(const char* param, bool ok) {
    if (!ok) python::wrap_argument_error(param);
    return ok;
}

}  // namespace

bool read_extensions(std::span<PyObject* const, extension_count> slots, engine::Extensions& out,
                     arena::Arena& arena) {
    using python::read_list;
    const char* const* name = extension_params;
    return (!given(slots[0]) || converted(name[0], read_list(slots[0], arena, out.sections, to_section))) &&
           (!given(slots[1]) || converted(name[1], read_list(slots[1], arena, out.hinges, to_position))) &&
           (!given(slots[2]) || converted(name[2], read_list(slots[2], arena, out.settlements, to_settlement))) &&
           (!given(slots[3]) || converted(name[3], read_list(slots[3], arena, out.curvatures, to_curvature))) &&
           (!given(slots[4]) || converted(name[4], to_switch(slots[4], out.rotational_springs))) &&
           (!given(slots[5]) || converted(name[5], to_switch(slots[5], out.rotation)));
}

}  // namespace tools_engine
