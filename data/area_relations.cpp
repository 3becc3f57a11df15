// Relations (DBSETRELATION): after every move of an area, each child area is
// positioned by the key its relation computes from the current record.
#include "data/area.h"

#include <algorithm>

namespace cn::data {

void Area::moved()
{
    if (relations_.empty() || relationDepth_ > 8)
        return;
    ++relationDepth_;
    for (auto& rel : relations_) {
        Area* child = ws_->find(rel.child);
        if (!child || child == this)
            continue;
        if (eof_) {
            child->goTo(0);
            continue;
        }
        std::vector<const char*> recs;
        recs.push_back(recordForExpr());
        for (const auto& a : rel.expr.aliases()) {
            Area* other = ws_->find(a);
            recs.push_back(other ? other->recordForExpr() : nullptr);
        }
        rel.expr.key(std::span<const char* const>(recs.data(), recs.size()), key_);
        if (child->indexOrd() == 0 && rel.expr.type() == ValueType::Numeric)
            child->goTo(static_cast<uint32_t>(std::max(0.0, decodeNumeric(key_))));
        else
            child->seek(key_, false);
    }
    --relationDepth_;
}

Status Area::setRelation(const std::string& childAlias, const std::string& keyText)
{
    Area* child = ws_->find(childAlias);
    if (!child)
        return Status::error("Cannot relate " + alias_ + " to " + childAlias + ": no such area is open");
    FieldResolver resolver = [this](std::string_view alias, std::string_view name) -> std::optional<FieldLayout> {
        const DbfFile* dbf = nullptr;
        if (alias.empty())
            dbf = t_->dbf.get();
        else if (Area* a = ws_->find(alias))
            dbf = a->table().dbf.get();
        if (!dbf)
            return std::nullopt;
        int i = dbf->fieldIndex(name);
        if (i < 0)
            return std::nullopt;
        return dbf->fields()[static_cast<size_t>(i)];
    };
    auto e = Expr::compile(keyText, resolver);
    if (!e)
        return Status::error(e.message() + " (relation of " + alias_ + " to " + childAlias + ")");
    relations_.push_back({std::string(childAlias), std::move(*e)});
    return {};
}

} // namespace cn::data
