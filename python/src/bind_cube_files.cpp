#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.h"
#include "cube_files.h"
#include "cube_reader.h"

namespace py = pybind11;

namespace sc_api_python {
namespace {

py::dict layoutDict(const SCForeignRawLayout& layout) {
    py::dict result;
    result["width"] = layout.width;
    result["height"] = layout.height;
    result["depth"] = layout.depth;
    result["description"] = layout.describe();
    if (layout.calibrated) {
        result["ev_per_channel"] = layout.calibration.evPerChannel;
        result["offset_ev"] = layout.calibration.offsetEv;
    }
    return result;
}

py::dict importCube(const std::string& rplPath, const std::string& target, const std::string& to,
                    bool clip, bool replace) {
    SCRawImportReport report;
    {
        py::gil_scoped_release unlocked;
        report = importRaw(rplPath, target, to, clip, replace);
    }
    py::dict result;
    result["layout"] = layoutDict(report.layout);
    result["values"] = report.values;
    result["negative"] = report.negative;
    result["fractional"] = report.fractional;
    result["too_large"] = report.tooLarge;
    result["clipped"] = report.clipped;
    return result;
}

py::dict check(const std::string& path) {
    SCIntegrityReport report;
    {
        py::gil_scoped_release unlocked;
        report = checkCube(path);
    }
    py::list mismatches;
    for (const SCValueMismatch& m : report.firstMismatches) {
        mismatches.append(py::make_tuple(m.x, m.y, m.channel, m.fromSpectrum, m.fromImage));
    }
    py::dict result;
    result["values_compared"] = report.valuesCompared;
    result["mismatch_count"] = report.mismatchCount;
    result["first_mismatches"] = mismatches;
    return result;
}

}  // namespace

void bindCubeFiles(py::module_& module) {
    const auto unlocked = py::call_guard<py::gil_scoped_release>();
    module.def("convert", &convertCube, py::arg("source"), py::arg("target"), py::arg("to"),
               py::arg("replace"), unlocked);
    module.def("import_rpl", &importCube, py::arg("rpl"), py::arg("target"), py::arg("to"),
               py::arg("clip"), py::arg("replace"));
    module.def("check", &check, py::arg("path"));
    module.def("remove", &removeCube, py::arg("path"), unlocked);
}

}  // namespace sc_api_python
