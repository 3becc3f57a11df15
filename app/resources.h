#pragma once
// The program's own pictures, drawn at run time so that no image files need
// shipping: the window icon ICON01 and the splash picture PICT01.
#include <QIcon>
#include <QPixmap>

namespace cn {

QIcon ICON01();
// 400 x 300: the product name in large red letters over a blue and white
// field, "Please Wait" in the lower right corner.
QPixmap PICT01();

} // namespace cn
