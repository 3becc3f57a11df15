#include "visits/rx_editor.h"

#include "app/dialogs.h"
#include "app/forms.h"
#include "app/messages.h"
#include "app/text.h"
#include "masters/dbfmenu.h"
#include "visits/rx_bitmaps.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

namespace cn {

namespace {

using K = ControlKind;

// Toolbar buttons are 20 x 20 on row 25; the lists below them on row 50.
ControlDecl tool(const char* name, K kind, int col, const char* tip, const char* bitmap)
{
    return {QLatin1String(name), kind, col, 25, 20, 20, "", QLatin1String(tip), 0, QLatin1String(bitmap)};
}

const QString kError = QStringLiteral("Error");

} // namespace

QList<ControlDecl> RxEditor::controls()
{
    const char* dictTip = "Update Dictionary thru Setup:Dictionary";
    return {
        tool("Btn_Cut", K::ImageButton, 530, "Cut", "CUT"),
        tool("Btn_Copy", K::ImageButton, 550, "Copy", "COPY"),
        tool("Btn_Paste", K::ImageButton, 570, "Paste", "PASTE"),
        tool("Btn_Left", K::CheckButton, 600, "Left Align", "LEFT"),
        tool("Btn_Center", K::CheckButton, 620, "Center Align", "CENTER"),
        tool("Btn_Right", K::CheckButton, 640, "Right Align", "RIGHT"),
        tool("Btn_Numb", K::CheckButton, 665, "Bullet", "NUMBER"),
        tool("Btn_Offset1", K::ImageButton, 690, "Offset in", "OFFSET1"),
        tool("Btn_Offset2", K::ImageButton, 710, "Offset Out", "OFFSET2"),
        tool("Btn_Bold", K::CheckButton, 735, "Bold", "BOLD"),
        tool("Btn_Italic", K::CheckButton, 755, "Italic", "ITALIC"),
        tool("Btn_Under", K::CheckButton, 775, "Underline", "UNDER"),
        tool("Btn_Strike", K::CheckButton, 795, "StrikeOut", "STRIKE"),
        tool("Btn_Color", K::ImageButton, 820, "Font Color", "COLOR"),
        {"CmbFontName", K::Combo, 530, 50, 280, 24, "", "Font Name"},
        {"CmbFontSize", K::Combo, 810, 50, 40, 24, "", "Font Size"},
        {"Bt_1PVDict", K::Button, 790, 240, 150, 25, "Insert from Dictionary", dictTip, 0, "ARROWUP"},
        {"Bt_PVDict", K::Button, 790, 435, 150, 25, "Insert from Dictionary", dictTip, 0, "ARROWUP"},
    };
}

RxEditor::RxEditor(Form& window, RichTextBox* prescription, RichTextBox* notes)
    : QObject(&window), window_(window), pres_(prescription), notes_(notes)
{
    auto button = [&](const char* name) { return window.need<QPushButton>(QLatin1String(name)); };
    cut_ = button("Btn_Cut");
    copy_ = button("Btn_Copy");
    paste_ = button("Btn_Paste");
    left_ = button("Btn_Left");
    centre_ = button("Btn_Center");
    right_ = button("Btn_Right");
    numb_ = button("Btn_Numb");
    offsetIn_ = button("Btn_Offset1");
    offsetOut_ = button("Btn_Offset2");
    bold_ = button("Btn_Bold");
    italic_ = button("Btn_Italic");
    underline_ = button("Btn_Under");
    strike_ = button("Btn_Strike");
    colour_ = button("Btn_Color");
    dictPres_ = button("Bt_1PVDict");
    dictNotes_ = button("Bt_PVDict");
    names_ = window.need<ComboBox>(QStringLiteral("CmbFontName"));
    sizes_ = window.need<ComboBox>(QStringLiteral("CmbFontSize"));
    if (!pres_ || !notes_ || !window.faults().isEmpty())
        return;

    // The pictures, and no Tab stop among them: the lists take the focus
    // only from the mouse, the buttons never (the selection stays in view).
    for (const ControlDecl& d : controls()) {
        QWidget* w = window.control(d.name);
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            b->setIcon(rxBitmap(d.picture));
            b->setIconSize(QSize(16, 16));
            b->setFocusPolicy(Qt::NoFocus);
        } else if (w) {
            w->setFocusPolicy(Qt::ClickFocus);
        }
    }
    // The font list is read each time the window opens.
    names_->addItems(rx::installedFontList());
    sizes_->addItems(rx::fontSizes());
    for (ComboBox* list : {names_, sizes_}) {
        const int row = std::max(1, list->view()->sizeHintForRow(0));
        list->setMaxVisibleItems(std::max(1, 200 / row));
    }
    names_->setCurrentIndex(names_->count() > 1 ? 1 : 0);
    sizes_->setCurrentIndex(sizes_->findText(QStringLiteral("10")));

    presMenu_ = makeMenu(pres_, QStringLiteral("ItC_"));
    notesMenu_ = makeMenu(notes_, QStringLiteral("ItC1_"));

    onAction(cut_, [this] { CUT_CLICK(pres_); });
    onAction(copy_, [this] { COPY_CLICK(pres_); });
    onAction(paste_, [this] { PASTE_CLICK(pres_); });
    onAction(left_, [this] { SETPARA_CLICK(true, false, false); });
    onAction(centre_, [this] { SETPARA_CLICK(false, true, false); });
    onAction(right_, [this] { SETPARA_CLICK(false, false, true); });
    onAction(numb_, [this] { SETNUMB_CLICK(); });
    onAction(offsetIn_, [this] { SETOFFSET_CLICK(1); });
    onAction(offsetOut_, [this] { SETOFFSET_CLICK(0); });
    onAction(bold_, [this] { SETBOLD_CLICK(); });
    onAction(italic_, [this] { SETITALIC_CLICK(); });
    onAction(underline_, [this] { SETUNDERLINE_CLICK(); });
    onAction(strike_, [this] { SETSTRIKEOUT_CLICK(); });
    onAction(colour_, [this] { SETCOLOR_CLICK(); });
    onAction(dictPres_, [this] { BTN_PVDICT(pres_); });
    onAction(dictNotes_, [this] { BTN_PVDICT(notes_); });
    // A choice of the user (mouse or keys), not the toolbar following the
    // selection; choosing the item shown applies it too.
    connect(names_, &QComboBox::activated, this, [this] { SETFONT_CLICK(FontList::Name); });
    connect(sizes_, &QComboBox::activated, this, [this] { SETFONT_CLICK(FontList::Size); });
    connect(pres_, &QTextEdit::cursorPositionChanged, this, [this] { SELECTTEXT(); });
    connect(pres_, &QTextEdit::selectionChanged, this, [this] { SELECTTEXT(); });
    // An undo or redo of a format may leave the caret where it was.
    connect(pres_, &QTextEdit::textChanged, this, [this] { SELECTTEXT(); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { BTN_STAT(); });
}

QList<QWidget*> RxEditor::entryControls() const
{
    QList<QWidget*> out;
    for (QWidget* w : std::initializer_list<QWidget*>{cut_, copy_, paste_, left_, centre_, right_, numb_,
                                                      offsetIn_, offsetOut_, bold_, italic_, underline_,
                                                      strike_, colour_, names_, sizes_, dictPres_, dictNotes_})
        if (w)
            out << w;
    return out;
}

void RxEditor::setEntry(bool entering)
{
    entering_ = entering;
    ++serial_;
    if (presMenu_.menu)   // built whole (a window with declaration faults is not)
        SELECTTEXT();
}

RxEditor::MenuItems RxEditor::makeMenu(RichTextBox* box, const QString& prefix)
{
    MenuItems m;
    m.menu = new QMenu(box);
    m.menu->setObjectName(prefix + QStringLiteral("Menu"));
    auto item = [&](const QString& caption, const QString& name, const QString& bitmap, void (RxEditor::*fn)(RichTextBox*)) {
        QAction* a = m.menu->addAction(rxBitmap(bitmap), caption);
        a->setObjectName(prefix + name);
        connect(a, &QAction::triggered, this, [this, box, fn] { (this->*fn)(box); });
        return a;
    };
    m.cut = item(QStringLiteral("C&ut"), QStringLiteral("Cut"), QStringLiteral("CUT"), &RxEditor::CUT_CLICK);
    m.copy = item(QStringLiteral("&Copy"), QStringLiteral("Copy"), QStringLiteral("COPY"), &RxEditor::COPY_CLICK);
    m.paste = item(QStringLiteral("&Paste"), QStringLiteral("Paste"), QStringLiteral("PASTE"), &RxEditor::PASTE_CLICK);
    m.menu->addSeparator();
    item(QStringLiteral("&Select all"), QStringLiteral("SelectAll"), QString(), &RxEditor::SELECTALL_CLICK);
    // What the menu offers is what the box can do when it opens.
    connect(m.menu, &QMenu::aboutToShow, this, [box, m] {
        const bool selected = box->textCursor().hasSelection();
        m.cut->setEnabled(selected);
        m.copy->setEnabled(selected);
        m.paste->setEnabled(box->canPaste());
    });
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(box, &QWidget::customContextMenuRequested, m.menu,
            [box, menu = m.menu](const QPoint& at) { menu->popup(box->viewport()->mapToGlobal(at)); });
    return m;
}

QMenu* RxEditor::contextMenu(RichTextBox* box) const
{
    return box == pres_ ? presMenu_.menu : box == notes_ ? notesMenu_.menu : nullptr;
}

void RxEditor::back() { pres_->setFocus(Qt::OtherFocusReason); }

// ---------------------------------------------------------------- clipboard

// A read-only box copies but takes no cut or paste.
void RxEditor::CUT_CLICK(RichTextBox* box)
{
    if (!box->isReadOnly())
        box->cut();
    box->setFocus(Qt::OtherFocusReason);
}

void RxEditor::COPY_CLICK(RichTextBox* box)
{
    box->copy();
    box->setFocus(Qt::OtherFocusReason);
}

void RxEditor::PASTE_CLICK(RichTextBox* box)
{
    if (!box->isReadOnly())
        box->paste();   // through the box's length limit
    box->setFocus(Qt::OtherFocusReason);
}

void RxEditor::SELECTALL_CLICK(RichTextBox* box)
{
    box->selectAll();
    box->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- paragraphs

void RxEditor::SETPARA_CLICK(bool left, bool centre, bool right)
{
    left_->setChecked(left);
    centre_->setChecked(centre);
    right_->setChecked(right);
    if (!pres_->isReadOnly()) {
        QTextCursor c = pres_->textCursor();
        rx::setAlignment(c, right ? Qt::AlignRight : centre ? Qt::AlignHCenter : Qt::AlignLeft);
    }
    back();
}

void RxEditor::SETNUMB_CLICK()
{
    QTextCursor c = pres_->textCursor();
    if (pres_->isReadOnly() || !rx::setBullets(c, numb_->isChecked())) {
        MESGINFO(QStringLiteral("Problem of set number!"), kError);
        SELPARFORM();   // the button shows the paragraph as it stayed
    }
    back();
}

void RxEditor::SETOFFSET_CLICK(int in)
{
    QTextCursor c = pres_->textCursor();
    if (pres_->isReadOnly() || !rx::stepIndent(c, in == 1))
        MESGINFO(QStringLiteral("Problem of set Offset!"), kError);
    back();
}

// ---------------------------------------------------------------- characters

void RxEditor::setStyle(rx::Style style, QPushButton* button)
{
    if (!pres_->isReadOnly())
        pres_->mergeCurrentCharFormat(rx::styleFormat(style, button->isChecked()));
    back();
}

void RxEditor::SETCOLOR_CLICK()
{
    const rx::SelectionFormat now = rx::selectionFormat(pres_->textCursor());
    const std::optional<QColor> chosen =
        dialogs().chooseColor(&window_, now.colour.value_or(QColor(Qt::black)), QStringLiteral("Font Color"));
    // A selection of several colours keeps them; the rest of its format is
    // not touched either way.
    if (chosen && chosen->isValid() && now.colour && !pres_->isReadOnly()) {
        QTextCharFormat f;
        f.setForeground(chosen->toRgb());
        pres_->mergeCurrentCharFormat(f);
    }
    back();
}

void RxEditor::SETFONT_CLICK(FontList changed)
{
    // Only the list changed: the other list may still show a choice from
    // before a selection of mixed faces or sizes, which must not be spread
    // over it.
    QTextCharFormat f;
    if (changed == FontList::Size && sizes_->currentIndex() >= 0)
        f.setFontPointSize(sizes_->currentText().toDouble());
    else if (changed == FontList::Name && names_->currentIndex() >= 0)
        f.setFontFamilies(QStringList{names_->currentText()});
    if (!f.properties().isEmpty() && !pres_->isReadOnly())
        pres_->mergeCurrentCharFormat(f);
    back();
}

// ---------------------------------------------------------------- following the selection

void RxEditor::SELECTTEXT()
{
    const rx::SelectionFormat f = rx::selectionFormat(pres_->textCursor());
    SELFONT(f);
    SETBTNFONT(f);
    BTN_STAT();
    SELPARFORM();
}

void RxEditor::SELFONT(const rx::SelectionFormat& f)
{
    // A face or size the lists do not hold, or one that differs across the
    // selection, leaves the list's choice as it is.
    if (f.face)
        if (const int i = names_->findText(*f.face, Qt::MatchExactly); i >= 0)
            names_->setCurrentIndex(i);
    if (f.points)
        if (const int i = sizes_->findText(QString::number(int(*f.points)), Qt::MatchExactly); i >= 0)
            sizes_->setCurrentIndex(i);
}

void RxEditor::SETBTNFONT(const rx::SelectionFormat& f)
{
    bold_->setChecked(f.bold);
    italic_->setChecked(f.italic);
    underline_->setChecked(f.underline);
    strike_->setChecked(f.strikeOut);
}

void RxEditor::BTN_STAT()
{
    const bool selected = pres_->textCursor().hasSelection();
    const bool pastable = pres_->canPaste();
    for (QPushButton* b : {cut_, copy_})
        b->setEnabled(selected);
    presMenu_.cut->setEnabled(selected);
    presMenu_.copy->setEnabled(selected);
    paste_->setEnabled(pastable);
    presMenu_.paste->setEnabled(pastable);
}

void RxEditor::SELPARFORM()
{
    const rx::ParagraphFormat p = rx::paragraphFormat(pres_->textCursor());
    left_->setChecked(p.alignment == Qt::AlignLeft);
    centre_->setChecked(p.alignment == Qt::AlignHCenter);
    right_->setChecked(p.alignment == Qt::AlignRight);
    numb_->setChecked(p.bullet);
}

// ---------------------------------------------------------------- dictionary

void RxEditor::BTN_PVDICT(RichTextBox* target)
{
    DBFMenuForm* list = openDBFMenu(dictionaryPickList());
    if (!list)
        return;   // another pick list is open: it stays as it is
    QPointer<RxEditor> self(this);
    QPointer<RichTextBox> box(target);
    const int serial = serial_;
    const std::optional<QString> phrase = waitForChoice(list);
    // The program went on while the list was open: the phrase goes in only
    // when the window is still there, in the entry that asked for it.
    if (!self || !box || self->serial_ != serial || !self->entering_ || !phrase)
        return;
    self->window_.raise();
    self->window_.activateWindow();
    box->setFocus(Qt::OtherFocusReason);
    const QString text = trimBlanks(*phrase);
    if (!text.isEmpty())
        box->insertTyped(text + QLatin1Char(' '));
}

} // namespace cn
