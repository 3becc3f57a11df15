#pragma once
// The splash window Form_Splash, shown while the data folder is checked and
// opened: no title bar, always on top, the splash picture PICT01.
#include "app/forms.h"

class QLabel;

namespace cn {

class Splash : public Form {
    Q_OBJECT
public:
    explicit Splash(QWidget* owner = nullptr);
    QLabel* image() const { return image_; }

private:
    QLabel* image_;
};

// The splash window while it is defined, else nullptr.
Splash* splashWindow();

} // namespace cn
