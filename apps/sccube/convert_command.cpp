#include <iostream>
#include <memory>

#include "cli_arguments.h"
#include "commands.h"
#include "exit_status.h"
#include "progress_bar.h"
#include "sc_api/sc_cube_conversion.h"

namespace {

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string to;
    bool force = false;
    bool quiet = false;
};

int runConvert(const ConvertOptions& options) {
    std::string error;
    const std::optional<OutputTarget> target = resolveOutput(options.output, options.to, error);
    if (!target) {
        return reportFailure(error, EXIT_USAGE);
    }
    SCStatus status;
    {
        ProgressBar progress("converting", "spectra", options.quiet);
        status = SCCubeConversion::convert(options.input, target->base, target->form, options.force,
                                           &progress);
    }
    if (!status.ok()) {
        return reportFailure(status);
    }
    if (!options.quiet) {
        std::cout << "wrote " << SCCubeProbe::outputFiles(target->base, target->form).front()
                  << " (" << scCubeFormText(target->form) << ")" << std::endl;
    }
    return EXIT_OK;
}

}  // namespace

void addConvertCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* command = app.add_subcommand(
        "convert",
        "Write a cube in another form: raw to compressed, compressed or fragmented to raw, "
        "fragmented to simple compressed, raw by vector to raw by image and back. The output "
        "is written under a temporary name and appears under OUT only when complete; a failed "
        "or interrupted conversion leaves nothing behind.");
    command
        ->add_option("IN", options->input, "the cube to read (NAME.scdh, NAME.rpl, NAME.raw, NAME)")
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
    command->add_flag("-f,--force", options->force, "replace an existing output cube");
    command->add_flag("-q,--quiet", options->quiet, "no progress bar and no summary");
    command->footer(kExitStatusHelp);
    command->callback([options, &status] { status = runConvert(*options); });
}
