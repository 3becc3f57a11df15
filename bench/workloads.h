#pragma once
// The benchmark's workloads; registered in order in workloads.cpp.
#include "bench/bench.h"

namespace cn::bench {

void runAppend(const Context& ctx);
void runIndexBuild(const Context& ctx);
void runSeek(const Context& ctx);
void runScanWords(const Context& ctx);
void runQuerySearch(const Context& ctx);
void runQueryScroll(const Context& ctx);
void runCheck(const Context& ctx);
void runSetupIdle(const Context& ctx);
void runBackup(const Context& ctx);
void runCleanupFull(const Context& ctx);

} // namespace cn::bench
