#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>

#include "bindings.h"
#include "cube_reader.h"

namespace py = pybind11;

namespace sc_api_python {
namespace {

// Every read allocates its numpy result while holding the interpreter lock, then fills it with
// the lock released, so that other Python threads run meanwhile.
py::array_t<std::uint16_t> readBlock(CubeReader& cube, IndexRange y, IndexRange x, IndexRange c) {
    py::array_t<std::uint16_t> block({y.size(), x.size(), c.size()});
    std::uint16_t* out = block.mutable_data();
    {
        py::gil_scoped_release unlocked;
        cube.readBlock(y, x, c, out);
    }
    return block;
}

py::array_t<std::uint16_t> readSpectrum(CubeReader& cube, unsigned y, unsigned x) {
    py::array_t<std::uint16_t> spectrum(cube.depth());
    std::uint16_t* out = spectrum.mutable_data();
    {
        py::gil_scoped_release unlocked;
        cube.readBlock({y, y + 1}, {x, x + 1}, {0, cube.depth()}, out);
    }
    return spectrum;
}

py::array_t<std::uint64_t> sumChannels(CubeReader& cube, IndexRange y, IndexRange x, IndexRange c) {
    py::array_t<std::uint64_t> sums({y.size(), x.size()});
    std::uint64_t* out = sums.mutable_data();
    {
        py::gil_scoped_release unlocked;
        cube.sumChannels(y, x, c, out);
    }
    return sums;
}

py::tuple sumRegion(CubeReader& cube,
                    py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast> mask,
                    std::int64_t y0, std::int64_t x0) {
    if (mask.ndim() != 2) {
        throw py::value_error("the mask must be two-dimensional");
    }
    py::array_t<std::uint64_t> spectrum(cube.depth());
    std::uint64_t* out = spectrum.mutable_data();
    const std::uint8_t* selected = mask.data();
    const auto height = static_cast<unsigned>(mask.shape(0));
    const auto width = static_cast<unsigned>(mask.shape(1));
    std::int64_t pixels = 0;
    {
        py::gil_scoped_release unlocked;
        pixels = cube.sumRegion(selected, height, width, y0, x0, out);
    }
    return py::make_tuple(spectrum, pixels);
}

py::array_t<bool> acquiredMap(CubeReader& cube) {
    py::array_t<bool> map({cube.height(), cube.width()});
    auto* out = reinterpret_cast<std::uint8_t*>(map.mutable_data());
    {
        py::gil_scoped_release unlocked;
        cube.acquiredMap(out);
    }
    return map;
}

}  // namespace

void bindCubeReader(py::module_& module) {
    py::class_<CubeReader>(module, "CubeReader")
        .def(py::init([](const std::string& path) {
                 py::gil_scoped_release unlocked;
                 return std::make_unique<CubeReader>(path);
             }),
             py::arg("path"))
        .def_property_readonly("path", &CubeReader::path)
        .def_property_readonly("width", &CubeReader::width)
        .def_property_readonly("height", &CubeReader::height)
        .def_property_readonly("depth", &CubeReader::depth)
        .def_property_readonly("factor", &CubeReader::factor)
        .def_property_readonly("version", &CubeReader::version)
        .def_property_readonly("format",
                               [](const CubeReader& cube) { return formatName(cube.format()); })
        .def_property_readonly("closed", &CubeReader::isClosed)
        .def_property_readonly("calibration",
                               [](const CubeReader& cube) -> py::object {
                                   const SCEnergyCalibration& scale = cube.calibration();
                                   if (!scale.isValid()) {
                                       return py::none();
                                   }
                                   return py::make_tuple(scale.evPerChannel, scale.offsetEv);
                               })
        .def("read_block",
             [](CubeReader& cube, unsigned y0, unsigned y1, unsigned x0, unsigned x1, unsigned c0,
                unsigned c1) {
                 return readBlock(cube, {y0, y1}, {x0, x1}, {c0, c1});
             })
        .def("read_spectrum", &readSpectrum)
        .def("sum_channels",
             [](CubeReader& cube, unsigned y0, unsigned y1, unsigned x0, unsigned x1, unsigned c0,
                unsigned c1) {
                 return sumChannels(cube, {y0, y1}, {x0, x1}, {c0, c1});
             })
        .def("sum_region", &sumRegion)
        .def("acquired", &acquiredMap)
        .def("close", [](CubeReader& cube) {
            py::gil_scoped_release unlocked;
            cube.close();
        });
}

}  // namespace sc_api_python
