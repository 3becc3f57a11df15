#pragma once
// The program's windows, each once: its opener, the main-menu item that
// opens it and the View item that brings it forward. The main window's menu
// wiring, the View items and the test that builds every window read this
// list; adding a window is adding its line in windows.cpp.
#include "app/mainwindow.h"

#include <span>

namespace cn::program {

std::span<const WindowEntry> windows();

} // namespace cn::program
