#pragma once

#include <CLI/CLI.hpp>

// `sccube serve`: hosts the cube service for other processes until SIGINT or SIGTERM. When it
// is given on the command line, its callback runs the host and stores the exit status (0, or
// 1 when the host could not start) in `status`.
void addServeCommand(CLI::App& app, int& status);
