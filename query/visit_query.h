#pragma once
// The visit search without a window: criteria in, the matching visits (in
// any of the query list's orders) and their count out. The query window
// filters its list by it, the statistics printout prints what it found, and
// the data tool and the benchmark call it directly.
//
// A visit matches when its date (or, asked for, its next-visit date) lies in
// the range, and every other criterion that is set holds. A criterion is set
// when its box is not 0, or its drop-down not on "All". Ages and heights are
// compared whole: an age From (1 y 6 m) admits a patient aged 2 y 0 m, and a
// height range 5 ft 10 in to 6 ft 2 in admits 6 ft 0 in. Words are looked
// for literally, upper-cased, anywhere in the field (also inside longer
// words); each word of a box must occur.
#include "data/status.h"
#include "data/workspace.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace cn::query {

// The visit orders the query list sorts by (the visit table's indexes).
inline constexpr int kByVisitNo = 1;       // visit number
inline constexpr int kByDateTime = 3;      // visit date, then time
inline constexpr int kByPatientPvNo = 4;   // patient code, then PV number
inline constexpr int kByNextVisit = 5;     // next-visit date

struct Age {
    int years = 0, months = 0, days = 0;
    bool isSet() const { return years != 0 || months != 0 || days != 0; }
};

struct Criteria {
    QDate from, to;                  // inclusive; both must be valid dates
    bool byNextVisit = false;        // the range is of NEXTVISIT (a visit without one never matches)
    long long chamberCode = 0;
    long long patientCode = 0;
    int sex = 1;                     // 1 All, 2 "F", 3 "M"
    Age ageFrom, ageTo;
    int visitType = 1;               // 1 All, 2 New Case, 3 Follow-Up
    double pulseFrom = 0, pulseTo = 0;
    double tempFrom = 0, tempTo = 0;
    double sysFrom = 0, sysTo = 0;
    double diasFrom = 0, diasTo = 0;
    int feetFrom = 0, inchesFrom = 0, feetTo = 0, inchesTo = 0;
    double poundsFrom = 0, poundsTo = 0;
    double feesFrom = 0, feesTo = 0;
    QString raceWords;               // in the patient's background
    QString presWords;               // in the prescription as stored (markup included)
    QString notesWords;              // in the internal notes
    QString narrationWords;          // in the narration
    int status = 1;                  // 1 All, 2 Pending .. 5 Expired
};

// PHRASE2WORDS: the words of a text, split at blanks (the space character
// only); runs of blanks give no empty words, punctuation stays in its word.
QStringList PHRASE2WORDS(const QString& text);

// The condition as text, for the window to keep (CEXPR, BFILTER()).
QString filterText(const Criteria& c);

// The criteria compiled once: the words upper-cased into the tables' own
// bytes, the ranges as numbers. matches() reads the visit's fields and,
// when a patient criterion is set, the patient record `patient` stands on
// (nullptr or at its end: no patient, so such a criterion fails).
class Matcher {
public:
    explicit Matcher(const Criteria& c);
    ~Matcher();
    Matcher(Matcher&&) noexcept;
    bool matches(const data::WorkArea& visit, const data::WorkArea* patient) const;
    bool needsPatient() const;
    // Whether the visit's date part alone holds (what an index range gives).
    bool inDateRange(const data::WorkArea& visit) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

struct Found {
    std::vector<uint32_t> records;   // in the order asked for
    double totalFees = 0;
};

// The live visits of the folder's workspace that match, in `order`
// (kByDateTime, kByVisitNo, kByPatientPvNo or kByNextVisit). Reads through
// areas of its own, so no area the program keeps moves. Fails when a table
// or index cannot be opened or read.
data::Result<Found> search(data::Workspace& ws, const Criteria& c, int order = kByDateTime);

} // namespace cn::query
