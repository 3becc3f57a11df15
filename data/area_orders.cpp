// The orders of a work area: attaching index files (DBSETINDEX), choosing
// the controlling one (DBSETORDER) and building new ones (DBCREATEINDEX).
#include "data/area.h"

#include <algorithm>
#include <unistd.h>

namespace cn::data {

using namespace detail;

// --- orders ----------------------------------------------------------------------------

Status Area::setOrder(int n)
{
    if (n < 0 || static_cast<size_t>(n) > orders_.size())
        return Status::error("Order " + std::to_string(n) + " does not exist in " + alias_);
    order_ = n;
    return {};
}

std::string Area::indexKey(int n) const
{
    if (n < 0)
        n = order_;
    if (n < 1 || static_cast<size_t>(n) > orders_.size())
        return {};
    return orders_[static_cast<size_t>(n) - 1]->file->keyText();
}

Status Area::setIndex(const std::string& file)
{
    const std::string p = ws_->resolve(withExtension(file, ".ntx"));
    const std::string canon = canonical(p);
    for (const auto& o : orders_)
        if (o->path == canon)
            return Status::error("The index " + p + " is already an order of " + alias_);
    std::shared_ptr<IndexObj> ix;
    for (const auto& o : t_->indexes)
        if (o->path == canon)
            ix = o;
    if (!ix) {
        auto f = NtxFile::open(p, t_->dbf->writable());
        if (!f)
            return f.status();
        auto e = Expr::compile((*f)->keyText(), t_->dbf->fields());
        if (!e)
            return Status::error("The index " + p + " cannot be used: " + e.message());
        if (e->keyLength() != (*f)->keyLength())
            return Status::error("The index " + p + " is damaged: its key length " +
                                 std::to_string((*f)->keyLength()) + " differs from the " +
                                 std::to_string(e->keyLength()) + " of its expression");
        ix = std::make_shared<IndexObj>();
        ix->path = canon;
        ix->file = std::move(*f);
        ix->expr = std::move(*e);
        if (auto st = t_->attach(ix); !st)
            return st;
    }
    ++ix->users;
    orders_.push_back(ix);
    scopes_.emplace_back();
    if (orders_.size() == 1) {
        order_ = 1;
        goTop();
    }
    return {};
}

Status Area::createIndex(const std::string& file, const std::string& keyText, bool unique)
{
    const std::string p = ws_->resolve(withExtension(file, ".ntx"));
    const std::string canon = canonical(p);
    for (const auto& [path, t] : ws_->tables)
        for (const auto& o : t->indexes)
            if (o->path == canon)
                return Status::error("Cannot build the index " + p + ": it is open as an order");
    auto e = Expr::compile(keyText, t_->dbf->fields());
    if (!e)
        return Status::error("Cannot build the index " + p + ": " + e.message());
    if (keyText.size() > 255)
        return Status::error("Cannot build the index " + p + ": the key expression is too long");
    if (auto st = t_->flush(); !st)
        return st;
    (void)t_->refreshCount();
    NtxBuildInput input;
    input.keyLength = e->keyLength();
    const uint32_t n = t_->count();
    const uint32_t len = t_->dbf->recordLength();
    input.keys.reserve(static_cast<size_t>(n) * input.keyLength);
    input.recNos.reserve(n);
    const uint32_t chunk = std::max<uint32_t>(1, (1u << 20) / len);
    std::string block(static_cast<size_t>(chunk) * len, '\0');
    std::string k;
    for (uint32_t first = 1; first <= n; first += chunk) {
        const uint32_t cnt = std::min(chunk, n - first + 1);
        if (auto st = t_->dbf->readMany(first, cnt, block.data()); !st)
            return st;
        for (uint32_t i = 0; i < cnt; ++i) {
            e->key(block.data() + static_cast<size_t>(i) * len, k);
            input.add(k, first + i);
        }
    }
    if (auto st = NtxFile::build(p, keyText, e->keyDecimals(), unique, input); !st) {
        // A build stopped part way (a full disk) leaves no short index behind.
        ::unlink(p.c_str());
        return st;
    }
    if (auto st = setIndex(p); !st)
        return st;
    order_ = static_cast<int>(orders_.size());
    goTop();
    return {};
}

} // namespace cn::data
