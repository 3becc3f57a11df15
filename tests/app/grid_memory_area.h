#pragma once
// An in-memory work area for the browse tests: records with a code and a
// name, order 1 on the live flag + upper-case name, and an optional scope.
// It counts every record step of skip(), so a test can tell how much of the
// table the grid read.
#include "data/workspace.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace cn::testing {

class MemoryArea final : public data::WorkArea {
public:
    struct Rec {
        long long code = 0;
        std::string name;   // 20 wide
        bool deleted = false;
    };

    MemoryArea() : alias_("memo"), path_("memory.dbf")
    {
        structure_ = {{"CODE", 'N', 10, 0}, {"NAME", 'C', 20, 0}};
    }

    void add(long long code, std::string name)
    {
        name.resize(20, ' ');
        recs_.push_back({code, name, false});
        dirty_ = true;
    }
    void markDeleted(uint32_t rec) { recs_[rec - 1].deleted = true; dirty_ = true; }

    long long steps = 0;      // records passed by skip()
    int keyNoCalls = 0;

    const std::string& alias() const override { return alias_; }
    const std::string& path() const override { return path_; }
    bool shared() const override { return true; }
    bool readOnly() const override { return false; }
    const data::Structure& structure() const override { return structure_; }
    int fieldPos(std::string_view name) const override
    {
        for (size_t i = 0; i < structure_.size(); ++i)
            if (structure_[i].name == name)
                return static_cast<int>(i) + 1;
        return 0;
    }
    data::FieldDef fieldInfo(int pos) const override { return structure_.at(static_cast<size_t>(pos) - 1); }

    data::Status setIndex(const std::string&) override { return {}; }
    data::Status setOrder(int n) override { order_ = n; dirty_ = true; return {}; }
    int indexOrd() const override { return order_; }
    int orderCount() const override { return 1; }
    std::string indexKey(int) const override { return "iif(deleted(),'T','F')+upper(name)"; }
    data::Status createIndex(const std::string&, const std::string&, bool) override { return {}; }

    void setScopeTop(std::optional<std::string> top) override { top_ = std::move(top); dirty_ = true; }
    void setScopeBottom(std::optional<std::string> bottom) override { bottom_ = std::move(bottom); dirty_ = true; }

    bool seek(std::string_view key, bool soft = false) override
    {
        rebuild();
        offRec_ = 0;
        auto it = std::lower_bound(view_.begin(), view_.end(), std::string(key),
                                   [this](uint32_t r, const std::string& k) { return keyOf(r) < k; });
        found_ = it != view_.end() && keyOf(*it).compare(0, key.size(), key) == 0;
        pos_ = (found_ || soft) ? static_cast<long>(it - view_.begin()) : static_cast<long>(view_.size());
        return found_;
    }
    bool found() const override { return found_; }
    void goTop() override { rebuild(); offRec_ = 0; pos_ = 0; }
    void goBottom() override { rebuild(); offRec_ = 0; pos_ = view_.empty() ? 0 : static_cast<long>(view_.size()) - 1; }
    void goTo(uint32_t recNo) override
    {
        rebuild();
        offRec_ = 0;
        auto it = std::find(view_.begin(), view_.end(), recNo);
        pos_ = static_cast<long>(it - view_.begin());
        if (it == view_.end())
            offRec_ = recNo;   // a record outside the order's view (or past the end)
    }
    void skip(long n) override
    {
        rebuild();
        offRec_ = 0;
        steps += std::labs(n);
        pos_ = std::clamp<long>(pos_ + n, 0, static_cast<long>(view_.size()));
    }
    bool eof() const override { return pos_ >= static_cast<long>(view_.size()); }
    bool bof() const override { return false; }
    uint32_t recNo() const override
    {
        if (eof())
            return offRec_ && offRec_ <= recs_.size() ? offRec_ : lastRec() + 1;
        return view_[static_cast<size_t>(pos_)];
    }
    uint32_t lastRec() const override { return static_cast<uint32_t>(recs_.size()); }
    uint32_t keyNo() override
    {
        ++keyNoCalls;
        rebuild();
        return eof() ? 0 : static_cast<uint32_t>(pos_ + 1);
    }
    uint32_t keyCount() override { rebuild(); return static_cast<uint32_t>(view_.size()); }

    void setFilter(data::Condition, std::string) override {}
    void clearFilter() override {}
    bool locate(data::Condition) override { return false; }
    void eval(const data::Action&, const data::Condition&) override {}
    data::Status setRelation(const std::string&, const std::string&) override { return {}; }
    void clearRelations() override {}

    bool deleted() const override { return !eof() && recs_[recNo() - 1].deleted; }
    std::string str(std::string_view field) const override
    {
        return !eof() && field == "NAME" ? recs_[recNo() - 1].name : std::string(20, ' ');
    }
    double num(std::string_view field) const override
    {
        return !eof() && field == "CODE" ? static_cast<double>(recs_[recNo() - 1].code) : 0;
    }
    data::Date date(std::string_view) const override { return {}; }
    bool logical(std::string_view) const override { return false; }
    std::string memo(std::string_view) const override { return {}; }
    data::Result<std::string> readMemo(std::string_view) const override { return std::string(); }
    std::string raw(std::string_view f) const override { return str(f); }
    data::Status setStr(std::string_view, std::string_view) override { return {}; }
    data::Status setNum(std::string_view, double) override { return {}; }
    data::Status setDate(std::string_view, data::Date) override { return {}; }
    data::Status setLogical(std::string_view, bool) override { return {}; }
    data::Status setMemo(std::string_view, std::string_view) override { return {}; }
    data::Status append() override { return {}; }
    data::Status deleteRecord() override { return {}; }
    data::Status recall() override { return {}; }
    bool rlock() override { return true; }
    bool flock() override { return true; }
    void unlock() override {}
    bool isLocked(uint32_t) const override { return false; }
    data::Status commit() override { return {}; }
    data::Status appendFrom(const std::string&, const data::AppendFromOptions&) override { return {}; }
    data::Status copyTo(const std::string&) override { return {}; }

private:
    std::string keyOf(uint32_t rec) const
    {
        const Rec& r = recs_[rec - 1];
        std::string upper = r.name;
        for (auto& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return (r.deleted ? "T" : "F") + upper;
    }
    bool inScope(const std::string& key) const
    {
        if (top_ && key.compare(0, top_->size(), *top_) < 0)
            return false;
        if (bottom_ && key.compare(0, bottom_->size(), *bottom_) > 0)
            return false;
        return true;
    }
    void rebuild()
    {
        if (!dirty_)
            return;
        const uint32_t keep = eof() || view_.empty() ? 0 : view_[static_cast<size_t>(pos_)];
        view_.clear();
        for (uint32_t r = 1; r <= recs_.size(); ++r)
            if (!recs_[r - 1].deleted && (order_ == 0 || inScope(keyOf(r))))
                view_.push_back(r);
        if (order_ != 0)
            std::stable_sort(view_.begin(), view_.end(),
                             [this](uint32_t a, uint32_t b) { return keyOf(a) < keyOf(b); });
        dirty_ = false;
        auto it = std::find(view_.begin(), view_.end(), keep);
        pos_ = keep ? static_cast<long>(it - view_.begin()) : static_cast<long>(view_.size());
    }

    std::string alias_, path_;
    data::Structure structure_;
    std::vector<Rec> recs_;
    std::vector<uint32_t> view_;
    long pos_ = 0;
    uint32_t offRec_ = 0;
    int order_ = 1;
    std::optional<std::string> top_, bottom_;
    bool dirty_ = true;
    bool found_ = false;
};

} // namespace cn::testing
