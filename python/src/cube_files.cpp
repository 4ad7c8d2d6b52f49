#include "cube_files.h"

#include "library_error.h"
#include "sc_api/sc_cube_conversion.h"

namespace sc_api_python {
namespace {

// The extension of the file name (directories do not count), the dot included; empty if none.
std::string extensionOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return path.substr(dot);
}

SCCubeForm formNamed(const std::string& name) {
    if (name == "scd") {
        return SCCubeForm::SCD;
    }
    if (name == "raw-vector") {
        return SCCubeForm::RAW_VECTOR;
    }
    if (name == "raw-image") {
        return SCCubeForm::RAW_IMAGE;
    }
    throw InvalidArgument("unknown cube form '" + name +
                          "': expected 'scd', 'raw-vector' or 'raw-image'");
}

}  // namespace

OutputTarget OutputTarget::resolve(const std::string& target, const std::string& to) {
    const std::string extension = extensionOf(target);
    const bool raw = extension == ".rpl" || extension == ".raw";
    const bool known = raw || extension == ".scdh";
    OutputTarget output{known ? target.substr(0, target.size() - extension.size()) : target,
                        raw ? SCCubeForm::RAW_VECTOR : SCCubeForm::SCD};
    if (!to.empty()) {
        const SCCubeForm form = formNamed(to);
        if (known && (form == SCCubeForm::SCD) == raw) {
            throw InvalidArgument("the form '" + to + "' does not match the target '" + target +
                                  "': 'scd' is written as .scdh, the raw forms as .rpl/.raw");
        }
        output.form = form;
    }
    return output;
}

void convertCube(const std::string& source, const std::string& target, const std::string& to,
                 bool replace) {
    const OutputTarget output = OutputTarget::resolve(target, to);
    throwIfFailed(SCCubeConversion::convert(source, output.base, output.form, replace, nullptr));
}

SCRawImportReport importRaw(const std::string& rplPath, const std::string& target,
                            const std::string& to, bool clip, bool replace) {
    const OutputTarget output = OutputTarget::resolve(target, to);
    SCRawImportReport report;
    throwIfFailed(
        SCRawImport::importCube(rplPath, output.base, output.form, clip, replace, report, nullptr));
    return report;
}

SCIntegrityReport checkCube(const std::string& path) {
    SCIntegrityReport report;
    throwIfFailed(SCIntegrityCheck::check(path, report, nullptr));
    return report;
}

void removeCube(const std::string& path) {
    throwIfFailed(SCCubeProbe::remove(path));
}

}  // namespace sc_api_python
