#ifndef METROVA_CATALOGUEREADER_H
#define METROVA_CATALOGUEREADER_H

#include "bulkspecificationreader.h"
#include "databaseitem.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class TDatabase;
class TExchangeProgress;

// Reads the configurations of a catalogue for an export: all in one read transaction, so that
// the file shows one state of the catalogue and other connections can go on reading meanwhile.
class TCatalogueReader
{
public:
  using TVisit = std::function<void(const QString &make, const QString &model,
                                    const QString &option, const QList<TDatabaseItem> &records)>;

  // Visits every configuration of the given makes, or of all makes when none are given: the
  // makes sorted, within a make model by model, with the records of every standard (in the
  // order of Standard_Types, empty where a standard has no rows). Reports the makes done as
  // progress. False, with the database's reason in *error, when a read fails.
  static bool Read(TDatabase *database, const QStringList &makes, bool manufacturer_only,
                   TExchangeProgress *progress, const TVisit &visit, QString *error);

private:
  // A make's configurations with their records, read through the database one by one; false
  // when a read fails.
  static bool Read_Make(TDatabase *database, const QString &make, bool manufacturer_only,
                        int standard_count,
                        std::vector<TBulkSpecificationReader::TConfiguration> *read);
};

#endif // METROVA_CATALOGUEREADER_H
