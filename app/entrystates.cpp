#include "app/entrystates.h"

#include "app/controls.h"

namespace cn {

void setEditable(QWidget* w, bool editable)
{
    if (!w)
        return;
    if (setControlProperty(w, QStringLiteral("ReadOnly"), !editable)) {
        w->setEnabled(true);
        return;
    }
    w->setEnabled(editable);
}

void EntryStates::apply(bool entry) const
{
    for (QWidget* w : browsing)
        w->setEnabled(!entry);
    for (QWidget* w : editable)
        setEditable(w, entry);
    for (QWidget* w : entering)
        w->setEnabled(entry);
    for (QWidget* w : readOnly)
        setEditable(w, false);
    for (QWidget* w : disabled)
        w->setEnabled(false);
    for (QWidget* w : always)
        w->setEnabled(true);
}

} // namespace cn
