#ifndef METROVA_SQLITEBULKWRITER_H
#define METROVA_SQLITEBULKWRITER_H

#include "bulkcatalogue.h"
#include "bulkspecificationwriter.h"
#include "estimationplanner.h"
#include "sqlitestatement.h"

#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TDatabase;
struct sqlite3;

// The bulk writer on SQLite: its statements are prepared once on SQLite's own interface, many
// rows go in with one statement.
class TSqliteBulkWriter : public TBulkSpecificationWriter
{
public:
  TSqliteBulkWriter(TDatabase *database, sqlite3 *handle);
  ~TSqliteBulkWriter() override;
  TSqliteBulkWriter(const TSqliteBulkWriter &) = delete;
  TSqliteBulkWriter &operator=(const TSqliteBulkWriter &) = delete;

  bool Begin() override;
  const TBulkCatalogue &Catalogue() const override { return d_catalogue; }
  int Added_Name_Id(int kind, const char *utf8, int size) override;
  bool Write_Rows(const int ids[], int standard_id, const TRow *rows, int count) override;
  TEstimate Estimate_Make(int make_id, QStringList *failed) override;
  QString Error() const override { return d_error; }

private:
  // A row to insert, with its text in UTF-8.
  struct TNewRow
  {
    int standard_id;
    int component_id;
    const char *text;
    int size;
    int source;
  };

  bool Fail(const QString &failure, const TSqliteStatement &statement);
  bool Insert(const int ids[], const TNewRow *rows, int count);
  bool Delete_Estimated(const int ids[]);
  bool Store_Plan(const int ids[], const TEstimationPlanner::TPlan &plan);

  sqlite3 *d_handle;
  TBulkCatalogue d_catalogue;
  QString d_error;
  // On the catalogue's standards, once it is read.
  std::unique_ptr<TEstimationPlanner> d_planner;
  TSqliteStatement d_add_name[3];
  TSqliteStatement d_delete_standard;
  // Inserts of one row, two rows, ... by their count.
  std::vector<std::unique_ptr<TSqliteStatement>> d_inserts;
  std::vector<TNewRow> d_new_rows;
  TSqliteStatement d_delete_estimated;
  TSqliteStatement d_read_make;
};

#endif // METROVA_SQLITEBULKWRITER_H
