#pragma once
// The history window Form_PVHist, beside the visit window: the doctor pages
// through a patient's earlier visits, laid out as in the visit window, and
// changes nothing. It starts on the patient and visit the visit window
// shows.
//
// It pages through work areas of its own on the patient, visit and chamber
// tables, so that the visit window's areas, orders, scopes and records
// never move while it is open (the visit window's Delete acts on the visit
// that window shows, whatever the history shows).
#include "visits/visit_details.h"

namespace cn {

class PrivateArea;

class PVHistForm : public VisitDetailsForm {
    Q_OBJECT
public:
    explicit PVHistForm(QWidget* owner = nullptr);
    ~PVHistForm() override;

    // The areas it pages through.
    static const QString kPatients, kVisits, kChambers;

    void UPDATE_GRID_PVHIST() { showLists(0); }
    void UPDATE_PVHISTDETAILS() { showVisit(); }
    void SEEK_PATPVHIST() { seekPatients(); }
    void REFRESH_SEEK_PATPVHIST(const QString& text);
    void FIND_PATIENT1() { findPatient(); }
    void CALC_PATAGE11() { calcAge(); }
    void CONVERT_HEIGHT1(bool fromImperial) { convertHeight(fromImperial); }
    void CONVERT_WEIGHT1(bool fromPounds) { convertWeight(fromPounds); }
    void ENTRY_PVHIST_ABLE(int mode);   // always 0: viewing

    // Shows the patient and then the visit of those records (the visit
    // window's), as a choice in the lists would.
    void showRecords(uint32_t patient, uint32_t visit);

protected:
    void patientChosen() override { UPDATE_GRID_PVHIST(); }
    void releasing() override;

private:
    std::unique_ptr<PrivateArea> patients_, visits_, chambers_;
    EntryStates states_;
};

// PVHIST: opens the history window, or brings it forward when it is open;
// on the visit window's patient and visit while that window is open.
void PVHIST();

} // namespace cn
