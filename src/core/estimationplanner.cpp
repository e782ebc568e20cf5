#include "estimationplanner.h"

#include <algorithm>
#include <utility>

TEstimationPlanner::TEstimationPlanner(std::vector<TStandard> standards)
    : d_standards(std::move(standards)),
      d_places(TSpecificationEstimation::PLACE_COUNT, QPair<int, int>(PLACE_UNKNOWN, PLACE_UNKNOWN))
{
}

QPair<int, int>
TEstimationPlanner::Place(const TSpecificationEstimation::TDerivedItem &derived) const
{
  QPair<int, int> &known = d_places[static_cast<std::size_t>(derived.place)];
  if (known.first != PLACE_UNKNOWN)
  {
    return known;
  }
  known = {-1, -1};
  for (const TStandard &standard : d_standards)
  {
    if (standard.name != derived.standard)
    {
      continue;
    }
    known.first = standard.id;
    for (const TComponent &component : standard.components)
    {
      if (component.name == derived.item.name)
      {
        known.second = component.id;
        break;
      }
    }
    break;
  }
  return known;
}

std::vector<TSpecificationEstimation::TNewRow>
TEstimationPlanner::Pass(const QString &standard, int standard_id,
                         TSpecificationEstimation::TStoredRows *rows) const
{
  std::vector<TSpecificationEstimation::TNewRow> chosen;
  const auto place =
      [this](const TSpecificationEstimation::TDerivedItem &derived, int *target, int *component)
  {
    const QPair<int, int> found = Place(derived);
    *target = found.first;
    *component = found.second;
    return true;
  };
  TSpecificationEstimation::Choose_New_Rows(
      TSpecificationEstimation::Derive(standard, standard_id, *rows), place, rows, &chosen);
  return chosen;
}

TEstimationPlanner::TPlan TEstimationPlanner::Plan(TSpecificationEstimation::TStoredRows rows) const
{
  TPlan plan;
  // The estimates of before go; what they were derived from stays.
  const auto estimated = std::remove_if(rows.begin(), rows.end(),
                                        [](const TSpecificationEstimation::TStoredRow &row) {
                                          return row.item.source == TDatabaseItem::SOURCE_ESTIMATED;
                                        });
  plan.delete_estimated = estimated != rows.end();
  rows.erase(estimated, rows.end());
  // Each pass works on the configuration as the passes before it left it.
  for (const TStandard &standard : d_standards)
  {
    std::vector<TSpecificationEstimation::TNewRow> chosen = Pass(standard.name, standard.id, &rows);
    plan.inserts.insert(plan.inserts.end(), std::make_move_iterator(chosen.begin()),
                        std::make_move_iterator(chosen.end()));
  }
  return plan;
}
