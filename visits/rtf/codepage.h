#pragma once
// Character sets as RTF documents name them: Windows code pages for \'hh bytes
// and the symbol fonts whose byte values are glyph positions, not letters.
#include <QByteArrayView>
#include <QString>

namespace cn::rtf {

// Glyph sets of fonts that do not encode text: a byte in such a font stands
// for a picture, which is mapped to the Unicode character showing the same.
enum class SymbolSet { None, Symbol, Wingdings, Other };

// Code page for an RTF \fcharset value; `fallback` for the "default" set and
// for sets with no code page of their own.
int codePageForCharset(int charset, int fallback);

// The symbol set of a font, from its character set (-1 when the document
// does not give one) and face name. A symbol face declared with a text
// character set holds ordinary text.
SymbolSet symbolSetFor(int charset, const QString& face);

// Decodes bytes in a Windows code page. Single-byte pages 874 and 1250-1258
// come from tables of our own; double-byte pages go through the platform's
// converters when it has them; anything else is read as Windows-1252.
QString decodeBytes(QByteArrayView bytes, int codePage);

// The Unicode character for a byte of a symbol font; U+0000 when the glyph has
// no counterpart.
char32_t symbolToUnicode(SymbolSet set, unsigned char byte);

// Windows-1252 byte for a character, or -1 when it has none.
int cp1252Byte(char32_t c);

} // namespace cn::rtf
