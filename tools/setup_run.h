#pragma once
// Set-up and clean-up on a data folder without windows: the same Setup the
// splash window runs, with an observer that prints each status line and
// message to standard output and answers clean-up's warnings with OK.
#include "data/setup.h"

#include <string>

namespace cn::tool {

struct SetupOutcome {
    int problems = 0;             // messages that reported a problem
    std::string firstProblem;     // the first of them
    cn::data::Setup::Log log;
};

SetupOutcome runSetup(const std::string& folder, bool cleanup);

} // namespace cn::tool
