#pragma once
// Shared by the set-up, clean-up and catalogue tests: a throw-away data
// folder and a scripted observer that records what set-up showed.
#include "data/catalog.h"
#include "data/setup.h"
#include "data/workspace.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace cn::data::testing {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder()
    {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("curanote-setup-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string str() const { return path_.string(); }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline std::string readBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Shown {
    SetupBox kind;
    std::string text;
};

class ScriptedObserver final : public SetupObserver {
public:
    void status(const std::string& text) override
    {
        statuses.push_back(text);
        if (escapeWhen && escapeWhen(text))
            escape = true;
        if (onStatus)
            onStatus(text);
    }
    void setRange(int bar, int, int maximum) override { ranges.emplace_back(bar, maximum); }
    void setValue(int bar, int value) override { values[bar] = value; }
    int message(SetupBox kind, const std::string& text) override
    {
        shown.push_back({kind, text});
        if (kind != SetupBox::OkCancel)
            return 1;
        if (answers.empty())
            return 2;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    bool escapePressed() override { return std::exchange(escape, false); }
    Date today() override { return {2026, 6, 10}; }
    long secondsSinceMidnight() override { return 37800; }
    void setMenusEnabled(bool on) override { menus.push_back(on); }
    void release() override { ++released; }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> t;
        for (const auto& s : shown)
            t.push_back(s.text);
        return t;
    }
    bool sawStatus(const std::string& verbAndName) const
    {
        for (const auto& s : statuses)
            if (s.find(verbAndName + " ") != std::string::npos)
                return true;
        return false;
    }

    std::vector<std::string> statuses;
    std::vector<Shown> shown;
    std::deque<int> answers;
    std::function<bool(const std::string&)> escapeWhen;
    std::function<void(const std::string&)> onStatus;   // e.g. another copy acting at that moment
    bool escape = false;
    std::vector<std::pair<int, int>> ranges;   // (bar, maximum) as set
    int values[4] = {};
    std::vector<bool> menus;
    int released = 0;
};

// A set-up run on a folder, as the program does it at start-up.
inline Setup::Log runSetup(Workspace& ws, ScriptedObserver& obs, bool cleanup = false,
                           std::function<void(std::string_view)> checkpoint = {})
{
    Setup s(ws, obs);
    s.checkpoint = std::move(checkpoint);
    s.SETUP_PROCESS(cleanup);
    return s.log();
}

inline std::string trimmed(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// The values of one field over every record of a table in record order,
// deleted ones included, with "*" before a deleted record's value.
inline std::vector<std::string> column(Workspace& ws, const std::string& table, const std::string& field)
{
    std::vector<std::string> out;
    const bool was = ws.deletedVisible();
    ws.setDeletedVisible(true);
    auto a = ws.use(table, "_col", OpenMode{true, true});
    EXPECT_TRUE(a) << a.message();
    if (a) {
        for (uint32_t r = 1; r <= (*a)->lastRec(); ++r) {
            (*a)->goTo(r);
            const FieldDef f = (*a)->fieldInfo((*a)->fieldPos(field));
            std::string v = f.type == 'M' ? (*a)->memo(field) : trimmed((*a)->str(field));
            if (f.type == 'N')
                v = std::to_string(static_cast<long long>((*a)->num(field)));
            out.push_back(((*a)->deleted() ? "*" : "") + v);
        }
        ws.closeArea("_col");
    }
    ws.setDeletedVisible(was);
    return out;
}

// No temporary file of set-up or clean-up is left in the folder.
inline void expectNoLeftovers(const TempFolder& dir)
{
    for (const char* f : {"packtemp.dbf", "packtemp.dbt", "packtemp.job", "_temp.dbf", "_temp.dbt"})
        EXPECT_FALSE(fs::exists(dir / f)) << f;
}

} // namespace cn::data::testing
