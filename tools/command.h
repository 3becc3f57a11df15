#pragma once
// Subcommands of curanote-data register themselves here.
#include <functional>
#include <string>
#include <vector>

namespace cn::tool {

struct Command {
    std::string name;
    std::string usage;                                   // one or more lines for the usage text
    std::function<int(const std::vector<std::string>& args)> run;   // args after the name; exit status
};

std::vector<Command>& commands();

struct Register {
    Register(Command c) { commands().push_back(std::move(c)); }
};

} // namespace cn::tool
