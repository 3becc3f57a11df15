#pragma once
// What the prescription and the receipt print of one visit: the values the
// visit entry window shows, as a plain read-only record. The window fills it
// from its controls (each member carries the name of the control it comes
// from, or of the field for the patient's title), so that what is printed is
// what is on screen, unsaved edits included; loadVisitView fills it from a
// stored visit, for the data tool and for tests.
#include "data/status.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace cn::data { class Workspace; }

namespace cn {

struct VisitPrintView {
    QString PATTITLE;             // title of the current patnt record
    QString TxtPatFName;          // first and last name
    QString TxtPatLName;
    long long TxtPatCode = 0;     // patient code
    int TxtPatSex = 2;            // 1 female, otherwise male
    int TxtPatAgeYrs = 0;         // age at the visit
    int TxtPatAgeMnths = 0;
    int TxtPatAgeDays = 0;
    QString Lb_PVNo;              // caption: "Patient Visit (PV) No.: " and the number
    QDate TxtVisitDt;             // visit date
    int TxtPatHeightFeet = 0;     // height, imperial and metric as shown
    int TxtPatHeightInch = 0;
    int TxtPatHeightMtrs = 0;
    int TxtPatHeightCm = 0;
    int TxtPatWeightLbs = 0;      // weight
    int TxtPatWeightKgs = 0;
    double TxtPatTemp = 0;        // temperature, one decimal
    int TxtPatPulse = 0;
    int TxtPatSys = 0;            // blood pressure
    int TxtPatDias = 0;
    double TxtPatFees = 0;        // fee, two decimals
    QString TxtPatNote;           // narration (what the fee was paid against)
    QByteArray TxtPatPres;        // the prescription: RTF (or plain text) as stored in PATPRES
};

// The caption of Lb_PVNo for a patient's own visit number.
QString pvNoCaption(long long pvNo);

// The visit with that VISITNO and its patient, as the visit window shows
// them: age from the patient's date of birth to the visit date, sex from the
// patient register, metric height and kilograms computed from the stored
// imperial values. The tables are read through read-only areas of their own,
// so the areas the program has open keep their positions. NotFound when no
// live visit has that number.
data::Result<VisitPrintView> loadVisitView(data::Workspace& ws, long long visitNo);

} // namespace cn
