// Single-byte Windows code pages as they occur in RTF notices.
//
// The plan-producing program writes RTF on Windows, so an escape such as
// \'e4 means a byte of the document's ANSI code page (\ansicpg) or of the
// character set of the font in effect (\fcharset).  This file knows the few
// code pages that notices use in practice (1252 Western, 1250 Central
// European, 1251 Cyrillic) plus the Symbol character set, and maps RTF
// character-set numbers to code pages.  It does not handle multi-byte code
// pages (932, 936, 949, 950): their bytes fall back to Windows-1252.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

namespace rtf {

// Code page number that stands for the Symbol character set (\fcharset2);
// not a Windows code page, only a marker for byteToChar.
inline constexpr int kSymbolCodePage = 42;

// The character that byte `byte` stands for in code page `codePage`.
// Bytes below 0x80 are ASCII in every supported code page.  An unknown code
// page is read as Windows-1252; a byte the code page leaves undefined gives
// U+FFFD.
QChar byteToChar(unsigned char byte, int codePage);

// The code page of RTF character set `charset` (\fcharsetN), or
// `documentCodePage` for charset 0 (ANSI), 1 (default) and unknown numbers.
int codePageForCharset(int charset, int documentCodePage);

// Whether `codePage` has its own table here (1250, 1251, 1252, Symbol).
bool isKnownCodePage(int codePage);

// Decodes a whole byte string in a single-byte code page (see byteToChar).
QString decode(const QByteArray& bytes, int codePage);

}  // namespace rtf
