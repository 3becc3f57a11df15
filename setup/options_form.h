#pragma once
// The Options window Form_Options: money texts, number and date formats,
// the doctor's name, margins, default font, and the letterhead (doctor's
// name, eighteen lines with their own fonts and places, four ruled lines),
// with two ready-made letterhead templates and a test print. Nothing is
// stored until Save; the stored options are applied to the settings every
// time the window closes.
#include "app/bindings.h"
#include "app/forms.h"
#include "app/settings.h"
#include "print/letterhead.h"

#include <array>
#include <memory>

class QPlainTextEdit;
class QSpinBox;
class QWidget;

namespace cn {

class NumberBox;

class OptionsForm : public Form {
    Q_OBJECT
public:
    explicit OptionsForm(QWidget* owner = nullptr);

    // A font as the window keeps it: the record shown and saved, the
    // string it was loaded from.
    struct Font {
        FontRecord record;
        QString text;
    };

    void OPTIONS_GET();
    void SETLTRHDFONTS();
    void UPDATE_DEFFONT();
    void UPDATE_LB_DOCNM();
    // Line index 0..17 (lines 11..19, then 21..29).
    void UPDATE_TXT_LHDATTR(int line);
    void OPTIONS_TEMPL1();
    void OPTIONS_TEMPL2();
    void BT_SAVE_OPTIONS();

    // The letterhead as the window shows it, saved or not.
    Letterhead letterhead() const;
    QString doctorName() const;

protected:
    void releasing() override;

private:
    void templateCommon(int top, int left, int rightColumn, const int (&rightRows)[9],
                        const std::array<std::array<int, 4>, 2>& rules);
    void chooseFont(Font& font, QWidget* sample, const QString& caption);
    bool marginsFit();
    data::Status writeFonts(data::WorkArea& a) const;

    std::unique_ptr<FieldBindings> fields_;
    Font defaultFont_, doctorFont_;
    std::array<Font, Letterhead::kLines> lineFonts_;

    QPlainTextEdit* defFontSample_ = nullptr;
    QPlainTextEdit* doctorSample_ = nullptr;
    QLineEdit* doctorName_ = nullptr;
    std::array<NumberBox*, 4> margins_{};
    QSpinBox* doctorRow_ = nullptr;
    QSpinBox* doctorCol_ = nullptr;
    std::array<QLineEdit*, Letterhead::kLines> lineText_{};
    std::array<QSpinBox*, Letterhead::kLines> lineRow_{};
    std::array<QSpinBox*, Letterhead::kLines> lineCol_{};
    std::array<std::array<QSpinBox*, 4>, 4> rules_{};
};

// SETOPT: opens the Options window (brings it forward when it is open).
void SETOPT();

} // namespace cn
