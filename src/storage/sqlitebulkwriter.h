#ifndef METROVA_BULKSPECIFICATIONWRITER_H
#define METROVA_BULKSPECIFICATIONWRITER_H

#include "bulkcatalogue.h"
#include "estimationplanner.h"
#include "sqlitestatement.h"

#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TDatabase;

// Stores the records of an import and estimates its configurations inside the caller's
// transaction, as TDatabase's Write_Specification and Estimate_Specifications do, at the pace of
// a catalogue of many thousand machines: its statements are prepared once on SQLite's own
// interface, and names and the standards are looked up in memory (TBulkCatalogue). What the
// catalogue does not resolve is the caller's, to be passed to TDatabase's own operations.
class TBulkSpecificationWriter
{
public:
  // A row of a manufacturer's record: its component and its text as stored, in UTF-8, which must
  // stay until the write returns.
  struct TRow
  {
    int component_id;
    const char *text;
    int size;
  };
  enum TEstimate
  {
    ESTIMATE_FAILED,
    ESTIMATE_DONE,
    // The make holds rows or names that this writer does not read: TDatabase estimates it.
    ESTIMATE_ELSEWHERE
  };

  explicit TBulkSpecificationWriter(TDatabase *database);
  ~TBulkSpecificationWriter();
  TBulkSpecificationWriter(const TBulkSpecificationWriter &) = delete;
  TBulkSpecificationWriter &operator=(const TBulkSpecificationWriter &) = delete;

  // Inside the caller's transaction: reads the catalogue and prepares the statements. False with
  // an empty Error() when the connection takes no statements of its own, with the reason when a
  // read failed.
  bool Begin();
  const TBulkCatalogue &Catalogue() const { return d_catalogue; }

  // The id of a make, model or option name (TConfigurationNames' kinds) in UTF-8, added when it
  // is new; -1 with Error() when it cannot be added.
  int Added_Name_Id(int kind, const char *utf8, int size);
  // The record's rows in place of those stored for its machine (ids: make, model, option) and
  // standard.
  bool Write_Rows(const int ids[], int standard_id, const TRow *rows, int count);
  // Estimates every configuration of a make as Configurations and Estimate_Specifications for
  // each do. Before it changes anything it leaves to TDatabase (ESTIMATE_ELSEWHERE) a make with
  // rows or names it does not read. A failure in a configuration gives its model and option names
  // in *failed, a failed read none.
  TEstimate Estimate_Make(int make_id, QStringList *failed);

  QString Error() const { return d_error; }

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

#endif // METROVA_BULKSPECIFICATIONWRITER_H
