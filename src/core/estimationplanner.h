#ifndef METROVA_ESTIMATIONPLANNER_H
#define METROVA_ESTIMATIONPLANNER_H

#include "specificationestimation.h"

#include <QPair>
#include <QString>

#include <vector>

// What estimating one make, model and option changes in the catalogue: given every row the
// configuration holds and the catalogue's standards with their components, the estimated rows go
// and the estimates that the conversion rules (TSpecificationEstimation) give for components
// without a row come in, in the order of storage. The one rule for both writers of estimates,
// TDatabase's and the bulk writer of an import: they read the rows, store the plan and decide
// nothing themselves.
class TEstimationPlanner
{
public:
  struct TComponent
  {
    int id;
    QString name;
  };
  // A standard as the catalogue lists it: by name, then each component by name, the first of a
  // name is the one a look-up finds.
  struct TStandard
  {
    int id;
    QString name;
    std::vector<TComponent> components;
  };
  struct TPlan
  {
    // The configuration holds estimated rows, which are deleted before the inserts.
    bool delete_estimated = false;
    std::vector<TSpecificationEstimation::TNewRow> inserts;
  };

  // The standards in the catalogue's order; their passes run in it.
  explicit TEstimationPlanner(std::vector<TStandard> standards);

  // rows: every row of the configuration in storage order, estimated ones too (of which only the
  // source counts).
  TPlan Plan(TSpecificationEstimation::TStoredRows rows) const;
  // One pass: what the rows of one source standard (given by its name and id in the rows) add to
  // rows, which holds the configuration as the passes before it left it; each chosen row is
  // appended to rows too. The first derivation of a component wins.
  std::vector<TSpecificationEstimation::TNewRow>
  Pass(const QString &standard, int standard_id, TSpecificationEstimation::TStoredRows *rows) const;

private:
  // Where the catalogue keeps a derived item: its standard's and component's ids, a component
  // id of -1 when it has none.
  QPair<int, int> Place(const TSpecificationEstimation::TDerivedItem &derived) const;

  std::vector<TStandard> d_standards;
  // The places by TDerivedItem::place as they are looked up; a plan is made by the thousand.
  static constexpr int PLACE_UNKNOWN = -2;
  mutable std::vector<QPair<int, int>> d_places;
};

#endif // METROVA_ESTIMATIONPLANNER_H
