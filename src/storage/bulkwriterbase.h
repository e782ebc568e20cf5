#ifndef METROVA_BULKWRITERBASE_H
#define METROVA_BULKWRITERBASE_H

#include "bulkcatalogue.h"
#include "bulkspecificationwriter.h"
#include "estimationplanner.h"
#include "planpipeline.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TDatabase;

// What every engine's bulk writer does alike: the catalogue in memory, and the estimation of a
// make from its rows as one read gives them, with TEstimationPlanner's plan stored through the
// engine's own deletion and insertion. A make that had no row when the import began has only the
// rows this writer writes, as long as nothing else writes: the writer keeps them (up to a bound)
// and estimates the make from them instead of reading it back, and deletes nothing of it that
// it has not written.
class TBulkWriterBase : public TBulkSpecificationWriter
{
public:
  explicit TBulkWriterBase(TDatabase *database);

  const TBulkCatalogue &Catalogue() const override { return d_catalogue; }
  void Add_Stored_Name(int kind, const QString &name, int id) override;
  TEstimate Estimate_Make(int make_id, QStringList *failed) override;
  // The caller writes through TDatabase next: the rows kept are no longer all there are.
  bool Flush() override;
  QString Error() const override { return d_error; }

protected:
  // A row to insert, with its text in UTF-8.
  struct TNewRow
  {
    int standard_id;
    int component_id;
    const char *text;
    int size;
    int source;
  };
  // A row of a make as Read_Make gives it. A row whose model or option is no whole number is not
  // read further (configuration_read false), nor one that the deletion of estimated rows would
  // delete (estimated); others have their standard, component and text, if they are a whole
  // number, a whole number and a text (row_read).
  struct TMakeRow
  {
    bool configuration_read;
    int model_id;
    int option_id;
    bool estimated;
    bool row_read;
    int standard_id;
    int component_id;
    const char *text;
    int size;
  };
  enum TMakeRead
  {
    MAKE_READ_FAILED,
    MAKE_READ_DONE,
    MAKE_READ_ELSEWHERE
  };

  // Makes the planner once the catalogue's standards are read.
  void Plan_Standards();
  // From Begin: the highest make id of a stored row (none: no row at all). Makes above it have
  // no row yet; without this call the writer knows no such make.
  void Set_Highest_Stored_Make(bool any, int make_id);
  // Whether the writer knows every row of the make: then a deletion of a machine's standard that
  // it has not written deletes nothing (Is_New_Place), and it estimates the make from what it
  // kept.
  bool Knows_Make(int make_id) const;
  bool Is_New_Place(const int ids[], int standard_id) const;
  // The rows of a manufacturer's record in place of those of its machine (ids: make, model,
  // option) and standard, for a make the writer knows.
  void Keep_Rows(const int ids[], int standard_id, const TRow *rows, int count);
  // Stores what the writer holds back; Flush is this after the kept rows are let go.
  virtual bool Store_Held() { return true; }
  // Every row of a make in storage order, each to read_row until it returns false: the make is
  // then TDatabase's (MAKE_READ_ELSEWHERE). MAKE_READ_FAILED with the reason in d_error.
  virtual TMakeRead Read_Make(int make_id,
                              const std::function<bool(const TMakeRow &)> &read_row) = 0;
  // Deletes the estimated rows of a machine (ids: make, model, option).
  virtual bool Delete_Estimated(const int ids[]) = 0;
  // Adds rows to a machine.
  virtual bool Insert(const int ids[], const TNewRow *rows, int count) = 0;

  TBulkCatalogue d_catalogue;
  QString d_error;

private:
  // A make's rows as kept: its writes in order, each with its rows, those of a write made again
  // left out.
  struct TKeptWrite
  {
    int model_id;
    int option_id;
    int standard_id;
    int first_row;
    int count;
    bool replaced;
  };
  struct TKeptRow
  {
    int component_id;
    int offset;
    int size;
  };
  struct TKeptMake
  {
    std::vector<TKeptWrite> writes;
    std::vector<TKeptRow> rows;
    QByteArray texts;
    // The latest write of a model and option (as one number) and a standard.
    QHash<QPair<quint64, int>, int> places;
  };

  bool Store_Plan(const int ids[], const TPlanPipeline::TPlanned &plan);
  // Every kept row of a make, in storage order, each to read_row until it returns false.
  TMakeRead Read_Kept(int make_id, const std::function<bool(const TMakeRow &)> &read_row) const;
  void Let_Kept_Go();

  // On the catalogue's standards, once it is read.
  std::unique_ptr<TEstimationPlanner> d_planner;
  // Whether rows are kept, above which make id, and the makes estimated since (their estimates
  // are not kept).
  bool d_keeping = false;
  int d_highest_stored_make = 0;
  QHash<int, TKeptMake> d_kept;
  QSet<int> d_estimated;
  qint64 d_kept_bytes = 0;
};

#endif // METROVA_BULKWRITERBASE_H
