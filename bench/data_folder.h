#pragma once
// A data folder as the program keeps one, for the workloads that need a
// whole folder: made by set-up, filled with patients and visits (each visit
// with a 500-byte prescription), every index built.
#include "data/setup.h"

#include <string>

namespace cn::bench {

// Set-up on the folder with an observer that fails the benchmark on any message.
cn::data::Setup::Log runQuietSetup(const std::string& folder);
// `patients` patients (every 97th deleted) and `visits` visits (every 50th deleted).
void makeDataFolder(const std::string& folder, long patients, long visits);

} // namespace cn::bench
