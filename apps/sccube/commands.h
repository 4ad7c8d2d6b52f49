#pragma once

#include <CLI/CLI.hpp>

// The subcommands of sccube. Each adds itself to `app`; when it is given on the command line,
// its callback runs it and stores the exit status (exit_status.h) in `status`. Everything a
// subcommand does beyond parsing, formatting and showing progress is a library call.

void addInfoCommand(CLI::App& app, int& status);
void addConvertCommand(CLI::App& app, int& status);
void addSpectrumCommand(CLI::App& app, int& status);
void addImageCommand(CLI::App& app, int& status);
void addCheckCommand(CLI::App& app, int& status);
void addRmCommand(CLI::App& app, int& status);
void addImportCommand(CLI::App& app, int& status);
