#pragma once
// The chambers window Form_Chambers: the places where the doctor practises,
// which the visit entry form and the query window choose from. A list of
// chamber names with a seek box on the left, the chamber's address, phones
// and consulting times on the right.
//
// What is the chambers' own beyond the master-list pattern: the address
// fields, the hidden letterhead flag LTRHD (new chambers store false, a
// change keeps what is stored) and the rule that a chamber with live visits
// stays.
#include "masters/master_list.h"

namespace cn {

class ChamberForm : public MasterListForm {
    Q_OBJECT
public:
    explicit ChamberForm();

    void CHAMBER_GET() { get(); }
    void BT_ENTRY_CHAMBER(int mode) { entry(mode); }   // 1 append, 2 modify
    void SEEK_CHAMBER() { seek(); }
    void REFRESH_SEEK_CHAMBER(const QString& text) { refreshSeek(text); }
    void BT_DELETE_CHAMBER() { remove(); }
    void BT_SAVE_CHAMBER() { save(); }
    void BT_CANCEL_CHAMBER() { cancel(); }
    void BT_EXIT_CHAMBERS() { exit(); }
    void ENTRY_CHAMBERS_ABLE(bool entry) { setEntry(entry); }
    data::Status CHAMBERS_FLUSH() { return flush(); }
};

// CHAMBERS: opens the chambers window (Setup, "&Chambers"), or brings it forward.
void CHAMBERS();

} // namespace cn
