// Jet 4 text encoding and decoding: plain UCS-2LE and the compressed form
// (see JetText.h).
#include "jet/format/JetText.h"

#include <QString>
#include <QVector>
#include <array>
#include <cassert>
#include <limits>

namespace jet::text {

namespace {

constexpr char kCompressedMarker[2] = {char(0xFF), char(0xFE)};
constexpr char kModeSwitch = '\0';

bool fitsOneByte(char16_t unit) { return unit >= 0x01 && unit <= 0xFF; }

// The cheapest sequence of modes for `text`, one per character (true = one-byte
// mode), found by dynamic programming over the two modes; the string starts in
// one-byte mode and every switch costs a byte. Returns the encoded size.
int planModes(const QString& text, QVector<bool>& oneByteMode) {
  constexpr int kInfinite = std::numeric_limits<int>::max() / 4;
  const int n = int(text.size());
  // cost[i][m]: bytes for the first i characters ending in mode m (1 = one-byte).
  QVector<std::array<int, 2>> cost(n + 1, {kInfinite, kInfinite});
  QVector<std::array<int, 2>> from(n + 1, {0, 0});
  cost[0] = {1, 0};  // starting in two-byte mode costs a leading switch byte
  for (int i = 0; i < n; ++i) {
    const char16_t unit = text.at(i).unicode();
    for (int mode = 0; mode < 2; ++mode) {
      const int width = mode == 1 ? 1 : 2;
      if (mode == 1 && !fitsOneByte(unit)) continue;
      for (int previous = 0; previous < 2; ++previous) {
        const int candidate = cost[i][previous] + (previous != mode ? 1 : 0) + width;
        if (candidate < cost[i + 1][mode]) {
          cost[i + 1][mode] = candidate;
          from[i + 1][mode] = previous;
        }
      }
    }
  }
  int mode = cost[n][1] <= cost[n][0] ? 1 : 0;
  const int total = cost[n][mode];
  oneByteMode.resize(n);
  for (int i = n; i > 0; --i) {
    oneByteMode[i - 1] = mode == 1;
    mode = from[i][mode];
  }
  return 2 + total;
}

}  // namespace

QByteArray ucs2(const QString& text) {
  QByteArray bytes;
  bytes.reserve(2 * text.size());
  for (QChar c : text) {
    bytes.append(char(c.unicode() & 0xFF));
    bytes.append(char(c.unicode() >> 8));
  }
  return bytes;
}

QByteArray encode(const QString& text, bool allowCompression) {
  if (!allowCompression || text.isEmpty()) return ucs2(text);
  for (QChar c : text)
    if ((c.unicode() & 0xFF) == 0) return ucs2(text);
  QVector<bool> oneByteMode;
  const int compressedSize = planModes(text, oneByteMode);
  if (compressedSize >= 2 * text.size()) return ucs2(text);

  QByteArray bytes(kCompressedMarker, 2);
  bool current = true;
  for (int i = 0; i < text.size(); ++i) {
    const char16_t unit = text.at(i).unicode();
    if (oneByteMode[i] != current) {
      bytes.append(kModeSwitch);
      current = oneByteMode[i];
    }
    bytes.append(char(unit & 0xFF));
    if (!current) bytes.append(char(unit >> 8));
  }
  assert(bytes.size() == compressedSize);
  return bytes;
}

// Jet 4 / ACE text: UCS-2 little-endian, or "compressed" (FF FE, then runs
// of one-byte characters and two-byte characters switched by a 00 byte).
// Decoded straight into the text. An empty text, and one whose first unit
// is a byte-order mark, are made by QString::fromUtf16 from the units, as
// they always were (null or empty, the mark taken as QString takes it).
QString decode(const unsigned char* src, size_t length) {
  QString text;
  qsizetype units = 0;
  const bool compressedForm = length >= 2 && src[0] == uint8_t(kCompressedMarker[0]) && src[1] == uint8_t(kCompressedMarker[1]);
  if (compressedForm) {
    text.resize(static_cast<qsizetype>(length));  // at most one unit per byte
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    bool compressed = true;
    size_t i = 2;
    while (i < length) {
      if (src[i] == kModeSwitch) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        out[units++] = src[i];
        ++i;
      } else if (i + 1 < length) {
        out[units++] = static_cast<char16_t>(src[i] | (src[i + 1] << 8));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    text.resize(static_cast<qsizetype>(length / 2));
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (size_t i = 0; i + 1 < length; i += 2) out[units++] = static_cast<char16_t>(src[i] | (src[i + 1] << 8));
  }
  text.truncate(units);
  if (units == 0) {
    QVector<char16_t> none;
    none.reserve(static_cast<qsizetype>(compressedForm ? length : length / 2));
    return QString::fromUtf16(none.constData(), 0);
  }
  if (text.front() == QChar(0xfeff) || text.front() == QChar(0xfffe))
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.constData()), units);
  return text;
}

}  // namespace jet::text
