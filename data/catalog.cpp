#include "data/catalog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace cn::data::catalog {

namespace {

FieldDef C(const char* name, int width) { return {name, 'C', width, 0}; }
FieldDef N(const char* name, int width, int decimals = 0) { return {name, 'N', width, decimals}; }
FieldDef D(const char* name) { return {name, 'D', 8, 0}; }
FieldDef L(const char* name) { return {name, 'L', 1, 0}; }
FieldDef M(const char* name) { return {name, 'M', 10, 0}; }

// Every key starts with the live flag so that live records sort first.
std::string key(const char* terms) { return std::string("iif(deleted(), 'T', 'F')+") + terms; }

struct IndexSource {
    const char* name;
    const char* terms;
};

struct TableSource {
    const char* name;
    Structure fields;
    std::vector<IndexSource> indexes;
};

Structure optsFields()
{
    Structure f = {
        C("CURRSYM", 5), C("CURRTXT", 15), C("CURRTXT2", 15), N("NUMFORM", 3), N("DATEFORM", 3),
        N("TOPMARG", 4, 1), N("LFTMARG", 4, 1), N("RTMARG", 4, 1), N("BOTMARG", 4, 1),
        N("DOCALIGN", 1), C("DOCNMATTR", 80), N("DOCNMROW", 4), N("DOCNMCOL", 4), C("DOCQUAL", 60),
        C("DEFFONT", 80),
    };
    // Letterhead lines 11..19 and 21..29: text, font, row, column.
    for (int group : {10, 20}) {
        for (int k = group + 1; k <= group + 9; ++k) {
            const std::string n = "LHD" + std::to_string(k);
            f.push_back({n, 'C', 60, 0});
            f.push_back({n + "ATTR", 'C', 80, 0});
            f.push_back({n + "ROW", 'N', 4, 0});
            f.push_back({n + "COL", 'N', 4, 0});
        }
    }
    // Ruled lines 1..4: two end points each.
    for (int k = 1; k <= 4; ++k) {
        const std::string n = "LINE" + std::to_string(k);
        for (const char* part : {"ROW1", "COL1", "ROW2", "COL2"})
            f.push_back({n + part, 'N', 4, 0});
    }
    // The doctor's name; added last so that older copies of the table stay
    // readable (set-up's upgrade adds it to them).
    f.push_back(C("DOCNAME", 40));
    return f;
}

std::vector<TableSource> sources()
{
    return {
        {"patnt",
         {N("PATCODE", 10), C("PATTITLE", 10), C("PATLNAME", 20), C("PATFNAME", 20), C("PATRACE", 40),
          D("PATDOB"), C("PATSEX", 1), C("PATADDR1", 40), C("PATADDR2", 40), C("PATADDR3", 40),
          C("PATCITY", 20), C("PATPIN", 15), C("PATCNTRY", 20), C("PATPH1", 15), C("PATPH2", 15),
          C("PATCELL", 15), C("PATFAX", 15), C("PATEMAIL", 40), D("FIRSTVISIT"), C("REMARKS", 40),
          C("DOCPREF", 40)},
         {{"patnt1", "str(patcode)"}, {"patnt2", "upper(patfname)+upper(patlname)"}}},
        {"dis",
         {N("DISCODE", 10), C("DISNAME", 40)},
         {{"dis1", "str(discode)"}, {"dis2", "upper(disname)"}}},
        {"sdis",
         {N("DISCODE", 10), N("SDISCODE", 10), C("SDISNAME", 40)},
         {{"sdis1", "str(sdiscode)"}, {"sdis2", "upper(sdisname)"},
          {"sdis3", "str(discode)+upper(sdisname)"}}},
        {"compl",
         {N("COMPLCODE", 10), C("COMPLNAME", 40)},
         {{"compl1", "str(complcode)"}, {"compl2", "upper(complname)"}}},
        {"exam",
         {N("EXAMCODE", 10), C("EXAMNAME", 40)},
         {{"exam1", "str(examcode)"}, {"exam2", "upper(examname)"}}},
        {"test",
         {N("TESTCODE", 10), C("TESTNAME", 40)},
         {{"test1", "str(testcode)"}, {"test2", "upper(testname)"}}},
        {"gmed",
         {N("GMEDCODE", 10), C("GMEDNAME", 40)},
         {{"gmed1", "str(gmedcode)"}, {"gmed2", "upper(gmedname)"}}},
        {"bmed",
         {N("GMEDCODE", 10), N("BMEDCODE", 10), C("BMEDNAME", 40), C("MEDCOMP", 40), M("DETAILS")},
         {{"bmed1", "str(bmedcode)"}, {"bmed2", "upper(bmedname)"}, {"bmed3", "str(gmedcode)"},
          {"bmed4", "upper(medcomp)"}}},
        {"oprtr",
         {C("OPNAME", 40), N("OPNUM", 10), C("OPINIT", 8), C("OPPWD", 10), N("OPCODE", 10), D("OPDT"),
          N("OPTM", 10), N("OPCODE1", 10), D("OPDT1"), N("OPTM1", 10)},
         {{"oprtr1", "upper(opname)"}, {"oprtr2", "str(opnum)"}}},
        {"velfa",
         {N("VELCD", 10), N("MNUCD", 4), N("OPCODE", 10), D("OPDT"), N("OPTM", 10), N("OPCODE1", 4),
          D("OPDT1"), N("OPTM1", 10)},
         {{"velfa1", "str(velcd)"}, {"velfa2", "str(mnucd)"}}},
        {"chamber",
         {N("CHCODE", 10), C("CHNAME", 40), C("CHADDR1", 40), C("CHADDR2", 40), C("CHADDR3", 40),
          C("CHCITY", 20), C("CHPIN", 15), C("CHCNTRY", 20), C("CHPH1", 15), C("CHPH2", 15),
          C("CHCELL", 15), C("CHFAX", 15), C("CHEMAIL", 40), C("CHTIME1", 40), C("CHTIME2", 40),
          L("LTRHD")},
         {{"chamber1", "str(chcode)"}, {"chamber2", "upper(chname)"}}},
        {"greet",
         {D("GREETFRM"), D("GREETTO"), C("GREETING", 60), N("OPCODE", 4), D("OPDT"), N("OPTM", 10),
          N("OPCODE1", 4), D("OPDT1"), N("OPTM1", 10)},
         {{"greet1", "dtos(greetfrm)"}}},
        {"opts", optsFields(), {}},
        {"printers",
         {C("PRN_NAME", 30), N("L_HD", 2), N("PG_OFSET", 2), L("DEFLT"), N("OPCODE", 4), D("OPDT"),
          N("OPTM", 10), N("OPCODE1", 4), D("OPDT1"), N("OPTM1", 10)},
         {{"printer1", "upper(prn_name)"}}},
        {"pvisit",
         {N("VISITNO", 10), N("PVNO", 10), N("CHCODE", 10), D("VISITDT"), C("VISITTM", 8),
          N("VISITTYPE", 1), N("PATCODE", 10), C("PATSEX", 1), C("PATRACE", 40), N("PATYRS", 3),
          N("PATMNTHS", 2), N("PATDAYS", 2), N("PATHTFT", 2), N("PATHTIN", 2), N("PATWTLBS", 3),
          N("PATSYS", 3), N("PATDIAS", 3), N("PATPULSE", 3), N("PATTEMP", 5, 1), M("PATPRES"),
          C("PATNOTE", 40), N("PATFEES", 10, 2), N("PVSTATUS", 2), M("PATNOTE1"), L("LNEXTVISIT"),
          D("NEXTVISIT")},
         {{"pvisit1", "str(visitno)"}, {"pvisit2", "str(patcode)+str(visitno)"},
          {"pvisit3", "dtos(visitdt)+visittm"}, {"pvisit4", "str(patcode)+str(pvno)"},
          {"pvisit5", "dtos(nextvisit)"}}},
        {"pathist",
         {N("PATCODE", 10), N("SDISCODE", 10), N("HISTSTAT", 2)},
         {{"pathist1", "str(patcode)+str(sdiscode)"}, {"pathist2", "str(sdiscode)+str(patcode)"}}},
        {"pvcompl",
         {N("VISITNO", 10), N("COMPLCODE", 10), N("RELEVANCE", 1)},
         {{"pvcompl1", "str(visitno)+str(complcode)"}, {"pvcompl2", "str(complcode)+str(visitno)"}}},
        {"pvexam",
         {N("VISITNO", 10), N("EXAMCODE", 10), N("SEVERITY", 1)},
         {{"pvexam1", "str(visitno)+str(examcode)"}, {"pvexam2", "str(examcode)+str(visitno)"}}},
        {"pvsdis",
         {N("VISITNO", 10), N("SDISCODE", 10), N("SEVERITY", 1)},
         {{"pvsdis1", "str(visitno)+str(sdiscode)"}, {"pvsdis2", "str(sdiscode)+str(visitno)"}}},
        {"pvsmed",
         {N("VISITNO", 10), N("BMEDCODE", 10), C("DOSAGE", 40)},
         {{"pvsmed1", "str(visitno)+str(bmedcode)"}, {"pvsmed2", "str(bmedcode)+str(visitno)"}}},
        {"pvtest",
         {N("VISITNO", 10), N("TESTCODE", 10), C("INSTRUCT", 40)},
         {{"pvtest1", "str(visitno)+str(testcode)"}, {"pvtest2", "str(testcode)+str(visitno)"}}},
        {"dict",
         {N("DICTCODE", 10), C("DICTNAME", 40)},
         {{"dict1", "str(dictcode)"}, {"dict2", "upper(dictname)"}}},
    };
}

struct Catalogue {
    std::vector<TableDef> tables;
    std::vector<IndexDef> indexes;

    Catalogue()
    {
        int t = 0;
        for (auto& src : sources()) {
            TableDef def;
            def.number = ++t;
            def.name = src.name;
            def.fields = std::move(src.fields);
            for (const auto& ix : src.indexes) {
                IndexDef idx;
                idx.name = ix.name;
                idx.key = key(ix.terms);
                idx.table = def.number;
                idx.number = static_cast<int>(indexes.size()) + 1;
                def.indexes.push_back(idx.number);
                indexes.push_back(std::move(idx));
            }
            tables.push_back(std::move(def));
        }
    }
};

const Catalogue& catalogue()
{
    static const Catalogue c;
    return c;
}

std::string blankMessage(const char* database)
{
    return std::string("Blank names and/or codes exist in ") + database +
           " database, Please rectify to avoid future errors !!";
}

} // namespace

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

std::string upper(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

std::string lower(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::string IndexDef::fileName() const { return upper(name) + std::string(kIndexExt); }

bool TableDef::hasMemo() const
{
    return std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == 'M'; });
}
std::string TableDef::upperName() const { return upper(name); }
std::string TableDef::fileName() const { return upperName() + ".dbf"; }
std::string TableDef::memoFileName() const { return upperName() + ".dbt"; }

const FieldDef* TableDef::field(std::string_view n) const
{
    for (const auto& f : fields)
        if (sameName(f.name, n))
            return &f;
    return nullptr;
}

const std::vector<TableDef>& tables() { return catalogue().tables; }
const std::vector<IndexDef>& indexes() { return catalogue().indexes; }

const TableDef& table(int number) { return catalogue().tables.at(static_cast<size_t>(number - 1)); }
const IndexDef& index(int number) { return catalogue().indexes.at(static_cast<size_t>(number - 1)); }

const TableDef* findTable(std::string_view name)
{
    for (const auto& t : tables())
        if (sameName(t.name, name))
            return &t;
    return nullptr;
}

const IndexDef* findIndex(std::string_view name)
{
    for (const auto& i : indexes())
        if (sameName(i.name, name))
            return &i;
    return nullptr;
}

const std::vector<BlankCheck>& blankChecks()
{
    static const std::vector<BlankCheck> checks = {
        {'A', "CHNAME", "CHCODE", "", blankMessage("Chambers")},
        {'B', "PATFNAME", "PATCODE", "", blankMessage("Patients")},
        {'C', "DISNAME", "DISCODE", "", blankMessage("Generic Diseases")},
        {'D', "SDISNAME", "SDISCODE", "DISCODE", blankMessage("Specific Diseases")},
        {'E', "GMEDNAME", "GMEDCODE", "", blankMessage("Generic Medicine")},
        {'F', "BMEDNAME", "BMEDCODE", "GMEDCODE", blankMessage("Brand Medicine")},
        {'G', "COMPLNAME", "COMPLCODE", "", blankMessage("Patient Complaints")},
        {'H', "EXAMNAME", "EXAMCODE", "", blankMessage("Findings")},
        {'I', "TESTNAME", "TESTCODE", "", blankMessage("Tests")},
    };
    return checks;
}

const std::vector<OpenStep>& openSteps()
{
    static const std::vector<OpenStep> steps = [] {
        struct Src { const char* table; const char* alias; int orders; char check; };
        // orders: how many of the table's indexes are attached (-1 = all).
        const Src src[] = {
            {"chamber", "chamber", -1, 'A'}, {"chamber", "xchamber", -1, 0},
            {"patnt", "patnt", -1, 'B'},     {"patnt", "patnt01", -1, 0},
            {"dis", "dis", -1, 'C'},         {"sdis", "sdis", -1, 'D'},
            {"gmed", "gmed", -1, 'E'},       {"bmed", "bmed", -1, 'F'},
            {"compl", "compl", -1, 'G'},     {"exam", "exam", -1, 'H'},
            {"test", "test", -1, 'I'},       {"pvisit", "pvisit", -1, 0},
            {"pvisit", "pvisit01", 3, 0},    {"oprtr", "oprtr", -1, 0},
            {"velfa", "velfa", -1, 0},       {"greet", "greet", -1, 0},
            {"opts", "opts", -1, 0},         {"printers", "printers", -1, 0},
            {"pathist", "pathist", -1, 0},   {"pvcompl", "pvcompl", -1, 0},
            {"pvexam", "pvexam", -1, 0},     {"pvsdis", "pvsdis", -1, 0},
            {"pvsmed", "pvsmed", -1, 0},     {"pvtest", "pvtest", -1, 0},
            {"dict", "dict", -1, 0},
        };
        std::vector<OpenStep> v;
        for (const auto& s : src) {
            OpenStep step;
            step.step = static_cast<int>(v.size()) + 1;
            step.table = s.table;
            step.alias = s.alias;
            const auto& all = findTable(s.table)->indexes;
            const size_t n = s.orders < 0 ? all.size() : static_cast<size_t>(s.orders);
            step.orders.assign(all.begin(), all.begin() + static_cast<long>(n));
            for (const auto& c : blankChecks())
                if (c.letter == s.check)
                    step.check = &c;
            v.push_back(std::move(step));
        }
        return v;
    }();
    return steps;
}

std::vector<std::string> aliasesOf(std::string_view table)
{
    std::vector<std::string> r;
    for (const auto& s : openSteps())
        if (sameName(s.table, table))
            r.push_back(s.alias);
    return r;
}

} // namespace cn::data::catalog
