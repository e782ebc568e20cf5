#ifndef METROVA_SQLITEBULKREADER_H
#define METROVA_SQLITEBULKREADER_H

#include "bulkcatalogue.h"
#include "bulkspecificationreader.h"
#include "sqlitestatement.h"

#include <QList>
#include <QString>

#include <vector>

class TDatabase;
struct sqlite3;

// The bulk reader on SQLite: one read of each make's rows on SQLite's own interface.
class TSqliteBulkReader : public TBulkSpecificationReader
{
public:
  TSqliteBulkReader(TDatabase *database, sqlite3 *handle);

  bool Begin() override;
  TRead Read_Make(const QString &make, bool manufacturer_only,
                  std::vector<TConfiguration> *configurations) override;
  QString Error() const override { return d_error; }

private:
  sqlite3 *d_handle;
  TBulkCatalogue d_catalogue;
  TSqliteStatement d_read_make;
  QString d_error;
};

#endif // METROVA_SQLITEBULKREADER_H
