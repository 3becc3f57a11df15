#include "data/codes.h"

#include "data/catalog.h"

#include <string>

namespace cn::data {

namespace {

// A work area of its own on a catalogue table, closed again (and the
// caller's current area selected again) when it goes.
class PrivateArea {
public:
    explicit PrivateArea(Workspace& ws) : ws_(ws), previous_(ws.currentAlias()) {}
    ~PrivateArea()
    {
        if (opened_)
            ws_.closeArea(alias_);
        if (!previous_.empty())
            ws_.select(previous_);
    }
    PrivateArea(const PrivateArea&) = delete;
    PrivateArea& operator=(const PrivateArea&) = delete;

    Result<WorkArea*> open(std::string_view table, std::string_view index)
    {
        const catalog::TableDef* t = catalog::findTable(table);
        if (!t)
            return Status::error("The table " + std::string(table) + " is not in the catalogue");
        const catalog::IndexDef* ix = index.empty() ? nullptr : catalog::findIndex(index);
        if (!index.empty() && !ix)
            return Status::error("The index " + std::string(index) + " is not in the catalogue");
        alias_ = std::string(table) + "_private";
        auto used = ws_.use(t->fileName(), alias_, OpenMode{true, true});
        if (!used)
            return used.status();
        opened_ = true;
        WorkArea& a = *used.value();
        if (ix) {
            if (Status s = a.setIndex(ws_.resolve(ix->fileName())); !s)
                return s;
            if (Status s = a.setOrder(1); !s)
                return s;
        }
        return &a;
    }

private:
    Workspace& ws_;
    std::string previous_;
    std::string alias_;
    bool opened_ = false;
};

// The answer of a search, or the failure it met on the way.
Result<bool> answer(const WorkArea& a, bool found)
{
    if (!found && !a.lastError().empty())
        return Status::error(ErrorCode::Damaged, a.lastError());
    return found;
}

} // namespace

Result<bool> liveKeyExists(Workspace& ws, std::string_view table, std::string_view index, std::string_view key)
{
    PrivateArea guard(ws);
    auto opened = guard.open(table, index);
    if (!opened)
        return opened.status();
    WorkArea& a = *opened.value();
    return answer(a, a.seek("F" + std::string(key)));
}

Result<bool> liveRecordWhere(Workspace& ws, std::string_view table, const Condition& cond)
{
    PrivateArea guard(ws);
    auto opened = guard.open(table, {});
    if (!opened)
        return opened.status();
    WorkArea& a = *opened.value();
    // Deleted records are invisible to the walk unless something made them
    // visible meanwhile; they never count.
    return answer(a, a.locate([&](WorkArea& r) { return !r.deleted() && cond(r); }));
}

long long nextCode(WorkArea& area, int order, std::string_view codeField)
{
    const int savedOrder = area.indexOrd();
    const uint32_t savedRec = area.recNo();
    long long highest = 0;
    if (area.setOrder(order)) {
        // Walk only the live keys: they all begin with "F".
        area.setScopeTop(std::string("F"));
        area.setScopeBottom(std::string("F"));
        for (area.goTop(); !area.eof(); area.skip(1)) {
            const auto code = static_cast<long long>(area.num(codeField));
            if (!area.deleted() && code > highest)
                highest = code;
        }
        area.clearScope();
    }
    (void)area.setOrder(savedOrder);
    area.goTo(savedRec);
    return highest + 1;
}

bool duplicateFreeForAppend(WorkArea& area, int order, std::string_view key)
{
    (void)area.setOrder(order);
    area.goTop();
    return !area.seek("F" + std::string(key), false);
}

bool duplicateFreeForModify(WorkArea& area, int order, std::string_view key,
                            std::string_view codeField, long long code)
{
    (void)area.setOrder(order);
    area.goTop();
    if (!area.seek("F" + std::string(key), false))
        return true;
    return static_cast<long long>(area.num(codeField)) == code;
}

} // namespace cn::data
