#ifndef METROVA_SQLITEBULKCATALOGUE_H
#define METROVA_SQLITEBULKCATALOGUE_H

#include <QString>

class TBulkCatalogue;
struct sqlite3;

// The SQLite bulk writer's and reader's part of TBulkCatalogue: the names read with SQLite's own
// statements.
class TSqliteBulkCatalogue
{
public:
  // Reads the make, model and option names and the standards; false with the reason in *error.
  static bool Read(TBulkCatalogue *catalogue, sqlite3 *handle, QString *error);
};

#endif // METROVA_SQLITEBULKCATALOGUE_H
