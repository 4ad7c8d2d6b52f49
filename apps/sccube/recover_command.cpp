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
        std::cerr << "sccube recover: nothing recovered for " << name_ << " (code " << result
                  << "; no interrupted acquisition, one still running, or a write failed)\n";
        return 1;
    }
    std::cout << name_ << ": " << result << " line" << (result == 1 ? "" : "s") << " recovered\n";
    return 0;
}
