#include "recover_command.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "sc_api/scd.h"

RecoverCommand::RecoverCommand(CLI::App& app)
    : command_(app.add_subcommand(
          "recover", "make a valid cube of the lines an interrupted acquisition stored")) {
    command_->add_option("name", name_, "the cube's name, without extension")->required();
}

bool RecoverCommand::parsed() const {
    return command_->parsed();
}

int RecoverCommand::run() const {
    const int result = SCD::recover(name_);
    if (result < 0) {
        const char* why = result == SC_FILE_ERROR
                              ? "no interrupted acquisition, or one still running"
                          : result == SC_FORMAT_ERROR     ? "its journal or area map is damaged"
                          : result == SC_ALLOCATION_ERROR ? "not enough memory for its indexes"
                                                          : "the cube could not be written";
        std::cerr << "sccube recover: nothing recovered for " << name_ << " (code " << result
                  << "; " << why << "); the temporaries are kept\n";
        return 1;
    }
    std::cout << name_ << ": " << result << " line" << (result == 1 ? "" : "s") << " recovered\n";
    return 0;
}
