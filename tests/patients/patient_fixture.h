#pragma once
// The patient register's tests, on the shared fixture: a throw-away data
// folder made by the set-up logic (so it holds every table and the sample
// patient), the main window for the View menu, scripted message boxes and a
// fixed clock.
#include "app/database.h"
#include "app/forms.h"
#include "app/grid.h"
#include "app/mainwindow.h"
#include "patients/patient_form.h"
#include "support/program_fixture.h"
#include "support/records.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace cn::testing {

class PatientRegisterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        program_ = std::make_unique<ProgramFixture>(folder_.path());
        ASSERT_TRUE(program_->setupMessages().empty()) << program_->setupMessages().front();
        ASSERT_NE(area(QStringLiteral("patnt")), nullptr);
        main_ = program_->mainWindow();
    }

    void TearDown() override { program_.reset(); }

    // Opens the register through its opener, as the menu does.
    PatientForm* open()
    {
        PATNT();
        auto* f = form<PatientForm>(QStringLiteral("Form_Patient"));
        EXPECT_NE(f, nullptr);
        // Focus moves only within the active window.
        if (f) {
            f->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(f));
        }
        return f;
    }

    template <class T = QWidget>
    T* ctl(const char* name) const
    {
        auto* f = form<PatientForm>(QStringLiteral("Form_Patient"));
        T* w = f ? f->control<T>(QLatin1String(name)) : nullptr;
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* box(const char* name) const { return ctl<QLineEdit>(name); }
    BrowseGrid* grid() const { return ctl<BrowseGrid>("Grid_Patient"); }
    QString text(const char* name) const { return box(name)->text(); }

    void click(const char* button) { QTest::mouseClick(ctl<QPushButton>(button), Qt::LeftButton); }
    void retype(const char* name, const QString& value)
    {
        QLineEdit* b = box(name);
        b->clear();
        QTest::keyClicks(b, value);
    }
    void seek(const QString& value) { retype("TxtSeek", value); }

    // A live patient written through the engine; returns its record number.
    uint32_t addPatient(long long code, const char* first, const char* last, const char* sex = "F",
                        data::Date dob = {})
    {
        return addPatientRecord(QStringLiteral("patnt"), code, first, last, sex, dob);
    }
    static uint32_t addVisit(long long visitNo, long long patientCode)
    {
        const uint32_t rec = appendRecord("pvisit", {{"VISITNO", double(visitNo)}, {"PVNO", 1}, {"PATCODE", double(patientCode)}});
        EXPECT_NE(rec, 0u);
        return rec;
    }
    // Marks a record deleted through the engine, as another window would.
    static void deleteRecord(const char* alias, uint32_t rec) { deleteRecordAt(QLatin1String(alias), rec); }
    // The first live patient whose code is `code`, read through order 1 of
    // a second area on the same table, so the window's area is not moved.
    static bool findByCode(long long code)
    {
        data::WorkArea* a = area(QStringLiteral("patnt01"));
        EXPECT_TRUE(a->setOrder(1));
        return a->seek("F" + data::strNum(static_cast<double>(code), 10));
    }
    static QString field(const char* name)
    {
        return fieldText(*area(QStringLiteral("patnt01")), QLatin1String(name));
    }

    QTemporaryDir folder_;
    std::unique_ptr<ProgramFixture> program_;
    QPointer<MainWindow> main_;
};

} // namespace cn::testing
