#pragma once
// The brand medicines window Form_BrandMed: each brand under its generic
// medicine, with its manufacturer and dosage details. The master-list
// pattern; what is its own is the generic-medicine drop-down over `gmed`,
// the details box, read-only (not disabled) boxes while browsing, and the
// rule that a brand used in a live visit medicine line stays. No menu item
// opens it; BRANDMED does.
//
// A brand is never saved without a live generic medicine: the drop-down
// starts on the first live generic by name (none when there is none), and
// Save refuses, with a stop box, a choice that is not (or no longer) a live
// generic medicine.
#include "masters/master_list.h"

class QComboBox;

namespace cn {

class BrandMedForm : public MasterListForm {
    Q_OBJECT
public:
    explicit BrandMedForm();

    void BRANDMED_GET() { get(); }
    void BT_ENTRY_BRANDMED(int mode) { entry(mode); }   // 1 append, 2 modify
    void SEEK_BRANDMED() { seek(); }
    void REFRESH_SEEK_BRANDMED(const QString& text) { refreshSeek(text); }
    void BT_DELETE_BRANDMED() { remove(); }
    void BT_SAVE_BRANDMED() { save(); }
    void BT_CANCEL_BRANDMED() { cancel(); }
    void BT_EXIT_BRANDMED() { exit(); }
    void ENTRY_BRANDMED_ABLE(bool entry) { setEntry(entry); }
    data::Status BRANDMED_FLUSH() { return flush(); }

protected:
    bool validate() override;   // a live generic medicine is chosen

private:
    QComboBox* generic_ = nullptr;
};

// BRANDMED: opens the brand medicines window, or brings it forward.
void BRANDMED();

// The text of the stop box when Save finds no live generic medicine chosen.
QString noGenericText();

} // namespace cn
