#pragma once
// A practice's data folder as set-up makes it, filled with a large register
// and visit table, for the workloads that time set-up and clean-up; and the
// same rows in SQLite for those that compare against it.
#include "bench/common.h"

#include "data/setup.h"

#include <string>

namespace cn::bench {

// Set-up's surroundings with nobody at the keyboard: the clean-up's two
// warnings are answered OK (when allowed), any other message is a failure,
// and the clean-up's closing "Data Cleanup Complete" is taken as read.
class QuietSetup final : public cn::data::SetupObserver {
public:
    explicit QuietSetup(bool cleanup = false) : cleanup_(cleanup) {}
    void status(const std::string&) override {}
    void setRange(int, int, int) override {}
    void setValue(int, int) override {}
    int message(cn::data::SetupBox kind, const std::string& text) override;
    bool escapePressed() override { return false; }
    cn::data::Date today() override { return {2026, 6, 10}; }
    long secondsSinceMidnight() override { return 36000; }
private:
    bool cleanup_;
};

// One set-up run (a clean-up with the flag) on the folder, every table
// closed after it.
cn::data::Setup::Log runSetup(const std::string& folder, bool cleanup = false);

struct FolderShape {
    long patients = 0;
    long visits = 0;
    int visitDeletedEvery = 50;    // every n-th visit deleted
    int patientDeletedEvery = 97;  // every n-th patient deleted
};

// A folder made by set-up, then filled behind the indexes' backs with the
// patients and visits (each with a 500-byte prescription), and set up once
// more so that the indexes are built. With `mirror`, the same patients and
// visits (deleted ones flagged) go into its tables patnt and pvisit too.
void makeFolder(const std::string& folder, const FolderShape& shape, Sql* mirror = nullptr);

} // namespace cn::bench
