#pragma once
// A visit table with its five indexes on both sides, as index_build leaves it.
#include "bench/bench.h"

#include <string>
#include <vector>

namespace cn::bench {

struct IndexedVisits {
    std::string oursFolder, tablePath, sqlitePath;
    std::vector<std::string> indexPaths;
    double oursSeconds = 0, sqliteSeconds = 0;     // building the indexes
};

IndexedVisits buildIndexedVisits(const Context& ctx);

} // namespace cn::bench
