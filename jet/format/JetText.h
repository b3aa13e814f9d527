// Jet 4 text encoding: UCS-2LE, or the engine's compressed form of it.
//
// The compressed form starts with 0xFF 0xFE and then alternates between a
// one-byte mode (characters U+0001..U+00FF stored as their low byte) and a
// two-byte mode, a 0x00 byte switching between them. The engine uses it only
// when it makes the value shorter and when no character has a zero low byte
// (such a byte would read as a mode switch). The reader decodes both forms
// with decode().
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

namespace jet::text {

// UCS-2 little-endian, two bytes per UTF-16 code unit.
QByteArray ucs2(const QString& text);

// The stored form of `text`: compressed when `allowCompression` and when
// compression is possible and shorter, else plain UCS-2LE.
QByteArray encode(const QString& text, bool allowCompression);

// Jet 4 / ACE text as stored (either form) decoded into a text. A text
// with no units, and one whose first unit is a byte-order mark, come from
// QString::fromUtf16 (null or empty; the mark as QString takes it).
QString decode(const unsigned char* src, size_t length);

}  // namespace jet::text
