// The Jet OLE DB connection string, parsed into the properties this layer
// acts on.
//
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<file>;Mode=READ;Persist
// Security Info=False;" - properties separated by ";" (a trailing one is
// optional), names without regard to case or surrounding blanks, values
// optionally in double or single quotes. Other properties are accepted and
// ignored.
#pragma once

#include <QString>

namespace db {

struct ConnectionSettings {
  QString provider;
  QString dataSource;
  QString mode;
  // Mode=Read: the file is only read, from a private snapshot.
  bool readOnly = false;
};

// Throws db::Error for a malformed string, a provider other than the Jet 4.0
// (or ACE) OLE DB provider, or a missing or empty Data Source.
ConnectionSettings parseConnectionString(const QString& text);

}  // namespace db
