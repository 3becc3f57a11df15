#include "print/stats_report.h"

#include "app/text.h"
#include "print/printjob.h"

#include <QtGlobal>

namespace cn {

namespace {

const QString kTitle = QStringLiteral("Helv20"), kHead10 = QStringLiteral("Helv10B"),
              kHead9 = QStringLiteral("Helv9B"), kBody = QStringLiteral("Helv9"), kFoot = QStringLiteral("Helv12");

enum class Align { Left, Right, Centre };

class StatsPrinter {
public:
    StatsPrinter(PrintJob& job, const StatsReport& r, const Settings& s) : job_(job), r_(r), s_(s) {}

    bool run()
    {
        job_.SetUnits(1);
        job_.SetPage(PrintJob::Portrait, QPageSize::A4);
        const QString face = QStringLiteral("Helvetica");
        job_.DefineFont(kTitle, face, 20);
        job_.DefineFont(kHead10, face, 10, 0, 0, true);
        job_.DefineFont(kHead9, face, 9, 0, 0, true);
        job_.DefineFont(kBody, face, 9);
        job_.DefineFont(kFoot, face, 12);
        job_.DefinePen(QStringLiteral("rule"), Qt::SolidLine, 0.1, Qt::black);
        job_.SelectPen(QStringLiteral("rule"));
        job_.SetTextColor(Qt::black);
        if (!job_.StartDoc(QStringLiteral("Report1")))
            return finish(false);

        const size_t n = r_.lines.size();
        size_t next = 0;
        int page = 1;
        while (next < n) {
            if (!startPage())
                return finish(false);
            double y = kStatsHeader;
            for (;;) {
                visitLine(y, r_.lines[next]);
                y += kStatsLine;
                ++next;
                if (next == n) {
                    if (y + kStatsSummary > kStatsFooterTop) {
                        closePage(page++, true);
                        if (!startPage())
                            return finish(false);
                        y = kStatsHeader;
                    }
                    summary(y);
                    closePage(page++, true);
                    break;
                }
                if (y + kStatsLine > kStatsFooterTop) {
                    closePage(page++, false);
                    break;
                }
            }
        }
        return finish(true);
    }

private:
    void cell(double row, double col, double width, Align a, const QString& text, const QString& font)
    {
        const double at = a == Align::Left ? col : a == Align::Right ? col + width : col + width / 2;
        const int align = a == Align::Left ? PrintJob::AlignLeft : a == Align::Right ? PrintJob::AlignRight
                                                                                      : PrintJob::AlignCenter;
        job_.Say(row + 3, at, text, font, QColor(Qt::black), align);
    }
    void rule(double row) { job_.Line(row, 10, row, r_.ruleEnd); }
    QString date(const QDate& d) const { return d.isValid() ? d.toString(s_.CDATEFORMAT) : QString(); }
    QString money(double v) const { return formatPicture(v, s_.numPicture(8, 2)).trimmed(); }

    bool startPage()
    {
        if (!job_.StartPage())
            return false;
        cell(13, 55, 100, Align::Centre, r_.doctor.trimmed(), kTitle);
        rule(23);
        cell(24, 25, 5, Align::Right, QStringLiteral("Sl No."), kHead10);
        cell(24, 35, 15, Align::Right, QStringLiteral("Date"), kHead10);
        cell(24, 55, 15, Align::Centre, QStringLiteral("PV No."), kHead9);
        cell(24, 75, 40, Align::Left, QStringLiteral("Patient"), kHead9);
        cell(24, 150, 15, Align::Centre, QStringLiteral("Fees"), kHead9);
        cell(24, 180, 10, Align::Right, QStringLiteral("Next Visit"), kHead9);
        rule(35);
        return true;
    }

    void visitLine(double y, const StatsLine& l)
    {
        ++slNo_;
        const double row = y + 2;
        cell(row, 25, 5, Align::Right, QString::number(slNo_) + QLatin1Char('.'), kBody);
        cell(row, 35, 15, Align::Right, date(l.visitDate), kBody);
        cell(row, 55, 15, Align::Right, QStringLiteral("%1/%2").arg(l.patientCode).arg(l.pvNo), kBody);
        cell(row, 75, 40, Align::Left, statsPatientText(l), kBody);
        cell(row, 150, 15, Align::Right, money(l.fees), kBody);
        cell(row, 180, 10, Align::Right, date(l.nextVisit), kBody);
    }

    void summary(double y)
    {
        rule(y + 5);
        cell(y + 5, 20, 100, Align::Left, QStringLiteral("Total Records: ") + QStringLiteral("%1").arg(slNo_, 10), kHead9);
        cell(y + 5, 150, 15, Align::Right, money(r_.totalFees), kHead9);
        rule(y + 15);
    }

    void closePage(int page, bool ended)
    {
        const double top = kStatsFooterTop;
        rule(top + 4);
        cell(top + 5, 11, 30, Align::Left, date(r_.printedOn), kFoot);
        cell(top + 5, 150, 100, Align::Left,
             QStringLiteral("Page. No: ") + QString::number(page) +
                 (ended ? QStringLiteral(" ...End.") : QStringLiteral(" ...Contd...")),
             kFoot);
        job_.EndPage();
    }

    bool finish(bool ok)
    {
        if (job_.PageOpen())
            job_.EndPage();
        const bool ended = job_.EndDoc();
        const bool fine = ok && ended && job_.Error() == PrintJob::NoError;
        job_.End();
        return fine;
    }

    PrintJob& job_;
    const StatsReport& r_;
    const Settings& s_;
    long long slNo_ = 0;   // NSLNO
};

} // namespace

double statsRuleEnd() { return qEnvironmentVariable("OS") == QLatin1String("Windows_NT") ? 200 : 193; }

QString statsPatientText(const StatsLine& l)
{
    return l.firstName.trimmed() + QLatin1Char(' ') + l.lastName.trimmed() + QStringLiteral(", ") + l.sex +
           QStringLiteral(" : ") + QStringLiteral("%1").arg(l.years, 3) + QStringLiteral(" y ") +
           QStringLiteral("%1").arg(l.months, 2) + QStringLiteral(" m ") + QStringLiteral("%1").arg(l.days, 2) +
           QStringLiteral(" d");
}

bool printStats(PrintJob& job, const StatsReport& report, const Settings& settings)
{
    if (report.lines.empty()) {
        job.End();
        return true;
    }
    return StatsPrinter(job, report, settings).run();
}

} // namespace cn
