#pragma once
// The prescription editor's pictures, drawn at run time: "CUT", "COPY",
// "PASTE", "LEFT", "CENTER", "RIGHT", "NUMBER", "OFFSET1", "OFFSET2",
// "BOLD", "ITALIC", "UNDER", "STRIKE", "COLOR" and "ARROWUP", 16 x 16.
// An unknown name gives a null icon.
#include <QIcon>
#include <QString>

namespace cn {

QIcon rxBitmap(const QString& name);

} // namespace cn
