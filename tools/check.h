#pragma once
// The soundness check of a table, its memo file and its index files, and of
// a whole data folder, shared by `curanote-data check` and `verify` and the
// benchmark.
//
// It looks at the bytes through the engine's file layers, not through work
// areas, so that it can report every problem instead of stopping at the
// first: header against file size, record flags, memo pointers, and for each
// index its tree structure, one key per record, key order, and each key
// against the key computed from its record by the index's own expression.
#include <cstdint>
#include <string>
#include <vector>

namespace cn::tool {

struct CheckResult {
    std::vector<std::string> problems;    // one line each, naming the file
    uint32_t records = 0;                 // records examined
    bool ok() const { return problems.empty(); }
};

// Problems of one kind beyond this many are summed up in one line, so that a
// missing index on a large table gives a readable report.
constexpr size_t kProblemsPerKind = 20;

CheckResult checkTable(const std::string& dbfPath, const std::vector<std::string>& indexPaths);

// The whole data folder: every table of the catalogue against its definition
// (each defined field present with its type, width and decimals; extra fields
// are allowed, as set-up keeps them), every index file's key text against the
// catalogue, then checkTable over each table with its indexes; and files left
// by a set-up or clean-up that did not finish. records counts every table's.
CheckResult checkFolder(const std::string& folder);

// Lists the problems of r on standard output and a last line saying how many
// were found in what; returns the one line for standard error.
std::string printProblems(const CheckResult& r, const std::string& what);

} // namespace cn::tool
