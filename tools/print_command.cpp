// curanote-data print prescription | receipt | letterhead: a stored visit's
// prescription or fee receipt, or the letterhead alone, printed to a PDF file
// exactly as the program prints it on the letterhead of the options record.
// The data folder is only read.
#include "tools/command.h"
#include "tools/gui_app.h"

#include "app/database.h"
#include "app/options.h"
#include "app/settings.h"
#include "data/catalog.h"
#include "data/workspace.h"
#include "print/letterhead.h"
#include "print/printjob.h"
#include "print/printouts.h"
#include "print/visit_view.h"

#include <cstdio>
#include <cstdlib>

namespace cn::tool {
namespace {

enum class Printout { Prescription, Receipt, Letterhead };

// The tables and indexes a printout reads; a folder without them has not
// been set up.
bool setUp(const data::Workspace& ws, Printout what, std::string& missing)
{
    std::vector<std::string> files = {data::catalog::findTable("opts")->fileName()};
    if (what != Printout::Letterhead)
        for (const char* name : {"pvisit", "patnt"})
            files.push_back(data::catalog::findTable(name)->fileName());
    if (what != Printout::Letterhead)
        for (const char* name : {"pvisit1", "patnt1"})
            files.push_back(data::catalog::findIndex(name)->fileName());
    for (const std::string& f : files)
        if (!ws.exists(f)) {
            missing = f;
            return false;
        }
    return true;
}

// A visit number: digits only, from 1.
bool parseVisit(const std::string& text, long long& out)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = std::strtoll(text.c_str(), nullptr, 10);
    return out > 0;
}

int run(Invocation& inv, Printout what)
{
    long long visitNo = 0;
    if (what != Printout::Letterhead) {
        if (!inv.has("--visit"))
            return inv.usageError("which visit? Give --visit N");
        if (!parseVisit(inv.value("--visit"), visitNo))
            return inv.usageError("--visit takes a visit number (a whole number from 1), not '" + inv.value("--visit") + "'");
    }
    const std::string pdf = inv.value("--pdf");
    if (pdf.empty())
        return inv.usageError("where to? Give --pdf FILE");

    ensureGuiApplication();
    data::Workspace ws(inv.folder());
    ws.setDeletedVisible(false);
    if (std::string missing; !setUp(ws, what, missing))
        return inv.fail(inv.folder() + ": not a data folder set up by the program (" + missing +
                        " is missing); 'curanote-data setup' sets one up");

    // The options record, as the program loads it at start-up.
    Settings settings;
    PrintOptions options;
    {
        PrivateArea guard(ws, "prn_opts");
        auto opened = guard.open("opts");
        if (!opened)
            return inv.fail(opened.message());
        if (!gotoFirstLive(*opened.value()))
            return inv.fail(inv.folder() + ": the options table holds no options record; 'curanote-data setup' makes one");
        applyOptionsRecord(*opened.value(), settings);
        options = printOptionsFrom(*opened.value());
    }

    VisitPrintView visit;
    if (what != Printout::Letterhead) {
        auto loaded = loadVisitView(ws, visitNo);
        if (!loaded) {
            if (loaded.code() == data::ErrorCode::NotFound)
                return inv.fail("visit " + std::to_string(visitNo) + ": no such visit in " + inv.folder());
            return inv.fail(loaded.message());
        }
        visit = std::move(loaded.value());
    }

    PrintJob job;
    job.SelectPdf(QString::fromStdString(pdf));
    bool printed = false;
    const char* kind = "";
    switch (what) {
    case Printout::Prescription:
        printed = printPrescription(job, visit, options, settings, !inv.has("--no-letterhead"));
        kind = "prescription";
        break;
    case Printout::Receipt:
        printed = printReceipt(job, visit, options, settings, true);
        kind = "receipt";
        break;
    case Printout::Letterhead:
        printed = printLetterheadPage(job, options.letterhead, settings.MCOMPANY);
        kind = "letterhead";
        break;
    }
    if (!printed)
        return inv.fail(pdf + ": cannot be written");
    if (what == Printout::Letterhead)
        std::printf("%s: letterhead, 1 page\n", pdf.c_str());
    else
        std::printf("%s: %s of visit %lld, %d page%s\n", pdf.c_str(), kind, visitNo, job.PageCount(),
                    job.PageCount() == 1 ? "" : "s");
    return 0;
}

const char* const kOptionsNote =
    "      Letterhead, fonts, margins and money texts come from the options record\n"
    "      of the data folder, as in the program; the folder is only read.\n";

const Register prescription(Command("print prescription", "--visit N --pdf FILE [--no-letterhead] [DIR]",
    "Prints a stored visit's prescription to a PDF file.")
    .describe(std::string("      The letterhead (unless --no-letterhead), the ruled lines, the patient\n"
                          "      header with the vital signs and the prescription, on as many pages as it\n"
                          "      takes. N is the visit number (VISITNO).\n") + kOptionsNote)
    .option("--visit", "N", "the visit number")
    .option("--pdf", "FILE", "the PDF file to write")
    .option("--no-letterhead", "", "leave out the doctor's name and letterhead lines")
    .runs([](Invocation& inv) { return run(inv, Printout::Prescription); }));

const Register receipt(Command("print receipt", "--visit N --pdf FILE [DIR]",
    "Prints the fee receipt of a stored visit to a PDF file.")
    .describe(std::string("      On the letterhead: who paid, the amount in words and in figures, what\n"
                          "      it was paid against. N is the visit number (VISITNO).\n") + kOptionsNote)
    .option("--visit", "N", "the visit number")
    .option("--pdf", "FILE", "the PDF file to write")
    .runs([](Invocation& inv) { return run(inv, Printout::Receipt); }));

const Register letterhead(Command("print letterhead", "--pdf FILE [DIR]",
    "Prints the stored letterhead alone to a PDF file.")
    .describe(std::string("      The doctor's name, the eighteen letterhead lines and the ruled lines, as\n"
                          "      the letterhead test print of the Options window prints them.\n") + kOptionsNote)
    .option("--pdf", "FILE", "the PDF file to write")
    .runs([](Invocation& inv) { return run(inv, Printout::Letterhead); }));

} // namespace
} // namespace cn::tool
