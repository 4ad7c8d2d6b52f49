#include "sc_api/sc_cube_conversion.h"

#include <string>

#include "sc_api/sc_energy_calibration.h"
#include "sc_api/sc_error_text.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"
#include "tools/file_access.h"
#include "tools/progress_sources.h"
#include "tools/staged_output.h"

namespace {

SCStatus encodeScd(SCFile& cube, const std::string& base, SCProgress* progress) {
    CubeSpectrumSource source(cube, progress);
    const int result = SCD::encode(source, base);
    if (source.stopped()) {
        return {SCProblem::INTERRUPTED, {}};
    }
    if (result == SC_ALLOCATION_ERROR) {
        return {SCProblem::OUT_OF_MEMORY,
                {},
                "the compressed cube needs more memory than the machine has"};
    }
    if (result != SC_OK) {
        return {SCProblem::WRITE_FAILED, base + SCD::HEADER_EXTENSION, scErrorText(result)};
    }
    return {};
}

SCStatus saveRaw(SCFile& cube, const std::string& base, SCCubeForm to, SCProgress* progress) {
    ProgressCube counted(cube, progress);
    const SCErrorCode result = SCRawIO::saveSCCube(
        base, counted,
        to == SCCubeForm::RAW_IMAGE ? SCRawHeader::RECORD_BY_IMAGE : SCRawHeader::RECORD_BY_VECTOR);
    if (counted.stopped()) {
        return {SCProblem::INTERRUPTED, {}};
    }
    if (result == SC_OUT_OF_RANGE) {
        return {SCProblem::OUT_OF_MEMORY, {}, "a line of the cube does not fit in memory"};
    }
    if (result != SC_OK) {
        return {SCProblem::WRITE_FAILED, base + ".raw", writeFailureDetail(base)};
    }
    return {};
}

SCStatus copyCalibration(const std::string& from, const std::string& to) {
    SCEnergyCalibration calibration;
    if (!SCEnergyCalibration::read(from, calibration)) {
        return {};
    }
    return calibration.write(to);
}

}  // namespace

SCStatus SCCubeConversion::convert(const std::string& input, const std::string& outputBase,
                                   SCCubeForm to, bool replace, SCProgress* progress) {
    if (to == SCCubeForm::FRAGMENTED_SCD) {
        return {SCProblem::INVALID_ARGUMENT, outputBase, "fragmented cubes are only acquired"};
    }
    SCOpenedCube opened = SCCubeProbe::open(input);
    if (!opened.status.ok()) {
        return opened.status;
    }
    const SCFile& cube = *opened.cube;
    if (to != SCCubeForm::SCD && (cube.width() == 0 || cube.height() == 0 || cube.depth() == 0)) {
        // The raw readers refuse such a cube: the output could never be opened.
        return {SCProblem::UNSUPPORTED_LAYOUT, outputBase,
                "a raw cube cannot have a zero dimension, and this one is " +
                    std::to_string(cube.width()) + " x " + std::to_string(cube.height()) + " x " +
                    std::to_string(cube.depth())};
    }
    StagedOutput output(outputBase, to);
    SCStatus status = output.prepare(SCCubeProbe::files(opened.base, opened.form), replace);
    if (!status.ok()) {
        return status;
    }
    status = to == SCCubeForm::SCD ? encodeScd(*opened.cube, output.stagingBase(), progress)
                                   : saveRaw(*opened.cube, output.stagingBase(), to, progress);
    opened.cube.release();
    if (status.ok()) {
        status = output.verify();
    }
    if (status.ok()) {
        status = copyCalibration(opened.base, output.stagingBase());
    }
    if (status.problem == SCProblem::WRITE_FAILED ||
        status.problem == SCProblem::PERMISSION_DENIED) {
        status.file = SCCubeProbe::outputFiles(outputBase, to).front();
    }
    return status.ok() ? output.commit() : status;
}
