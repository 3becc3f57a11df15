#pragma once
// The About box Form_About: product, the maker's links, warning, terms of
// use and the maker's address; only its Ok button closes it.
#include "app/forms.h"

namespace cn {

class AboutForm : public Form {
    Q_OBJECT
public:
    explicit AboutForm(QWidget* owner = nullptr);
};

// ABOUT: shows the About box, centred; does nothing while it is open.
void ABOUT();

} // namespace cn
