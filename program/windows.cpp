#include "program/windows.h"

#include "app/setupform.h"
#include "patients/patient_form.h"
#include "setup/about.h"
#include "setup/backup_form.h"
#include "visits/renum_form.h"

namespace cn::program {

namespace {

// Window, menu item, View item, opener.
const WindowEntry kWindows[] = {
    {"Form_Patient", "Set_Patient", "WinPatnt", PATNT},
    {"Form_Setup", "Set_Cleanup", nullptr, DATA_CLEANUP},
    {"Form_About", "Help_About", nullptr, ABOUT},
    {"Form_Backup", "Set_Backup", nullptr, BACKUP},
    {"Form_ReNum", "Set_Renum", nullptr, RENUMPVNO},
};

} // namespace

std::span<const WindowEntry> windows() { return kWindows; }

} // namespace cn::program
