/* The interpreter's own cost of results shaped like flexura's, built in C
 * with the same limited-API calls flexura makes; benchmarks/callgrind.sh
 * compiles it and measures these calls as floors. */
#define Py_LIMITED_API 0x030a0000
#include <Python.h>

/* reactions() of a two-support beam: {"0": [rx, ry, m], "10": [rx, ry, m]}. */
static PyObject* dict2x3(PyObject* self, PyObject* unused) {
    static const char* const keys[2] = {"0", "10"};
    const double values[3] = {0.0, 12.0, 0.0};
    PyObject* dict = PyDict_New();
    if (dict == NULL) return NULL;
    for (int k = 0; k < 2; ++k) {
        PyObject* key = PyUnicode_FromStringAndSize(keys[k], (Py_ssize_t)strlen(keys[k]));
        PyObject* list = PyList_New(3);
        int failed = key == NULL || list == NULL;
        for (Py_ssize_t j = 0; j < 3 && !failed; ++j) {
            PyObject* v = PyFloat_FromDouble(values[j]);
            failed = v == NULL || PyList_SetItem(list, j, v) < 0;
        }
        failed = failed || PyDict_SetItem(dict, key, list) < 0;
        Py_XDECREF(key);
        Py_XDECREF(list);
        if (failed) {
            Py_DECREF(dict);
            return NULL;
        }
    }
    return dict;
}

/* A fast call taking any arguments and converting nothing. */
static PyObject* call(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Py_RETURN_NONE;
}

static PyMethodDef methods[] = {
    {"dict2x3", dict2x3, METH_NOARGS, NULL},
    {"call", (PyCFunction)(void (*)(void))call, METH_FASTCALL | METH_KEYWORDS, NULL},
    {NULL, NULL, 0, NULL},
};

static PyModuleDef module = {PyModuleDef_HEAD_INIT, "floors", NULL, -1, methods};

PyMODINIT_FUNC PyInit_floors(void) { return PyModule_Create(&module); }
