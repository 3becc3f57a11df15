// curanote-data dump: a table's records, in record order or in an index's
// order, as text or JSON, converted from Windows-1252 to UTF-8.
#include "tools/command.h"

#include "data/cp1252.h"
#include "data/workspace.h"

#include <cstdio>
#include <filesystem>

namespace cn::tool {
namespace {

using cn::data::cp1252ToUtf8;

const char* const kUsage =
    "  curanote-data dump FILE.dbf [--index FILE.ntx] [--prefix KEY] [--deleted] [--json]\n"
    "      Prints the records: record number, deleted flag, every field and the\n"
    "      memo texts. In record order, or in the order of the given index, then\n"
    "      optionally only the records whose key starts with KEY (keys start with\n"
    "      F for a live and T for a deleted record). Deleted records are hidden\n"
    "      unless --deleted is given. --json prints one JSON array of records.";

int usageError(const std::string& why)
{
    std::fprintf(stderr, "curanote-data dump: %s\nusage:\n%s\n", why.c_str(), kUsage);
    return 2;
}

std::string rtrim(std::string_view s)
{
    const size_t end = s.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1));
}

std::string trim(std::string_view s)
{
    const size_t b = s.find_first_not_of(' ');
    return b == std::string_view::npos ? std::string() : rtrim(s.substr(b));
}

std::string jsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

// A numeric field's text as a JSON number when it is one (the stored text
// may be anything in a damaged or foreign file).
bool isJsonNumber(std::string_view s)
{
    size_t i = 0;
    if (i < s.size() && s[i] == '-')
        ++i;
    const size_t intStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    if (i == intStart || (i - intStart > 1 && s[intStart] == '0'))
        return false;
    if (i < s.size() && s[i] == '.') {
        const size_t fracStart = ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        if (i == fracStart)
            return false;
    }
    return i == s.size();
}

struct Options {
    std::string table, index, prefix;
    bool deleted = false, json = false;
};

class Dumper {
public:
    Dumper(cn::data::WorkArea& area, bool json) : area_(area), json_(json) {}

    // Prints the current record; false when a memo could not be read.
    bool record(bool first)
    {
        bool sound = true;
        const auto& fields = area_.structure();
        if (json_) {
            std::printf("%s\n  {\"record\": %u, \"deleted\": %s, \"fields\": {", first ? "" : ",", area_.recNo(),
                        area_.deleted() ? "true" : "false");
        } else {
            std::printf("record %u%s\n", area_.recNo(), area_.deleted() ? " (deleted)" : "");
        }
        for (size_t i = 0; i < fields.size(); ++i) {
            const auto& f = fields[i];
            const std::string raw = area_.raw(f.name);
            std::string text;            // UTF-8, for text output and JSON strings
            std::string jsonValue;       // set for non-string JSON values
            switch (f.type) {
            case 'N': {
                text = trim(raw);
                jsonValue = text.empty() ? "null" : isJsonNumber(text) ? text : jsonString(cp1252ToUtf8(text));
                break;
            }
            case 'L': {
                const char c = raw.empty() ? ' ' : raw[0];
                const bool t = c == 'T' || c == 't' || c == 'Y' || c == 'y';
                const bool fl = c == 'F' || c == 'f' || c == 'N' || c == 'n';
                text = t ? "T" : fl ? "F" : "?";
                jsonValue = t ? "true" : fl ? "false" : "null";
                break;
            }
            case 'D':
                text = trim(raw);
                if (text.empty())
                    jsonValue = "null";
                break;
            case 'M': {
                auto memo = area_.readMemo(f.name);
                if (memo) {
                    text = cp1252ToUtf8(*memo);
                } else {
                    std::fprintf(stderr, "curanote-data dump: record %u %s: %s\n", area_.recNo(), f.name.c_str(),
                                 memo.message().c_str());
                    sound = false;
                    jsonValue = "null";
                }
                break;
            }
            default:
                text = cp1252ToUtf8(rtrim(raw));
            }
            if (json_) {
                std::printf("%s%s: %s", i ? ", " : "", jsonString(f.name).c_str(),
                            jsonValue.empty() ? jsonString(text).c_str() : jsonValue.c_str());
            } else {
                printField(f.name, text);
            }
        }
        if (json_)
            std::printf("}}");
        return sound;
    }

private:
    // NAME padded to the widest name; memo lines after the first indented under the value.
    void printField(const std::string& name, const std::string& text)
    {
        std::string value;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            value += text[i];
            if (text[i] == '\n')
                value += std::string(14, ' ');
        }
        std::printf("  %-10s  %s\n", name.c_str(), value.c_str());
    }

    cn::data::WorkArea& area_;
    bool json_;
};

int run(const std::vector<std::string>& args)
{
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const auto& a = args[i];
        if (a == "--help" || a == "-h") {
            std::printf("usage:\n%s\n", kUsage);
            return 0;
        }
        if (a == "--index" || a == "--prefix") {
            if (i + 1 >= args.size())
                return usageError(a + " needs a value");
            (a == "--index" ? o.index : o.prefix) = args[++i];
        } else if (a == "--deleted") {
            o.deleted = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option " + a);
        } else if (o.table.empty()) {
            o.table = a;
        } else {
            return usageError("more than one table given");
        }
    }
    if (o.table.empty())
        return usageError("no table given");
    if (!o.prefix.empty() && o.index.empty())
        return usageError("--prefix needs --index: keys belong to an index");
    const auto prefix = cn::data::utf8ToCp1252(o.prefix);
    if (!prefix)
        return usageError("the prefix has characters a table cannot hold");

    namespace fs = std::filesystem;
    const fs::path tablePath = fs::absolute(o.table);
    cn::data::Workspace ws(tablePath.parent_path().string());
    ws.setDeletedVisible(o.deleted);
    // Shared and read-only: the program may have the folder open.
    auto opened = ws.use(tablePath.filename().string(), "dump", cn::data::OpenMode{true, true});
    if (!opened) {
        std::fprintf(stderr, "curanote-data dump: %s\n", opened.message().c_str());
        return 1;
    }
    cn::data::WorkArea& area = *opened.value();
    if (!o.index.empty()) {
        if (auto s = area.setIndex(fs::absolute(o.index).string()); !s) {
            std::fprintf(stderr, "curanote-data dump: %s\n", s.message().c_str());
            return 1;
        }
        if (auto s = area.setOrder(1); !s) {
            std::fprintf(stderr, "curanote-data dump: %s\n", s.message().c_str());
            return 1;
        }
        if (!prefix->empty())
            area.setScope(*prefix);
    }

    Dumper dump(area, o.json);
    bool sound = true, first = true;
    if (o.json)
        std::printf("[");
    for (area.goTop(); !area.eof(); area.skip(1)) {
        sound = dump.record(first) && sound;
        first = false;
    }
    if (o.json)
        std::printf("%s]\n", first ? "" : "\n");
    return sound ? 0 : 1;
}

const Register reg({"dump", kUsage, run});

} // namespace
} // namespace cn::tool
