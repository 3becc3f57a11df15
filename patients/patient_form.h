#pragma once
// The patient register Form_Patient: a list of every live patient by name
// with a seek box on the left, the edit frame of the selected patient on the
// right. The doctor's assistant finds a patient by typing the first letters
// of the first name, adds patients, corrects them and deletes those without
// visits.
//
// The window works on the shared area `patnt` (the visit windows use the same
// one) and keeps it on order 2 (upper-case first name, then last name). The
// list-and-edit base does the browsing, saving and deleting; what is the
// register's own is the sex check, the ages and the delete question.
#include "app/listedit.h"

namespace cn {

class DatePicker;
class RadioGroup;

class PatientForm : public ListEditForm {
    Q_OBJECT
public:
    explicit PatientForm(QWidget* owner = nullptr);

    // Handlers, named as the menu code and the other windows know them.
    void PATIENT_GET() { get(); }                   // load the selected patient (blank while entering a new one)
    void BT_ENTRY_PATIENT(int mode) { entry(mode); } // 1 append, 2 modify
    void BT_SAVE_PATIENT() { save(); }
    void BT_CANCEL_PATIENT() { cancel(); }
    void BT_DELETE_PATIENT() { remove(); }
    void BT_EXIT_PATIENT() { exit(); }
    void SEEK_PATIENT() { seek(); }
    void REFRESH_SEEK_PATIENT(const QString& text) { refreshSeek(text); }
    void ENTRY_PATIENT_ABLE(bool entry) { setEntry(entry); }
    // Writes the edit boxes into the current record of `patnt` and commits.
    // An error leaves it to the caller to undo or report.
    data::Status PATIENT_FLUSH() { return flush(); }
    void CALC_PATAGE();

protected:
    void shown() override { CALC_PATAGE(); }
    bool validate() override;
    QString deleteQuestion(const data::WorkArea& a, long long code) const override;

private:
    RadioGroup* sex_ = nullptr;
    DatePicker* dob_ = nullptr;
    QLineEdit* ageBoxes_[3] = {};
};

// PATNT: opens the patient register, or brings it forward when it is open.
void PATNT();

} // namespace cn
