// The extension module sc_api._core: the library's reading, building and file operations for
// the Python package, which adds numpy-style indexing, dask and HyperSpy on top.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "library_error.h"

namespace py = pybind11;
using sc_api_python::LibraryError;

PYBIND11_MODULE(_core, module) {
    module.doc() = "Bindings of the sc_api library; use the sc_api package instead.";
    // LibraryError becomes sc_api.Error(message, code), defined by the package in Python.
    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure) {
                std::rethrow_exception(failure);
            }
        } catch (const LibraryError& error) {
            py::object errorClass = py::module_::import("sc_api._errors").attr("Error");
            py::object problem = py::none();
            if (!error.problem().empty()) {
                problem = py::str(error.problem());
            }
            py::object exception = errorClass(error.what(), error.code(), problem);
            PyErr_SetObject(errorClass.ptr(), exception.ptr());
        }
    });
    sc_api_python::bindCubeReader(module);
    sc_api_python::bindCubeBuilder(module);
    sc_api_python::bindCubeFiles(module);
}
