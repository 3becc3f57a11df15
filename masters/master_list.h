#pragma once
// What the four master-list windows (chambers, dictionary, generic and brand
// medicines) have in common beyond the list-and-edit base. They are named
// by one pattern from a suffix: Form_Chambers, Frame_Chambers_01 and _02,
// Grid_Chambers, Append_Chambers, Modify_Chambers, Delete_Chambers,
// Bt_Exit_Chambers. Every one is a child window at 5, 5 of 910 x 525, not
// resizable, in Arial 9; Save refuses a blank or duplicate name with the
// title "Invalid Operation"; the grid windows list at most 30 names from the
// seek and warn of faulty records among them.
#include "app/listedit.h"

#include <functional>

namespace cn {

// The descriptor's common part for the master list of that suffix, over the
// table `alias` with its code and name fields and the edit boxes showing
// them. The window adds its bindings, texts and in-use rule.
ListEditSpec masterSpec(const QString& suffix, const QString& alias, const char* codeField, const char* nameField,
                        const QString& codeBox, const QString& nameBox);

// The "List" frame of a grid window: the frame, the grid of one column with
// its header, the seek box and the four buttons.
QList<ControlDecl> gridListFrame(const QString& suffix, const QString& header);
// The buttons under the list, and the "Edit" frame, of every master list.
QList<ControlDecl> listButtons(const QString& suffix);
ControlDecl editFrame(const QString& suffix);

class MasterListForm : public ListEditForm {
    Q_OBJECT
public:
    MasterListForm(const QString& suffix, const ListEditSpec& spec, const QString& title);

protected:
    // attach() and what every master list adds to it: type-ahead keys are
    // dropped when the list gets the focus.
    void attachList();
};

// The opener of a master list: brings the window forward when it is open,
// else builds it with `make` and shows it browsing from the first name.
void openMasterList(const QString& form, const std::function<ListEditForm*()>& make);

} // namespace cn
