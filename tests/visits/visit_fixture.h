#pragma once
// The visit window's tests, on the shared fixture: a throw-away data folder
// made by the set-up logic (every table, the sample patient, the two sample
// chambers "Home Visit" and "Telephone Consultation"), the main window,
// scripted message boxes and a fixed clock (10 June 2026, 10:30).
#include "app/controls.h"
#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "support/process.h"
#include "support/program_test.h"
#include "support/records.h"
#include "visits/pvisit_form.h"
#include "visits/visit_records.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <set>

namespace cn::testing {

// A stored visit as a test writes it.
struct StoredVisit {
    long long visitNo = 0, pvNo = 0, patientCode = 0, chamberCode = 1;
    data::Date date{2026, 6, 1};
    const char* time = "09:15:00";
    int pounds = 150, feet = 5, inches = 7;
    const char* prescription = "Rest";
    double fees = 300;
};

// Another copy of the program saving `count` visits of the patient as fast
// as it can, once the gate opens; its exit status is 0 when every save went
// through.
inline pid_t otherCopySaving(const QString& folder, long long patientCode, int count, Gate& gate)
{
    return startProcess([&] {
        data::Workspace other(folder.toStdString());
        auto used = other.use("PVISIT.dbf", "pvisit", data::OpenMode{true, false});
        if (!used)
            return 3;
        data::WorkArea& v = **used;
        for (const char* ix : {"PVISIT1.ntx", "PVISIT2.ntx", "PVISIT3.ntx", "PVISIT4.ntx", "PVISIT5.ntx"})
            if (!v.setIndex(other.resolve(ix)))
                return 4;
        gate.wait();
        for (int i = 0; i < count; ++i) {
            auto r = visits::appendVisit(v, patientCode, [](data::WorkArea& a) { return a.setNum("PVSTATUS", 2); },
                                         [] { return true; });
            if (!r)
                return 2;
        }
        return 0;
    });
}

// Another copy of the program holding the lock of the whole visit table
// from when it opens `held` until `release` opens.
inline pid_t otherCopyHoldingVisits(const QString& folder, Gate& held, Gate& release)
{
    return startProcess([&] {
        data::Workspace other(folder.toStdString());
        auto used = other.use("PVISIT.dbf", "pvisit", data::OpenMode{true, false});
        const bool locked = used && (*used)->flock();
        held.open();
        release.wait();
        return locked ? 0 : 1;
    });
}

// No visit number and no PV number among the visits given twice.
inline void expectDistinct(const std::vector<std::pair<long long, long long>>& numbers)
{
    std::set<long long> visitNos, pvNos;
    for (auto [visitNo, pvNo] : numbers) {
        visitNos.insert(visitNo);
        pvNos.insert(pvNo);
    }
    EXPECT_EQ(visitNos.size(), numbers.size()) << "a visit number given twice";
    EXPECT_EQ(pvNos.size(), numbers.size()) << "a PV number given twice";
}

class VisitWindowTest : public ProgramTest {
protected:
    PVisitForm* window() const { return form<PVisitForm>(QStringLiteral("Form_PVisit")); }

    // Opens the visit window through its opener, as the menu does.
    PVisitForm* open()
    {
        PVISIT();
        PVisitForm* f = window();
        EXPECT_NE(f, nullptr);
        if (f) {
            f->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(f));
        }
        return f;
    }

    template <class T = QWidget>
    T* ctl(const char* name, const char* formName = "Form_PVisit") const
    {
        QWidget* f = findWindow(QLatin1String(formName));
        T* w = f ? f->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* box(const char* name) const { return ctl<QLineEdit>(name); }
    QString text(const char* name) const { return box(name)->text(); }
    double number(const char* name, const char* formName = "Form_PVisit") const
    {
        return ctl<NumberBox>(name, formName)->value();
    }
    void click(const char* button, const char* formName = "Form_PVisit")
    {
        QTest::mouseClick(ctl<QPushButton>(button, formName), Qt::LeftButton);
    }
    void retype(const char* name, const QString& value)
    {
        QLineEdit* b = box(name);
        b->setFocus(Qt::TabFocusReason);
        b->selectAll();
        QTest::keyClicks(b, value);
    }
    // Types into a box and leaves it with Tab, as the user does.
    void typeAndLeave(const char* name, const QString& value)
    {
        retype(name, value);
        QTest::keyClick(box(name), Qt::Key_Tab);
    }
    void seek(const QString& value)
    {
        QLineEdit* b = box("TxtPatSeek");
        b->clear();
        QTest::keyClicks(b, value);
    }
    QString pvNoLabel() const { return ctl<QLabel>("Lb_PVNo")->text(); }

    // What a new visit needs to pass the checks, typed in after Append: a
    // chamber, a type, a status and a prescription (the next-visit picker
    // is left at today, which the save refuses until it is changed).
    void fillNewVisit(const char* chamber = "Home Visit", const char* prescription = "Paracetamol 500 mg")
    {
        typeAndLeave("TxtChName", QLatin1String(chamber));
        ctl<RadioGroup>("TxtVisitType")->setValue(1);
        ctl<ComboBox>("TxtPVStatus")->setValue(1);
        auto* pres = ctl<RichTextBox>("TxtPatPres");
        pres->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(pres, QLatin1String(prescription));
    }

    static uint32_t addPatient(long long code, const char* first, const char* last, const char* sex = "F",
                               data::Date dob = {1980, 3, 15}, const char* race = "")
    {
        return addPatientRecord(QStringLiteral("patnt01"), code, first, last, sex, dob, race);
    }
    // A live visit written through the engine, through an area no window
    // uses; returns its record number.
    static uint32_t addVisit(const StoredVisit& s)
    {
        data::WorkArea* v = area(QStringLiteral("pvisit01"));
        EXPECT_TRUE(v->append());
        EXPECT_TRUE(v->setNum("VISITNO", static_cast<double>(s.visitNo)));
        EXPECT_TRUE(v->setNum("PVNO", static_cast<double>(s.pvNo)));
        EXPECT_TRUE(v->setNum("PATCODE", static_cast<double>(s.patientCode)));
        EXPECT_TRUE(v->setNum("CHCODE", static_cast<double>(s.chamberCode)));
        EXPECT_TRUE(v->setDate("VISITDT", s.date));
        EXPECT_TRUE(v->setStr("VISITTM", s.time));
        EXPECT_TRUE(v->setNum("VISITTYPE", 1));
        EXPECT_TRUE(v->setNum("PATWTLBS", s.pounds));
        EXPECT_TRUE(v->setNum("PATHTFT", s.feet));
        EXPECT_TRUE(v->setNum("PATHTIN", s.inches));
        EXPECT_TRUE(v->setMemo("PATPRES", s.prescription));
        EXPECT_TRUE(v->setNum("PATFEES", s.fees));
        EXPECT_TRUE(v->setNum("PVSTATUS", 1));
        const uint32_t rec = v->recNo();
        v->unlock();
        EXPECT_TRUE(db().commitAll());
        return rec;
    }
    static void deleteRecord(const char* alias, uint32_t rec) { deleteRecordAt(QLatin1String(alias), rec); }
    // The live visit with that number, read through an area no window uses.
    static data::WorkArea* storedVisit(long long visitNo)
    {
        data::WorkArea* v = area(QStringLiteral("pvisit01"));
        EXPECT_TRUE(v->setOrder(1));
        return v->seek(visits::visitNoKey(visitNo)) ? v : nullptr;
    }
    // Every live visit of a patient as (visit number, PV number), in PV order.
    static std::vector<std::pair<long long, long long>> numbersOf(long long patientCode)
    {
        PrivateArea own(db(), "pvisit_numbers");
        auto opened = own.open("pvisit", {"pvisit4"});
        std::vector<std::pair<long long, long long>> out;
        EXPECT_TRUE(opened) << opened.message();
        if (!opened)
            return out;
        data::WorkArea& v = *opened.value();
        v.setScope(visits::patientKey(patientCode));
        for (v.goTop(); !v.eof(); v.skip(1))
            out.emplace_back(static_cast<long long>(v.num("VISITNO")), static_cast<long long>(v.num("PVNO")));
        return out;
    }
};

} // namespace cn::testing
