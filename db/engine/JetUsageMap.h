// Usage maps of Jet tables: the rows that list which pages a table owns and
// which of them have free space.
//
// A map is either inline (type 0: a start page and a bitmap) or a list of
// bitmap pages (type 1: each page of type 0x05 maps (page size - 4) * 8
// pages). libmdb walks the maps while scanning and, when a listed page lies
// beyond the end of the file, quietly ends the scan; checking the maps
// first turns a cut file into an error instead of a table with rows missing.
// Used only inside the worker process.
#pragma once

#include <QString>
#include <cstddef>

namespace db::engine {

// Why the usage map is not sound, or an empty text when it is: a map that
// is empty or cut short, of an unknown kind, or naming a page (or a bitmap
// page) at or beyond `pageCount`, or a bitmap page that is not one. `what`
// names the map in the text ("usage map"). `mdbHandle` is the MdbHandle;
// its second page buffer is used for bitmap pages.
QString usageMapProblem(void* mdbHandle, const unsigned char* map, size_t size, quint32 pageCount,
                        const QString& what);

}  // namespace db::engine
