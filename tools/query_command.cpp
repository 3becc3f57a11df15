// curanote-data query | print stats: the query window's search from the
// command line, for a practice's own reports and for checks. `query` lists
// the matching visits (or prints them as one JSON array), `print stats`
// prints the statistics report of them to a PDF file. The data folder is
// only read.
#include "tools/command.h"
#include "tools/json.h"
#include "tools/gui_app.h"

#include "app/database.h"
#include "app/options.h"
#include "app/settings.h"
#include "app/text.h"
#include "data/catalog.h"
#include "data/workspace.h"
#include "print/printjob.h"
#include "print/stats_report.h"
#include "query/stats_view.h"
#include "query/visit_query.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace cn::tool {
namespace {

// A criterion that will not do: one line, exit status 2.
int badCriterion(const Invocation& inv, const std::string& why)
{
    std::fprintf(stderr, "curanote-data %s: %s\n", inv.command().name.c_str(), why.c_str());
    return 2;
}

bool parseDate(const std::string& text, QDate& out)
{
    out = QDate::fromString(QString::fromStdString(text), QStringLiteral("yyyy-MM-dd"));
    return out.isValid() && text.size() == 10;
}

bool parseNumber(const std::string& text, double& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && text.find_first_of("0123456789") != std::string::npos &&
           text.find_first_not_of("0123456789.+-") == std::string::npos && out >= 0;
}

// The chamber of that name (letter case aside), 0 when there is none.
data::Result<long long> chamberCode(data::Workspace& ws, const std::string& name)
{
    PrivateArea guard(ws, "query_chamber");
    auto opened = guard.open("chamber", {"chamber2"});
    if (!opened)
        return opened.status();
    data::WorkArea& c = *opened.value();
    const std::string key = "F" + keyBytes(keyUpper(QString::fromStdString(name).trimmed()));
    if (!c.seek(key))
        return 0LL;
    if (trimBlanks(fieldText(c, QStringLiteral("CHNAME"))).toUpper() != QString::fromStdString(name).trimmed().toUpper())
        return 0LL;
    return static_cast<long long>(c.num("CHCODE"));
}

struct Query {
    query::Criteria criteria;
    int status = 0;   // 0 the criteria parsed; else the exit status to return
};

// The criteria as given; a value that does not parse is a usage error,
// told before the folder is looked at. The chamber is named here and looked
// up in the folder by chamberOf.
Query criteriaOf(Invocation& inv)
{
    Query q;
    query::Criteria& c = q.criteria;
    c.from = c.to = QDate::currentDate();
    for (const char* opt : {"--from", "--to"})
        if (inv.has(opt)) {
            QDate d;
            if (!parseDate(inv.value(opt), d)) {
                q.status = badCriterion(inv, std::string(opt) + " takes a date YYYY-MM-DD that exists, not '" +
                                                 inv.value(opt) + "'");
                return q;
            }
            (std::string(opt) == "--from" ? c.from : c.to) = d;
        }
    for (const char* opt : {"--fee-from", "--fee-to"})
        if (inv.has(opt)) {
            double v = 0;
            if (!parseNumber(inv.value(opt), v) || v > 9999999.99) {
                q.status = badCriterion(inv, std::string(opt) + " takes an amount (a number from 0), not '" +
                                                 inv.value(opt) + "'");
                return q;
            }
            (std::string(opt) == "--fee-from" ? c.feesFrom : c.feesTo) = v;
        }
    if (inv.has("--status")) {
        const std::string s = inv.value("--status");
        if (s.size() != 1 || s[0] < '1' || s[0] > '4') {
            q.status = badCriterion(inv, "--status takes 1 Pending, 2 Transferred, 3 Cured or 4 Expired, not '" + s + "'");
            return q;
        }
        c.status = s[0] - '0' + 1;
    }
    c.presWords = QString::fromStdString(inv.value("--words"));
    return q;
}

// The chamber criterion's code from the folder: 0 the exit status to go on.
int chamberOf(Invocation& inv, data::Workspace& ws, query::Criteria& c)
{
    if (!inv.has("--chamber"))
        return 0;
    auto code = chamberCode(ws, inv.value("--chamber"));
    if (!code)
        return inv.fail(code.message());
    if (code.value() == 0)
        return badCriterion(inv, "no chamber is named '" + inv.value("--chamber") + "'");
    c.chamberCode = code.value();
    return 0;
}

bool setUp(const data::Workspace& ws, std::string& missing)
{
    for (const char* t : {"pvisit", "patnt", "chamber"})
        if (!ws.exists(data::catalog::findTable(t)->fileName())) {
            missing = data::catalog::findTable(t)->fileName();
            return false;
        }
    for (const char* i : {"pvisit1", "pvisit3", "pvisit4", "pvisit5", "patnt1", "chamber2"})
        if (!ws.exists(data::catalog::findIndex(i)->fileName())) {
            missing = data::catalog::findIndex(i)->fileName();
            return false;
        }
    return true;
}

int run(Invocation& inv, bool print)
{
    const std::string pdf = inv.value("--pdf");
    if (print && pdf.empty())
        return inv.usageError("where to? Give --pdf FILE");
    Query q = criteriaOf(inv);
    if (q.status != 0)
        return q.status;
    ensureGuiApplication();
    data::Workspace ws(inv.folder());
    ws.setDeletedVisible(false);
    if (std::string missing; !setUp(ws, missing))
        return inv.fail(inv.folder() + ": not a data folder set up by the program (" + missing +
                        " is missing); 'curanote-data setup' sets one up");
    if (const int status = chamberOf(inv, ws, q.criteria); status != 0)
        return status;
    auto found = query::search(ws, q.criteria, query::kByDateTime);
    if (!found)
        return inv.fail(found.message());

    // The matching visits as the query window lists them: its areas, in date
    // and time order, filtered to what was found.
    PrivateArea visitGuard(ws, "statpvisit"), patientGuard(ws, "statpatnt");
    auto v = visitGuard.open("pvisit", {"pvisit1", "pvisit2", "pvisit3", "pvisit4", "pvisit5"});
    auto p = patientGuard.open("patnt", {"patnt1"});
    if (!v)
        return inv.fail(v.message());
    if (!p)
        return inv.fail(p.message());
    data::WorkArea& visits = *v.value();
    (void)visits.setOrder(query::kByDateTime);
    visits.setScope("F");
    visits.setFilter(query::onlyFound(found.value()), query::filterText(q.criteria).toStdString());

    Settings settings;
    {
        PrivateArea guard(ws, "query_opts");
        if (auto opts = guard.open("opts"); opts && gotoFirstLive(*opts.value()))
            applyOptionsRecord(*opts.value(), settings);
    }
    const StatsReport report = query::statsReportOf(visits, p.value(), settings, QDate::currentDate());

    if (print && report.lines.empty()) {
        // An empty list prints no page, so no file is written; one of that
        // name from an earlier run is left alone and said not to be this one.
        std::error_code ec;
        const bool earlier = std::filesystem::exists(pdf, ec);
        std::printf("%s: no visits matched; %s\n", pdf.c_str(),
                    earlier ? "not written, the file there is from before and left as it was" : "no file written");
        return 0;
    }
    if (print) {
        PrintJob job;
        job.SelectPdf(QString::fromStdString(pdf));
        if (!printStats(job, report, settings))
            return inv.fail(pdf + ": cannot be written");
        std::printf("%s: statistics of %zu visit%s, %d page%s\n", pdf.c_str(), report.lines.size(),
                    report.lines.size() == 1 ? "" : "s", job.PageCount(), job.PageCount() == 1 ? "" : "s");
        return 0;
    }

    // Visit numbers come from the view in the same order as the lines.
    std::vector<long long> visitNos;
    for (visits.goTop(); !visits.eof(); visits.skip(1))
        visitNos.push_back(static_cast<long long>(visits.num("VISITNO")));
    if (inv.has("--json")) {
        std::printf("[");
        for (size_t i = 0; i < report.lines.size(); ++i) {
            const StatsLine& l = report.lines[i];
            std::printf("%s\n  {\"visitNo\": %lld, \"date\": \"%s\", \"patientCode\": %lld, \"patient\": %s, "
                        "\"fees\": %.2f}",
                        i == 0 ? "" : ",", visitNos[i], l.visitDate.toString(Qt::ISODate).toStdString().c_str(),
                        l.patientCode, jsonString((l.firstName + QLatin1Char(' ') + l.lastName).toStdString()).c_str(), l.fees);
        }
        std::printf("%s]\n", report.lines.empty() ? "" : "\n");
        return 0;
    }
    for (size_t i = 0; i < report.lines.size(); ++i) {
        const StatsLine& l = report.lines[i];
        std::printf("%10lld  %s  %10lld  %-41s %12.2f\n", visitNos[i],
                    l.visitDate.toString(Qt::ISODate).toStdString().c_str(), l.patientCode,
                    (l.firstName + QLatin1Char(' ') + l.lastName).toStdString().c_str(), l.fees);
    }
    std::printf("Total Records: %zu\nTotal Fees: %.2f\n", report.lines.size(), report.totalFees);
    return 0;
}

const char* const kCriteria =
    "      Visits dated From to To (both today when not given) whose prescription\n"
    "      holds every word of TEXT (in any letter case, also inside longer words),\n"
    "      of the chamber NAME, with fees from X and up to Y, of status N (1 Pending,\n"
    "      2 Transferred, 3 Cured, 4 Expired); in date and time order. A criterion\n"
    "      not given, or given as 0, does not narrow the search. The folder is only\n"
    "      read.\n";

Command withCriteria(Command c)
{
    return c.option("--from", "YYYY-MM-DD", "the first visit date (default today)")
        .option("--to", "YYYY-MM-DD", "the last visit date (default today)")
        .option("--words", "TEXT", "words that must all occur in the prescription")
        .option("--chamber", "NAME", "the chamber's name")
        .option("--fee-from", "X", "the lowest fee")
        .option("--fee-to", "Y", "the highest fee")
        .option("--status", "N", "the visit status, 1 to 4");
}

const Register queryCommand(withCriteria(Command("query",
    "[DIR] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--words \"TEXT\"] [--chamber NAME] [--fee-from X] [--fee-to Y] "
    "[--status N] [--json]",
    "Lists the visits that match the query window's criteria.")
    .describe(std::string(kCriteria) +
              "      One line per visit (visit number, date, patient code and name, fee), then\n"
              "      'Total Records: N' and the fee total; --json prints one JSON array.\n"))
    .option("--json", "", "print the visits as one JSON array")
    .runs([](Invocation& inv) { return run(inv, false); }));

const Register printStatsCommand(withCriteria(Command("print stats",
    "--pdf FILE [DIR] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--words \"TEXT\"] [--chamber NAME] [--fee-from X] "
    "[--fee-to Y] [--status N]",
    "Prints the statistics report of the matching visits to a PDF file.")
    .describe(std::string(kCriteria) +
              "      The report the query window prints: a line per visit, the number of\n"
              "      visits and the total fees. When no visit matches, no page is printed\n"
              "      and FILE is not written (a file of that name is left as it was).\n"))
    .option("--pdf", "FILE", "the PDF file to write")
    .runs([](Invocation& inv) { return run(inv, true); }));

} // namespace
} // namespace cn::tool
