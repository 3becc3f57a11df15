#pragma once
// The visit window Form_PVisit, where the doctor records every
// consultation: the patients by name and the chosen patient's visits, the
// visit's details, and Append, Modify, Delete, Save and Cancel.
//
// It browses visits, enters a new one (new mode) or changes the one chosen
// (modify mode). It works on the shared areas `patnt` (order 2, related to
// `pvisit` while the window is open), `pvisit` (order 4, scoped to the
// chosen patient) and `chamber`, and always acts on the visit its list
// shows, never on wherever another window or the lists' painting left an
// area. The numbers and the checks of a save are visits/visit_records.h's.
#include "print/visit_view.h"
#include "visits/visit_details.h"

namespace cn {

namespace visits { struct VisitEntry; }
class RxEditor;

class PVisitForm : public VisitDetailsForm {
    Q_OBJECT
public:
    explicit PVisitForm(QWidget* owner = nullptr);

    // The window state.
    bool LNEW = false;                  // a new visit is being entered: Save creates one
    long long VISITTOEDIT = 0;          // the visit number noted when modify mode began
    bool entryMode() const { return entry_; }
    // The prescription editor's toolbar, lists and context menus.
    RxEditor* editor() const { return rx_; }

    // Handlers, by the window's routine names.
    void UPDATE_GRID_PVISIT(uint32_t rec = 0, long long pvNo = 1);   // the chosen patient's visits, that visit shown
    void SEEK_PATPVISIT() { seekPatients(); }
    void FIND_PATIENT() { findPatient(); }
    void CALC_PATAGE1() { calcAge(); }
    void UPDATE_VISITDETAILS() { showVisit(); }
    void GET_CHAMBER();                  // the chamber pick list
    void CHK_TXTCHNAME();                // the chamber's name resolved to its code
    void CONVERT_HEIGHT(bool fromImperial) { convertHeight(fromImperial); }
    void CONVERT_WEIGHT(bool fromPounds) { convertWeight(fromPounds); }
    void BT_ENTRY_PVISIT(int mode);      // 1 append, 2 modify
    void BT_SAVE_PVISIT();
    void BT_CANCEL_PVISIT();
    void BT_DELETE_PVISIT(int fromButton);
    void RELEASE_PVISIT() { release(); }
    void ENTRY_PVISIT_ABLE(bool entry);
    // Writes every field of the visit but its two numbers into the current
    // record of `a` and commits.
    data::Status PVISIT_FLUSH(data::WorkArea& a);
    // The next PV number of the patient in TxtPatCode.
    long long GETPVNO();
    // The patient-to-visit relation: on while the window is open.
    static void SET_PVISIT_RELATIONS(bool on);

    // Builds, shows and fills a new window (the opener's steps).
    void open();
    visits::VisitEntry entryValues() const;
    // What the prescription and the receipt print: the values on screen.
    VisitPrintView printView() const;

protected:
    void patientChosen() override { UPDATE_GRID_PVISIT(); }
    void releasing() override;

private:
    void startNewVisit();
    // The visit number of the visit the list shows, the area on it; 0, after
    // telling the user, when there is none.
    long long listedVisitNo();
    bool resolveChamber(bool tell);
    void saveNew();
    void saveChanged();

    EntryStates states_;
    RxEditor* rx_ = nullptr;
    bool entry_ = false;
    int entrySerial_ = 0;               // a new number for every entry begun or ended
    QString resolvedName_;              // the chamber name chamberCode_ was resolved from
};

// PVISIT: opens the visit window, or brings it forward when it is open;
// refused while the query window is open.
void PVISIT();

} // namespace cn
