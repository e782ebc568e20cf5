#include "estimationstore.h"

#include "estimationplanner.h"
#include "specificationreader.h"
#include "specificationwriter.h"
#include "standardcatalogue.h"

#include <memory>
#include <utility>

namespace
{
// The planner on the catalogue's standards and components as a look-up by name finds them.
bool Read_Planner(TStandardCatalogue *catalogue, std::unique_ptr<TEstimationPlanner> *planner)
{
  QStringList names;
  if (!catalogue->Standard_Types(&names))
  {
    return false;
  }
  std::vector<TEstimationPlanner::TStandard> standards;
  for (const QString &name : qAsConst(names))
  {
    const int standard_id = catalogue->Standard_Type_Id(name);
    QStringList components;
    if (standard_id < 0 || !catalogue->Component_Types(standard_id, &components))
    {
      return false;
    }
    standards.push_back({standard_id, name, {}});
    for (const QString &component : qAsConst(components))
    {
      const int component_id = catalogue->Component_Type_Id(standard_id, component);
      if (component_id < 0)
      {
        return false;
      }
      standards.back().components.push_back({component_id, component});
    }
  }
  *planner = std::make_unique<TEstimationPlanner>(std::move(standards));
  return true;
}
} // namespace

TEstimationStore::TEstimationStore(TStandardCatalogue *catalogue, TSpecificationReader *reader,
                                   TSpecificationWriter *writer)
    : d_catalogue(catalogue), d_reader(reader), d_writer(writer)
{
}

template <typename TSource>
bool TEstimationStore::Fail(const TSource &source)
{
  d_error = source.Error();
  d_fault = source.Is_Fault();
  return false;
}

bool TEstimationStore::Estimate(const int *ids)
{
  TSpecificationEstimation::TStoredRows rows;
  if (!d_reader->Read_Rows(ids[0], ids[1], ids[2], &rows))
  {
    return Fail(*d_reader);
  }
  std::unique_ptr<TEstimationPlanner> planner;
  if (!Read_Planner(d_catalogue, &planner))
  {
    return Fail(*d_catalogue);
  }
  return d_writer->Store_Plan(ids, planner->Plan(std::move(rows))) || Fail(*d_writer);
}

bool TEstimationStore::Estimate_From(const int *ids, const QString &standard, int standard_id,
                                     bool *stored)
{
  *stored = false;
  TSpecificationEstimation::TStoredRows rows;
  if (!d_reader->Read_Rows(ids[0], ids[1], ids[2], &rows))
  {
    return Fail(*d_reader);
  }
  std::unique_ptr<TEstimationPlanner> planner;
  if (!Read_Planner(d_catalogue, &planner))
  {
    return Fail(*d_catalogue);
  }
  TEstimationPlanner::TPlan plan;
  plan.inserts = planner->Pass(standard, standard_id, &rows);
  *stored = !plan.inserts.empty();
  return !*stored || d_writer->Store_Plan(ids, plan) || Fail(*d_writer);
}
