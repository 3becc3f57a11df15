#pragma once
// Shared between the reader, the writer and the paragraph helpers.
#include "visits/rtf/rtf.h"

#include <QTextFormat>
#include <QTextListFormat>

class QTextList;

namespace cn::rtf {

// Block property holding a bulleted paragraph's first-line offset in twips
// (the layout itself places the bullet, so the offset is not in the margins).
constexpr int kBulletFirstLineProperty = QTextFormat::UserProperty + 0x5201;
// Gap between bullet and text when a bulleted first line does not hang.
constexpr int kBulletGapTwips = 360;

inline bool isBulletStyle(QTextListFormat::Style s)
{
    return s == QTextListFormat::ListDisc || s == QTextListFormat::ListCircle || s == QTextListFormat::ListSquare;
}

Indents indentsOf(const QTextBlockFormat& fmt, const QTextList* list, const QTextDocument* doc);

} // namespace cn::rtf
