#include "visits/bmi.h"

#include "app/controls.h"
#include "visits/visit_records.h"

#include <QLabel>
#include <QLineEdit>

#include <cmath>

namespace cn::visits {

BmiCategory bmiCategory(double value)
{
    if (value < 18.5)
        return BmiCategory::Underweight;
    if (value < 25)
        return BmiCategory::Normal;
    if (value < 30)
        return BmiCategory::Overweight;
    return BmiCategory::Obese;
}

QString categoryText(BmiCategory c)
{
    switch (c) {
    case BmiCategory::Underweight: return QStringLiteral("Underweight");
    case BmiCategory::Normal: return QStringLiteral("Normal");
    case BmiCategory::Overweight: return QStringLiteral("Overweight");
    case BmiCategory::Obese: return QStringLiteral("Obese");
    }
    return {};
}

std::optional<Bmi> bodyMassIndex(int feet, int inches, int pounds)
{
    const Metric m = toMetric(feet, inches);
    const int cm = m.metres * 100 + m.centimetres;
    const int kg = toKilograms(pounds);
    if (cm <= 0 || kg <= 0)
        return std::nullopt;
    // Whole centimetres and kilograms, as the window shows them; the tenth
    // rounds halves away from zero like the other conversions. Computed in
    // integers (tenths = kg * 10 * 100² / cm²) so that a boundary such as
    // 25.0 is exact.
    const long long num = static_cast<long long>(kg) * 100000;
    const long long den = static_cast<long long>(cm) * cm;
    const long long tenths = (2 * num + den) / (2 * den);
    Bmi b;
    b.value = static_cast<double>(tenths) / 10.0;
    b.category = bmiCategory(b.value);
    return b;
}

QString bmiText(int feet, int inches, int pounds)
{
    const std::optional<Bmi> b = bodyMassIndex(feet, inches, pounds);
    if (!b)
        return {};
    return QStringLiteral("BMI\n%1\n%2").arg(b->value, 0, 'f', 1).arg(categoryText(b->category));
}

void followBmi(QLabel* label, QLineEdit* feet, QLineEdit* inches, QLineEdit* pounds)
{
    if (!label || !feet || !inches || !pounds)
        return;
    auto update = [label, feet, inches, pounds] {
        auto whole = [](QLineEdit* box) {
            auto* n = qobject_cast<NumberBox*>(box);
            return static_cast<int>(n ? n->value() : box->text().trimmed().toDouble());
        };
        label->setText(bmiText(whole(feet), whole(inches), whole(pounds)));
    };
    for (QLineEdit* box : {feet, inches, pounds})
        QObject::connect(box, &QLineEdit::textChanged, label, update);
    update();
}

} // namespace cn::visits
