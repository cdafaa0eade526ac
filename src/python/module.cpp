#include <Python.h>

static PyModuleDef facetview_module = {PyModuleDef_HEAD_INIT, "_facetview", "", -1, nullptr,
                                       nullptr, nullptr, nullptr, nullptr};

PyMODINIT_FUNC PyInit__facetview(void) { return PyModule_Create(&facetview_module); }
