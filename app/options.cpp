#include "app/options.h"

#include "app/database.h"
#include "data/workspace.h"

#include <QStringList>

namespace cn {

namespace {

// A decimal read as the font strings need it: leading blanks, an optional
// sign, digits and an optional fraction; anything that is not a number is 0.
double readDecimal(const QString& text)
{
    const QString t = text.trimmed();
    int i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        ++i;
    const int digitsFrom = i;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128)
        ++i;
    if (i < t.size() && t[i] == QLatin1Char('.')) {
        ++i;
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128)
            ++i;
    }
    if (i == digitsFrom)
        return 0;
    bool ok = false;
    const double v = t.left(i).toDouble(&ok);
    return ok ? v : 0;
}

int readInt(const QString& text) { return qRound(readDecimal(text)); }

QString flag(bool on) { return on ? QStringLiteral("T") : QStringLiteral("F"); }

bool appendDefaultOptions(data::WorkArea& a)
{
    if (!a.append())
        return false;
    const bool ok = a.setStr("CURRSYM", "Rs.").isOk() && a.setStr("CURRTXT", "Rupees").isOk()
        && a.setStr("CURRTXT2", "paisa").isOk() && a.setNum("NUMFORM", 2).isOk()
        && a.setNum("DATEFORM", 2).isOk();
    (void)a.commit();
    a.unlock();
    return ok;
}

} // namespace

bool gotoFirstLive(data::WorkArea& a)
{
    a.goTop();
    while (!a.eof() && a.deleted())
        a.skip(1);
    return !a.eof();
}

void applyOptionsRecord(const data::WorkArea& a, Settings& s)
{
    s.MCURRENCYSYMBOL = fieldText(a, QStringLiteral("CURRSYM"));
    s.MCURRENCYTEXT = fieldText(a, QStringLiteral("CURRTXT"));
    s.MCURRENCY2TEXT = fieldText(a, QStringLiteral("CURRTXT2"));
    s.MNUMFORMAT = int(a.num("NUMFORM"));
    s.MDATEFORMAT = int(a.num("DATEFORM"));
    s.NTOPMARGIN = a.num("TOPMARG");
    s.NLEFTMARGIN = a.num("LFTMARG");
    s.NRIGHTMARGIN = a.num("RTMARG");
    s.NBOTTOMMARGIN = a.num("BOTMARG");
    s.CDEFFONT = fieldText(a, QStringLiteral("DEFFONT"));
    s.ADEFFONT = FONTSTR2ARRAY(s.CDEFFONT);
    for (int k = 1; k <= 4; ++k) {
        const std::string line = "LINE" + std::to_string(k);
        auto& rule = s.NLINE[k - 1];
        rule.row1 = a.num(line + "ROW1");
        rule.col1 = a.num(line + "COL1");
        rule.row2 = a.num(line + "ROW2");
        rule.col2 = a.num(line + "COL2");
    }
    // The doctor's name was added to the options table later: a table of an
    // older data folder may not have it yet.
    if (a.fieldPos("DOCNAME") > 0)
        s.MCOMPANY = fieldText(a, QStringLiteral("DOCNAME")).leftJustified(40, QLatin1Char(' '), true);
    s.setNumFormat(s.MNUMFORMAT);
    s.CDATEFORMAT = datePicture(s.MDATEFORMAT);
}

FontRecord FONTSTR2ARRAY(const QString& text)
{
    // The n-th field is the text before the first "/" of what is left; once
    // no "/" remains the rest is the last field and later ones are empty.
    QStringList f = text.split(QLatin1Char('/'));
    while (f.size() < 10)
        f.append(QString());
    FontRecord r;
    r.face = f[0];
    r.size = readInt(f[1]);
    r.bold = f[2] == QLatin1String("T");
    r.italic = f[3] == QLatin1String("T");
    r.red = readInt(f[4]);
    r.green = readInt(f[5]);
    r.blue = readInt(f[6]);
    r.underline = f[7] == QLatin1String("T");
    r.strikeOut = false;
    r.charSet = 0;
    return r;
}

QString FONTARRAY2STR(const FontRecord& font)
{
    return QStringList{font.face, QString::number(font.size), flag(font.bold), flag(font.italic),
                       QString::number(font.red), QString::number(font.green), QString::number(font.blue),
                       flag(font.underline), QStringLiteral("F"), QStringLiteral("0")}
        .join(QLatin1Char('/'));
}

QString datePicture(int dateFormat)
{
    return dateFormat == 1 ? QStringLiteral("MM/dd/yyyy") : QStringLiteral("dd-MM-yyyy");
}

bool SET_OPTIONS(data::Workspace& ws, Settings& s)
{
    bool loaded = false;
    data::WorkArea* a = ws.area("opts");
    if (!a) {
        // Opened shared: another copy of the program on the same folder may
        // have the table open, and one record is all that is read or added.
        auto r = ws.use("opts", "opts", data::OpenMode{true, false});
        a = r ? r.value() : nullptr;
    }
    if (a) {
        ws.select("opts");
        if (gotoFirstLive(*a) || (appendDefaultOptions(*a) && gotoFirstLive(*a))) {
            applyOptionsRecord(*a, s);
            loaded = true;
        }
        ws.closeArea("opts");
    }
    s.setNumFormat(s.MNUMFORMAT);
    s.CDATEFORMAT = datePicture(s.MDATEFORMAT);
    ws.setDateFormat(s.CDATEFORMAT.toStdString());
    return loaded;
}

bool SET_OPTIONS() { return SET_OPTIONS(db(), settings()); }

} // namespace cn
