#ifndef METROVA_BULKSPECIFICATIONREADER_H
#define METROVA_BULKSPECIFICATIONREADER_H

#include "databaseitem.h"

#include <QList>
#include <QString>

#include <vector>

// Reads the records of whole makes for an export, each make's rows at once in the engine's own
// way (TSqlEngine::Bulk_Reader, made by TDatabase::Bulk_Reader), as TDatabase's Configurations
// and Read_Configuration for each configuration give them. A make with rows or names that its
// catalogue (TBulkCatalogue) does not resolve is the caller's, to be read through TDatabase.
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

  virtual ~TBulkSpecificationReader() = default;

  // Reads the catalogue and prepares the reads: false with the reason in Error().
  virtual bool Begin() = 0;
  // Every configuration of a make, in the order Configurations lists them; with
  // manufacturer_only the estimated items are left out.
  virtual TRead Read_Make(const QString &make, bool manufacturer_only,
                          std::vector<TConfiguration> *configurations) = 0;

  virtual QString Error() const = 0;
};

#endif // METROVA_BULKSPECIFICATIONREADER_H
