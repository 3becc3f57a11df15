#pragma once
// Records written straight through the engine, as another window or another
// copy of the program would write them: how the window tests set up what a
// window is to show.
#include "app/database.h"
#include "support/program_fixture.h"

#include <gtest/gtest.h>

namespace cn::testing {

// A live patient in the patient table open under `alias`; its record number.
inline uint32_t addPatientRecord(const QString& alias, long long code, const char* first, const char* last,
                                 const char* sex = "F", data::Date dob = {}, const char* race = "")
{
    data::WorkArea* a = area(alias);
    EXPECT_TRUE(a->append());
    EXPECT_TRUE(a->setNum("PATCODE", static_cast<double>(code)));
    EXPECT_TRUE(a->setStr("PATFNAME", first));
    EXPECT_TRUE(a->setStr("PATLNAME", last));
    EXPECT_TRUE(a->setStr("PATSEX", sex));
    EXPECT_TRUE(a->setDate("PATDOB", dob));
    EXPECT_TRUE(a->setStr("PATRACE", race));
    const uint32_t rec = a->recNo();
    a->unlock();
    EXPECT_TRUE(db().commitAll());
    return rec;
}

// Marks a record deleted, under its lock, as another window would.
inline void deleteRecordAt(const QString& alias, uint32_t rec)
{
    ASSERT_TRUE(markDeleted(alias.toLatin1().constData(), rec));
}

} // namespace cn::testing
