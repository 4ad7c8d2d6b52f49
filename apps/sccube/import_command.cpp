#include <iostream>
#include <memory>

#include "cli_arguments.h"
#include "commands.h"
#include "exit_status.h"
#include "progress_bar.h"
#include "sc_api/sc_raw_import.h"

namespace {

struct ImportOptions {
    std::string foreign;
    std::string output;
    std::string to;
    bool clip = false;
    bool force = false;
    bool quiet = false;
};

void printSummary(const ImportOptions& options, const OutputTarget& target,
                  const SCRawImportReport& report) {
    const SCForeignRawLayout& layout = report.layout;
    std::cout << "read " << layout.width << " x " << layout.height << " pixels, " << layout.depth
              << " channels of " << layout.describe() << '\n';
    if (layout.calibrated) {
        std::cout << "calibration " << layout.calibration.evPerChannel << " eV per channel, "
                  << "channel 0 at " << layout.calibration.offsetEv << " eV\n";
    }
    if (report.clipped) {
        std::cout << "clipped " << report.outOfRange() << " values (" << report.negative
                  << " negative, " << report.fractional << " fractional, " << report.tooLarge
                  << " above 65535)\n";
    }
    std::cout << "wrote " << SCCubeProbe::outputFiles(target.base, target.form).front() << " ("
              << scCubeFormText(target.form) << ")" << std::endl;
    (void)options;
}

int runImport(const ImportOptions& options) {
    std::string error;
    const std::optional<OutputTarget> target = resolveOutput(options.output, options.to, error);
    if (!target) {
        return reportFailure(error, EXIT_USAGE);
    }
    SCRawImportReport report;
    SCStatus status;
    {
        ProgressBar progress("importing", "lines", options.quiet);
        status = SCRawImport::importCube(options.foreign, target->base, target->form, options.clip,
                                         options.force, report, &progress);
    }
    if (!status.ok()) {
        return reportFailure(status);
    }
    if (!options.quiet) {
        printSummary(options, *target, report);
    }
    return EXIT_OK;
}

}  // namespace

void addImportCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* command = app.add_subcommand(
        "import",
        "Import a .rpl/.raw pair written by another program: data-type signed, unsigned or "
        "float; data-length 1, 2, 4 or 8; byte-order little- or big-endian; record-by vector or "
        "image; any offset; keys in any case, comment lines, empty values. An energy "
        "calibration in the header (ev-per-chan, or depth-scale/depth-origin/depth-units) is "
        "kept with the cube. Values outside 0...65535 (negative, fractional, too large) are "
        "counted; the import is refused unless --clip is given.");
    command
        ->add_option("FOREIGN", options->foreign,
                     "the foreign header FOREIGN.rpl (its data: FOREIGN.raw)")
        ->required();
    command
        ->add_option("OUT", options->output,
                     "the cube to write: OUT.scdh, OUT.rpl/OUT.raw, or OUT without extension")
        ->required();
    command
        ->add_option("--to", options->to,
                     "form of the output: scd, raw-vector or raw-image (default: from OUT's "
                     "extension, else scd)")
        ->check(CLI::IsMember({"scd", "raw-vector", "raw-image"}));
    command->add_flag("--clip", options->clip,
                      "clip values outside 0...65535 (negative to 0, above to 65535) and round "
                      "fractional ones");
    command->add_flag("-f,--force", options->force, "replace an existing output cube");
    command->add_flag("-q,--quiet", options->quiet, "no progress bar and no summary");
    command->footer(kExitStatusHelp);
    command->callback([options, &status] { status = runImport(*options); });
}
