#ifndef METROVA_SPECIFICATIONWRITER_H
#define METROVA_SPECIFICATIONWRITER_H

#include "databaseitem.h"
#include "specificationestimation.h"

#include <QString>

class TConfigurationNames;
class TSqlConnection;
class TStandardCatalogue;

// Writes specification rows: a manufacturer's record in place of the standard's stored rows, and
// the estimation's derived items. The writes of TDatabase's Write_Specification and
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
  // Stores, in order, the derived items that have a place in the catalogue, a storable text and
  // no row yet in rows, and appends them to rows: the first derivation of a component wins.
  // ids: make, model and option.
  bool Store_Derived(const int *ids, const TSpecificationEstimation::TDerivedItems &derived,
                     TSpecificationEstimation::TStoredRows *rows);
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
