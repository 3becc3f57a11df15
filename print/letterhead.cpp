#include "print/letterhead.h"

#include "app/database.h"
#include "app/options.h"
#include "data/workspace.h"
#include "print/printjob.h"

namespace cn {

PrintOptions printOptionsFrom(const data::WorkArea& a)
{
    auto text = [&](const std::string& field, bool trim = true) {
        return fieldText(a, QString::fromStdString(field), trim);
    };
    PrintOptions o;
    Letterhead& lh = o.letterhead;
    lh.doctorFont = FONTSTR2ARRAY(text("DOCNMATTR"));
    lh.doctorRow = a.num("DOCNMROW");
    lh.doctorCol = a.num("DOCNMCOL");
    for (int i = 0; i < Letterhead::kLines; ++i) {
        const std::string n = "LHD" + std::to_string(Letterhead::lineNumber(i));
        LetterheadLine& line = lh.lines[i];
        line.text = text(n, false);
        line.font = FONTSTR2ARRAY(text(n + "ATTR"));
        line.row = a.num(n + "ROW");
        line.col = a.num(n + "COL");
    }
    for (int k = 0; k < 4; ++k) {
        const std::string n = "LINE" + std::to_string(k + 1);
        lh.rules[k] = {a.num(n + "ROW1"), a.num(n + "COL1"), a.num(n + "ROW2"), a.num(n + "COL2")};
    }
    o.currencySymbol = text("CURRSYM");
    o.currencyText = text("CURRTXT");
    o.hundredthText = text("CURRTXT2");
    return o;
}

data::Result<PrintOptions> loadPrintOptions(data::Workspace& ws)
{
    PrivateArea guard(ws, "prn_opts");
    auto opened = guard.open("opts");
    if (!opened)
        return opened.status();
    data::WorkArea& a = *opened.value();
    if (!gotoFirstLive(a)) {
        if (!a.lastError().empty())
            return data::Status::error(data::ErrorCode::Damaged, a.lastError());
        return data::Status::error(data::ErrorCode::NotFound, "the options table holds no options record");
    }
    return printOptionsFrom(a);
}

void useFontRecord(PrintJob& job, const FontRecord& font)
{
    FontChange reset;
    reset.face = QStringLiteral("arial");
    reset.size = 12.0;
    job.ModifyFont(QStringLiteral("f0"), reset);
    job.ModifyFont(QStringLiteral("f0"), font);
}

void drawLetterhead(PrintJob& job, const Letterhead& lh, const QString& doctor, bool withTexts)
{
    const QString f0 = QStringLiteral("f0");
    job.SetViewPortOrg(0, 0);
    if (withTexts) {
        useFontRecord(job, lh.doctorFont);
        job.Say(lh.doctorRow, lh.doctorCol, doctor.trimmed(), f0, PrintJob::colourOf(lh.doctorFont));
        for (const LetterheadLine& line : lh.lines) {
            useFontRecord(job, line.font);
            job.Say(line.row, line.col, line.text, f0, PrintJob::colourOf(line.font));
        }
    }
    job.SelectPen(QStringLiteral("p0"));
    for (const Settings::Rule& r : lh.rules)
        job.Line(r.row1, r.col1, r.row2, r.col2);
}

} // namespace cn
