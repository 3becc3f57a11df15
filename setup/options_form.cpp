#include "setup/options_form.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/resources.h"
#include "app/routines.h"
#include "print/print_dialog.h"
#include "print/printjob.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include <deque>
#include <string>
#include <vector>

namespace cn {

namespace {

using K = ControlKind;
const QString kForm = QStringLiteral("Form_Options");
const QString kTab = QStringLiteral("Tab_Options");
constexpr int kGeneral = 1, kPrintPage = 2, kLetterhead = 3;

// "11" .. "19", "21" .. "29" for line index 0..17.
QString lineNo(int i) { return QString::number(Letterhead::lineNumber(i)); }

// Names built once for the binding table, which keeps pointers to them.
const char* lasting(const QString& text)
{
    static std::deque<std::string> kept;
    kept.push_back(text.toStdString());
    return kept.back().c_str();
}

const QStringList kMarginNames = {"Top", "Left", "Right", "Bottom"};
const char* const kMarginFields[4] = {"TOPMARG", "LFTMARG", "RTMARG", "BOTMARG"};
const char* const kRuleParts[4] = {"Row1", "Col1", "Row2", "Col2"};

QString ruleBox(int k, int part) { return QStringLiteral("TxtLine%1%2").arg(k + 1).arg(QLatin1String(kRuleParts[part])); }

ControlDecl spinner(const QString& name, int col, int row, int page)
{
    return ControlDecl{name, K::Spinner, col, row, 50, 20}.range(1, 400).on(kTab, page);
}

ControlDecl fontButton(const QString& name, int col, int row, int page)
{
    return ControlDecl{name, K::Button, col, row, 40, 20, "Font"}.on(kTab, page);
}

QList<ControlDecl> generalPage()
{
    const int p = kGeneral;
    return {
        ControlDecl{"Label_CurrencySymbol", K::Label, 10, 55, 97, 20, "Currency Symbol"}.right().font("Arial", 9).on(kTab, p),
        ControlDecl{"TxtCurrencySymbol", K::Text, 110, 50, 40, 24, "", "Example: Rs., $, \u00A3, ..."}.on(kTab, p),
        ControlDecl{"Label_CurrencyText", K::Label, 180, 55, 87, 20, "Currency Text "}.right().on(kTab, p),
        ControlDecl{"TxtCurrencyText", K::Text, 270, 50, 90, 24, "", "Example: Rupees, Dollars, Pounds, ..."}.on(kTab, p),
        ControlDecl{"Label_DecimalText", K::Label, 180, 85, 87, 20, "Decimal Text "}.right().on(kTab, p),
        ControlDecl{"TxtDecimalText", K::Text, 270, 80, 90, 24, "", "Example: paise, cents, pence, ..."}.on(kTab, p),
        ControlDecl{"Label_NumberFormat", K::Label, 10, 115, 97, 20, "Number Format"}.right().on(kTab, p),
        ControlDecl{"TxtNumberFormat", K::Combo, 110, 110, 210, 24}
            .withItems({"1. Standard : 123,456,789.00", "2. South Asian : 12,34,56,789.00"}).on(kTab, p),
        ControlDecl{"Label_DateFormat", K::Label, 10, 145, 97, 20, "Date Format"}.right().on(kTab, p),
        ControlDecl{"TxtDateFormat", K::Combo, 110, 140, 210, 24}.withItems({"1. Month/Day/Year", "2. Day-Month-Year"}).on(kTab, p),
        // The doctor's name, printed at the head of every letterhead.
        ControlDecl{"Label_DocName", K::Label, 10, 175, 97, 20, "Doctor's Name"}.right().on(kTab, p),
        ControlDecl{"TxtDocName", K::Text, 110, 170, 300, 24, "", "The doctor's name as printed on the letterhead"}.on(kTab, p),
    };
}

QList<ControlDecl> printPage()
{
    const int p = kPrintPage;
    QList<ControlDecl> d;
    for (int i = 0; i < 4; ++i)
        d << ControlDecl{"Label_" + kMarginNames[i] + "Margin", K::Label, 20, 55 + 30 * i, 97, 20,
                         kMarginNames[i] + " Margin"}.right().on(kTab, p);
    for (int i = 0; i < 4; ++i)
        d << ControlDecl{"Txt" + kMarginNames[i] + "MarginIn", K::Numeric, 120, 50 + 30 * i, 60, 20, "", "", 0, "9999"}
                 .right().on(kTab, p);
    for (int i = 0; i < 4; ++i)
        d << ControlDecl{"Label_" + kMarginNames[i] + "In", K::Label, 182, 55 + 30 * i, 25, 20, "mm"}.on(kTab, p);
    d << ControlDecl{"Lb_DefFont", K::EditBox, 250, 55, 400, 50, "Default Font for general purposes", "", 0, "", true}.on(kTab, p)
      << fontButton("Btn_DefFont", 651, 55, p)
      << ControlDecl{"Lb_LeftRow1", K::Label, 325, 115, 80, 20, "From Row(mm)"}.size(8).on(kTab, p)
      << ControlDecl{"Lb_LeftCol1", K::Label, 405, 115, 80, 20, "Col(mm)"}.size(8).on(kTab, p)
      << ControlDecl{"Lb_RightRow1", K::Label, 485, 115, 70, 20, "To Row(mm)"}.size(8).on(kTab, p)
      << ControlDecl{"Lb_RightCol1", K::Label, 555, 115, 60, 20, "Col(mm)"}.size(8).on(kTab, p);
    for (int k = 0; k < 4; ++k) {
        d << ControlDecl{QStringLiteral("Lb_Line%1").arg(k + 1), K::Label, 250, 138 + 25 * k, 50, 25,
                         QStringLiteral("Line %1").arg(k + 1)}.right().on(kTab, p);
        const int cols[4] = {350, 400, 500, 550};
        for (int part = 0; part < 4; ++part)
            d << spinner(ruleBox(k, part), cols[part], 135 + 25 * k, p);
    }
    d << ControlDecl{"Bt_Template1", K::Button, 650, 25, 100, 25, "Template 1"}.on(kTab, p)
      << ControlDecl{"Bt_Template2", K::Button, 750, 25, 100, 25, "Template 2"}.on(kTab, p)
      << ControlDecl{"Bt_UserTemplate", K::Button, 850, 25, 100, 25, "Saved Settings"}.on(kTab, p)
      << ControlDecl{"Bt_Print1", K::Button, 750, 50, 200, 30, "&Preview/Print"}.on(kTab, p);
    return d;
}

QList<ControlDecl> letterheadPage()
{
    const int p = kLetterhead;
    QList<ControlDecl> d = {
        ControlDecl{"Lb_DocNm", K::EditBox, 10, 50, 500, 50, "", "", 0, "", true}.font("Arial", 14).on(kTab, p),
        fontButton("Btn_DocNmFont", 510, 50, p),
        spinner("TxtDocNmRow", 550, 50, p),
        spinner("TxtDocNmCol", 600, 50, p),
        ControlDecl{"TxtDocAlign", K::Combo, 510, 80, 80, 24}.withItems({"Left", "Center", "Right"}).on(kTab, p),
        ControlDecl{"Lb_LeftRow", K::Label, 350, 110, 50, 20, "Row(mm)"}.size(8).on(kTab, p),
        ControlDecl{"Lb_LeftCol", K::Label, 400, 110, 50, 20, "Col(mm)"}.size(8).on(kTab, p),
        ControlDecl{"Lb_RightRow", K::Label, 520, 110, 50, 20, "Row(mm)"}.size(8).on(kTab, p),
        ControlDecl{"Lb_RightCol", K::Label, 570, 110, 50, 20, "Col(mm)"}.size(8).on(kTab, p),
    };
    // Line by line: the left block (text, font, row, column), then the right
    // block (row, column, font, text), as the eye reads across the page.
    for (int i = 0; i < 9; ++i) {
        const QString n = lineNo(i);
        const int row = 130 + 30 * i;
        d << ControlDecl{"TxtLHd" + n, K::Text, 10, row, 300, 25}.on(kTab, p)
          << fontButton("Btn_LHd" + n + "Attr", 310, row, p)
          << spinner("TxtLHd" + n + "Row", 350, row, p)
          << spinner("TxtLHd" + n + "Col", 400, row, p);
    }
    for (int i = 9; i < 18; ++i) {
        const QString n = lineNo(i);
        const int row = 130 + 30 * (i - 9);
        d << spinner("TxtLHd" + n + "Row", 520, row, p)
          << spinner("TxtLHd" + n + "Col", 570, row, p)
          << fontButton("Btn_LHd" + n + "Attr", 620, row, p)
          << ControlDecl{"TxtLHd" + n, K::Text, 660, row, 300, 25}.on(kTab, p);
    }
    d << ControlDecl{"Bt_Template11", K::Button, 650, 25, 100, 25, "Template 1"}.on(kTab, p)
      << ControlDecl{"Bt_Template21", K::Button, 750, 25, 100, 25, "Template 2"}.on(kTab, p)
      << ControlDecl{"Bt_UserTemplate1", K::Button, 850, 25, 100, 25, "Saved Settings"}.on(kTab, p)
      << ControlDecl{"Bt_Print", K::Button, 750, 50, 200, 30, "&Preview/Print"}.on(kTab, p);
    return d;
}

// Every field of the options record but the fonts, which are written from
// the window's font records.
const std::vector<FieldBinding>& optionsFields()
{
    static const std::vector<FieldBinding> table = [] {
        std::vector<FieldBinding> t = {
            {"TxtCurrencySymbol", "CURRSYM"},
            {"TxtCurrencyText", "CURRTXT"},
            {"TxtDecimalText", "CURRTXT2"},
            {"TxtNumberFormat", "NUMFORM", Bind::Combo},
            {"TxtDateFormat", "DATEFORM", Bind::Combo},
            {"TxtDocName", "DOCNAME"},
            {"TxtDocAlign", "DOCALIGN", Bind::Combo},
            {"TxtDocNmRow", "DOCNMROW", Bind::Spin},
            {"TxtDocNmCol", "DOCNMCOL", Bind::Spin},
        };
        for (int i = 0; i < 4; ++i)
            t.push_back({lasting("Txt" + kMarginNames[i] + "MarginIn"), kMarginFields[i], Bind::Number, {},
                         QStringLiteral("9999")});
        for (int i = 0; i < Letterhead::kLines; ++i) {
            const QString n = lineNo(i);
            t.push_back({lasting("TxtLHd" + n), lasting("LHD" + n)});
            t.push_back({lasting("TxtLHd" + n + "Row"), lasting("LHD" + n + "ROW"), Bind::Spin});
            t.push_back({lasting("TxtLHd" + n + "Col"), lasting("LHD" + n + "COL"), Bind::Spin});
        }
        for (int k = 0; k < 4; ++k)
            for (int part = 0; part < 4; ++part)
                t.push_back({lasting(ruleBox(k, part)), lasting(ruleBox(k, part).mid(3).toUpper()), Bind::Spin});
        return t;
    }();
    return table;
}

QString lineFontField(int i) { return QStringLiteral("LHD") + lineNo(i) + QStringLiteral("ATTR"); }

// The font fields, written from the window's font records.
QStringList fontFields()
{
    QStringList names = {QStringLiteral("DEFFONT"), QStringLiteral("DOCNMATTR")};
    for (int i = 0; i < Letterhead::kLines; ++i)
        names << lineFontField(i);
    return names;
}

QFont qfontOf(const FontRecord& r)
{
    QFont f(r.face.isEmpty() ? QStringLiteral("Arial") : r.face);
    if (r.size > 0)
        f.setPointSize(r.size);
    f.setBold(r.bold);
    f.setItalic(r.italic);
    f.setUnderline(r.underline);
    return f;
}

// A sample box shown in a font record: face, size, bold, italic, colour,
// underline.
void showFont(QWidget* w, const FontRecord& r)
{
    if (!w)
        return;
    w->setFont(qfontOf(r));
    QPalette pal = w->palette();
    pal.setColor(QPalette::Text, PrintJob::colourOf(r));
    pal.setColor(QPalette::WindowText, PrintJob::colourOf(r));
    w->setPalette(pal);
}

FontRecord record(const char* face, int size, bool bold)
{
    FontRecord r;
    r.face = QLatin1String(face);
    r.size = size;
    r.bold = bold;
    return r;
}

// The texts and fonts both templates put on the eighteen lines.
struct TemplateLine {
    const char* text;
    const char* font;
};
const TemplateLine kTemplateLines[Letterhead::kLines] = {
    {" ", "Arial/9/F/F/0/0/0/F/F/0"},
    {"MBBS, MD", "Arial/9/T/F/0/0/0/F/F/0"},
    {"National Scholar", "Arial/9/F/F/0/0/0/F/F/0"},
    {" ", "Arial/9/F/F/0/0/0/F/F/0"},
    {"Dept of Medicine, Demo Medical Centre", "Arial/9/F/F/0/0/0/F/F/0"},
    {" ", "Arial/9/F/F/0/0/0/F/F/0"},
    {"Formerly of Govt Medical College", "Arial/9/F/F/0/0/0/F/F/0"},
    {"Guest Lecturer, XYZ Medical College", "Arial/9/F/F/0/0/0/F/F/0"},
    {"Member, Medical Commission", "Arial/9/F/F/0/0/0/F/F/0"},
    {"Res: 123/4 Demo Street, Demo City - 123 456", "Arial/8/F/T/0/0/0/F/F/0"},
    {"Ph: (012) 9999-1111 (R), 98765-12345 (M)", "Arial/8/F/T/0/0/0/F/F/0"},
    {" ", "Arial/8/F/F/0/0/0/F/F/0"},
    {"Demo1 Hospital & Research Centre", "Arial/8/T/F/0/0/0/F/F/0"},
    {"123A, Demo1 Street, Demo1 City - 987 654", "Arial/8/F/T/0/0/0/F/F/0"},
    {"Ph: (012) 1234-5678, 1234-8765. Fax: (012) 1234-9876", "Arial/8/F/T/0/0/0/F/F/0"},
    {"Demo2 Medical Centre", "Arial/8/T/F/0/0/0/F/F/0"},
    {"Demo2 Locality, Demo2 City, Demo2 Country", "Arial/8/F/T/0/0/0/F/F/0"},
    {"(All Consultations by appointment only)", "Arial/9/T/T/0/0/0/F/F/0"},
};
const int kLeftRows[9] = {14, 14, 18, 22, 26, 30, 34, 38, 42};

const QString kNameFont = QStringLiteral("Arial/14/T/F/0/0/0/F/F/0");   // blank default or doctor's-name font
const QString kLineFont = QStringLiteral("Arial/12/T/F/0/0/0/F/F/0");   // blank line font (as a string)

} // namespace

OptionsForm::OptionsForm(QWidget* owner) : Form(kForm, WindowType::Child, owner)
{
    setTitle(QStringLiteral("Setup: Options"));
    setWindowIcon(ICON01());
    place(5, 5, 985, 525);
    setResizable(false);
    build({ControlDecl{kTab, K::Tab, 5, 5, 970, 420}.withItems({"General", "Print Page", "Letterhead"})});
    build(generalPage());
    build(printPage());
    build(letterheadPage());
    build({{"Bt_Save", K::Button, 310, 450, 100, 30, "&Save"}, {"Bt_Close", K::Button, 470, 450, 100, 30, "&Close"}});
    fields_ = std::make_unique<FieldBindings>(*this, QStringLiteral("opts"), optionsFields());

    defFontSample_ = need<QPlainTextEdit>(QStringLiteral("Lb_DefFont"));
    doctorSample_ = need<QPlainTextEdit>(QStringLiteral("Lb_DocNm"));
    doctorName_ = need<QLineEdit>(QStringLiteral("TxtDocName"));
    for (int i = 0; i < 4; ++i)
        margins_[i] = need<NumberBox>("Txt" + kMarginNames[i] + "MarginIn");
    doctorRow_ = need<QSpinBox>(QStringLiteral("TxtDocNmRow"));
    doctorCol_ = need<QSpinBox>(QStringLiteral("TxtDocNmCol"));
    for (int i = 0; i < Letterhead::kLines; ++i) {
        const QString n = lineNo(i);
        lineText_[i] = need<QLineEdit>("TxtLHd" + n);
        lineRow_[i] = need<QSpinBox>("TxtLHd" + n + "Row");
        lineCol_[i] = need<QSpinBox>("TxtLHd" + n + "Col");
        if (lineRow_[i])
            lineRow_[i]->setValue(30 + 5 * (i % 9));
        if (lineCol_[i])
            lineCol_[i]->setValue(i < 9 ? 5 : 160);
        onAction(need<QPushButton>("Btn_LHd" + n + "Attr"), [this, i] { UPDATE_TXT_LHDATTR(i); });
    }
    for (int k = 0; k < 4; ++k)
        for (int part = 0; part < 4; ++part)
            rules_[k][part] = need<QSpinBox>(ruleBox(k, part));
    if (doctorRow_)
        doctorRow_->setValue(15);
    if (doctorCol_)
        doctorCol_->setValue(5);
    if (auto* align = need<ComboBox>(QStringLiteral("TxtDocAlign")))
        align->setValue(1);

    // The window's own fonts before the stored ones are loaded.
    defaultFont_ = {settings().ADEFFONT, settings().CDEFFONT};
    doctorFont_ = {record("Arial", 14, true), kNameFont};
    for (Font& f : lineFonts_)
        f = {record("Arial", 10, false), QStringLiteral("Arial/12/F/F/0/0/0/F/F/0")};

    // The sample shows the doctor's name as it is being typed.
    if (doctorSample_) {
        doctorSample_->setPlainText(settings().MCOMPANY);
        if (doctorName_)
            onChange(doctorName_, [this] { doctorSample_->setPlainText(doctorName_->text()); });
    }

    onAction(need<QPushButton>(QStringLiteral("Btn_DefFont")), [this] { UPDATE_DEFFONT(); });
    onAction(need<QPushButton>(QStringLiteral("Btn_DocNmFont")), [this] { UPDATE_LB_DOCNM(); });
    for (const char* name : {"Bt_Template1", "Bt_Template11"})
        onAction(need<QPushButton>(QLatin1String(name)), [this] { OPTIONS_TEMPL1(); });
    for (const char* name : {"Bt_Template2", "Bt_Template21"})
        onAction(need<QPushButton>(QLatin1String(name)), [this] { OPTIONS_TEMPL2(); });
    for (const char* name : {"Bt_UserTemplate", "Bt_UserTemplate1"})
        onAction(need<QPushButton>(QLatin1String(name)), [this] { OPTIONS_GET(); });
    for (const char* name : {"Bt_Print1", "Bt_Print"})
        onAction(need<QPushButton>(QLatin1String(name)),
                 [this] { PRNLTRHEAD([this] { return letterhead(); }, [this] { return doctorName(); }); });
    onAction(need<QPushButton>(QStringLiteral("Bt_Save")), [this] { BT_SAVE_OPTIONS(); });
    onAction(need<QPushButton>(QStringLiteral("Bt_Close")), [this] { release(); });

    OPTIONS_GET();
}

void OptionsForm::OPTIONS_GET()
{
    data::WorkArea* a = area(QStringLiteral("opts"));
    if (!a || !gotoFirstLive(*a)) {
        SETLTRHDFONTS();
        return;
    }
    fields_->load(*a);
    defaultFont_.text = fieldText(*a, QStringLiteral("DEFFONT"));
    doctorFont_.text = fieldText(*a, QStringLiteral("DOCNMATTR"));
    for (int i = 0; i < Letterhead::kLines; ++i)
        lineFonts_[i].text = fieldText(*a, lineFontField(i));
    SETLTRHDFONTS();
}

void OptionsForm::SETLTRHDFONTS()
{
    auto settle = [](Font& f, const QString& blankText, const FontRecord& blankRecord) {
        if (f.text.trimmed().isEmpty())
            f = {blankRecord, blankText};
        else
            f.record = FONTSTR2ARRAY(f.text);
    };
    settle(defaultFont_, kNameFont, record("Arial", 14, true));
    showFont(defFontSample_, defaultFont_.record);
    settle(doctorFont_, kNameFont, record("Arial", 14, true));
    showFont(doctorSample_, doctorFont_.record);
    for (int i = 0; i < Letterhead::kLines; ++i) {
        // Only the record is saved, so a blank line font is stored as Arial
        // 12 regular whatever its string says.
        settle(lineFonts_[i], kLineFont, record("Arial", 12, false));
        showFont(lineText_[i], lineFonts_[i].record);
    }
}

void OptionsForm::chooseFont(Font& font, QWidget* sample, const QString& caption)
{
    if (std::optional<QFont> chosen = dialogs().chooseFont(this, qfontOf(font.record), caption);
        chosen && chosen->pointSize() > 0) {
        FontRecord& r = font.record;
        r.face = chosen->family();
        r.size = chosen->pointSize();
        r.bold = chosen->bold();
        r.italic = chosen->italic();
        r.underline = chosen->underline();
        r.strikeOut = chosen->strikeOut();
        // The font chooser has no colour of its own: the colour chooser
        // follows it, and cancelling that keeps the colour.
        if (std::optional<QColor> c = dialogs().chooseColor(this, PrintJob::colourOf(r), caption); c && c->isValid()) {
            r.red = c->red();
            r.green = c->green();
            r.blue = c->blue();
        }
    }
    showFont(sample, font.record);
    font.text = FONTARRAY2STR(font.record);
}

void OptionsForm::UPDATE_DEFFONT() { chooseFont(defaultFont_, defFontSample_, QStringLiteral("Default Font")); }

void OptionsForm::UPDATE_LB_DOCNM() { chooseFont(doctorFont_, doctorSample_, QStringLiteral("Doctor's Name Font")); }

void OptionsForm::UPDATE_TXT_LHDATTR(int line)
{
    if (line >= 0 && line < Letterhead::kLines)
        chooseFont(lineFonts_[line], lineText_[line], QStringLiteral("Letterhead Line %1 Font").arg(lineNo(line)));
}

void OptionsForm::templateCommon(int top, int left, int rightColumn, const int (&rightRows)[9],
                                 const std::array<std::array<int, 4>, 2>& rules)
{
    defaultFont_.text = QStringLiteral("Arial/12/F/F/0/0/0/F/F/0");
    doctorFont_.text = QStringLiteral("Arial/16/T/F/0/0/255/F/F/0");
    doctorRow_->setValue(10);
    doctorCol_->setValue(5);
    const int margin[4] = {top, left, 0, 50};
    for (int i = 0; i < 4; ++i)
        margins_[i]->setValue(margin[i]);
    for (int i = 0; i < Letterhead::kLines; ++i) {
        lineText_[i]->setText(QLatin1String(kTemplateLines[i].text));
        lineFonts_[i].text = QLatin1String(kTemplateLines[i].font);
        lineRow_[i]->setValue(i < 9 ? kLeftRows[i] : rightRows[i - 9]);
        lineCol_[i]->setValue(i < 9 ? 5 : rightColumn);
    }
    // Ruled lines 1 and 2 as given; 3 and 4 are no lines, both ends at (1,1).
    for (int k = 0; k < 4; ++k)
        for (int part = 0; part < 4; ++part)
            rules_[k][part]->setValue(k < 2 ? rules[k][part] : 1);
    SETLTRHDFONTS();
}

void OptionsForm::OPTIONS_TEMPL1()
{
    // Everything in a left-hand column ruled off at 80 mm.
    static const int rightRows[9] = {50, 54, 62, 66, 70, 74, 82, 86, 94};
    templateCommon(5, 80, 5, rightRows, {{{1, 1, 1, 1}, {5, 80, 280, 80}}});
}

void OptionsForm::OPTIONS_TEMPL2()
{
    // A header band ruled at 46 mm, with a left rule at 20 mm.
    static const int rightRows[9] = {10, 14, 18, 22, 26, 30, 34, 38, 42};
    templateCommon(50, 20, 125, rightRows, {{{46, 5, 46, 200}, {46, 20, 280, 20}}});
}

bool OptionsForm::marginsFit()
{
    // The margin fields hold at most 99.9 mm; the boxes take whole millimetres.
    for (int i = 0; i < 4; ++i) {
        NumberBox* box = margins_[i];
        if (box && (box->value() < 0 || box->value() > 99)) {
            MESGSTOP(kMarginNames[i] + QStringLiteral(" Margin must be from 0 to 99 mm !!"));
            box->setFocus();
            return false;
        }
    }
    return true;
}

data::Status OptionsForm::writeFonts(data::WorkArea& a) const
{
    // In the order of fontFields().
    std::vector<const FontRecord*> records = {&defaultFont_.record, &doctorFont_.record};
    for (const Font& f : lineFonts_)
        records.push_back(&f.record);
    const QStringList fields = fontFields();
    data::Status s;
    for (qsizetype i = 0; s && i < fields.size(); ++i)
        s = setFieldText(a, fields[i], FONTARRAY2STR(*records[size_t(i)]));
    return s;
}

void OptionsForm::BT_SAVE_OPTIONS()
{
    if (!marginsFit())
        return;
    const QString notSaved = QStringLiteral("Options not saved !!");
    data::WorkArea* a = area(QStringLiteral("opts"));
    if (!a) {
        MESGSTOP(notSaved + QStringLiteral("\n\nThe options table is not open."));
        return;
    }
    if (!gotoFirstLive(*a))
        if (data::Status s = a->append(); !s) {
            MESGSTOP(notSaved + QStringLiteral("\n\n") + problemText(s));
            return;
        }
    // A refused lock keeps the window open with everything the user set.
    if (!BLOCKRECORD(QStringLiteral("Opts"))) {
        MESGSTOP(notSaved);
        return;
    }
    // What the record held, to put back if a write fails half way.
    const FieldValues before = fields_->stored(*a);
    std::vector<std::pair<std::string, std::string>> fontsBefore;
    for (const QString& f : fontFields())
        fontsBefore.emplace_back(f.toStdString(), a->raw(f.toStdString()));

    data::Status s = writeFonts(*a);
    if (s)
        s = fields_->flush(*a);   // commits
    if (!s) {
        for (const auto& [field, raw] : fontsBefore)
            (void)a->setStr(field, raw);
        fields_->restore(*a, before);
        a->unlock();
        MESGSTOP(notSaved + QStringLiteral("\n\n") + problemText(s));
        return;
    }
    a->unlock();
    release();
}

Letterhead OptionsForm::letterhead() const
{
    Letterhead lh;
    lh.doctorFont = doctorFont_.record;
    lh.doctorRow = doctorRow_ ? doctorRow_->value() : 0;
    lh.doctorCol = doctorCol_ ? doctorCol_->value() : 0;
    for (int i = 0; i < Letterhead::kLines; ++i) {
        LetterheadLine& line = lh.lines[i];
        line.text = lineText_[i] ? lineText_[i]->text() : QString();
        line.font = lineFonts_[i].record;
        line.row = lineRow_[i] ? lineRow_[i]->value() : 0;
        line.col = lineCol_[i] ? lineCol_[i]->value() : 0;
    }
    for (int k = 0; k < 4; ++k) {
        auto v = [&](int part) { return rules_[k][part] ? rules_[k][part]->value() : 1; };
        lh.rules[k] = {double(v(0)), double(v(1)), double(v(2)), double(v(3))};
    }
    return lh;
}

QString OptionsForm::doctorName() const { return doctorName_ ? doctorName_->text() : QString(); }

void OptionsForm::releasing()
{
    // The settings follow the stored record whenever the window goes, saved
    // or not.
    SET_OPTIONS();
    DatePicker::applyDateFormatToAll();
    if (MainWindow* w = mainForm())
        w->setWindowTitle(QStringLiteral("Curanote 1.0 - ") + settings().MCOMPANY);
}

void SETOPT()
{
    if (focusForm(kForm))
        return;
    const QString cannotOpen = QStringLiteral("The options could not be opened !!\n\n");
    data::WorkArea* a = area(QStringLiteral("opts"));
    const bool openedHere = !a;
    if (!a) {
        auto opened = db().use("opts", "opts", data::OpenMode{true, false});
        if (!opened) {
            MESGSTOP(cannotOpen + problemText(opened.status()));
            return;
        }
        a = opened.value();
    }
    if (!gotoFirstLive(*a)) {
        data::Status s = a->append();
        if (s)
            s = a->setStr("CURRSYM", "Rs.");
        if (s)
            s = a->setStr("CURRTXT", "Rupees");
        if (s)
            s = a->setStr("CURRTXT2", "paise");
        if (s)
            s = a->setNum("NUMFORM", 2);
        if (s)
            s = a->setNum("DATEFORM", 2);
        if (s)
            s = a->commit();
        a->unlock();
        if (!s) {
            if (openedHere)
                db().closeArea("opts");
            MESGSTOP(cannotOpen + problemText(s));
            return;
        }
    }
    auto* w = new OptionsForm;
    w->center();
    w->activate();
}

} // namespace cn
