#pragma once
// The generic medicines window Form_GenMed: the names of the generic
// medicines that brand medicines belong to. The master-list pattern with one
// edit field; a generic medicine with live brand medicines under it stays.
// No menu item opens it; GENMED does.
#include "masters/master_list.h"

namespace cn {

class GenMedForm : public MasterListForm {
    Q_OBJECT
public:
    explicit GenMedForm();

    void GENMED_GET() { get(); }
    void BT_ENTRY_GENMED(int mode) { entry(mode); }   // 1 append, 2 modify
    void SEEK_GENMED() { seek(); }
    void REFRESH_SEEK_GENMED(const QString& text) { refreshSeek(text); }
    void BT_DELETE_GENMED() { remove(); }
    void BT_SAVE_GENMED() { save(); }
    void BT_CANCEL_GENMED() { cancel(); }
    void BT_EXIT_GENMED() { exit(); }
    void ENTRY_GENMED_ABLE(bool entry) { setEntry(entry); }
    data::Status GENMED_FLUSH() { return flush(); }
};

// GENMED: opens the generic medicines window, or brings it forward.
void GENMED();

} // namespace cn
