#pragma once
// The Renumbering window Form_ReNum: its button gives every patient's live
// visits the PV numbers 1, 2, 3 ... again (visits/renumber.h), showing the
// patient being numbered and the progress; Exit closes it. The visit table's
// order and record are put back as they were when the window closes.
#include "app/forms.h"

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace cn {

class RenumForm : public Form {
    Q_OBJECT
public:
    explicit RenumForm(QWidget* owner = nullptr);
    void RENUMPVNO2();

protected:
    void releasing() override;

private:
    QProgressBar* bar_ = nullptr;
    QLabel* label_ = nullptr;
    QPushButton* buttons_[2] = {};
    int order_ = 0;              // pvisit's order and record when the window opened
    uint32_t record_ = 0;
    bool remembered_ = false;
};

// RENUMPVNO: opens the window (remembering pvisit's order and record), or
// brings it forward when it is open.
void RENUMPVNO();

} // namespace cn
