#pragma once
// The program's own pictures, drawn at run time so that no image files need
// shipping: the window icon ICON01 and the splash picture PICT01.
#include <QIcon>
#include <QPixmap>

namespace cn {

QIcon ICON01();
// The sort marks of a list's column headers: a down arrow, grey for a
// column the list can be sorted by (ARROWDN1), black for the one it is
// sorted by (ARROWDN2).
QIcon ARROWDN1();
QIcon ARROWDN2();
// 400 x 300: the product name in large red letters over a blue and white
// field, "Please Wait" in the lower right corner.
QPixmap PICT01();

} // namespace cn
