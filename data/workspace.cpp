#include "data/workspace.h"

#include "data/area.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

namespace cn::data {

namespace detail {

std::string lower(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return r;
}

bool iequals(std::string_view a, std::string_view b) { return a.size() == b.size() && lower(a) == lower(b); }

bool hasExtension(std::string_view name)
{
    auto slash = name.find_last_of('/');
    std::string_view b = slash == std::string_view::npos ? name : name.substr(slash + 1);
    return b.find('.') != std::string_view::npos;
}

std::string withExtension(std::string_view name, std::string_view ext)
{
    std::string s(name);
    if (!hasExtension(s))
        s += ext;
    return s;
}

std::string canonical(const std::string& path)
{
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf))
        return buf;
    return path;
}

std::string memoPathFor(const Workspace::Impl& ws, const std::string& p)
{
    std::string mp = p;
    auto dot = mp.find_last_of('.');
    auto slash = mp.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        mp.resize(dot);
    return ws.resolve(mp + ".dbt");
}

} // namespace detail

using namespace detail;

namespace {

std::string baseName(std::string_view path)
{
    auto slash = path.find_last_of('/');
    std::string_view b = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto dot = b.find_last_of('.');
    return std::string(dot == std::string_view::npos ? b : b.substr(0, dot));
}

} // namespace

std::string strNum(double value, int width, int decimals)
{
    if (width < 1)
        return {};
    std::string out(static_cast<size_t>(width), ' ');
    if (!encodeNumeric(value, width, decimals, out.data()))
        return std::string(static_cast<size_t>(width), '*');
    return out;
}

// --- Workspace ------------------------------------------------------------------------

Area* Workspace::Impl::find(std::string_view alias) const
{
    for (const auto& a : areas)
        if (iequals(a->alias(), alias))
            return a.get();
    return nullptr;
}

std::string Workspace::Impl::resolve(std::string_view name) const
{
    std::string full = !name.empty() && name[0] == '/' ? std::string(name) : folder + "/" + std::string(name);
    auto slash = full.find_last_of('/');
    const std::string dir = full.substr(0, slash);
    const std::string base = full.substr(slash + 1);
    if (::access(full.c_str(), F_OK) == 0)
        return full;
    DIR* d = ::opendir(dir.empty() ? "/" : dir.c_str());
    if (!d)
        return full;
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (iequals(e->d_name, base)) {
            found = dir + "/" + e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found.empty() ? full : found;
}

Status Workspace::Impl::closeArea(Area* a)
{
    Status st = a->close();
    std::shared_ptr<Table> t = a->tablePtr();
    if (current == a)
        current = nullptr;
    auto it = std::find_if(areas.begin(), areas.end(), [&](const auto& p) { return p.get() == a; });
    if (it != areas.end())
        areas.erase(it);
    if (--t->users == 0) {
        if (auto fs = t->flush(); !fs && st)
            st = fs;
        tables.erase(t->path);
    }
    return st;
}

Result<WorkArea*> openArea(Workspace::Impl* ws, const std::string& p, const std::string& alias, OpenMode mode,
                           bool internal)
{
    if (ws->find(alias))
        return Status::error("The alias " + alias + " is already in use");
    // Each area has its own open of the file for its locks, so that areas of
    // this process exclude each other as two users would.
    const bool wantWrite = !mode.readOnly;
    auto lf = OsFile::open(p, wantWrite || !mode.shared);
    if (!lf && !wantWrite && !mode.shared)
        lf = OsFile::open(p, false);
    if (!lf)
        return lf.status();
    const bool exclusiveLock = !mode.shared && lf->writable();
    if (!internal && !lf->tryLock(kOpenLockOffset, 1, exclusiveLock)) {
        return Status::error(ErrorCode::InUse, "The table " + p + " is in use by another user");
    }
    const std::string canon = canonical(p);
    std::shared_ptr<Table> t;
    if (auto it = ws->tables.find(canon); it != ws->tables.end()) {
        t = it->second;
        if (wantWrite && !t->dbf->writable())
            return Status::error("Cannot open " + p + " for writing");
    } else {
        auto dbf = DbfFile::open(p, true);
        if (!dbf) {
            if (wantWrite)
                return dbf.status();
            dbf = DbfFile::open(p, false);
            if (!dbf)
                return dbf.status();
        }
        t = std::make_shared<Table>();
        t->path = canon;
        t->dbf = std::move(*dbf);
        t->shared = mode.shared;
        if (t->dbf->hasMemoField()) {
            const std::string mp = memoPathFor(*ws, p);
            auto m = MemoFile::open(mp, t->dbf->writable());
            if (!m)
                return Status::error("The memo file of " + p + " cannot be opened: " + m.message());
            t->memo = std::move(*m);
        }
        ws->tables[canon] = t;
    }
    int number = 1;
    for (bool taken = true; taken; ++number) {
        taken = false;
        for (const auto& a : ws->areas)
            if (a->number() == number)
                taken = true;
        if (!taken)
            break;
    }
    ++t->users;
    auto area = std::make_unique<Area>(ws, alias, p, mode, t, std::move(*lf), number);
    Area* raw = area.get();
    ws->areas.push_back(std::move(area));
    ws->current = raw;
    return static_cast<WorkArea*>(raw);
}

Workspace::Workspace(std::string folder) : d_(std::make_unique<Impl>())
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        folder = ".";
    // Made absolute once, here, so that paths joined to it later never
    // depend on (or repeat) the current folder.
    if (folder[0] != '/') {
        if (char* cwd = ::getcwd(nullptr, 0)) {
            std::string abs(cwd);
            std::free(cwd);
            folder = folder == "." ? abs : abs + "/" + (folder.rfind("./", 0) == 0 ? folder.substr(2) : folder);
        }
    }
    d_->folder = folder;
}

Workspace::~Workspace() { closeAll(); }

const std::string& Workspace::folder() const { return d_->folder; }
std::string Workspace::resolve(std::string_view name) const { return d_->resolve(name); }
bool Workspace::exists(std::string_view name) const { return ::access(resolve(name).c_str(), F_OK) == 0; }

Status Workspace::erase(std::string_view name)
{
    const std::string p = resolve(name);
    if (::unlink(p.c_str()) != 0)
        return Status::error("Cannot erase " + p + ": " + std::strerror(errno));
    return {};
}

Status Workspace::rename(std::string_view from, std::string_view to)
{
    const std::string a = resolve(from);
    const std::string b = resolve(to);
    if (::rename(a.c_str(), b.c_str()) != 0)
        return Status::error("Cannot rename " + a + " to " + b + ": " + std::strerror(errno));
    return {};
}

Result<WorkArea*> Workspace::use(std::string_view file, std::string_view alias, OpenMode mode)
{
    const std::string name = withExtension(file, ".dbf");
    const std::string p = resolve(name);
    std::string a = alias.empty() ? lower(baseName(name)) : std::string(alias);
    return openArea(d_.get(), p, a, mode);
}

WorkArea* Workspace::area(std::string_view alias) const { return d_->find(alias); }
WorkArea* Workspace::current() const { return d_->current; }

bool Workspace::select(std::string_view alias)
{
    Area* a = d_->find(alias);
    if (!a)
        return false;
    d_->current = a;
    return true;
}

int Workspace::selectNo(std::string_view alias) const
{
    Area* a = d_->find(alias);
    return a ? a->number() : 0;
}

std::string Workspace::currentAlias() const { return d_->current ? d_->current->alias() : std::string(); }

void Workspace::closeArea(std::string_view alias)
{
    if (Area* a = d_->find(alias))
        (void)d_->closeArea(a);
}

void Workspace::closeAll()
{
    while (!d_->areas.empty())
        (void)d_->closeArea(d_->areas.back().get());
}

Status Workspace::commitAll()
{
    Status result;
    for (auto& [path, t] : d_->tables)
        if (auto st = t->sync(); !st && result)
            result = st;
    return result;
}

Status Workspace::create(std::string_view file, const Structure& fields)
{
    const std::string p = resolve(withExtension(file, ".dbf"));
    if (d_->tables.count(canonical(p)))
        return Status::error("Cannot create " + p + ": the table is open");
    if (auto st = DbfFile::create(p, fields); !st)
        return st;
    if (std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == 'M'; })) {
        std::string mp = p;
        mp.resize(mp.size() - 4);
        const bool upper = p.size() >= 4 && p.substr(p.size() - 4) == ".DBF";
        if (auto st = MemoFile::create(resolve(mp + (upper ? ".DBT" : ".dbt"))); !st)
            return st;
    }
    return {};
}

void Workspace::setDeletedVisible(bool visible) { d_->deletedVisible = visible; }
bool Workspace::deletedVisible() const { return d_->deletedVisible; }
void Workspace::setDateFormat(std::string picture) { d_->dateFormat = std::move(picture); }
const std::string& Workspace::dateFormat() const { return d_->dateFormat; }

Date Workspace::ctod(std::string_view text) const
{
    const std::string& pic = d_->dateFormat;
    auto part = [&](const char* token, size_t len) -> int {
        auto at = pic.find(token);
        if (at == std::string::npos || at + len > text.size())
            return -1;
        int v = 0;
        for (size_t i = at; i < at + len; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    Date d;
    d.day = part("dd", 2);
    d.month = part("MM", 2);
    d.year = part("yyyy", 4);
    if (d.day < 0 || d.month < 0 || d.year < 0 || !d.valid())
        return {};
    return d;
}

std::string Workspace::dtoc(Date d) const
{
    std::string out = d_->dateFormat;
    auto put = [&](const char* token, int value, size_t len) {
        auto at = out.find(token);
        if (at == std::string::npos)
            return;
        std::string v;
        if (!d.empty()) {
            v = std::to_string(value);
            v.insert(0, len > v.size() ? len - v.size() : 0, '0');
        } else {
            v.assign(len, ' ');
        }
        out.replace(at, len, v.substr(0, len));
    };
    put("yyyy", d.year, 4);
    put("MM", d.month, 2);
    put("dd", d.day, 2);
    return out;
}

} // namespace cn::data
