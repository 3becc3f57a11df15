#include "app/text.h"

#include "data/cp1252.h"

#include <cmath>

namespace cn {

QString fromCp1252(std::string_view bytes)
{
    const std::string utf8 = data::cp1252ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toCp1252(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    if (auto bytes = data::utf8ToCp1252(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))))
        return *bytes;
    // Some character has no byte: convert one character at a time.
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (char32_t cp : text.toStdU32String()) {
        if (!data::cp1252Encodable(cp)) {
            out.push_back('?');
            continue;
        }
        const QByteArray one = QString::fromUcs4(&cp, 1).toUtf8();
        auto b = data::utf8ToCp1252(std::string_view(one.constData(), static_cast<size_t>(one.size())));
        out += b ? *b : std::string("?");
    }
    return out;
}

bool storable(QChar c)
{
    return !c.isSurrogate() && data::cp1252Encodable(static_cast<char32_t>(c.unicode()));
}

bool storable(const QString& text)
{
    for (QChar c : text)
        if (!storable(c))
            return false;
    return true;
}

QString upperStorable(const QString& text)
{
    QString out = text;
    for (auto& c : out) {
        const QChar u = c.toUpper();
        if (u != c && storable(u))
            c = u;
    }
    return out;
}

QString trimBlanks(const QString& text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && text[b] == QLatin1Char(' '))
        ++b;
    while (e > b && text[e - 1] == QLatin1Char(' '))
        --e;
    return text.mid(b, e - b);
}

QString keyUpper(const QString& text) { return fromCp1252(data::upperCp1252(toCp1252(text))); }

Picture parsePicture(const QString& picture)
{
    Picture p;
    bool afterPoint = false;
    for (QChar c : picture) {
        if (c == QLatin1Char('.'))
            afterPoint = true;
        else if (c == QLatin1Char('9'))
            ++(afterPoint ? p.decimals : p.integerDigits);
    }
    return p;
}

QString formatPicture(double value, const QString& picture)
{
    const Picture p = parsePicture(picture);
    if (!p.valid())
        return QString::number(value, 'f', 0);
    const bool negative = value < 0 && std::round(std::fabs(value) * std::pow(10.0, p.decimals)) != 0;
    const QString fixed = QString::number(std::fabs(value), 'f', p.decimals);
    const qsizetype point = fixed.indexOf(QLatin1Char('.'));
    QString intDigits = point < 0 ? fixed : fixed.left(point);
    const QString decDigits = point < 0 ? QString() : fixed.mid(point + 1);
    const qsizetype room = p.integerDigits - (negative ? 1 : 0);
    if (intDigits.size() > room) {
        QString stars;
        for (QChar c : picture)
            stars += (c == QLatin1Char('.')) ? c : QLatin1Char('*');
        return stars;
    }
    // Fill the integer positions of the picture from the right.
    const qsizetype pointInPicture = picture.indexOf(QLatin1Char('.'));
    const QString intPicture = pointInPicture < 0 ? picture : picture.left(pointInPicture);
    QString out;
    qsizetype di = intDigits.size() - 1;
    for (qsizetype i = intPicture.size() - 1; i >= 0 && di >= 0; --i) {
        const QChar c = intPicture[i];
        if (c == QLatin1Char('9'))
            out.prepend(intDigits[di--]);
        else if (c == QLatin1Char(','))
            out.prepend(c);
    }
    if (negative)
        out.prepend(QLatin1Char('-'));
    if (p.decimals > 0)
        out += QLatin1Char('.') + decDigits;
    return out;
}

double numberFromText(const QString& text)
{
    QString plain;
    for (QChar c : text)
        if (c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-'))
            plain += c;
    bool ok = false;
    const double v = plain.toDouble(&ok);
    return ok ? v : 0.0;
}

StorableValidator::StorableValidator(bool upperCase, QObject* parent)
    : QValidator(parent), upper_(upperCase)
{
}

QString oneLine(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            continue;   // CR LF is one line break
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t') || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            out += QLatin1Char(' ');
        else if (c.category() != QChar::Other_Control)
            out += c;
    }
    return out;
}

QString unstorable(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A character outside the basic plane is a surrogate pair: one character.
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, n);
        if (!storable(one) && !out.contains(one))
            out += one;
        i += n - 1;
    }
    return out;
}

QString withoutUnstorable(const QString& text)
{
    QString out;
    for (QChar c : text)
        if (storable(c))
            out += c;
    return out;
}

QValidator::State StorableValidator::validate(QString& input, int& pos) const
{
    if (storable(input) && oneLine(input) == input) {
        if (upper_)
            input = upperStorable(input);
        return Acceptable;
    }
    // Pasted or typed text with what a one-line field cannot hold: mend it
    // and keep the caret after what was left.
    const QString before = input.left(pos);
    const QString refusedChars = unstorable(oneLine(input));
    QString mended = withoutUnstorable(oneLine(input));
    pos = static_cast<int>(withoutUnstorable(oneLine(before)).size());
    input = upper_ ? upperStorable(mended) : mended;
    if (!refusedChars.isEmpty() && refused)
        refused(refusedChars);
    return Acceptable;
}

void StorableValidator::fixup(QString& input) const
{
    const QString out = withoutUnstorable(oneLine(input));
    input = upper_ ? upperStorable(out) : out;
}

NumberValidator::NumberValidator(int integerDigits, int decimals, bool allowNegative, QObject* parent)
    : QValidator(parent), integerDigits_(integerDigits), decimals_(decimals), negative_(allowNegative)
{
}

QValidator::State NumberValidator::validate(QString& input, int&) const
{
    int intCount = 0, decCount = 0;
    bool point = false;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input[i];
        if (c == QLatin1Char(' '))
            continue;
        if (c == QLatin1Char('-')) {
            if (!negative_ || i != 0)
                return Invalid;
        } else if (c == QLatin1Char(',')) {
            if (point)
                return Invalid;
        } else if (c == QLatin1Char('.')) {
            if (point || decimals_ == 0)
                return Invalid;
            point = true;
        } else if (c.isDigit() && c.unicode() < 128) {
            ++(point ? decCount : intCount);
        } else {
            return Invalid;
        }
    }
    if ((integerDigits_ > 0 && intCount > integerDigits_) || decCount > decimals_)
        return Invalid;
    return Acceptable;
}

} // namespace cn
