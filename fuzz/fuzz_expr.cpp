// Key and relation expressions: compiling any text against the visit table's
// fields (and another alias), and evaluating what compiles over a blank and a
// filled record.
#include "data/catalog.h"
#include "data/dbf_file.h"
#include "data/expr.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace cn::data;

namespace {

std::vector<FieldLayout> layout(const Structure& s)
{
    std::vector<FieldLayout> out;
    uint32_t off = 1;
    for (const auto& f : s) {
        out.push_back({f, off});
        off += uint32_t(f.width);
    }
    return out;
}

const std::vector<FieldLayout>& visitFields()
{
    static const auto f = layout(catalog::findTable("pvisit")->fields);
    return f;
}

const std::vector<FieldLayout>& patientFields()
{
    static const auto f = layout(catalog::findTable("patnt")->fields);
    return f;
}

size_t recordLength(const std::vector<FieldLayout>& f)
{
    return f.empty() ? 1 : f.back().offset + size_t(f.back().def.width);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::string blank(recordLength(visitFields()), ' ');
    std::string filled = blank;
    filled[0] = '*';
    for (const auto& f : visitFields()) {
        char* p = filled.data() + f.offset;
        switch (f.def.type) {
        case 'N': std::memset(p, '9', size_t(f.def.width)); break;
        case 'D': std::memcpy(p, "20261208", 8); break;
        case 'L': *p = 'T'; break;
        case 'C': std::memset(p, 'a' + char(f.offset % 26), size_t(f.def.width)); break;
        default: break;
        }
    }
    std::string other(recordLength(patientFields()), '7');

    std::string key;
    if (auto e = Expr::compile(text, visitFields())) {
        e->key(blank.data(), key);
        if (key.size() != e->keyLength())
            __builtin_trap();
        e->key(filled.data(), key);
        if (key.size() != e->keyLength())
            __builtin_trap();
    }

    const FieldResolver resolver = [](std::string_view alias, std::string_view field) -> std::optional<FieldLayout> {
        const auto& fields = alias.empty() ? visitFields() : patientFields();
        if (!alias.empty() && alias != "patnt" && alias != "Patnt" && alias != "PATNT")
            return std::nullopt;
        for (const auto& f : fields) {
            if (f.def.name.size() == field.size() &&
                std::equal(field.begin(), field.end(), f.def.name.begin(),
                           [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; }))
                return f;
        }
        return std::nullopt;
    };
    if (auto e = Expr::compile(text, resolver)) {
        std::vector<const char*> records(e->aliases().size() + 1, nullptr);
        records[0] = filled.data();
        for (size_t i = 1; i < records.size(); ++i)
            records[i] = i % 2 ? other.data() : nullptr;
        e->key(records, key);
        if (key.size() != e->keyLength())
            __builtin_trap();
    }
    return 0;
}
