#pragma once
// The one fixture of the window tests and the benchmark: a data folder made
// by the set-up logic (every table and the sample patient) and open as the
// program opens it, the main window with the program's list of windows,
// scripted message boxes and a fixed clock (10 June 2026). A test opens its
// window through the window's opener, as the menu does, and drives it by
// control names.
#include "support/testing.h"

#include "app/mainwindow.h"
#include "data/setup.h"

#include <QPointer>
#include <QString>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace cn::testing {

// Set-up without a window: every box is answered OK and its text kept.
class QuietSetup final : public data::SetupObserver {
public:
    void status(const std::string&) override {}
    void setRange(int, int, int) override {}
    void setValue(int, int) override {}
    int message(data::SetupBox, const std::string& text) override
    {
        shown.push_back(text);
        return 1;
    }
    bool escapePressed() override { return false; }
    data::Date today() override { return {2026, 6, 10}; }
    long secondsSinceMidnight() override { return 37800; }
    std::vector<std::string> shown;
};

// Table writes through the engine, as another window would, for a test to
// set up its data: a live record appended with the given field values (its
// record number, 0 when a write failed), and a record marked deleted.
uint32_t appendRecord(const char* alias, std::initializer_list<std::pair<const char*, double>> numbers,
                      std::initializer_list<std::pair<const char*, const char*>> texts = {});
bool markDeleted(const char* alias, uint32_t rec);

class ProgramFixture {
public:
    // Runs set-up on `folder` (which must exist) and opens it.
    explicit ProgramFixture(const QString& folder);
    ~ProgramFixture();
    ProgramFixture(const ProgramFixture&) = delete;
    ProgramFixture& operator=(const ProgramFixture&) = delete;

    const QString& folder() const { return folder_; }
    // What set-up said; empty for a folder that was made cleanly.
    const std::vector<std::string>& setupMessages() const { return setup_.shown; }
    MainWindow* mainWindow() const { return main_; }
    ScriptedMessages& messages() { return *messages_; }
    FixedClock& clock() { return *clock_.operator->(); }

    // Closes every table and opens them all again as start-up does (after a
    // caller rebuilt a table behind the program's back).
    void reopen();

private:
    QString folder_;
    ScopedClock clock_;
    ScopedMessages messages_;
    QuietSetup setup_;
    QPointer<MainWindow> main_;
};

} // namespace cn::testing
