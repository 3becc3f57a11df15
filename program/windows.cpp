#include "program/windows.h"

#include "app/setupform.h"
#include "patients/patient_form.h"
#include "setup/about.h"

namespace cn::program {

namespace {

// Window, menu item, View item, opener.
const WindowEntry kWindows[] = {
    {"Form_Patient", "Set_Patient", "WinPatnt", PATNT},
    {"Form_Setup", "Set_Cleanup", nullptr, DATA_CLEANUP},
    {"Form_About", "Help_About", nullptr, ABOUT},
};

} // namespace

std::span<const WindowEntry> windows() { return kWindows; }

} // namespace cn::program
