#ifndef METROVA_SQLITEBULKCATALOGUE_H
#define METROVA_SQLITEBULKCATALOGUE_H

#include "specificationestimation.h"

#include <QString>

class TBulkCatalogue;
class TSqliteStatement;
struct sqlite3;

// The SQLite bulk writer's and reader's part of TBulkCatalogue: the names read with SQLite's own
// statements, and a row read from one.
class TSqliteBulkCatalogue
{
public:
  // Reads the make, model and option names and the standards; false with the reason in *error.
  static bool Read(TBulkCatalogue *catalogue, sqlite3 *handle, QString *error);
  // Appends the row of a statement whose columns from column on are standard_id, component_id
  // and expression, as TDatabase's reader reads it; false for a row the catalogue does not read
  // (ids that are no integers, a text that is none, a component the catalogue does not list).
  static bool Read_Row(const TBulkCatalogue &catalogue, const TSqliteStatement &statement,
                       int column, TSpecificationEstimation::TStoredRows *rows);
};

#endif // METROVA_SQLITEBULKCATALOGUE_H
