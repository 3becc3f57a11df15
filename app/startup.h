#pragma once
// Start-up of the program: settings, the desktop-folder refusal, the engine
// rules, the main and splash windows, data set-up and the stored options.
#include <QString>

namespace cn {

// The refusal shown when the program is started from a desktop folder.
QString desktopRefusal();
// True when the folder's path ends in "DESKTOP", in any letter case
// (".../MyDesktop" too, but not ".../Desktop2").
bool isDesktopFolder(const QString& path);

// Steps up to the event loop. False when the program must end at once (the
// desktop refusal); the exit code is then 0.
bool startUp();
// MAIN: start-up, then the event loop until the main window is released.
int MAIN();
// The main window's initialisation: the stored options, the View items
// disabled, the doctor's name in the title.
void MAIN_INIT();
// The splash window's initialisation: data set-up, then the splash goes and
// the main window is maximised.
void SPLASHDELAY();

} // namespace cn
