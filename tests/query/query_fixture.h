#pragma once
// The query tests, on the shared fixture: a throw-away data folder made by
// the set-up logic, the main window, scripted message boxes and a fixed
// clock (10 June 2026), with visits written straight through the engine.
#include "app/database.h"
#include "support/program_test.h"
#include "support/records.h"

#include <gtest/gtest.h>

namespace cn::testing {

// A visit as a test writes it; what it leaves out stays blank.
struct QueryVisit {
    long long visitNo = 0, patientCode = 11, pvNo = 1, chamberCode = 0;
    data::Date date{2026, 6, 10};
    const char* time = "09:00:00";
    data::Date next{};
    double fees = 100;
    int years = 30, months = 0, days = 0;
    int feet = 0, inches = 0, pounds = 0, pulse = 0;
    int type = 1, status = 1;
    const char* prescription = "";
    const char* narration = "";
};

inline uint32_t addVisit(const QueryVisit& q)
{
    data::WorkArea* v = area(QStringLiteral("pvisit"));
    EXPECT_TRUE(v->append());
    const std::pair<const char*, double> numbers[] = {
        {"VISITNO", double(q.visitNo)}, {"PATCODE", double(q.patientCode)}, {"PVNO", double(q.pvNo)},
        {"CHCODE", double(q.chamberCode)}, {"PATFEES", q.fees}, {"PATYRS", q.years}, {"PATMNTHS", q.months},
        {"PATDAYS", q.days}, {"PATHTFT", q.feet}, {"PATHTIN", q.inches}, {"PATWTLBS", q.pounds},
        {"PATPULSE", q.pulse}, {"VISITTYPE", q.type}, {"PVSTATUS", q.status}};
    for (const auto& [field, value] : numbers)
        EXPECT_TRUE(v->setNum(field, value)) << field;
    EXPECT_TRUE(v->setDate("VISITDT", q.date));
    EXPECT_TRUE(v->setStr("VISITTM", q.time));
    EXPECT_TRUE(v->setDate("NEXTVISIT", q.next));
    EXPECT_TRUE(v->setLogical("LNEXTVISIT", !q.next.empty()));
    EXPECT_TRUE(v->setMemo("PATPRES", q.prescription));
    EXPECT_TRUE(v->setStr("PATNOTE", q.narration));
    const uint32_t rec = v->recNo();
    v->unlock();
    EXPECT_TRUE(db().commitAll());
    return rec;
}

class QueryTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        addPatientRecord(QStringLiteral("patnt"), 11, "Asha", "Rao", "F", {1990, 1, 1}, "Coastal Tamil");
        addPatientRecord(QStringLiteral("patnt"), 12, "Vikram", "Das", "M", {1985, 5, 5}, "Bengali");
    }
};

} // namespace cn::testing
