// Checking a table's usage maps against the file.
#include "db/engine/JetUsageMap.h"

#include <mdbtools.h>

#include "jet/format/JetPages.h"

namespace db::engine {

namespace {

namespace format = jet::format;

// The first set bit of `bits` whose page is at or beyond `pageCount`, or -1.
qint64 firstPageBeyond(const unsigned char* bits, size_t bytes, quint64 firstPage, quint32 pageCount) {
  for (size_t i = 0; i < bytes; ++i) {
    if (!bits[i]) continue;
    for (int bit = 0; bit < 8; ++bit) {
      const quint64 page = firstPage + i * 8 + bit;
      if ((bits[i] >> bit) & 1 && page >= pageCount) return qint64(page);
    }
  }
  return -1;
}

}  // namespace

QString usageMapProblem(void* mdbHandle, const unsigned char* map, size_t size, quint32 pageCount,
                        const QString& what) {
  auto* mdb = static_cast<MdbHandle*>(mdbHandle);
  if (!map || size == 0) return QStringLiteral("its %1 is empty").arg(what);
  if (map[0] == uint8_t(format::UsageMapKind::Inline)) {
    if (size < size_t(format::kInlineMapHeaderSize)) return QStringLiteral("its %1 is cut short").arg(what);
    const qint64 beyond = firstPageBeyond(map + format::kInlineMapHeaderSize, size - format::kInlineMapHeaderSize,
                                          format::le32(map + format::kInlineMapFirstPageOffset), pageCount);
    if (beyond >= 0) return QStringLiteral("its %1 names page %2 beyond the end of the file").arg(what).arg(beyond);
    return {};
  }
  if (map[0] != uint8_t(format::UsageMapKind::BitmapPages)) return QStringLiteral("its %1 is of unknown kind %2").arg(what).arg(map[0]);
  const size_t pageSize = size_t(mdb->fmt->pg_size);
  const quint64 pagesPerBitmap = format::pagesPerBitmapPage(int(pageSize));
  constexpr size_t list = format::kBitmapPageListOffset, entrySize = format::kBitmapPageEntrySize;
  for (size_t entry = 0; list + (entry + 1) * entrySize <= size; ++entry) {
    const quint32 bitmapPage = format::le32(map + list + entry * entrySize);
    if (bitmapPage == 0) continue;
    if (bitmapPage >= pageCount)
      return QStringLiteral("its %1 names bitmap page %2 beyond the end of the file").arg(what).arg(bitmapPage);
    if (mdb_read_alt_pg(mdb, bitmapPage) != mdb->fmt->pg_size)
      return QStringLiteral("bitmap page %1 of its %2 cannot be read").arg(bitmapPage).arg(what);
    if (mdb->alt_pg_buf[0] != uint8_t(format::PageType::UsageBitmap))
      return QStringLiteral("page %1 of its %2 is not a bitmap page").arg(bitmapPage).arg(what);
    const qint64 beyond = firstPageBeyond(mdb->alt_pg_buf + format::kBitmapPageHeaderSize, pageSize - format::kBitmapPageHeaderSize,
                                          entry * pagesPerBitmap, pageCount);
    if (beyond >= 0) return QStringLiteral("its %1 names page %2 beyond the end of the file").arg(what).arg(beyond);
  }
  return {};
}

}  // namespace db::engine
