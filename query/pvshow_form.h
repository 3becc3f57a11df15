#pragma once
// The visit detail window Form_PVShow: one visit the query window lists,
// shown in full and read-only (the patient with the age on the visit day,
// the visit, its measures in both unit systems, the prescription and notes,
// status, next visit, narration and fee). It shows the visit it was opened
// for and does not follow later choices in the query list.
#include "app/forms.h"

class QMenu;
class QTextEdit;

namespace cn {

class DatePicker;
class NumberBox;

class PVShowForm : public Form {
    Q_OBJECT
public:
    explicit PVShowForm(QWidget* owner = nullptr);

    // Fills the window from the query window's current visit, its patient
    // and its chamber, in this order: the PV number, the patient, the visit,
    // height and weight with their metric values, the vital signs, the texts,
    // fee, status, next visit, the age; then everything read-only.
    void load();

    void CALC_PATAGE12();
    void CONVERT_HEIGHT2(bool fromImperial);
    void CONVERT_WEIGHT2(bool fromPounds);
    void ENTRY_PVSHOW_ABLE(int mode);

private:
    void contextMenu(QTextEdit* box, const char* prefix);
    NumberBox* box(const char* name) const;
    DatePicker* date(const char* name) const;
    double noted_[6] = {};   // the six unit boxes as last shown or converted
};

// The context-menu commands of a rich-text box.
void CUT_CLICK(QTextEdit* box);
void COPY_CLICK(QTextEdit* box);
void PASTE_CLICK(QTextEdit* box);
void SELECTALL_CLICK(QTextEdit* box);

// SHOW_PV: the detail window of the visit selected in the query window; when
// it is open already it is only brought forward.
void SHOW_PV();

} // namespace cn
