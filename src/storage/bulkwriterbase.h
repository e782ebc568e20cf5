#ifndef METROVA_BULKWRITERBASE_H
#define METROVA_BULKWRITERBASE_H

#include "bulkcatalogue.h"
#include "bulkspecificationwriter.h"
#include "estimationplanner.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TDatabase;

// What every engine's bulk writer does alike: the catalogue in memory, and the estimation of a
// make from its rows as one read gives them, with TEstimationPlanner's plan stored through the
// engine's own deletion and insertion.
class TBulkWriterBase : public TBulkSpecificationWriter
{
public:
  explicit TBulkWriterBase(TDatabase *database);

  const TBulkCatalogue &Catalogue() const override { return d_catalogue; }
  TEstimate Estimate_Make(int make_id, QStringList *failed) override;
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
  bool Store_Plan(const int ids[], const TEstimationPlanner::TPlan &plan);

  // On the catalogue's standards, once it is read.
  std::unique_ptr<TEstimationPlanner> d_planner;
};

#endif // METROVA_BULKWRITERBASE_H
