#pragma once

#include <CLI/CLI.hpp>

// `sccube call`: calls one method of a running host from a shell, for scripts and debugging,
// and prints {"status": S, "results": {...}} as JSON. Its exit status (0 when the method
// answered 1, 1 otherwise, 2 for a bad argument) goes to `status`.
void addCallCommand(CLI::App& app, int& status);
