#pragma once
// The visit window's tests, on the shared fixture: a throw-away data folder
// made by the set-up logic (every table, the sample patient, the two sample
// chambers "Home Visit" and "Telephone Consultation"), the main window,
// scripted message boxes and a fixed clock (10 June 2026, 10:30).
#include "app/controls.h"
#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "support/program_test.h"
#include "visits/pvisit_form.h"
#include "visits/visit_records.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

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

// Waits on a pipe so that two processes start their saves together.
struct Gate {
    int fd[2] = {-1, -1};
    Gate() { EXPECT_EQ(::pipe(fd), 0); }
    ~Gate() { ::close(fd[0]); ::close(fd[1]); }
    void open() { EXPECT_EQ(::write(fd[1], "gogo", 4), 4); }
    void wait() { char c[4]; (void)!::read(fd[0], c, 4); }
};

// Another copy of the program: its own process and workspace on the folder,
// saving `count` visits of the patient as fast as it can.
inline pid_t otherCopySaving(const QString& folder, long long patientCode, int count, Gate& gate)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    int rc = 0;
    {
        data::Workspace other(folder.toStdString());
        auto used = other.use("PVISIT.dbf", "pvisit", data::OpenMode{true, false});
        if (!used)
            ::_exit(3);
        data::WorkArea& v = **used;
        for (const char* ix : {"PVISIT1.ntx", "PVISIT2.ntx", "PVISIT3.ntx", "PVISIT4.ntx", "PVISIT5.ntx"})
            if (!v.setIndex(other.resolve(ix)))
                ::_exit(4);
        gate.wait();
        for (int i = 0; i < count && rc == 0; ++i) {
            auto r = visits::appendVisit(v, patientCode, [](data::WorkArea& a) { return a.setNum("PVSTATUS", 2); },
                                 [] { return ::usleep(1000), true; });
            if (!r)
                rc = 2;
        }
    }
    ::_exit(rc);
}

inline int exitCode(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
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

    // A live patient written through the engine; returns its record number.
    static uint32_t addPatient(long long code, const char* first, const char* last, const char* sex = "F",
                               data::Date dob = {1980, 3, 15}, const char* race = "")
    {
        data::WorkArea* a = area(QStringLiteral("patnt01"));
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
    static void deleteRecord(const char* alias, uint32_t rec)
    {
        data::WorkArea* a = area(QLatin1String(alias));
        a->goTo(rec);
        ASSERT_TRUE(a->rlock());
        ASSERT_TRUE(a->deleteRecord());
        a->unlock();
        ASSERT_TRUE(db().commitAll());
    }
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
