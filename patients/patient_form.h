#pragma once
// The patient register Form_Patient: a list of every live patient by name
// with a seek box on the left, the edit frame of the selected patient on the
// right. The doctor's assistant finds a patient by typing the first letters
// of the first name, adds patients, corrects them and deletes those without
// visits.
//
// The window works on the shared area `patnt` (the visit windows use the same
// one) and keeps it on order 2 (upper-case first name, then last name).
#include "app/forms.h"
#include "data/status.h"

class QLineEdit;

namespace cn {

class BrowseGrid;
class DatePicker;
class NumberBox;
class RadioGroup;

class PatientForm : public Form {
    Q_OBJECT
public:
    explicit PatientForm(QWidget* owner = nullptr);

    // Handlers, named as the menu code and the other windows know them.
    void PATIENT_GET();                     // load the selected patient (blank while entering a new one)
    void BT_ENTRY_PATIENT(int mode);        // 1 append, 2 modify
    void BT_SAVE_PATIENT();
    void BT_CANCEL_PATIENT();
    void BT_DELETE_PATIENT();
    void BT_EXIT_PATIENT();
    void SEEK_PATIENT();
    void REFRESH_SEEK_PATIENT(const QString& text);
    void ENTRY_PATIENT_ABLE(bool entry);
    // Writes the edit boxes into the current record of `patnt` and commits.
    // An error leaves it to the caller to undo or report.
    data::Status PATIENT_FLUSH();
    void CALC_PATAGE();

    // Window state.
    bool LNEW = false;             // a new patient is being entered
    long long CODETOEDIT = 0;      // code of the patient shown in the edit frame
    bool entryMode() const { return entry_; }

protected:
    void initialise() override;
    void releasing() override;

private:
    void buildWindow();
    void wireEvents();
    void onGridChanged();
    void showBlankPatient();
    // The code of the patient in the grid's selected row (0 for none); the
    // area is left on that record.
    long long gridPatientCode();
    // Puts `patnt` back on its name order at the grid's record after a save
    // was given up (the duplicate test and the code seek move it), so the
    // list shows what it showed before.
    void backToNameOrder();
    // The full-width name key of order 2 for the names in the edit boxes.
    QString nameKey() const;
    // Asks the duplicate question; true when the user accepts the name.
    bool acceptDuplicate();
    void saveNew();
    void saveChanged();

    BrowseGrid* grid_ = nullptr;
    QLineEdit* seek_ = nullptr;
    NumberBox* code_ = nullptr;
    RadioGroup* sex_ = nullptr;
    DatePicker* dob_ = nullptr;
    bool entry_ = false;
};

// PATNT: opens the patient register, or brings it forward when it is open.
void PATNT();

} // namespace cn
