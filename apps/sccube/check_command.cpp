#include <iostream>
#include <memory>

#include "commands.h"
#include "exit_status.h"
#include "progress_bar.h"
#include "sc_api/sc_integrity_check.h"

namespace {

struct CheckOptions {
    std::string cube;
    bool quiet = false;
};

int runCheck(const CheckOptions& options) {
    SCIntegrityReport report;
    SCStatus status;
    {
        ProgressBar progress("checking", "values", options.quiet);
        status = SCIntegrityCheck::check(options.cube, report, &progress);
    }
    if (!status.ok()) {
        return reportFailure(status);
    }
    if (report.consistent()) {
        if (!options.quiet) {
            std::cout << options.cube << ": spectra and images agree (" << report.valuesCompared
                      << " values)" << std::endl;
        }
        return EXIT_OK;
    }
    for (const SCValueMismatch& m : report.firstMismatches) {
        std::cout << "pixel " << m.x << ", " << m.y << " channel " << m.channel << ": spectrum "
                  << m.fromSpectrum << ", image " << m.fromImage << '\n';
    }
    std::cout << options.cube << ": " << report.mismatchCount << " of " << report.valuesCompared
              << " values differ between spectra and images" << std::endl;
    return EXIT_INCONSISTENT;
}

}  // namespace

void addCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check",
        "Check a cube's integrity: read every value once through the spectra and once through "
        "the channel images and compare. Exit status 0 only when they agree; 1 lists the first "
        "differences and their number.");
    command->add_option("CUBE", options->cube, "the cube (NAME.scdh, NAME.rpl, NAME.raw, NAME)")
        ->required();
    command->add_flag("-q,--quiet", options->quiet, "no progress bar and no summary line");
    command->footer(kExitStatusHelp);
    command->callback([options, &status] { status = runCheck(*options); });
}
