#pragma once
// The prescription editor of the visit window: the formatting toolbar over
// TxtPatPres, the font name and size lists, the context menus of both rich
// boxes and the two dictionary buttons. What it does to the document is
// visits/rx_format.h's; this part keeps the toolbar and the document in
// step.
//
// Formatting applies to the selection, or with nothing selected to what is
// typed next, and the focus goes back to the prescription. The toolbar
// follows the selection (SELECTTEXT) without changing the text. Cut, copy
// and paste follow the selection and the clipboard in both of the window's
// states; everything else of the toolbar is the window's to enable while a
// visit is entered.
#include "app/controls.h"
#include "visits/rx_format.h"

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QPushButton;

namespace cn {

class Form;

class RxEditor : public QObject {
    Q_OBJECT
public:
    // The toolbar, the lists and the dictionary buttons, as the window
    // declares them (none of them is a Tab stop).
    static QList<ControlDecl> controls();

    // Takes the controls of controls() from the window, which has built
    // them, fills the lists and wires the events.
    RxEditor(Form& window, RichTextBox* prescription, RichTextBox* notes);

    // The controls enabled only while a visit is entered or changed.
    QList<QWidget*> entryControls() const;
    // The window's state changed: the toolbar follows the selection again,
    // and a dictionary choice still pending belongs to the state left.
    void setEntry(bool entering);

    // The operations, by the window's routine names.
    void CUT_CLICK(RichTextBox* box);
    void COPY_CLICK(RichTextBox* box);
    void PASTE_CLICK(RichTextBox* box);
    void SELECTALL_CLICK(RichTextBox* box);
    void SETPARA_CLICK(bool left, bool centre, bool right);
    void SETNUMB_CLICK();
    void SETOFFSET_CLICK(int in);   // 1 in, 0 out
    void SETBOLD_CLICK() { setStyle(rx::Style::Bold, bold_); }
    void SETITALIC_CLICK() { setStyle(rx::Style::Italic, italic_); }
    void SETUNDERLINE_CLICK() { setStyle(rx::Style::Underline, underline_); }
    void SETSTRIKEOUT_CLICK() { setStyle(rx::Style::StrikeOut, strike_); }
    void SETCOLOR_CLICK();
    enum class FontList { Name, Size };
    void SETFONT_CLICK(FontList changed);   // only the changed list's attribute
    void SELECTTEXT();
    void SELFONT(const rx::SelectionFormat& f);
    void SETBTNFONT(const rx::SelectionFormat& f);
    void BTN_STAT();
    void SELPARFORM();
    void BTN_PVDICT(RichTextBox* target);

    // The context menu of a rich box (its items carry their names).
    QMenu* contextMenu(RichTextBox* box) const;

private:
    struct MenuItems {
        QMenu* menu = nullptr;
        QAction *cut = nullptr, *copy = nullptr, *paste = nullptr;
    };
    MenuItems makeMenu(RichTextBox* box, const QString& prefix);
    void setStyle(rx::Style style, QPushButton* button);
    void back();   // the focus to the prescription

    Form& window_;
    RichTextBox* pres_;
    RichTextBox* notes_;
    QPushButton *cut_ = nullptr, *copy_ = nullptr, *paste_ = nullptr;
    QPushButton *left_ = nullptr, *centre_ = nullptr, *right_ = nullptr, *numb_ = nullptr;
    QPushButton *offsetIn_ = nullptr, *offsetOut_ = nullptr;
    QPushButton *bold_ = nullptr, *italic_ = nullptr, *underline_ = nullptr, *strike_ = nullptr;
    QPushButton *colour_ = nullptr, *dictPres_ = nullptr, *dictNotes_ = nullptr;
    ComboBox *names_ = nullptr, *sizes_ = nullptr;
    MenuItems presMenu_, notesMenu_;
    bool entering_ = false;
    int serial_ = 0;   // a new number for every change of state
};

} // namespace cn
