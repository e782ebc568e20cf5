#ifndef METROVA_SQLITEBULKWRITER_H
#define METROVA_SQLITEBULKWRITER_H

#include "bulkwriterbase.h"
#include "sqlitestatement.h"

#include <QString>

#include <memory>
#include <vector>

class TDatabase;
struct sqlite3;

// The bulk writer on SQLite: its statements are prepared once on SQLite's own interface, many
// rows go in with one statement.
class TSqliteBulkWriter : public TBulkWriterBase
{
public:
  TSqliteBulkWriter(TDatabase *database, sqlite3 *handle);
  ~TSqliteBulkWriter() override;
  TSqliteBulkWriter(const TSqliteBulkWriter &) = delete;
  TSqliteBulkWriter &operator=(const TSqliteBulkWriter &) = delete;

  bool Begin() override;
  int Added_Name_Id(int kind, const char *utf8, int size) override;
  bool Write_Rows(const int ids[], int standard_id, const TRow *rows, int count) override;

protected:
  TMakeRead Read_Make(int make_id, const std::function<bool(const TMakeRow &)> &read_row) override;
  bool Delete_Estimated(const int ids[]) override;
  bool Insert(const int ids[], const TNewRow *rows, int count) override;

private:
  bool Fail(const QString &failure, const TSqliteStatement &statement);
  // The highest make id of a stored row, for the rows kept (Set_Highest_Stored_Make).
  bool Read_Highest_Make();

  sqlite3 *d_handle;
  TSqliteStatement d_add_name[3];
  TSqliteStatement d_delete_standard;
  // Inserts of one row, two rows, ... by their count.
  std::vector<std::unique_ptr<TSqliteStatement>> d_inserts;
  std::vector<TNewRow> d_new_rows;
  TSqliteStatement d_delete_estimated;
  TSqliteStatement d_read_make;
  bool d_highest_read = false;
};

#endif // METROVA_SQLITEBULKWRITER_H
