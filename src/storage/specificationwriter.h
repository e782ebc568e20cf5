#ifndef METROVA_SPECIFICATIONWRITER_H
#define METROVA_SPECIFICATIONWRITER_H

#include "databaseitem.h"
#include "estimationplanner.h"

#include <QString>

class TConfigurationNames;
class TSqlConnection;
class TStandardCatalogue;

// Writes specification rows: a manufacturer's record in place of the standard's stored rows, and
// the estimation's plan (TEstimationPlanner). The writes of TDatabase's Write_Specification and
// Estimate_Specifications; the caller holds the savepoint that makes each all or nothing.
class TSpecificationWriter
{
public:
  TSpecificationWriter(TSqlConnection *connection, TStandardCatalogue *catalogue,
                       TConfigurationNames *names);

  // Each false with the reason in Error(); Is_Fault() tells a failed statement from a value or
  // name the catalogue cannot take.
  //
  // The record's rows in place of those stored for its standard, its names added when new.
  bool Write_Rows(const TDatabaseItem &item);
  // Deletes the estimated rows when the plan says so and inserts its estimates, in order.
  // ids: make, model and option.
  bool Store_Plan(const int *ids, const TEstimationPlanner::TPlan &plan);
  bool Delete_Estimated(int make_id, int model_id, int option_id);

  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

private:
  bool Insert(const int *ids, int standard_id, int component_id, const QString &text, int source);
  template <typename TSource>
  bool Fail(const TSource &source);
  bool Fail(const QString &text, bool fault);

  TSqlConnection *d_connection;
  TStandardCatalogue *d_catalogue;
  TConfigurationNames *d_names;
  QString d_error;
  bool d_fault = false;
};

#endif // METROVA_SPECIFICATIONWRITER_H
