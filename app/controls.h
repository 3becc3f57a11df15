#pragma once
// The control kinds the windows are built from. Each is a thin Qt widget with
// the value the windows read and write: a radio group's option number from 1,
// a combo's item number, a date picker's date (possibly empty), a numeric
// box's number shown through its picture, an array grid's selected row.
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimeEdit>
#include <QVariant>
#include <functional>

class QButtonGroup;
class QMimeData;
class QRadioButton;

class QHeaderView;

namespace cn {

// ------------------------------------------------------------ text boxes

// A one-line text box that lets in only characters a table can store; with
// upper case, letters turn upper case as they are typed. Line breaks and
// tabs, typed or pasted, become spaces. What it leaves out, and pasted text
// cut at the box's length, it says in a tip at the box (notice()).
//
// A box may carry a pick button at its right end, for choosing its text
// from a list: a click on it, or F4 in the box, sends pickRequested(). The
// button is off while the box is read-only or disabled.
class TextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget* parent = nullptr, bool upperCase = false);
    bool upperCase() const { return upper_; }
    void setUpperCase(bool upper);
    // Pastes the clipboard's text, mended for a one-line box.
    void pasteText();
    // The last thing the box told the user; empty when it told nothing.
    const QString& notice() const { return notice_; }

    void setPickButton(bool on);
    QAction* pickAction() const { return pick_; }   // nullptr without a pick button

signals:
    void noticed(const QString& text);
    void pickRequested();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void tell(const QString& text);
    bool upper_ = false;
    QString notice_;
    QAction* pick_ = nullptr;
};

// A numeric box. With a picture ("9,99,99,999.99", "999") it accepts at most
// the picture's digits and shows its value grouped by the picture once the
// user leaves it; without one it holds a plain number.
class NumberBox : public QLineEdit {
    Q_OBJECT
public:
    explicit NumberBox(QWidget* parent = nullptr, const QString& picture = {});
    void setPicture(const QString& picture);
    const QString& picture() const { return picture_; }
    double value() const;
    void setValue(double v);
    // Rewrites the text in the picture's form (done on leaving the box).
    void reformat();

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    QString picture_;
    int decimals_ = 0;
};

// ------------------------------------------------------------ choices

// Options one below the other (or side by side), `spacing` pixels apart; the
// value is the chosen option's number from 1, 0 when none is chosen.
class RadioGroup : public QWidget {
    Q_OBJECT
public:
    RadioGroup(const QStringList& options, int spacing, bool horizontal, QWidget* parent = nullptr);
    int value() const;
    void setValue(int option);           // 0 clears the choice
    int count() const;
    QRadioButton* option(int n) const;   // n from 1
    // Fits each option's caption into the group's width (after placing it).
    void fitOptions();

signals:
    void changed(int option);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QButtonGroup* group_;
    bool horizontal_ = false;
};

// A drop-down list whose value is the chosen item's number from 1 (0 none).
// With a list height the open list is at most that many pixels high, as many
// items as fit showing and the rest scrolled to; 0 leaves it to the style.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    int value() const { return currentIndex() + 1; }
    void setValue(int item) { setCurrentIndex(item - 1); }
    void setListHeight(int pixels) { listHeight_ = pixels; }
    int listHeight() const { return listHeight_; }
    void showPopup() override;

private:
    int listHeight_ = 0;
};

class ListBox : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;
    int value() const { return currentRow() + 1; }
    void setValue(int item) { setCurrentRow(item - 1); }
};

// ------------------------------------------------------------ dates

// A date picker that can also hold the empty date (shown blank). It shows the
// date picture CDATEFORMAT. Typing a digit into an empty picker starts from
// today's date; Delete with the whole text selected empties it.
//
// With a none check (a check box at the left end of the box) the mouse can
// switch the picker to "no date" and back: cleared is the empty date, ticked
// again brings back the date it had (today when it had none).
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);
    QDate value() const;                  // null QDate for the empty date
    void setValue(const QDate& d);        // a null or invalid date empties it
    bool isEmpty() const;
    void setNoneCheck(bool on);
    QCheckBox* noneCheck() const { return none_; }   // nullptr without one
    // Re-reads CDATEFORMAT (after the options change), for every picker.
    void applyDateFormat();
    static void applyDateFormatToAll();
    // False while the box shows a text that is no date (31-02-2000): it is
    // kept as typed, never turned into another day, and the box keeps the
    // focus until it is corrected. refusal() says why.
    bool textIsDate() const;
    QString refusal() const;
    const QString& notice() const { return notice_; }

signals:
    void valueChanged(const QDate& d);   // also on becoming empty

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    static QDate emptyMark();
    void placeNoneCheck();
    QString notice_;
    QCheckBox* none_ = nullptr;
    QDate beforeNone_;                    // the date the none check cleared
};

// A time picker ("HH:mm:ss" unless its declaration gives another picture).
// Tab leaves it, whatever part of the time the caret is in.
class TimePicker : public QTimeEdit {
    Q_OBJECT
public:
    explicit TimePicker(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool focusNextPrevChild(bool next) override;
};

// A rich-text box. With a maximum length it refuses typing, pasting and
// dropping beyond that many characters (a paragraph break counts as one),
// and says so in a tip at the box; a stored text that is already longer is
// still shown whole, and can be shortened. Lines wrap at the box's width.
// Tab goes on to the next control; Ctrl+Tab types a tab character.
class RichTextBox : public QTextEdit {
    Q_OBJECT
public:
    explicit RichTextBox(QWidget* parent = nullptr);
    void setMaxLength(int characters) { max_ = characters; }   // 0: no limit
    int maxLength() const { return max_; }
    int length() const;                                          // characters held
    const QString& notice() const { return notice_; }
    // A box stored as plain Windows-1252 text refuses the characters a table
    // cannot store when typed and leaves them out of a paste, with a tip.
    void setStorableOnly(bool on) { storableOnly_ = on; }
    // Puts text at the caret in place of the selection, as typing does (one
    // step for undo); refused, with the box's tip, when the box is read-only
    // or the text would take it past its maximum length.
    bool insertTyped(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    int room() const;   // characters that may still be added in place of the selection
    void tell(const QString& text);
    int max_ = 0;
    bool storableOnly_ = false;
    QString notice_;
};

// ------------------------------------------------------------ array grid

// A grid filled from arrays: rows of cell texts. Its value is the selected
// row's number from 1 (0 none); a row's item is its cell values.
class ArrayGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit ArrayGrid(QWidget* parent = nullptr);
    void setColumns(const QStringList& headers, const QList<int>& widths);
    void addItem(const QStringList& cells);
    void deleteAllItems();
    QStringList item(int row) const;      // row from 1; empty when out of range
    int itemCount() const { return rowCount(); }
    int value() const;
    void setValue(int row);               // 0 clears the selection
    // The sort arrow in a column header (column from 1): 0 none, 1 up, 2 down.
    void setHeaderImage(int column, int arrow);
    int headerImage(int column) const;

signals:
    void changed();

private:
    int arrowColumn_ = 0;
    int arrow_ = 0;
};

// ------------------------------------------------------------ tabs

// A tab control whose pages hold controls declared at positions measured
// from the tab control's own top-left corner, as the windows' tables give
// them (the page starts below the row of tabs). The tabs are 20 pixels high,
// so that a declared layout keeps the room under them that it expects.
class TabControl : public QTabWidget {
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent = nullptr);
    // Where the pages start within the control, known before it is shown.
    QPoint pageOrigin() const;
};

// ------------------------------------------------------------ the declaration table

enum class ControlKind {
    Label, Text, UpperText, Numeric, Button, ImageButton, CheckBox, CheckButton,
    Radio, Combo, List, Date, Time, Spinner, EditBox, RichText, Grid, Browse,
    Frame, Tab, Progress, Image, Hyperlink,
};

// One line of a window's control table. Positions are pixels within the
// window (or within the tab page named by parent/page). The common columns
// are the constructor's, so a line is written positionally
//   {"TxtPatTitle", ControlKind::Text, 670, 20, 60, 25, "", "Example: ...", 10}
// and the rest are set with the chained setters.
struct ControlDecl {
    ControlDecl() = default;
    ControlDecl(QString name_, ControlKind kind_, int col_, int row_, int width_, int height_,
                QString caption_ = {}, QString tooltip_ = {}, int maxLength_ = 0,
                QString picture_ = {}, bool readOnly_ = false)
        : name(std::move(name_)), kind(kind_), col(col_), row(row_), width(width_), height(height_),
          caption(std::move(caption_)), tooltip(std::move(tooltip_)), maxLength(maxLength_),
          picture(std::move(picture_)), readOnly(readOnly_)
    {
    }

    QString name;
    ControlKind kind = ControlKind::Label;
    int col = 0, row = 0, width = 0, height = 0;
    QString caption;        // label, button, check, frame, hyperlink text
    QString tooltip;
    int maxLength = 0;      // text boxes: characters, 0 = the default
    QString picture;        // numeric boxes: input picture; time pickers: display picture;
                            // images and image buttons: resource
    bool readOnly = false;

    QStringList items;      // radio options, combo and list items, tab pages, grid headers
    QList<int> widths;      // grid column widths
    int spacing = 20;       // radio: distance between options
    bool horizontal = false;
    Qt::Alignment align;    // labels and text boxes; default left. Radio groups:
                            // AlignRight puts each caption to the left of its button
    bool disabled = false;
    bool visible = true;    // false: built hidden (a control kept for its name only)
    QString parent;         // a frame-less container: a tab's name (positions then count from the tab's corner)
    int page = 0;           // the tab page (from 1)
    QString link;           // hyperlink target
    QString fontName;       // empty: the window's font
    double fontSize = 0;    // points; 0: the window's size
    bool bold = false, italic = false;
    QColor colour;          // text colour; invalid: the style's
    int rangeMin = 0, rangeMax = 0;   // progress bars and spinners (both 0: the kind's default)
    bool pick = false;      // text boxes: a pick button at the right end
    bool noneCheck = false; // date pickers: a check box for "no date"
    int popupHeight = 0;    // drop-downs: the open list's height at most, pixels; 0: the style's

    ControlDecl& withItems(QStringList v) { items = std::move(v); return *this; }
    ControlDecl& withWidths(QList<int> v) { widths = std::move(v); return *this; }
    ControlDecl& withSpacing(int v, bool side = false) { spacing = v; horizontal = side; return *this; }
    ControlDecl& aligned(Qt::Alignment a) { align = a; return *this; }
    ControlDecl& right() { align = Qt::AlignRight | Qt::AlignVCenter; return *this; }
    ControlDecl& off() { disabled = true; return *this; }
    ControlDecl& on(const QString& tab, int tabPage) { parent = tab; page = tabPage; return *this; }
    ControlDecl& to(const QString& target) { link = target; return *this; }
    ControlDecl& font(const QString& name, double size = 0) { fontName = name; fontSize = size; return *this; }
    ControlDecl& size(double points) { fontSize = points; return *this; }
    ControlDecl& strong() { bold = true; return *this; }
    ControlDecl& slanted() { italic = true; return *this; }
    ControlDecl& color(const QColor& c) { colour = c; return *this; }
    ControlDecl& range(int minimum, int maximum) { rangeMin = minimum; rangeMax = maximum; return *this; }
    ControlDecl& withPick() { pick = true; return *this; }
    ControlDecl& withNoneCheck() { noneCheck = true; return *this; }
    ControlDecl& listHeight(int pixels) { popupHeight = pixels; return *this; }
    ControlDecl& hidden() { visible = false; return *this; }
};

// Builds one control on `host` (the window, or the container named by the
// declaration) with its objectName, geometry, caption, tooltip, maximum
// length, picture and read-only state set from the declaration.
QWidget* buildControl(QWidget* window, const ControlDecl& decl);
// Builds every control of a table, in order (frames first keeps them behind).
void buildControls(QWidget* window, const QList<ControlDecl>& decls);

// ------------------------------------------------------------ properties and events

// "Value", "Enabled", "ReadOnly", "Caption", "CaretPos", "FontName",
// "FontSize", "FontBold", "FontItalic", "FontUnderline", "FontColor",
// "RangeMin", "RangeMax", "HeaderImage", "RichValue", "Item", "Title" and
// "Visible", read and written whatever the control's kind. An unknown
// property reads as an invalid QVariant and is not written (false).
QVariant controlProperty(QWidget* control, const QString& property, int index = 0);
bool setControlProperty(QWidget* control, const QString& property, const QVariant& value, int index = 0);

// Event hooks that work for every kind: change (the kind's own value
// signal), action (click), got and lost focus, enter (Return in a text box),
// double click and header click (grids, column from 1).
void onChange(QWidget* control, std::function<void()> handler);
void onAction(QWidget* control, std::function<void()> handler);
void onGotFocus(QWidget* control, std::function<void()> handler);
void onLostFocus(QWidget* control, std::function<void()> handler);
// The focus left the control for another control of its window: not when
// only the window lost the activation (another window, a message box, a
// menu opened).
void onLeave(QWidget* control, std::function<void()> handler);
void onEnter(QWidget* control, std::function<void()> handler);
void onDoubleClick(QWidget* control, std::function<void()> handler);
void onHeaderClick(QWidget* control, std::function<void(int column)> handler);

// The sort arrow ("HeaderImage") of a grid's header: column from 1; arrow 0
// none, 1 ascending, 2 descending.
void showHeaderArrow(QHeaderView* header, int column, int arrow);

} // namespace cn
