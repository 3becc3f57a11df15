// curanote-data dump: a table's records, in record order or in an index's
// order, as text or JSON, converted from Windows-1252 to UTF-8.
#include "tools/command.h"
#include "tools/json.h"

#include "data/cp1252.h"
#include "data/ntx_file.h"
#include "data/workspace.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace cn::tool {
namespace {

using cn::data::cp1252ToUtf8;

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

int run(Invocation& inv)
{
    const std::string table = inv.files().front();
    const std::string index = inv.value("--index");
    const bool json = inv.has("--json");
    if (inv.has("--prefix") && index.empty())
        return inv.usageError("--prefix needs --index: keys belong to an index");
    const auto prefix = cn::data::utf8ToCp1252(inv.value("--prefix"));
    if (!prefix)
        return inv.usageError("the prefix has characters a table cannot hold");

    namespace fs = std::filesystem;
    const fs::path tablePath = fs::absolute(table);
    cn::data::Workspace ws(tablePath.parent_path().string());
    ws.setDeletedVisible(inv.has("--deleted"));
    // Shared and read-only: the program may have the folder open.
    auto opened = ws.use(tablePath.filename().string(), "dump", cn::data::OpenMode{true, true});
    if (!opened)
        return inv.fail(opened.message());
    cn::data::WorkArea& area = *opened.value();
    // Damage found before the first record is printed; reported at the end so
    // that what can be read is still shown.
    std::vector<std::string> damage;
    if (!area.openWarning().empty())
        damage.push_back(area.openWarning());
    if (!index.empty()) {
        const std::string indexPath = fs::absolute(index).string();
        if (auto s = area.setIndex(indexPath); !s)
            return inv.fail(s.message());
        if (auto s = area.setOrder(1); !s)
            return inv.fail(s.message());
        // The whole tree, not only the part the records below lead through.
        if (auto ntx = cn::data::NtxFile::open(indexPath, false); !ntx)
            damage.push_back(ntx.message());
        else if (auto s = (*ntx)->verify(); !s)
            damage.push_back(s.message());
        if (!prefix->empty())
            area.setScope(*prefix);
    }

    Dumper dump(area, json);
    bool memosSound = true, first = true;
    if (json)
        std::printf("[");
    for (area.goTop(); !area.eof(); area.skip(1)) {
        memosSound = dump.record(first) && memosSound;
        first = false;
    }
    if (json)
        std::printf("%s]\n", first ? "" : "\n");
    std::fflush(stdout);
    if (const std::string stopped = area.lastError(); !stopped.empty() &&
        std::find(damage.begin(), damage.end(), stopped) == damage.end())
        damage.push_back(stopped);
    for (size_t i = 1; i < damage.size(); ++i)
        std::fprintf(stderr, "curanote-data dump: %s\n", damage[i].c_str());
    if (!damage.empty())
        return inv.fail(damage.front());
    return memosSound ? 0 : inv.fail(table + ": memos that cannot be read (listed above)");
}

const Register reg(Command("dump", "FILE.dbf [--index FILE.ntx] [--prefix KEY] [--deleted] [--json]",
    "Prints a table's records: number, deleted flag, every field, memo texts.")
    .describe("      In record order, or in the order of the given index, then optionally\n"
              "      only the records whose key starts with KEY (keys start with F for a\n"
              "      live and T for a deleted record). Text is shown as UTF-8. A table or\n"
              "      index found damaged is reported after what could be read.")
    .option("--index", "FILE.ntx", "in this index's order")
    .option("--prefix", "KEY", "only records whose key starts with KEY (needs --index)")
    .option("--deleted", "", "show deleted records too")
    .option("--json", "", "one JSON array of records")
    .takesFiles(1, 1, "table (FILE.dbf)")
    .runs(run));

} // namespace
} // namespace cn::tool
