#include "app/controls.h"

#include "app/clock.h"
#include "app/forms.h"
#include "app/grid.h"
#include "app/settings.h"
#include "app/text.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolTip>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTimer>

namespace cn {

// ---------------------------------------------------------------- text boxes

TextBox::TextBox(QWidget* parent, bool upperCase) : QLineEdit(parent)
{
    setUpperCase(upperCase);
}

void TextBox::setUpperCase(bool upper)
{
    upper_ = upper;
    auto* v = new StorableValidator(upper, this);
    v->refused = [this](const QString& chars) {
        QStringList each;
        for (qsizetype i = 0; i < chars.size(); ++i) {
            const qsizetype n = chars[i].isHighSurrogate() && i + 1 < chars.size() ? 2 : 1;
            each << chars.mid(i, n);
            i += n - 1;
        }
        tell(QStringLiteral("Cannot be stored here, left out: ") + each.join(QLatin1Char(' ')));
    };
    delete validator();
    setValidator(v);
    if (upper)
        setText(upperStorable(text()));
}

void TextBox::tell(const QString& text)
{
    notice_ = text;
    QToolTip::showText(mapToGlobal(QPoint(0, height())), text, this);
    emit noticed(text);
}

void TextBox::pasteText()
{
    if (isReadOnly())
        return;
    const QString clip = QGuiApplication::clipboard()->text();
    QString text = oneLine(clip);
    const QString refusedChars = unstorable(text);
    text = withoutUnstorable(text);
    const qsizetype room = maxLength() - (this->text().size() - selectedText().size());
    QString told;
    if (!refusedChars.isEmpty())
        told = QStringLiteral("Cannot be stored here, left out: ") + refusedChars;
    if (text.size() > room) {
        text.truncate(std::max<qsizetype>(room, 0));
        told += (told.isEmpty() ? QString() : QStringLiteral("; "))
            + QStringLiteral("pasted text cut to the box's %1 characters").arg(maxLength());
    }
    insert(text);
    if (!told.isEmpty())
        tell(told);
}

namespace {

// The pick button's picture: three dots, drawn so that no image file is needed.
QIcon pickIcon(const QPalette& palette)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette.color(QPalette::ButtonText));
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QRectF(2.0 + i * 4.5, 10.0, 2.6, 2.6));
    return QIcon(pm);
}

} // namespace

void TextBox::setPickButton(bool on)
{
    if (on == (pick_ != nullptr))
        return;
    if (!on) {
        removeAction(pick_);
        delete pick_;
        pick_ = nullptr;
        return;
    }
    pick_ = addAction(pickIcon(palette()), QLineEdit::TrailingPosition);
    pick_->setObjectName(objectName() + QStringLiteral("_Pick"));
    pick_->setEnabled(isEnabled() && !isReadOnly());
    connect(pick_, &QAction::triggered, this, &TextBox::pickRequested);
}

void TextBox::changeEvent(QEvent* e)
{
    QLineEdit::changeEvent(e);
    if (pick_ && (e->type() == QEvent::ReadOnlyChange || e->type() == QEvent::EnabledChange))
        pick_->setEnabled(isEnabled() && !isReadOnly());
}

void TextBox::keyPressEvent(QKeyEvent* e)
{
    if (e->matches(QKeySequence::Paste)) {
        pasteText();
        e->accept();
        return;
    }
    if (pick_ && e->key() == Qt::Key_F4 && e->modifiers() == Qt::NoModifier) {
        if (pick_->isEnabled())
            emit pickRequested();
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void TextBox::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu* menu = createStandardContextMenu();
    if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        paste->disconnect();
        connect(paste, &QAction::triggered, this, &TextBox::pasteText);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

NumberBox::NumberBox(QWidget* parent, const QString& picture) : QLineEdit(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setPicture(picture);
}

void NumberBox::setPicture(const QString& picture)
{
    const double v = value();
    picture_ = picture;
    const Picture p = parsePicture(picture);
    decimals_ = p.decimals;
    // Without a picture any number fits; with one, its digits are the limit.
    setValidator(new NumberValidator(p.valid() ? p.integerDigits : 0, p.valid() ? p.decimals : 6, true, this));
    setValue(v);
}

double NumberBox::value() const { return numberFromText(text()); }

void NumberBox::setValue(double v)
{
    if (picture_.isEmpty())
        setText(QString::number(v, 'f', 6).remove(QRegularExpression(QStringLiteral("\\.?0+$"))));
    else
        setText(formatPicture(v, picture_));
}

void NumberBox::reformat()
{
    if (!picture_.isEmpty() && !text().trimmed().isEmpty())
        setValue(value());
}

void NumberBox::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    // Typing replaces the number shown; a click's caret placement comes after
    // this, so select again once it is done.
    if (isReadOnly())
        return;
    selectAll();
    if (e->reason() == Qt::MouseFocusReason)
        QTimer::singleShot(0, this, [this] {
            if (hasFocus() && !isModified())
                selectAll();
        });
}

void NumberBox::focusOutEvent(QFocusEvent* e)
{
    reformat();
    QLineEdit::focusOutEvent(e);
}

// ---------------------------------------------------------------- radio group

RadioGroup::RadioGroup(const QStringList& options, int spacing, bool horizontal, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)), horizontal_(horizontal)
{
    group_->setExclusive(true);
    int offset = 0;
    for (int i = 0; i < options.size(); ++i) {
        auto* b = new QRadioButton(options[i], this);
        b->setObjectName(QStringLiteral("Option_%1").arg(i + 1));
        const QSize hint = b->sizeHint();
        b->move(horizontal ? offset : 0, horizontal ? 0 : offset);
        b->resize(hint);
        offset += horizontal ? std::max(spacing, hint.width()) : spacing;
        group_->addButton(b, i + 1);
    }
    connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            emit changed(id);
    });
    setFocusPolicy(Qt::TabFocus);
    setFocusProxy(count() > 0 ? option(1) : nullptr);
}

int RadioGroup::value() const
{
    const int id = group_->checkedId();
    return id < 0 ? 0 : id;
}

void RadioGroup::setValue(int n)
{
    if (n >= 1 && n <= count()) {
        option(n)->setChecked(true);
        return;
    }
    // Clearing a choice needs the group to let go of exclusivity for a moment.
    const int before = value();
    group_->setExclusive(false);
    for (auto* b : group_->buttons())
        b->setChecked(false);
    group_->setExclusive(true);
    if (before != 0)
        emit changed(0);
}

void RadioGroup::fitOptions()
{
    // Stacked options take the group's width and the rows between them; when
    // a caption needs more, every option of the group gets the same smaller
    // type rather than one of them losing letters.
    if (horizontal_)
        return;
    const QList<QAbstractButton*> buttons = group_->buttons();
    auto roomOf = [&](qsizetype i) {
        const int below = height() - buttons[i]->y();
        return i + 1 < buttons.size() ? std::min(buttons[i + 1]->y() - buttons[i]->y(), below) : below;
    };
    auto allFit = [&] {
        for (qsizetype i = 0; i < buttons.size(); ++i)
            if (buttons[i]->sizeHint().width() > width() || buttons[i]->sizeHint().height() > roomOf(i))
                return false;
        return true;
    };
    QFont f = font();
    while (!allFit() && f.pointSizeF() > 7.0) {
        f.setPointSizeF(f.pointSizeF() - 0.5);
        for (QAbstractButton* b : buttons)
            b->setFont(f);
    }
    for (qsizetype i = 0; i < buttons.size(); ++i)
        buttons[i]->resize(width(), std::max(0, std::min(roomOf(i), buttons[i]->sizeHint().height())));
}

int RadioGroup::count() const { return static_cast<int>(group_->buttons().size()); }

QRadioButton* RadioGroup::option(int n) const { return qobject_cast<QRadioButton*>(group_->button(n)); }

void RadioGroup::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    fitOptions();
}

// ---------------------------------------------------------------- drop-down list

void ComboBox::showPopup()
{
    // Asked for enough items to pass the list height (no item is lower than
    // a line of text), the style sizes the list; it is then cut to the height.
    if (listHeight_ > 0)
        setMaxVisibleItems(listHeight_ / std::max(1, fontMetrics().height()) + 1);
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    if (listHeight_ <= 0 || popup == window() || popup->height() <= listHeight_)
        return;
    // A list opened above the box keeps its lower edge at the box.
    const QRect was = popup->geometry();
    const bool above = was.bottom() < mapToGlobal(QPoint(0, 0)).y();
    popup->setGeometry(was.x(), above ? was.bottom() + 1 - listHeight_ : was.y(), was.width(), listHeight_);
    view()->scrollTo(view()->currentIndex());
}

// ---------------------------------------------------------------- date picker

QDate DatePicker::emptyMark() { return QDate(100, 1, 1); }

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setMinimumDate(emptyMark());
    setMaximumDate(QDate(9999, 12, 31));
    setSpecialValueText(QStringLiteral(" "));
    applyDateFormat();
    setDate(emptyMark());
    connect(this, &QDateEdit::dateChanged, this, [this](const QDate&) { emit valueChanged(value()); });
}

void DatePicker::setNoneCheck(bool on)
{
    if (on == (none_ != nullptr))
        return;
    if (!on) {
        delete none_;
        none_ = nullptr;
        lineEdit()->setTextMargins(0, 0, 0, 0);
        return;
    }
    none_ = new QCheckBox(this);
    none_->setObjectName(QStringLiteral("NoneCheck"));
    // A second Tab stop inside the box would be one the user cannot see;
    // the keyboard empties and fills the box as without the check.
    none_->setFocusPolicy(Qt::NoFocus);
    none_->setChecked(!isEmpty());
    none_->setEnabled(!isReadOnly());
    connect(none_, &QCheckBox::clicked, this, [this](bool ticked) {
        if (ticked) {
            setDate(beforeNone_.isValid() ? beforeNone_ : cn::today());
        } else {
            beforeNone_ = value();
            setDate(emptyMark());
        }
    });
    connect(this, &DatePicker::valueChanged, none_, [this](const QDate& d) {
        const QSignalBlocker quiet(none_);
        none_->setChecked(d.isValid());
    });
    placeNoneCheck();
    none_->show();
}

void DatePicker::placeNoneCheck()
{
    if (!none_)
        return;
    const QSize hint = none_->sizeHint();
    none_->setGeometry(3, (height() - hint.height()) / 2, hint.width(), hint.height());
    lineEdit()->setTextMargins(hint.width() + 2, 0, 0, 0);
}

void DatePicker::resizeEvent(QResizeEvent* e)
{
    QDateEdit::resizeEvent(e);
    placeNoneCheck();
}

void DatePicker::changeEvent(QEvent* e)
{
    QDateEdit::changeEvent(e);
    if (none_ && e->type() == QEvent::ReadOnlyChange)
        none_->setEnabled(!isReadOnly());
}

QDate DatePicker::value() const
{
    const QDate d = date();
    return d == emptyMark() ? QDate() : d;
}

void DatePicker::setValue(const QDate& d)
{
    setDate(d.isValid() && d > emptyMark() ? d : emptyMark());
}

bool DatePicker::isEmpty() const { return date() == emptyMark(); }

void DatePicker::applyDateFormat() { setDisplayFormat(settings().CDATEFORMAT); }

void DatePicker::applyDateFormatToAll()
{
    for (QWidget* w : QApplication::allWidgets())
        if (auto* p = qobject_cast<DatePicker*>(w))
            p->applyDateFormat();
}

void DatePicker::keyPressEvent(QKeyEvent* e)
{
    // Tab leaves the box, whatever part of the date the caret is in and
    // also when the box is empty (where the base would swallow it: a stop
    // the user cannot see). Arrows and separators move between the parts.
    if ((e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) && !(e->modifiers() & Qt::ControlModifier)) {
        e->accept();
        QWidget::focusNextPrevChild(e->key() == Qt::Key_Tab && !(e->modifiers() & Qt::ShiftModifier));
        return;
    }
    const QString typed = e->text();
    if (isEmpty() && !typed.isEmpty() && typed[0].isDigit()) {
        // Typing into an empty picker starts from today's date, first section.
        setDate(cn::today());
        setCurrentSectionIndex(0);
        setSelectedSection(sectionAt(0));
    } else if ((e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace) && !isEmpty()
               && lineEdit()->selectedText() == lineEdit()->text()) {
        setDate(emptyMark());
        return;
    }
    QDateEdit::keyPressEvent(e);
    // A text that is no date stops the base from moving on to the next part
    // once one is full (31-02 and then the year); move on here.
    if (!typed.isEmpty() && typed[0].isDigit() && !textIsDate()) {
        const QString text = lineEdit()->text();
        const int caret = lineEdit()->cursorPosition();
        int start = caret;
        while (start > 0 && text[start - 1].isDigit())
            --start;
        const int digits = caret - start;
        int end = caret;
        while (end < text.size() && text[end].isDigit())
            ++end;
        const int fullWidth = text.mid(start, end - start).size();
        if (end == caret && digits >= 2 && fullWidth == digits && caret + 1 < text.size()) {
            int next = caret + 1, nextEnd = next;
            while (nextEnd < text.size() && text[nextEnd].isDigit())
                ++nextEnd;
            lineEdit()->setSelection(next, nextEnd - next);
        }
    }
}

QValidator::State DatePicker::validate(QString& input, int& pos) const
{
    const QString typed = input;
    const QValidator::State state = QDateEdit::validate(input, pos);
    // The base would quietly move a day that the month does not have
    // (31-02 to 28-02); the text stays as typed instead, not yet a date.
    if (input != typed && !QDate::fromString(typed, displayFormat()).isValid()) {
        input = typed;
        return QValidator::Intermediate;
    }
    return state;
}

void DatePicker::focusInEvent(QFocusEvent* e)
{
    // Coming back to a refused text: the base would show the last good date
    // again; the text stays as typed.
    const QString kept = lineEdit()->text();
    const bool keep = !textIsDate();
    QDateEdit::focusInEvent(e);
    if (keep && lineEdit()->text() != kept) {
        // Quietly: the base would read the text back and move the day.
        const QSignalBlocker quiet(lineEdit());
        lineEdit()->setText(kept);
    }
}

bool DatePicker::focusNextPrevChild(bool next)
{
    // Tab goes to the next control, not to the next part of the date.
    return QWidget::focusNextPrevChild(next);
}

bool DatePicker::textIsDate() const
{
    const QString text = lineEdit()->text();
    if (text.trimmed().isEmpty() || QDate::fromString(text, displayFormat()).isValid())
        return true;
    // A part typed with one digit (3-12-2026) is still that date.
    QString loose = displayFormat();
    loose.replace(QStringLiteral("dd"), QStringLiteral("d")).replace(QStringLiteral("MM"), QStringLiteral("M"));
    return QDate::fromString(text, loose).isValid();
}

QString DatePicker::refusal() const
{
    return lineEdit()->text().trimmed() + QStringLiteral(" is not a date !!");
}

void DatePicker::focusOutEvent(QFocusEvent* e)
{
    if (textIsDate() || isReadOnly()) {
        notice_.clear();
        QDateEdit::focusOutEvent(e);
        return;
    }
    // Refused where it was typed: the box says so and keeps the focus, and
    // the text stays for the user to correct (it is not fixed up).
    notice_ = refusal();
    QToolTip::showText(mapToGlobal(QPoint(0, height())), notice_, this);
    QPointer<DatePicker> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self && self->isEnabled() && self->isVisible())
            self->setFocus(Qt::OtherFocusReason);
    });
    QWidget::focusOutEvent(e);
}

// ---------------------------------------------------------------- time picker

TimePicker::TimePicker(QWidget* parent) : QTimeEdit(parent)
{
    setDisplayFormat(QStringLiteral("HH:mm:ss"));
}

void TimePicker::keyPressEvent(QKeyEvent* e)
{
    // Tab goes to the next control, not to the next part of the time.
    if ((e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) && !(e->modifiers() & Qt::ControlModifier)) {
        e->accept();
        QWidget::focusNextPrevChild(e->key() == Qt::Key_Tab && !(e->modifiers() & Qt::ShiftModifier));
        return;
    }
    QTimeEdit::keyPressEvent(e);
}

bool TimePicker::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }

// ---------------------------------------------------------------- rich-text box

RichTextBox::RichTextBox(QWidget* parent) : QTextEdit(parent)
{
    setLineWrapMode(QTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes on to the next control as everywhere in a window; a tab
    // character is typed with Ctrl+Tab.
    setTabChangesFocus(true);
}

int RichTextBox::length() const { return std::max(0, document()->characterCount() - 1); }

int RichTextBox::room() const
{
    const int selected = static_cast<int>(textCursor().selectedText().size());
    return max_ - (length() - selected);
}

void RichTextBox::tell(const QString& text)
{
    notice_ = text;
    QToolTip::showText(mapToGlobal(QPoint(0, height())), text, this);
}

void RichTextBox::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Tab && e->modifiers() == Qt::ControlModifier && !isReadOnly()) {
        if (max_ > 0 && room() < 1)
            tell(QStringLiteral("At most %1 characters").arg(max_));
        else
            textCursor().insertText(QStringLiteral("\t"));
        e->accept();
        return;
    }
    const QString typed = e->text();
    const bool inserts = !typed.isEmpty()
        && (typed[0].isPrint() || typed[0] == QLatin1Char('\t') || typed[0] == QLatin1Char('\r'));
    if (max_ > 0 && !isReadOnly() && inserts && room() < typed.size()) {
        tell(QStringLiteral("At most %1 characters").arg(max_));
        e->accept();
        return;
    }
    if (storableOnly_ && !isReadOnly() && !typed.isEmpty() && !unstorable(typed).isEmpty()) {
        tell(QStringLiteral("Cannot be stored here, left out: ") + unstorable(typed));
        e->accept();
        return;
    }
    QTextEdit::keyPressEvent(e);
}

bool RichTextBox::insertTyped(const QString& text)
{
    if (isReadOnly())
        return false;
    if (max_ > 0 && room() < text.size()) {
        tell(QStringLiteral("At most %1 characters").arg(max_));
        return false;
    }
    QTextCursor c = textCursor();
    c.insertText(text);
    setTextCursor(c);
    return true;
}

void RichTextBox::insertFromMimeData(const QMimeData* source)
{
    if (isReadOnly() || (max_ <= 0 && !storableOnly_)) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    if (max_ > 0 && room() <= 0) {
        tell(QStringLiteral("At most %1 characters").arg(max_));
        return;
    }
    const int start = textCursor().selectionStart();
    QTextEdit::insertFromMimeData(source);
    QTextCursor c = textCursor();
    // What is left out or cut goes in the same step as the insertion for
    // undo; the formatting of the rest stays.
    c.joinPreviousEditBlock();
    QString told;
    if (storableOnly_) {
        QString refused;
        for (int i = c.position() - 1; i >= start; --i) {
            const QChar ch = document()->characterAt(i);
            const int from = ch.isLowSurrogate() && i > start && document()->characterAt(i - 1).isHighSurrogate() ? i - 1 : i;
            QTextCursor one(document());
            one.setPosition(from);
            one.setPosition(i + 1, QTextCursor::KeepAnchor);
            const QString text = one.selectedText();
            if (unstorable(text).isEmpty()) {
                i = from;
                continue;
            }
            one.removeSelectedText();
            if (!refused.contains(text))
                refused.prepend(text);
            i = from;
        }
        if (!refused.isEmpty())
            told = QStringLiteral("Cannot be stored here, left out: ") + refused;
    }
    if (const int excess = max_ > 0 ? length() - max_ : 0; excess > 0) {
        // What went past the limit is taken off the end of what came in.
        c.setPosition(c.position() - excess, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        told = QStringLiteral("Cut to the box's %1 characters").arg(max_);
    }
    c.endEditBlock();
    setTextCursor(c);
    if (!told.isEmpty())
        tell(told);
}

// ---------------------------------------------------------------- array grid

ArrayGrid::ArrayGrid(QWidget* parent) : QTableWidget(parent)
{
    setTabKeyNavigation(false);   // Tab leaves the grid; arrows move in it
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
        if (row != previous)
            emit changed();
    });
}

void ArrayGrid::setColumns(const QStringList& headers, const QList<int>& widths)
{
    setColumnCount(static_cast<int>(headers.size()));
    setHorizontalHeaderLabels(headers);
    for (int i = 0; i < widths.size() && i < headers.size(); ++i)
        setColumnWidth(i, widths[i]);
}

void ArrayGrid::addItem(const QStringList& cells)
{
    const int row = rowCount();
    insertRow(row);
    for (int c = 0; c < cells.size() && c < columnCount(); ++c)
        setItem(row, c, new QTableWidgetItem(cells[c]));
}

void ArrayGrid::deleteAllItems()
{
    clearSelection();
    setRowCount(0);
}

QStringList ArrayGrid::item(int row) const
{
    QStringList out;
    if (row < 1 || row > rowCount())
        return out;
    for (int c = 0; c < columnCount(); ++c) {
        const QTableWidgetItem* it = QTableWidget::item(row - 1, c);
        out << (it ? it->text() : QString());
    }
    return out;
}

int ArrayGrid::value() const
{
    const int row = currentRow();
    return row < 0 || row >= rowCount() ? 0 : row + 1;
}

void ArrayGrid::setValue(int row)
{
    if (row < 1 || row > rowCount()) {
        clearSelection();
        setCurrentCell(-1, -1);
        return;
    }
    setCurrentCell(row - 1, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollToItem(QTableWidget::item(row - 1, 0));
}

void showHeaderArrow(QHeaderView* header, int column, int arrow)
{
    if (column < 1 || arrow == 0) {
        header->setSortIndicatorShown(false);
        return;
    }
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column - 1, arrow == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void ArrayGrid::setHeaderImage(int column, int arrow)
{
    arrowColumn_ = column;
    arrow_ = arrow;
    showHeaderArrow(horizontalHeader(), column, arrow);
}

int ArrayGrid::headerImage(int column) const { return column == arrowColumn_ ? arrow_ : 0; }

// ---------------------------------------------------------------- tabs

TabControl::TabControl(QWidget* parent) : QTabWidget(parent)
{
    tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { height: 20px; }"));
}

QPoint TabControl::pageOrigin() const
{
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).topLeft();
}

// ---------------------------------------------------------------- building

namespace {

QWidget* hostFor(QWidget* window, const ControlDecl& d)
{
    if (d.parent.isEmpty())
        return window;
    auto* container = window->findChild<QWidget*>(d.parent);
    if (auto* tab = qobject_cast<QTabWidget*>(container))
        return d.page >= 1 && d.page <= tab->count() ? tab->widget(d.page - 1) : tab->widget(0);
    return container ? container : window;
}

QWidget* create(QWidget* host, const ControlDecl& d)
{
    switch (d.kind) {
    case ControlKind::Label: {
        // Plain text: explicit line breaks make the lines, the box never
        // wraps on its own (a wrapped word would fall out of the box).
        auto* w = new QLabel(d.caption, host);
        w->setTextFormat(Qt::PlainText);
        if (d.align)
            w->setAlignment(d.align);
        return w;
    }
    case ControlKind::Text:
    case ControlKind::UpperText: {
        auto* w = new TextBox(host, d.kind == ControlKind::UpperText);
        if (d.maxLength > 0)
            w->setMaxLength(d.maxLength);
        if (d.pick) {
            w->setObjectName(d.name);   // names the pick button's action
            w->setPickButton(true);
        }
        if (d.align)
            w->setAlignment(d.align);
        w->setReadOnly(d.readOnly);
        w->setText(d.caption);
        return w;
    }
    case ControlKind::Numeric: {
        auto* w = new NumberBox(host, d.picture);
        if (d.maxLength > 0)
            w->setMaxLength(d.maxLength);
        w->setReadOnly(d.readOnly);
        return w;
    }
    case ControlKind::Button: {
        auto* w = new QPushButton(d.caption, host);
        w->setAutoDefault(false);
        return w;
    }
    case ControlKind::ImageButton: {
        auto* w = new QPushButton(host);
        w->setAutoDefault(false);
        if (!d.picture.isEmpty())
            w->setIcon(QIcon(d.picture));
        else
            w->setText(d.caption);
        return w;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(d.caption, host);
    case ControlKind::CheckButton: {
        auto* w = new QPushButton(d.caption, host);
        w->setCheckable(true);
        w->setAutoDefault(false);
        if (!d.picture.isEmpty())
            w->setIcon(QIcon(d.picture));
        return w;
    }
    case ControlKind::Radio: {
        auto* w = new RadioGroup(d.items, d.spacing, d.horizontal, host);
        if (d.align & Qt::AlignRight)
            for (int i = 1; i <= w->count(); ++i)
                w->option(i)->setLayoutDirection(Qt::RightToLeft);
        return w;
    }
    case ControlKind::Combo: {
        auto* w = new ComboBox(host);
        w->addItems(d.items);
        w->setListHeight(d.popupHeight);
        return w;
    }
    case ControlKind::List: {
        auto* w = new ListBox(host);
        w->addItems(d.items);
        return w;
    }
    case ControlKind::Date: {
        auto* w = new DatePicker(host);
        w->setReadOnly(d.readOnly);
        w->setNoneCheck(d.noneCheck);
        return w;
    }
    case ControlKind::Time: {
        auto* w = new TimePicker(host);
        if (!d.picture.isEmpty())
            w->setDisplayFormat(d.picture);
        w->setReadOnly(d.readOnly);
        return w;
    }
    case ControlKind::Spinner: {
        auto* w = new QSpinBox(host);
        w->setReadOnly(d.readOnly);
        if (d.rangeMin != 0 || d.rangeMax != 0)
            w->setRange(d.rangeMin, d.rangeMax);
        return w;
    }
    case ControlKind::EditBox: {
        auto* w = new QPlainTextEdit(host);
        w->setReadOnly(d.readOnly);
        w->setPlainText(d.caption);
        return w;
    }
    case ControlKind::RichText: {
        auto* w = new RichTextBox(host);
        w->setMaxLength(d.maxLength);
        w->setReadOnly(d.readOnly);
        if (!d.caption.isEmpty())
            w->setPlainText(d.caption);
        return w;
    }
    case ControlKind::Grid: {
        auto* w = new ArrayGrid(host);
        w->setColumns(d.items, d.widths);
        return w;
    }
    case ControlKind::Browse: {
        auto* w = new BrowseGrid(host);
        return w;
    }
    case ControlKind::Frame: {
        // The caption sits on the frame's top line, inside the declared box.
        auto* w = new QGroupBox(d.caption, host);
        w->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.6em; }"
                                        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 2px; }"));
        return w;
    }
    case ControlKind::Tab: {
        auto* w = new TabControl(host);
        for (int i = 0; i < d.items.size(); ++i) {
            auto* page = new QWidget(w);
            page->setObjectName(QStringLiteral("%1_Page%2").arg(d.name).arg(i + 1));
            w->addTab(page, d.items[i]);
        }
        return w;
    }
    case ControlKind::Progress: {
        auto* w = new QProgressBar(host);
        w->setTextVisible(false);
        if (d.rangeMin != 0 || d.rangeMax != 0)
            w->setRange(d.rangeMin, d.rangeMax);
        w->setValue(w->minimum());
        return w;
    }
    case ControlKind::Image: {
        auto* w = new QLabel(host);
        w->setScaledContents(true);
        if (!d.picture.isEmpty())
            w->setPixmap(QPixmap(d.picture));
        return w;
    }
    case ControlKind::Hyperlink: {
        auto* w = new QLabel(host);
        const QString target = d.link.isEmpty() ? d.caption : d.link;
        w->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(target.toHtmlEscaped(), d.caption.toHtmlEscaped()));
        w->setTextFormat(Qt::RichText);
        w->setOpenExternalLinks(true);
        // Opened by a click; not a Tab stop (a link inside a label would be a
        // second, hidden one).
        w->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        w->setFocusPolicy(Qt::NoFocus);
        if (d.align)
            w->setAlignment(d.align);
        return w;
    }
    }
    return new QWidget(host);
}

// A caption's text as drawn: without the mnemonic marks.
QString drawnCaption(const QString& caption)
{
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        out += caption[i];
    }
    return out;
}

// Makes the type of `w` smaller, half a point at a time and never below 7
// points, until `fits` holds: a caption wider or taller than its declared
// box would lose letters or lines.
void shrinkUntil(QWidget* w, const std::function<bool(const QFont&)>& fits)
{
    QFont f = w->font();
    while (!fits(f) && f.pointSizeF() > 7.0)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    if (f != w->font())
        w->setFont(f);
}

void fitCaption(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w); label && label->textFormat() == Qt::PlainText) {
        const QString text = label->text();
        if (!text.isEmpty())
            shrinkUntil(label, [&](const QFont& f) {
                const QSize need = QFontMetrics(f).size(0, text);
                return need.width() <= label->width() && need.height() <= label->height();
            });
    } else if (auto* group = qobject_cast<RadioGroup*>(w)) {
        group->fitOptions();
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        shrinkUntil(check, [&](const QFont& f) {
            const int indicator = check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check)
                + check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
            return indicator + QFontMetrics(f).horizontalAdvance(drawnCaption(check->text())) + 4 <= check->width();
        });
    } else if (auto* button = qobject_cast<QPushButton*>(w); button && !button->text().isEmpty()) {
        shrinkUntil(button, [&](const QFont& f) {
            const QFontMetrics m(f);
            return m.horizontalAdvance(drawnCaption(button->text())) + 8 <= button->width()
                && m.height() + 4 <= button->height();
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->count() > 0) {
        // The widest item has to show whole beside the arrow.
        auto widest = [&](const QFont& f) {
            const QFontMetrics m(f);
            int most = 0;
            for (int i = 0; i < combo->count(); ++i)
                most = std::max(most, m.horizontalAdvance(combo->itemText(i)));
            return most;
        };
        const int frame = combo->sizeHint().width() - widest(combo->font());
        shrinkUntil(combo, [&](const QFont& f) { return widest(f) + frame <= combo->width(); });
    } else if (auto* frame = qobject_cast<QGroupBox*>(w); frame && !frame->title().isEmpty()) {
        shrinkUntil(frame, [&](const QFont& f) {
            return QFontMetrics(f).horizontalAdvance(frame->title()) + 20 <= frame->width();
        });
    }
}

// Declaration faults (a container that is not there, a name used twice)
// go to the window's fault list when the window is a Form.
void noteFault(QWidget* window, const QString& what)
{
    if (auto* f = qobject_cast<Form*>(window))
        f->noteFault(what);
    else
        qWarning("%s: %s", qPrintable(window->objectName()), qPrintable(what));
}

} // namespace

QWidget* buildControl(QWidget* window, const ControlDecl& d)
{
    if (!d.parent.isEmpty() && !window->findChild<QWidget*>(d.parent))
        noteFault(window, d.name + QStringLiteral(" is declared on ") + d.parent + QStringLiteral(", which is not declared"));
    if (window->findChild<QWidget*>(d.name))
        noteFault(window, d.name + QStringLiteral(" is declared twice"));
    QWidget* host = hostFor(window, d);
    QWidget* w = create(host, d);
    w->setObjectName(d.name);
    if (auto* f = qobject_cast<Form*>(window))
        f->noteDeclared(d.name);
    // On a tab's page the declared position counts from the tab's corner.
    QPoint origin;
    if (!d.parent.isEmpty())
        if (auto* tab = qobject_cast<TabControl*>(window->findChild<QWidget*>(d.parent)))
            origin = tab->pageOrigin();
    w->setGeometry(d.col - origin.x(), d.row - origin.y(), d.width, d.height);
    if (!d.fontName.isEmpty() || d.fontSize > 0 || d.bold || d.italic) {
        QFont f = w->font();
        if (!d.fontName.isEmpty())
            f.setFamily(d.fontName);
        if (d.fontSize > 0)
            f.setPointSizeF(d.fontSize);
        f.setBold(d.bold || f.bold());
        f.setItalic(d.italic || f.italic());
        w->setFont(f);
    }
    if (d.colour.isValid()) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, d.colour);
        pal.setColor(QPalette::Text, d.colour);
        w->setPalette(pal);
    }
    fitCaption(w);
    if (!d.tooltip.isEmpty())
        w->setToolTip(d.tooltip);
    if (d.disabled)
        w->setEnabled(false);
    w->setVisible(d.visible);
    return w;
}

void buildControls(QWidget* window, const QList<ControlDecl>& decls)
{
    for (const auto& d : decls)
        buildControl(window, d);
    // Frames were declared around their controls; keep them behind.
    for (const auto& d : decls)
        if (d.kind == ControlKind::Frame)
            if (auto* f = window->findChild<QGroupBox*>(d.name))
                f->lower();
}

// ---------------------------------------------------------------- properties

namespace {

// One row of the property table: a property of one control kind, with how to
// read and how to write it (either may be absent). The first row whose kind
// matches wins, so a kind comes before the kinds it derives from; a new
// control kind is added here and nowhere else.
struct PropertyRow {
    QLatin1String property;
    std::function<bool(QWidget*)> is;
    std::function<QVariant(QWidget*, int)> get;
    std::function<void(QWidget*, const QVariant&, int)> set;
};

template <class T>
PropertyRow row(const char* property, std::function<QVariant(T*, int)> get,
                std::function<void(T*, const QVariant&, int)> set)
{
    PropertyRow r{QLatin1String(property), [](QWidget* w) { return qobject_cast<T*>(w) != nullptr; }, {}, {}};
    if (get)
        r.get = [get](QWidget* w, int i) { return get(static_cast<T*>(w), i); };
    if (set)
        r.set = [set](QWidget* w, const QVariant& v, int i) { set(static_cast<T*>(w), v, i); };
    return r;
}

void setFont(QWidget* w, const std::function<void(QFont&)>& change)
{
    QFont f = w->font();
    change(f);
    w->setFont(f);
}

const std::vector<PropertyRow>& propertyTable()
{
    using W = QWidget;
    static const std::vector<PropertyRow> table = {
        // Value: each kind's own value.
        row<NumberBox>("Value", [](NumberBox* x, int) { return QVariant(x->value()); },
                       [](NumberBox* x, const QVariant& v, int) { x->setValue(v.toDouble()); }),
        row<QLineEdit>("Value", [](QLineEdit* x, int) { return QVariant(x->text()); },
                       [](QLineEdit* x, const QVariant& v, int) { x->setText(v.toString()); }),
        row<RadioGroup>("Value", [](RadioGroup* x, int) { return QVariant(x->value()); },
                        [](RadioGroup* x, const QVariant& v, int) { x->setValue(v.toInt()); }),
        row<QComboBox>("Value", [](QComboBox* x, int) { return QVariant(x->currentIndex() + 1); },
                       [](QComboBox* x, const QVariant& v, int) { x->setCurrentIndex(v.toInt() - 1); }),
        row<QListWidget>("Value", [](QListWidget* x, int) { return QVariant(x->currentRow() + 1); },
                         [](QListWidget* x, const QVariant& v, int) { x->setCurrentRow(v.toInt() - 1); }),
        row<DatePicker>("Value", [](DatePicker* x, int) { return QVariant(x->value()); },
                        [](DatePicker* x, const QVariant& v, int) { x->setValue(v.toDate()); }),
        row<QTimeEdit>("Value", [](QTimeEdit* x, int) { return QVariant(x->time()); },
                       [](QTimeEdit* x, const QVariant& v, int) { x->setTime(v.toTime()); }),
        row<QDateEdit>("Value", [](QDateEdit* x, int) { return QVariant(x->date()); },
                       [](QDateEdit* x, const QVariant& v, int) { x->setDate(v.toDate()); }),
        row<QSpinBox>("Value", [](QSpinBox* x, int) { return QVariant(x->value()); },
                      [](QSpinBox* x, const QVariant& v, int) { x->setValue(v.toInt()); }),
        row<QPlainTextEdit>("Value", [](QPlainTextEdit* x, int) { return QVariant(x->toPlainText()); },
                            [](QPlainTextEdit* x, const QVariant& v, int) { x->setPlainText(v.toString()); }),
        row<QTextEdit>("Value", [](QTextEdit* x, int) { return QVariant(x->toPlainText()); },
                       [](QTextEdit* x, const QVariant& v, int) { x->setPlainText(v.toString()); }),
        row<ArrayGrid>("Value", [](ArrayGrid* x, int) { return QVariant(x->value()); },
                       [](ArrayGrid* x, const QVariant& v, int) { x->setValue(v.toInt()); }),
        row<BrowseGrid>("Value", [](BrowseGrid* x, int) { return QVariant(static_cast<qulonglong>(x->value())); },
                        [](BrowseGrid* x, const QVariant& v, int) { x->setValue(static_cast<uint32_t>(v.toULongLong())); }),
        row<QAbstractButton>("Value",
                             [](QAbstractButton* x, int) { return x->isCheckable() ? QVariant(x->isChecked()) : QVariant(); },
                             [](QAbstractButton* x, const QVariant& v, int) { x->setChecked(v.toBool()); }),
        row<QProgressBar>("Value", [](QProgressBar* x, int) { return QVariant(x->value()); },
                          [](QProgressBar* x, const QVariant& v, int) { x->setValue(v.toInt()); }),
        row<QTabWidget>("Value", [](QTabWidget* x, int) { return QVariant(x->currentIndex() + 1); },
                        [](QTabWidget* x, const QVariant& v, int) { x->setCurrentIndex(v.toInt() - 1); }),
        row<QLabel>("Value", [](QLabel* x, int) { return QVariant(x->text()); },
                    [](QLabel* x, const QVariant& v, int) { x->setText(v.toString()); }),

        // Caption: the text a label, button or frame shows.
        row<QAbstractButton>("Caption", [](QAbstractButton* x, int) { return QVariant(x->text()); },
                             [](QAbstractButton* x, const QVariant& v, int) { x->setText(v.toString()); }),
        row<QGroupBox>("Caption", [](QGroupBox* x, int) { return QVariant(x->title()); },
                       [](QGroupBox* x, const QVariant& v, int) { x->setTitle(v.toString()); }),
        row<QLabel>("Caption", [](QLabel* x, int) { return QVariant(x->text()); },
                    [](QLabel* x, const QVariant& v, int) { x->setText(v.toString()); }),

        row<QLineEdit>("ReadOnly", [](QLineEdit* x, int) { return QVariant(x->isReadOnly()); },
                       [](QLineEdit* x, const QVariant& v, int) { x->setReadOnly(v.toBool()); }),
        row<QAbstractSpinBox>("ReadOnly", [](QAbstractSpinBox* x, int) { return QVariant(x->isReadOnly()); },
                              [](QAbstractSpinBox* x, const QVariant& v, int) { x->setReadOnly(v.toBool()); }),
        row<QPlainTextEdit>("ReadOnly", [](QPlainTextEdit* x, int) { return QVariant(x->isReadOnly()); },
                            [](QPlainTextEdit* x, const QVariant& v, int) { x->setReadOnly(v.toBool()); }),
        row<QTextEdit>("ReadOnly", [](QTextEdit* x, int) { return QVariant(x->isReadOnly()); },
                       [](QTextEdit* x, const QVariant& v, int) { x->setReadOnly(v.toBool()); }),

        row<QLineEdit>("CaretPos", [](QLineEdit* x, int) { return QVariant(x->cursorPosition()); },
                       [](QLineEdit* x, const QVariant& v, int) { x->setCursorPosition(v.toInt()); }),

        row<QProgressBar>("RangeMin", [](QProgressBar* x, int) { return QVariant(x->minimum()); },
                          [](QProgressBar* x, const QVariant& v, int) { x->setMinimum(v.toInt()); }),
        row<QProgressBar>("RangeMax", [](QProgressBar* x, int) { return QVariant(x->maximum()); },
                          [](QProgressBar* x, const QVariant& v, int) { x->setMaximum(v.toInt()); }),
        row<QSpinBox>("RangeMin", [](QSpinBox* x, int) { return QVariant(x->minimum()); },
                      [](QSpinBox* x, const QVariant& v, int) { x->setMinimum(v.toInt()); }),
        row<QSpinBox>("RangeMax", [](QSpinBox* x, int) { return QVariant(x->maximum()); },
                      [](QSpinBox* x, const QVariant& v, int) { x->setMaximum(v.toInt()); }),

        row<ArrayGrid>("HeaderImage", [](ArrayGrid* x, int i) { return QVariant(x->headerImage(i)); },
                       [](ArrayGrid* x, const QVariant& v, int i) { x->setHeaderImage(i, v.toInt()); }),
        row<BrowseGrid>("HeaderImage", [](BrowseGrid* x, int i) { return QVariant(x->headerImage(i)); },
                        [](BrowseGrid* x, const QVariant& v, int i) { x->setHeaderImage(i, v.toInt()); }),

        row<QTextEdit>("RichValue", [](QTextEdit* x, int) { return QVariant(x->toHtml()); },
                       [](QTextEdit* x, const QVariant& v, int) { x->setHtml(v.toString()); }),

        // Item: a row's cells, an entry's text (from 1).
        row<ArrayGrid>("Item", [](ArrayGrid* x, int i) { return QVariant(x->item(i)); }, nullptr),
        row<QComboBox>("Item", [](QComboBox* x, int i) { return QVariant(x->itemText(i - 1)); }, nullptr),
        row<QListWidget>("Item",
                         [](QListWidget* x, int i) { return QVariant(x->item(i - 1) ? x->item(i - 1)->text() : QString()); },
                         nullptr),
        row<BrowseGrid>("Item", [](BrowseGrid* x, int i) { return QVariant(x->browseModel()->rowTexts(i - 1)); }, nullptr),

        // Every kind.
        row<W>("Enabled", [](W* x, int) { return QVariant(x->isEnabled()); },
               [](W* x, const QVariant& v, int) { x->setEnabled(v.toBool()); }),
        row<W>("Visible", [](W* x, int) { return QVariant(x->isVisible()); },
               [](W* x, const QVariant& v, int) { x->setVisible(v.toBool()); }),
        row<W>("Title", [](W* x, int) { return QVariant(x->window()->windowTitle()); },
               [](W* x, const QVariant& v, int) { x->window()->setWindowTitle(v.toString()); }),
        row<W>("FontName", [](W* x, int) { return QVariant(x->font().family()); },
               [](W* x, const QVariant& v, int) { setFont(x, [&](QFont& f) { f.setFamily(v.toString()); }); }),
        row<W>("FontSize", [](W* x, int) { return QVariant(x->font().pointSizeF()); },
               [](W* x, const QVariant& v, int) { setFont(x, [&](QFont& f) { f.setPointSizeF(v.toDouble()); }); }),
        row<W>("FontBold", [](W* x, int) { return QVariant(x->font().bold()); },
               [](W* x, const QVariant& v, int) { setFont(x, [&](QFont& f) { f.setBold(v.toBool()); }); }),
        row<W>("FontItalic", [](W* x, int) { return QVariant(x->font().italic()); },
               [](W* x, const QVariant& v, int) { setFont(x, [&](QFont& f) { f.setItalic(v.toBool()); }); }),
        row<W>("FontUnderline", [](W* x, int) { return QVariant(x->font().underline()); },
               [](W* x, const QVariant& v, int) { setFont(x, [&](QFont& f) { f.setUnderline(v.toBool()); }); }),
        row<W>("FontColor", [](W* x, int) { return QVariant(x->palette().color(x->foregroundRole())); },
               [](W* x, const QVariant& v, int) {
                   QPalette pal = x->palette();
                   pal.setColor(x->foregroundRole(), v.value<QColor>());
                   pal.setColor(QPalette::Text, v.value<QColor>());
                   x->setPalette(pal);
               }),
    };
    return table;
}

const PropertyRow* findRow(QWidget* w, const QString& property)
{
    for (const PropertyRow& r : propertyTable())
        if (property == r.property && r.is(w))
            return &r;
    return nullptr;
}

} // namespace

QVariant controlProperty(QWidget* w, const QString& property, int index)
{
    const PropertyRow* r = w ? findRow(w, property) : nullptr;
    return r && r->get ? r->get(w, index) : QVariant();
}

bool setControlProperty(QWidget* w, const QString& property, const QVariant& value, int index)
{
    const PropertyRow* r = w ? findRow(w, property) : nullptr;
    if (!r || !r->set)
        return false;
    // A button that is not a check or an option has no value to set.
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && property == QLatin1String("Value") && !b->isCheckable())
        return false;
    r->set(w, value, index);
    return true;
}

// ---------------------------------------------------------------- events

namespace {

// Calls a handler on focus-in or focus-out of one widget.
class FocusHook : public QObject {
public:
    FocusHook(QWidget* w, QEvent::Type type, std::function<void()> fn)
        : QObject(w), type_(type), fn_(std::move(fn))
    {
        w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == type_)
            fn_();
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void()> fn_;
};

} // namespace

void onChange(QWidget* w, std::function<void()> fn)
{
    if (auto* x = qobject_cast<NumberBox*>(w))
        QObject::connect(x, &QLineEdit::textChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<QLineEdit*>(w))
        QObject::connect(x, &QLineEdit::textChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<RadioGroup*>(w))
        QObject::connect(x, &RadioGroup::changed, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<QComboBox*>(w))
        QObject::connect(x, &QComboBox::currentIndexChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<ListBox*>(w))
        QObject::connect(x, &QListWidget::currentRowChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<DatePicker*>(w))
        QObject::connect(x, &DatePicker::valueChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<QDateTimeEdit*>(w))
        QObject::connect(x, &QDateTimeEdit::dateTimeChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<QSpinBox*>(w))
        QObject::connect(x, &QSpinBox::valueChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<QPlainTextEdit*>(w))
        QObject::connect(x, &QPlainTextEdit::textChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<QTextEdit*>(w))
        QObject::connect(x, &QTextEdit::textChanged, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<ArrayGrid*>(w))
        QObject::connect(x, &ArrayGrid::changed, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<BrowseGrid*>(w))
        QObject::connect(x, &BrowseGrid::changed, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<QAbstractButton*>(w))
        QObject::connect(x, &QAbstractButton::toggled, x, [fn] { fn(); });
    else if (auto* x = qobject_cast<QTabWidget*>(w))
        QObject::connect(x, &QTabWidget::currentChanged, x, [fn] { fn(); });
}

void onAction(QWidget* w, std::function<void()> fn)
{
    if (auto* x = qobject_cast<QAbstractButton*>(w))
        QObject::connect(x, &QAbstractButton::clicked, x, [fn] { fn(); });
}

void onGotFocus(QWidget* w, std::function<void()> fn)
{
    if (auto* d = qobject_cast<QAbstractSpinBox*>(w))
        new FocusHook(d, QEvent::FocusIn, std::move(fn));
    else if (w)
        new FocusHook(w, QEvent::FocusIn, std::move(fn));
}

void onLostFocus(QWidget* w, std::function<void()> fn)
{
    if (w)
        new FocusHook(w, QEvent::FocusOut, std::move(fn));
}

namespace {

// Calls a handler when the focus moves from one widget to another control of
// its window.
class LeaveHook : public QObject {
public:
    LeaveHook(QWidget* w, std::function<void()> fn) : QObject(w), fn_(std::move(fn)) { w->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::FocusOut) {
            const Qt::FocusReason why = static_cast<QFocusEvent*>(e)->reason();
            if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason)
                fn_();
        }
        return false;
    }

private:
    std::function<void()> fn_;
};

} // namespace

void onLeave(QWidget* w, std::function<void()> fn)
{
    if (w)
        new LeaveHook(w, std::move(fn));
}

void onEnter(QWidget* w, std::function<void()> fn)
{
    if (auto* x = qobject_cast<QLineEdit*>(w))
        QObject::connect(x, &QLineEdit::returnPressed, x, [fn] { fn(); });
}

void onDoubleClick(QWidget* w, std::function<void()> fn)
{
    if (auto* x = qobject_cast<QAbstractItemView*>(w))
        QObject::connect(x, &QAbstractItemView::doubleClicked, x, [fn] { fn(); });
}

void onHeaderClick(QWidget* w, std::function<void(int)> fn)
{
    if (auto* x = qobject_cast<BrowseGrid*>(w))
        QObject::connect(x, &BrowseGrid::headerClicked, x, [fn](int c) { fn(c); });
    else if (auto* x = qobject_cast<QTableView*>(w))
        QObject::connect(x->horizontalHeader(), &QHeaderView::sectionClicked, x, [fn](int c) { fn(c + 1); });
}

} // namespace cn
