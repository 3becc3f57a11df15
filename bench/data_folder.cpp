#include "bench/data_folder.h"

#include "bench/common.h"

#include "data/catalog.h"
#include "data/setup.h"

namespace cn::bench {

using namespace cn::data;

namespace {

class QuietSetup final : public SetupObserver {
public:
    void status(const std::string&) override {}
    void setRange(int, int, int) override {}
    void setValue(int, int) override {}
    int message(SetupBox, const std::string& text) override { fail("set-up: " + text); }
    bool escapePressed() override { return false; }
    Date today() override { return {2026, 6, 10}; }
    long secondsSinceMidnight() override { return 36000; }
};

} // namespace

Setup::Log runQuietSetup(const std::string& folder)
{
    Workspace ws(folder);
    QuietSetup observer;
    Setup setup(ws, observer);
    setup.SETUP_PROCESS(false);
    ws.closeAll();
    return setup.log();
}

namespace {

std::string letters(Rng& rng, int lo, int hi)
{
    std::string s(size_t(rng.range(lo, hi)), ' ');
    for (auto& c : s)
        c = char('a' + rng.next() % 26);
    s[0] = char(s[0] - 'a' + 'A');
    return s;
}

} // namespace

// A folder made by set-up, then filled behind the indexes' backs with the
// patients and visits, and set up once more so that the indexes are built.
void makeDataFolder(const std::string& folder, long patients, long visits)
{
    runQuietSetup(folder);
    {
        Workspace ws(folder);
        for (const char* ix : {"patnt1", "patnt2", "pvisit1", "pvisit2", "pvisit3", "pvisit4", "pvisit5"})
            must(ws.erase(catalog::findIndex(ix)->fileName()), "erase index");
        auto opened = ws.use("PATNT.dbf", "patnt");
        if (!opened)
            fail("open PATNT.dbf: " + opened.message());
        WorkArea& a = *opened.value();
        Rng rng(17);
        // Set-up added the sample patient as code 1.
        for (long code = 2; code <= patients; ++code) {
            must(a.append(), "append patient");
            must(a.setNum("PATCODE", double(code)), "PATCODE");
            must(a.setStr("PATTITLE", code % 2 ? "Mrs." : "Mr."), "PATTITLE");
            must(a.setStr("PATFNAME", letters(rng, 4, 12)), "PATFNAME");
            must(a.setStr("PATLNAME", letters(rng, 4, 14)), "PATLNAME");
            must(a.setStr("PATSEX", code % 2 ? "F" : "M"), "PATSEX");
            must(a.setDate("PATDOB", {1940 + int(code % 80), 1 + int(code % 12), 1 + int(code % 28)}), "PATDOB");
            must(a.setStr("PATADDR1", "12 Park Street"), "PATADDR1");
            must(a.setStr("PATCITY", "Kolkata"), "PATCITY");
            must(a.setStr("PATCELL", std::to_string(9000000000 + code)), "PATCELL");
            if (code % 97 == 0)
                must(a.deleteRecord(), "delete patient");
        }
        must(ws.commitAll(), "commit patients");
    }
    {
        VisitTable table(folder, false);
        VisitGenerator gen(3, int(patients), 500);
        for (long i = 0; i < visits; ++i)
            table.add(gen.next(), i % 50 == 49);
        table.commit();
    }
    const Setup::Log built = runQuietSetup(folder);
    if (built.rebuiltIndexes.size() != 7)
        fail("data folder: set-up built " + std::to_string(built.rebuiltIndexes.size()) + " indexes, not 7");
}

} // namespace cn::bench
