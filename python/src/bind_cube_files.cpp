#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.h"
#include "cube_files.h"

namespace py = pybind11;

namespace sc_api_python {

void bindCubeFiles(py::module_& module) {
    const auto unlocked = py::call_guard<py::gil_scoped_release>();
    module.def("convert", &convertCube, py::arg("source"), py::arg("target"), py::arg("to"),
               unlocked);
    module.def("check", &checkCube, py::arg("path"), unlocked);
    module.def("remove", &removeCube, py::arg("path"), unlocked);
}

}  // namespace sc_api_python
