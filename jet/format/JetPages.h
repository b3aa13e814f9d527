// What a reader of Jet 3 and Jet 4 files needs to know of their pages: the
// file header that tells the versions apart, the page sizes, the layout of
// data pages and their row offset table, the row's column count, memo
// headers, usage maps, and little-endian access to page bytes.
//
// JetFormat.h holds what the writer builds (Jet 4 only); this header adds
// what differs in Jet 3 and what the reader, the update, the journal and the
// structure checks look at. Nothing outside jet/format/ spells an offset or
// a page size; libmdb's own format tables (MdbFormatConstants) stay
// libmdb's.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

#include "jet/format/JetFormat.h"

namespace jet::format {

// ---- little-endian values in page bytes ------------------------------------
inline uint16_t le16(const void* bytes) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t le32(const void* bytes) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void setLe16(void* bytes, uint16_t value) {
  auto* p = static_cast<unsigned char*>(bytes);
  p[0] = uint8_t(value);
  p[1] = uint8_t(value >> 8);
}

// ---- file header (page 0) ----------------------------------------------------
// Which engine wrote the file, from the signature and the version byte.
enum class FileVersion { Jet3, Jet4, Ace };

// Bytes of the header that tell the version: the magic 00 01 00 00, the
// engine name ("Standard Jet DB" or "Standard ACE DB") and the version byte.
constexpr int kFileHeaderBytes = 0x15;

// True when these first bytes (at least kFileHeaderBytes) carry the magic
// and the engine name of a Jet or ACE database, whatever its version byte.
bool isJetHeader(const QByteArray& header);
// The version byte of such a header.
int fileVersionByte(const QByteArray& header);
// The version a file with these first bytes has; nullopt when they are not
// those of a Jet 3, Jet 4 or ACE database or its version byte is unknown.
std::optional<FileVersion> fileVersionOf(const QByteArray& header);

constexpr int kJet3PageSize = 2048;
constexpr int kJet4PageSize = kPageSize;
constexpr int pageSizeOf(FileVersion version) { return version == FileVersion::Jet3 ? kJet3PageSize : kJet4PageSize; }

// ---- data pages --------------------------------------------------------------
// Data pages name their table's definition page here; long-value pages hold
// "LVAL" in its place.
constexpr int kPageOwnerOffset = 4;
constexpr char kLongValueOwner[] = "LVAL";
// A row pointer (rowPointer in JetFormat.h) taken apart.
constexpr uint32_t pageOfRowPointer(uint32_t pointer) { return pointer >> 8; }
constexpr unsigned rowOfRowPointer(uint32_t pointer) { return pointer & 0xff; }
// Where the row count of a data page sits; the row offset table follows it,
// one 16-bit entry per row.
constexpr int dataRowCountOffset(bool jet3) { return jet3 ? 8 : 12; }
constexpr int rowOffsetEntry(int rowCountOffset, int row) { return rowCountOffset + 2 + row * 2; }
// A row offset entry: the row's start on the page in the low 13 bits, and
// two flags.
constexpr uint16_t kRowStartMask = 0x1fff;
constexpr uint16_t kDeletedRowFlag = 0x4000;
constexpr uint16_t kOverflowRowFlag = 0x8000;  // the row is a pointer to where it lives now
constexpr uint16_t kRowFlags = kDeletedRowFlag | kOverflowRowFlag;

// A row begins with its column count: one byte in Jet 3, two in Jet 4; the
// fixed-length columns follow.
constexpr int rowColumnCountSize(bool jet3) { return jet3 ? 1 : 2; }

// ---- memo headers in a row ------------------------------------------------------
// The first four bytes: storage flags in the top two bits, the length in
// the bits below them; then the row pointer of the (first) long-value row.
constexpr uint32_t kMemoLengthMask = 0x3fffffff;
constexpr int kMemoFirstRowOffset = 4;
constexpr MemoStorage memoStorageOf(uint32_t header) {
  if (header & uint32_t(MemoStorage::Inline)) return MemoStorage::Inline;
  if (header & uint32_t(MemoStorage::SingleRow)) return MemoStorage::SingleRow;
  return MemoStorage::Chain;
}

// ---- usage maps -------------------------------------------------------------------
// The first byte of a usage map row: an inline bitmap, or a list of bitmap
// pages. Inline maps continue with the first page mapped (32 bits), then
// the bitmap; the list holds one 32-bit page number per range.
enum class UsageMapKind : uint8_t { Inline = 0, BitmapPages = 1 };
constexpr int kInlineMapFirstPageOffset = 1;
constexpr int kBitmapPageListOffset = 1;
constexpr int kBitmapPageEntrySize = 4;
// Pages one bitmap page maps, for a file of `pageSize`.
constexpr uint64_t pagesPerBitmapPage(int pageSize) { return uint64_t(pageSize - kBitmapPageHeaderSize) * 8; }

// ---- locks ----------------------------------------------------------------------------
// The byte range of the file that Jet's writers lock while they change
// pages (lock bytes beyond any real file's end).
constexpr int64_t kWriteLockRangeStart = 0x20000000;
constexpr int64_t kWriteLockRangeLength = 0x10000000;

}  // namespace jet::format
