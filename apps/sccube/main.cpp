#include <CLI/CLI.hpp>

#include "call_command.h"
#include "commands.h"
#include "demo.h"
#include "exit_status.h"
#include "recover_command.h"
#include "serve_command.h"

int main(int argc, char** argv) {
    CLI::App app{"sccube: look at, convert, check and import spectral-image cubes"};
    app.require_subcommand(1);
    app.footer(kExitStatusHelp);
    int status = EXIT_OK;
    addInfoCommand(app, status);
    addConvertCommand(app, status);
    addSpectrumCommand(app, status);
    addImageCommand(app, status);
    addCheckCommand(app, status);
    addRmCommand(app, status);
    addImportCommand(app, status);
    addServeCommand(app, status);
    addCallCommand(app, status);

    DemoOptions demo;
    CLI::App* demoCommand =
        app.add_subcommand("demo",
                           "synthesise a spectrum image, store it, read it back, "
                           "render element maps");
    demoCommand->add_option("--out", demo.outputDirectory, "directory for the files written")
        ->capture_default_str();
    demoCommand->add_option("--width", demo.synthesis.width, "pixels per line")
        ->capture_default_str()
        ->check(CLI::Range(1u, 4096u));
    demoCommand->add_option("--height", demo.synthesis.height, "lines")
        ->capture_default_str()
        ->check(CLI::Range(1u, 4096u));
    demoCommand->add_option("--channels", demo.synthesis.channels, "channels of 10 eV")
        ->capture_default_str()
        ->check(CLI::Range(1024u, 8192u));
    demoCommand->add_option("--counts", demo.synthesis.meanCountsPerPixel, "mean counts per pixel")
        ->capture_default_str()
        ->check(CLI::Range(1.0, 20000.0));
    demoCommand->add_option("--seed", demo.synthesis.seed, "random seed")->capture_default_str();

    const RecoverCommand recover(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& success) {
        return app.exit(success);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return EXIT_USAGE;
    }
    if (demoCommand->parsed()) {
        return runDemo(demo);
    }
    if (recover.parsed()) {
        return recover.run();
    }
    return status;
}
