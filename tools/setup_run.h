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

// Prints each status line (once, trimmed) and each message, answers
// clean-up's warnings with OK, and counts the messages that report a
// problem.
class PrintingObserver final : public cn::data::SetupObserver {
public:
    void status(const std::string& text) override;
    void setRange(int, int, int) override {}
    void setValue(int, int) override {}
    int message(cn::data::SetupBox kind, const std::string& text) override;
    bool escapePressed() override { return false; }
    cn::data::Date today() override;
    long secondsSinceMidnight() override;

    SetupOutcome outcome;

private:
    std::string last_;
};

SetupOutcome runSetup(const std::string& folder, bool cleanup);

} // namespace cn::tool
