#pragma once
// The statistics report: the visits the query lists, as a banded A4 report
// in Helvetica. Every page has a header (the doctor's name and the column
// headings between two rules) and a footer (the date printed and the page
// number, " ...Contd..." or " ...End."); 35 visit lines fill a page; the
// summary (the number of visits and the total fees) follows the last line,
// on a page of its own when it does not fit under it.
//
// What is printed is gathered first (StatsReport), so that the query window
// and the data tool print the same report from the same values.
#include "app/settings.h"

#include <QDate>
#include <QString>

#include <vector>

namespace cn {

class PrintJob;

// One visit line.
struct StatsLine {
    QDate visitDate;
    long long patientCode = 0, pvNo = 0;
    QString firstName, lastName, sex;    // the patient's
    int years = 0, months = 0, days = 0;  // the age stored with the visit
    double fees = 0;
    QDate nextVisit;                      // null: none
};

struct StatsReport {
    QString doctor;                       // MCOMPANY
    QDate printedOn;                      // the footer's date
    std::vector<StatsLine> lines;
    double totalFees = 0;                 // NTOTFEES
    double ruleEnd = 193;                 // the rules' right end (statsRuleEnd())
};

// The rules end at column 200 where the environment says OS=Windows_NT, at
// 193 elsewhere.
double statsRuleEnd();

// The patient column: "Asha Rao, F :  30 y  0 m  0 d".
QString statsPatientText(const StatsLine& line);

// The bands' geometry, in millimetres.
inline constexpr double kStatsHeader = 35, kStatsLine = 6, kStatsFooterTop = 250, kStatsSummary = 20;

// Prints the report on a job whose printer (or PDF file) is chosen: A4
// portrait, pages as above. An empty report prints no page (and opens no
// preview). False when the printer or file could not be written.
bool printStats(PrintJob& job, const StatsReport& report, const Settings& settings);

} // namespace cn
