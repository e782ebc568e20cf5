#ifndef METROVA_BULKSPECIFICATIONREADER_H
#define METROVA_BULKSPECIFICATIONREADER_H

#include "bulkcatalogue.h"
#include "databaseitem.h"
#include "sqlitestatement.h"

#include <QList>
#include <QString>

#include <vector>

class TDatabase;

// Reads the records of whole makes for an export, one read of each make's rows on SQLite's own
// interface, as TDatabase's Configurations and Read_Configuration for each configuration give
// them. A make with rows or names that its catalogue (TBulkCatalogue) does not resolve is the
// caller's, to be read through TDatabase.
class TBulkSpecificationReader
{
public:
  struct TConfiguration
  {
    QString model;
    QString option;
    // One per standard of the catalogue, in its order; empty where the standard has no rows.
    QList<TDatabaseItem> records;
  };
  enum TRead
  {
    READ_FAILED,
    READ_DONE,
    READ_ELSEWHERE
  };

  explicit TBulkSpecificationReader(TDatabase *database);

  // Reads the catalogue and prepares the statement: false with an empty Error() when the
  // connection takes no statements of its own, with the reason when a read failed.
  bool Begin();
  // Every configuration of a make, in the order Configurations lists them; with
  // manufacturer_only the estimated items are left out.
  TRead Read_Make(const QString &make, bool manufacturer_only,
                  std::vector<TConfiguration> *configurations);

  QString Error() const { return d_error; }

private:
  TBulkCatalogue d_catalogue;
  TSqliteStatement d_read_make;
  QString d_error;
};

#endif // METROVA_BULKSPECIFICATIONREADER_H
