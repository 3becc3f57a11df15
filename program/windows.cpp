#include "program/windows.h"

#include "app/setupform.h"
#include "masters/brandmed_form.h"
#include "masters/chamber_form.h"
#include "masters/dbfmenu.h"
#include "masters/dictionary_form.h"
#include "masters/genmed_form.h"
#include "patients/patient_form.h"
#include "query/pvshow_form.h"
#include "query/stats_form.h"
#include "setup/about.h"
#include "setup/backup_form.h"
#include "setup/options_form.h"
#include "visits/pvhist_form.h"
#include "visits/pvisit_form.h"
#include "visits/renum_form.h"
#include "visits/trends_form.h"

namespace cn::program {

namespace {

// Window, menu item, View item, opener. A window opened only by another
// window's request (the pick list) has no opener of its own here.
const WindowEntry kWindows[] = {
    {"Form_Patient", "Set_Patient", "WinPatnt", PATNT},
    {"Form_PVisit", "Ent_PatVisit", "WinPVisit", PVISIT},
    {"Form_PVHist", nullptr, "WinPVHist", PVHIST},
    {"Form_Trends", nullptr, nullptr, TRENDS},
    {"Form_DBFMenu", nullptr, "WinDBFMenu", nullptr},
    {"Form_Stats", "Rep_Stats", "WinStats", STATS},
    {"Form_PVShow", nullptr, "WinPVShow", nullptr},
    {"Form_Chambers", "Set_Chamber", "WinChambers", CHAMBERS},
    {"Form_Dictionary", "Set_Dict", "WinDict", DICT},
    {"Form_GenMed", nullptr, nullptr, GENMED},
    {"Form_BrandMed", nullptr, nullptr, BRANDMED},
    {"Form_Setup", "Set_Cleanup", nullptr, DATA_CLEANUP},
    {"Form_Options", "Set_Options", nullptr, SETOPT},
    {"Form_About", "Help_About", nullptr, ABOUT},
    {"Form_Backup", "Set_Backup", nullptr, BACKUP},
    {"Form_ReNum", "Set_Renum", nullptr, RENUMPVNO},
};

} // namespace

std::span<const WindowEntry> windows() { return kWindows; }

} // namespace cn::program
