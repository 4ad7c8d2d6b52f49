#pragma once

#include <string>

namespace CLI {
class App;
}

// "sccube recover NAME": makes the cube NAME (a simple or fragmented compressed cube, named
// without extension) of what an interrupted acquisition left beside it, and says how many lines
// it recovered. Exit status 0 on success, 1 when there was nothing to recover or it failed.
class RecoverCommand {
  public:
    // Adds the subcommand to `app`.
    explicit RecoverCommand(CLI::App& app);

    bool parsed() const;
    int run() const;

  private:
    CLI::App* command_;  // the subcommand, owned by the app
    std::string name_;   // the cube's name, without extension
};
