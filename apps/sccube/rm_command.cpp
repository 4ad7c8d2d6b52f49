#include <memory>

#include "commands.h"
#include "exit_status.h"
#include "sc_api/sc_cube_probe.h"

namespace {

int runRm(const std::string& cube) {
    const SCStatus status = SCCubeProbe::remove(cube);
    return status.ok() ? EXIT_OK : reportFailure(status);
}

}  // namespace

void addRmCommand(CLI::App& app, int& status) {
    auto cube = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand(
        "rm",
        "Remove every file of a cube and nothing else: NAME.rpl and NAME.raw of a raw cube; "
        "NAME.scdh, NAME.scds and NAME.scdi of a compressed one; the area map and every area "
        "cube of a fragmented one; and the cube's calibration file.");
    command->add_option("CUBE", *cube, "the cube (NAME.scdh, NAME.rpl, NAME.raw, NAME)")
        ->required();
    command->footer(kExitStatusHelp);
    command->callback([cube, &status] { status = runRm(*cube); });
}
