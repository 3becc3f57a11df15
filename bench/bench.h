#pragma once
// Benchmark workloads register themselves here; main runs them in order of
// registration within each file and prints one line each:
//   NAME ratio=R ours_s=X sqlite_s=Y
// (or, for a workload with no SQLite counterpart, its own figures).
#include <functional>
#include <string>
#include <vector>

namespace cn::bench {

struct Context {
    bool quick = false;         // small sizes
    std::string folder;         // a fresh temporary folder for this workload
};

struct Workload {
    std::string name;
    std::function<void(const Context&)> run;   // prints its own line(s)
};

std::vector<Workload>& registry();

struct Register {
    Register(std::string name, std::function<void(const Context&)> run)
    {
        registry().push_back({std::move(name), std::move(run)});
    }
};

// Seconds spent in f.
double timeIt(const std::function<void()>& f);
// The standard line for a workload timed against SQLite.
void report(const std::string& name, double oursSeconds, double sqliteSeconds);

} // namespace cn::bench
