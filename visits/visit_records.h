#pragma once
// The visit record's rules, without a window: the two numbers of a new
// visit and how they are given out under the table lock, the checks a visit
// must pass before it is saved, and the height and weight conversions. The
// visit window saves through them; the tests, the benchmark and the data
// tool call them directly.
//
// A visit carries its visit number VISITNO, unique over all visits, and the
// patient's own visit number PVNO (1, 2, 3 ... per patient). Both are the
// highest live number plus one, so a deleted visit's number is given again
// only when it was the highest. They are computed and the record appended
// while this program holds the lock of the whole visit table, so that two
// copies of the program on one folder never give out the same number.
#include "data/status.h"
#include "data/workspace.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>
#include <optional>
#include <string>

namespace cn::visits {

// Orders of the visit table, as every area on it attaches them.
inline constexpr int kByVisitNo = 1;          // pvisit1: visit number
inline constexpr int kByPatient = 2;          // pvisit2: patient code, visit number
inline constexpr int kByPatientPvNo = 4;      // pvisit4: patient code, PV number

// Seek keys: "F" and the numbers as ten right-aligned digits.
std::string patientKey(long long patientCode);
std::string patientVisitKey(long long patientCode, long long pvNo);
std::string visitNoKey(long long visitNo);

// GETCODE on the visit number: the highest live VISITNO plus 1 (1 for a
// table without live visits). The area's order and record are kept.
long long nextVisitNo(data::WorkArea& pvisit);
// GETPVNO: the highest PVNO among the patient's live visits plus 1. The
// area's order and record are kept; a scope the area has on order 4 must
// not leave the patient out (the visit window's is the patient's own).
long long nextPatientVisitNo(data::WorkArea& pvisit, long long patientCode);

struct NewVisit {
    long long visitNo = 0;
    long long pvNo = 0;
    uint32_t recNo = 0;
};

// Asked while another copy of the program holds the visit table.
QString tableLockQuestion();

// Creates a visit of the patient: takes the lock of the whole table (waiting
// a second for another program's save to finish, then asking `retry` again
// and again while it holds the table; false gives up), computes
// both numbers, appends the record, sets the numbers and the patient's
// code, lets `write` fill in every other field, commits and unlocks. Nothing stays behind when it
// fails: a record whose fields could not all be written is marked deleted
// again. A lock given up fails with ErrorCode::InUse and writes nothing.
data::Result<NewVisit> appendVisit(data::WorkArea& pvisit, long long patientCode,
                                   const std::function<data::Status(data::WorkArea&)>& write,
                                   const std::function<bool()>& retry);

// The live visit with that number in order 1; the area stays in order 1 on
// it (at its end when there is none).
bool seekVisitNo(data::WorkArea& pvisit, long long visitNo);

// ------------------------------------------------------------ the checks

// What the checks before a save look at, as the visit window holds it.
struct VisitEntry {
    long long patientCode = 0;
    QString firstName;
    int sex = 0;                  // 1 Female, 2 Male
    int ageYears = 0, ageMonths = 0, ageDays = 0;
    long long chamberCode = 0;    // the chamber resolved from its name; 0 none
    int visitType = 0;            // 1 New Case, 2 Follow-Up; 0 none chosen
    QDate visitDate;              // null: empty
    QTime visitTime;              // invalid: empty
    QString prescription;         // its plain text
    int status = 0;               // 1 Pending .. 4 Expired; 0 none chosen
    QDate nextVisit;              // null: no next visit
    double fees = 0;
};

// The first check an entry fails: its number (1 to 11 in the order the
// program checks them, 12 the fee), the stop box's text, the control that
// gets the focus, and whether the entry is given up (the window returns to
// browsing: checks 1 to 4, about the patient, which this window cannot edit).
struct Refusal {
    int check = 0;
    QString text;
    QString focus;
    bool givesUp = false;
};
std::optional<Refusal> checkVisit(const VisitEntry& entry);

// The largest fee the visit table holds (PATFEES is N 10,2).
inline constexpr double kMaxFees = 9999999.99;

// ------------------------------------------------------------ conversions

// Height and weight are stored in feet and inches and in pounds, and shown
// also in metres and centimetres and in kilograms. A whole number rounds
// halves away from zero; the weights are truncated, not rounded (150 lbs is
// 68 kgs, 68 kgs is 149 lbs).
struct Metric {
    int metres = 0, centimetres = 0;
};
struct Imperial {
    int feet = 0, inches = 0;
};
Metric toMetric(int feet, int inches);
Imperial toImperial(int metres, int centimetres);
int toKilograms(int pounds);
int toPounds(int kilograms);
// The most pounds the visit table holds (PATWTLBS is N 3,0), and so the
// most kilograms that convert into it.
inline constexpr int kMaxPounds = 999;
int maxKilograms();

} // namespace cn::visits
