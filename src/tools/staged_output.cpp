#include "tools/staged_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "sc_api/sc_energy_calibration.h"
#include "sc_api/scd.h"
#include "tools/file_access.h"
#include "tools/scd_index_check.h"

namespace {

bool isRaw(SCCubeForm form) {
    return form == SCCubeForm::RAW_VECTOR || form == SCCubeForm::RAW_IMAGE;
}

// Temporary files the SCD writers leave under a cube's name while they run.
const char* const kWriterTemporaries[] = {"__tmp_spectrum_file", "__tmp_image_file.raw",
                                          "__tmp_image_symbols", "__tmp__raw__image.raw",
                                          "__tmp_spectrum_symbols"};

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

}  // namespace

StagedOutput::StagedOutput(const std::string& finalBase, SCCubeForm form)
    : finalBase_(finalBase),
      stagingBase_(finalBase + ".partial-" + std::to_string(::getpid())),
      form_(form) {}

StagedOutput::~StagedOutput() {
    if (committed_) {
        return;
    }
    for (const std::string& suffix : publishingOrder()) {
        std::remove((stagingBase_ + suffix).c_str());
    }
    for (const char* temporary : kWriterTemporaries) {
        std::remove((stagingBase_ + temporary).c_str());
    }
}

std::vector<std::string> StagedOutput::publishingOrder() const {
    if (isRaw(form_)) {
        return {".raw", SCEnergyCalibration::EXTENSION, ".rpl"};
    }
    return {SCD::SPECTRUM_FILE_EXTENSION, SCD::IMAGE_FILE_EXTENSION, SCEnergyCalibration::EXTENSION,
            SCD::HEADER_EXTENSION};
}

SCStatus StagedOutput::prepare(const std::vector<std::string>& inputFiles, bool replace) {
    for (const std::string& output : SCCubeProbe::outputFiles(finalBase_, form_)) {
        for (const std::string& input : inputFiles) {
            if (sameFile(input, output)) {
                return {SCProblem::SAME_INPUT_OUTPUT, output};
            }
        }
        if (!replace && pathExists(output)) {
            return {SCProblem::OUTPUT_EXISTS, output, "use --force to replace it"};
        }
    }
    const std::string firstFile = SCCubeProbe::outputFiles(finalBase_, form_).front();
    SCStatus creatable = checkCreatable(stagingBase_ + publishingOrder().back());
    if (!creatable.ok()) {
        creatable.file = firstFile;
        if (creatable.problem == SCProblem::MISSING_FILE) {
            creatable.detail = "its directory does not exist";
        }
    }
    return creatable;
}

SCStatus StagedOutput::verify() const {
    const std::string header = SCCubeProbe::outputFiles(finalBase_, form_).front();
    const SCOpenedCube staged =
        SCCubeProbe::open(stagingBase_ + (isRaw(form_) ? ".rpl" : SCD::HEADER_EXTENSION));
    if (!staged.status.ok() || (!isRaw(form_) && !scdDataFilesComplete(stagingBase_))) {
        return {SCProblem::WRITE_FAILED, header, writeFailureDetail(stagingBase_)};
    }
    return {};
}

SCStatus StagedOutput::commit() {
    for (const std::string& suffix : publishingOrder()) {
        const std::string staged = stagingBase_ + suffix;
        const std::string final = finalBase_ + suffix;
        if (suffix == SCEnergyCalibration::EXTENSION && !pathExists(staged)) {
            std::remove(final.c_str());
            continue;
        }
        if (std::rename(staged.c_str(), final.c_str()) != 0) {
            return statusFromErrno(errno, final, SCProblem::WRITE_FAILED);
        }
    }
    committed_ = true;
    return {};
}
