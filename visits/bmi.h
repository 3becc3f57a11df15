#pragma once
// The body-mass index of a visit, shown beside the weight: kilograms over
// the square of the height in metres, from the stored feet, inches and
// pounds through the visit record's conversions, to one decimal, with its
// category. Nothing of it is stored.
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;

namespace cn::visits {

enum class BmiCategory { Underweight, Normal, Overweight, Obese };

struct Bmi {
    double value = 0;   // kg/m², rounded to one decimal
    BmiCategory category = BmiCategory::Normal;
};

// None while the height or the weight is 0 (not measured). The category is
// that of the rounded value, so that the figure shown and its word agree
// (18.45 shows as 18.5 and is normal).
std::optional<Bmi> bodyMassIndex(int feet, int inches, int pounds);
BmiCategory bmiCategory(double value);
QString categoryText(BmiCategory c);
// "BMI 22.9 Normal" as the label shows it (on three lines), empty for none.
QString bmiText(int feet, int inches, int pounds);

// Keeps `label` showing the index of the three boxes, following every change
// of their values (typed, loaded or converted from metres and kilograms).
void followBmi(QLabel* label, QLineEdit* feet, QLineEdit* inches, QLineEdit* pounds);

} // namespace cn::visits
