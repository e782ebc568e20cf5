#ifndef METROVA_SQLITEBULKREADER_H
#define METROVA_SQLITEBULKREADER_H

#include "bulkreaderbase.h"
#include "sqlitestatement.h"

class TDatabase;
struct sqlite3;

// The bulk reader on SQLite: one read of each make's rows on SQLite's own interface.
class TSqliteBulkReader : public TBulkReaderBase
{
public:
  TSqliteBulkReader(TDatabase *database, sqlite3 *handle);

  bool Begin() override;

protected:
  TRowsRead Read_Rows(int make_id, const std::function<bool(const TMakeRow &)> &read_row) override;

private:
  sqlite3 *d_handle;
  TSqliteStatement d_read_make;
};

#endif // METROVA_SQLITEBULKREADER_H
