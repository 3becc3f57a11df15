#pragma once
// The catalogue of the data folder: the 22 tables in set-up order with their
// fields as stored, the 46 index files with their key texts, the memo files,
// and the work areas the program opens at start-up with their orders.
//
// This is the one definition of the folder. Set-up creates and checks tables
// from it, the index pass builds indexes from it, clean-up rebuilds tables
// from it, and opening attaches the orders it lists.
#include "data/types.h"

#include <string>
#include <string_view>
#include <vector>

namespace cn::data::catalog {

// ORDBAGEXT: the extension of an index file.
inline constexpr std::string_view kIndexExt = ".ntx";
inline constexpr int kTableCount = 22;
inline constexpr int kIndexCount = 46;

struct IndexDef {
    std::string name;      // lower case, as the program opens it: "patnt1"
    std::string key;       // key expression text as stored in the file
    int table = 0;         // set-up number of its table, 1..22
    int number = 0;        // set-up number of the index, 1..46
    std::string fileName() const;   // "PATNT1.ntx": upper-case name plus the extension
};

struct TableDef {
    int number = 0;                // set-up number, 1..22
    std::string name;              // lower-case base name: "patnt"
    Structure fields;              // in stored order
    std::vector<int> indexes;      // set-up numbers of its indexes, in order (order 1 first)

    bool hasMemo() const;          // a memo field, hence a .dbt beside the table
    std::string upperName() const;       // "PATNT" (status texts, file names)
    std::string fileName() const;        // "PATNT.dbf"
    std::string memoFileName() const;    // "PATNT.dbt"
    const FieldDef* field(std::string_view name) const;   // case-insensitive
};

// The 22 tables, index 0 = table 1.
const std::vector<TableDef>& tables();
// The 46 indexes, index 0 = index 1; grouped by table in set-up order.
const std::vector<IndexDef>& indexes();

const TableDef& table(int number);                 // 1..22
const TableDef* findTable(std::string_view name);  // by base name, case-insensitive
const IndexDef& index(int number);                 // 1..46
const IndexDef* findIndex(std::string_view name);  // by index name, case-insensitive

// A master table whose faulty records (blank name, zero code) are reported
// after the table is opened.
struct BlankCheck {
    char letter = 0;               // 'A'..'I'
    std::string nameField;         // blank name
    std::string codeField;         // zero code
    std::string parentField;       // zero parent code, "" when none
    std::string message;           // the information message shown
};

// One work area opened at start-up (shared, writable), in opening order.
struct OpenStep {
    int step = 0;                  // 1..25
    std::string table;             // base name
    std::string alias;
    std::vector<int> orders;       // index numbers attached in this order
    const BlankCheck* check = nullptr;
};

const std::vector<OpenStep>& openSteps();
const std::vector<BlankCheck>& blankChecks();

// The aliases a table is open under while the program runs.
std::vector<std::string> aliasesOf(std::string_view table);

// Case-insensitive comparison of ASCII names (file names, field names, keys).
bool sameName(std::string_view a, std::string_view b);
std::string upper(std::string_view s);
std::string lower(std::string_view s);

} // namespace cn::data::catalog
