#pragma once

#include <string>
#include <vector>

#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_status.h"

// The files of a new cube, written under a temporary base name beside the final one
// (final base + ".partial-" + process id) and renamed into place only when complete: data
// files first, then the calibration, the header last, so that a reader never finds a header
// whose data are missing. Until commit() succeeds the destructor removes everything written
// under the temporary name, including the writers' own temporary files.
class StagedOutput {
  public:
    StagedOutput(const std::string& finalBase, SCCubeForm form);
    ~StagedOutput();
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    // The base name under which the cube is to be written.
    const std::string& stagingBase() const { return stagingBase_; }

    // Checks before anything is written: SAME_INPUT_OUTPUT when a final file is one of
    // `inputFiles`; OUTPUT_EXISTS when a final file exists and `replace` is false; the reason
    // when files cannot be created in the output's directory.
    SCStatus prepare(const std::vector<std::string>& inputFiles, bool replace);

    // Checks that the staged cube opens and that its data files are as long as its index says;
    // WRITE_FAILED naming the final header otherwise.
    SCStatus verify() const;

    // Renames the staged files into place; a calibration file of an earlier cube of that name
    // is removed when none was staged. The error of the first rename that fails otherwise.
    SCStatus commit();

  private:
    // File name suffixes in the order they are published.
    std::vector<std::string> publishingOrder() const;

    std::string finalBase_;    // the cube's name once published
    std::string stagingBase_;  // the name it is written under
    SCCubeForm form_;          // RAW_VECTOR, RAW_IMAGE or SCD
    bool committed_ = false;   // the files have their final names
};
