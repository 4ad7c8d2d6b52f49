#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>

#include "bindings.h"
#include "cube_builder.h"

namespace py = pybind11;

namespace sc_api_python {
namespace {

using Line = py::array_t<std::uint16_t, py::array::c_style>;

void addLine(CubeBuilder& builder, const Line& line) {
    if (line.ndim() != 2 || static_cast<std::size_t>(line.shape(0)) != builder.width() ||
        static_cast<std::size_t>(line.shape(1)) != builder.depth()) {
        throw py::value_error("a line is an array of shape (width, depth) = (" +
                              std::to_string(builder.width()) + ", " +
                              std::to_string(builder.depth()) + ")");
    }
    const std::uint16_t* values = line.data();
    py::gil_scoped_release unlocked;
    builder.addLine(values);
}

py::array_t<std::uint16_t> roi(CubeBuilder& builder, unsigned first, unsigned count) {
    py::array_t<std::uint16_t> image({builder.height(), builder.width()});
    std::uint16_t* out = image.mutable_data();
    {
        py::gil_scoped_release unlocked;
        builder.roi(first, count, out);
    }
    return image;
}

}  // namespace

void bindCubeBuilder(py::module_& module) {
    py::class_<CubeBuilder>(module, "CubeBuilder")
        .def(py::init([](const std::string& path, unsigned width, unsigned height, unsigned depth,
                         float factor, bool rawByImage) {
                 py::gil_scoped_release unlocked;
                 return std::make_unique<CubeBuilder>(path, width, height, depth, factor,
                                                      rawByImage);
             }),
             py::arg("path"), py::arg("width"), py::arg("height"), py::arg("depth"),
             py::arg("factor"), py::arg("raw_by_image"))
        .def_property_readonly("lines_added", &CubeBuilder::linesAdded)
        .def_property_readonly("open", &CubeBuilder::isOpen)
        .def("add_line", &addLine, py::arg("line").noconvert())
        .def("roi", &roi)
        .def("close", &CubeBuilder::close, py::call_guard<py::gil_scoped_release>())
        .def("cancel", &CubeBuilder::cancel, py::call_guard<py::gil_scoped_release>());
}

}  // namespace sc_api_python
