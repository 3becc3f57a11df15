#pragma once
// What a window's two states allow, control by control. A window that
// browses its records and enters a new or changed one (the list-and-edit
// windows, the visit window) says once which of its controls follow which
// rule, and switches them all together:
//
//   EntryStates s;
//   s.browsing = needAll({"Grid_PVisit", "Append_PVisit"});   // browse only
//   s.editable = needAll({"TxtPatFees"});                      // typed into while entering
//   s.apply(entering);
#include <QList>

class QWidget;

namespace cn {

struct EntryStates {
    QList<QWidget*> browsing;   // enabled only while browsing (lists, seek box, Append ...)
    QList<QWidget*> editable;   // typed into while entering, read-only while browsing
    QList<QWidget*> entering;   // enabled only while entering (pickers, Save, Cancel ...)
    QList<QWidget*> readOnly;   // shown and selectable, never typed into
    QList<QWidget*> disabled;   // never enabled
    QList<QWidget*> always;     // enabled in both states
    void apply(bool entry) const;
};

// Read-only or editable where the kind of control has that state (text,
// number, date, time and rich-text boxes); other kinds are disabled instead.
void setEditable(QWidget* control, bool editable);

} // namespace cn
