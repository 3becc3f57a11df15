#pragma once
// What the visit window Form_PVisit and the history window Form_PVHist
// share. Both show, on the left, the patients by name with a seek box and
// the chosen patient's visits, and below and to the right one visit's
// details in three frames: the patient with the age on the visit day, the
// visit number, chamber, type, date and time and the measurements; the
// prescription, the internal notes, the status and the next visit; the
// narration and the fee. The declarations of those frames, their field
// bindings and the routines that fill them are written once, here; each
// window adds its own buttons and what it does with them.
//
// A window pages through three work areas, named by alias: the patients
// (order 2, by name), the visits (scoped to the chosen patient, in the
// window's own order) and the chambers (for the chamber's name). The visit
// window uses the program's shared areas, the history window areas of its
// own on the same tables.
#include "app/bindings.h"
#include "app/entrystates.h"
#include "app/forms.h"

#include <memory>

class QLabel;
class QLineEdit;
class QTimeEdit;

namespace cn {

class BrowseGrid;
class ComboBox;
class DatePicker;
class NumberBox;
class RadioGroup;
class RichTextBox;
class TextBox;

// The visit window adds the chamber's pick button and two tooltips and calls
// the narration "Narration", where the history window calls it "Summary".
enum class DetailsFor { Entry, History };

class VisitDetailsForm : public Form {
    Q_OBJECT
public:
    // The records shown: the chosen patient's and the visit's (0 for none).
    uint32_t shownPatient() const;
    uint32_t shownVisit() const;
    // The chamber code of the visit shown (or resolved from the box).
    long long chamberCode() const { return chamberCode_; }

    // The declarations of the shared frames, in Tab order: the lists with
    // the seek box, the visit's measures, the prescription and notes, and
    // the narration and fee.
    static QList<ControlDecl> listFrame(DetailsFor kind);
    static QList<ControlDecl> measuresFrame(DetailsFor kind);
    static QList<ControlDecl> notesFrame();
    static QList<ControlDecl> feesFrame(DetailsFor kind);
    // The fields a visit shows and a save writes, control by control.
    static std::span<const FieldBinding> visitFields();

protected:
    struct Areas {
        QString patients, visits, chambers;
        int visitOrder = 0;   // the visit list's order
    };
    VisitDetailsForm(const QString& name, QWidget* owner);

    // Takes the controls of the shared frames, binds the visit's fields
    // (`shown`: visitFields() and what the window adds; `writtenOnly`: what
    // a save writes that is never loaded) and wires the lists, the seek box,
    // the age and the conversions.
    void attachDetails(const Areas& areas, std::span<const FieldBinding> shown,
                       std::span<const FieldBinding> writtenOnly = {});

    data::WorkArea* patients() const;
    data::WorkArea* visits() const;
    data::WorkArea* chambers() const;

    // The routines of both windows, each under its window's own names.
    void seekPatients();                       // the seek box changed
    void showLists(long long pvNo);            // the patient changed: its visits, the patient, the visit
    void findPatient();                        // the patient of TxtPatCode into the boxes
    void calcAge();                            // the age on the visit day
    void showVisit();                          // the visit of the list into the boxes
    void convertHeight(bool fromImperial);
    void convertWeight(bool fromPounds);
    // Notes the six measure boxes as they are now: leaving one converts
    // only when its value was changed since.
    void noteMeasures();
    // The measure box with the focus, when its value was changed and not yet
    // converted, converts now (a save by its key does not leave the box);
    // false when its value was refused.
    bool convertPending();

    // Called when the user chooses another patient or visit in the lists.
    virtual void patientChosen() = 0;
    virtual void visitChosen() { showVisit(); }

    // The controls every details window has.
    BrowseGrid* gridPatients_ = nullptr;
    BrowseGrid* gridVisits_ = nullptr;
    QLineEdit* seek_ = nullptr;
    QLabel* pvNoLabel_ = nullptr;
    NumberBox* patCode_ = nullptr;
    QLineEdit* firstName_ = nullptr;
    QLineEdit* lastName_ = nullptr;
    RadioGroup* sex_ = nullptr;
    QLineEdit* race_ = nullptr;
    DatePicker* dob_ = nullptr;
    NumberBox* ages_[3] = {};
    NumberBox* visitNo_ = nullptr;
    TextBox* chamber_ = nullptr;
    RadioGroup* visitType_ = nullptr;
    DatePicker* visitDate_ = nullptr;
    QTimeEdit* visitTime_ = nullptr;
    NumberBox* feet_ = nullptr;
    NumberBox* inches_ = nullptr;
    NumberBox* metres_ = nullptr;
    NumberBox* centimetres_ = nullptr;
    NumberBox* pounds_ = nullptr;
    NumberBox* kilograms_ = nullptr;
    NumberBox* systolic_ = nullptr;
    NumberBox* diastolic_ = nullptr;
    NumberBox* pulse_ = nullptr;
    NumberBox* temperature_ = nullptr;
    QLineEdit* narration_ = nullptr;
    RichTextBox* prescription_ = nullptr;
    RichTextBox* notes_ = nullptr;
    ComboBox* status_ = nullptr;
    DatePicker* nextVisit_ = nullptr;
    NumberBox* fees_ = nullptr;

    std::unique_ptr<FieldBindings> fields_;
    FieldValues loaded_;          // the visit as last shown
    long long chamberCode_ = 0;
    // What the browse state allows of the shared controls: the history
    // window's only state, the visit window's browse state.
    EntryStates detailStates_;

private:
    void watchMeasure(NumberBox* box);
    bool convertChanged(NumberBox* box);
    QString chamberName(long long code) const;
    Areas areas_;
    double noted_[6] = {};
};

// The rich texts as stored: the prescription as RTF, the internal notes as
// plain text; both read RTF and show it formatted, or plain text as plain.
const RichCodec& prescriptionCodec();
const RichCodec& notesCodec();

// A window's height boxes (feet, inches, metres, centimetres) or weight boxes
// (pounds, kilograms) brought into step from the side named, through the
// visit record's conversions; a result is capped at what its box holds.
void convertHeightBoxes(NumberBox* feet, NumberBox* inches, NumberBox* metres, NumberBox* centimetres,
                        bool fromImperial);
void convertWeightBoxes(NumberBox* pounds, NumberBox* kilograms, bool fromPounds);

} // namespace cn
