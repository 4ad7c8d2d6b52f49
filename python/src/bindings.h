#pragma once

#include <pybind11/pybind11.h>

namespace sc_api_python {

// Each adds one part of the library to the extension module sc_api._core.
void bindCubeReader(pybind11::module_& module);
void bindCubeBuilder(pybind11::module_& module);
void bindCubeFiles(pybind11::module_& module);

}  // namespace sc_api_python
