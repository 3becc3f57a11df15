#include "data/codes.h"

#include <string>

namespace cn::data {

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
