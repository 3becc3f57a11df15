#pragma once
// Text at the boundary between the windows (QString) and the tables
// (Windows-1252 bytes), and the number pictures of amount boxes and printouts.
#include <QString>
#include <QValidator>
#include <functional>
#include <string>
#include <string_view>

namespace cn {

QString fromCp1252(std::string_view bytes);
// Characters that have no Windows-1252 byte become '?'; the input boxes do not
// let such characters in, so this only matters for text from elsewhere.
std::string toCp1252(const QString& text);
// True when every character can be stored in a table.
bool storable(const QString& text);
bool storable(QChar c);
// Upper case, letter by letter, keeping a letter whose upper case could not
// be stored (so the text stays storable and keeps its length).
QString upperStorable(const QString& text);
// Leading and trailing blanks removed (the way text fields are stored).
QString trimBlanks(const QString& text);
// Upper case as the tables' name indexes key it (Windows-1252 letters).
QString keyUpper(const QString& text);

// Number pictures such as "9,99,99,999.99" or "999": each 9 is a digit, a
// comma separates groups and shows only with a digit to its left, a point
// starts the decimals. A value too wide for the picture shows as asterisks.
struct Picture {
    int integerDigits = 0;
    int decimals = 0;
    bool valid() const { return integerDigits > 0; }
};
Picture parsePicture(const QString& picture);
QString formatPicture(double value, const QString& picture);
// The number in a text typed or shown with a picture ("1,234.50" -> 1234.5);
// an empty text is 0.
double numberFromText(const QString& text);

// Text for a one-line box: each line break (CR LF, CR or LF) and tab becomes
// one space, other control characters go.
QString oneLine(const QString& text);
// The characters of `text` a table cannot store, each once, in order.
QString unstorable(const QString& text);
// `text` without them.
QString withoutUnstorable(const QString& text);

// The validator of every one-line text box: line breaks and tabs become
// spaces, control characters and characters a table cannot store are left
// out (and refused() tells which); with upperCase letters turn upper case as
// they are typed.
class StorableValidator : public QValidator {
    Q_OBJECT
public:
    explicit StorableValidator(bool upperCase = false, QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    bool upperCase() const { return upper_; }
    // Told the characters left out of an input.
    std::function<void(const QString& refused)> refused;

private:
    bool upper_;
};

// The validator of numeric boxes: digits, an optional leading minus, grouping
// commas and (with decimals) one point, within the picture's digit counts.
class NumberValidator : public QValidator {
    Q_OBJECT
public:
    NumberValidator(int integerDigits, int decimals, bool allowNegative, QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;

private:
    int integerDigits_;
    int decimals_;
    bool negative_;
};

} // namespace cn
