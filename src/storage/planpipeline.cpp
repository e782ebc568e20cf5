#include "planpipeline.h"

#include "databaseitem.h"

#include <system_error>

TPlanPipeline::TPlanPipeline(const TBulkCatalogue *catalogue, const TEstimationPlanner *planner,
                             const TMake *make)
    : d_catalogue(catalogue), d_planner(planner), d_make(make)
{
  if (d_make->configurations.size() >= MINIMUM_THREADED)
  {
    d_plans.resize(d_make->configurations.size());
    try
    {
      d_thread = std::thread([this] { Plan_All(); });
    }
    catch (const std::system_error &)
    {
      // No thread to be had (a process at its limit): every plan is made as it is taken.
    }
  }
}

TPlanPipeline::~TPlanPipeline()
{
  if (d_thread.joinable())
  {
    {
      const std::lock_guard<std::mutex> lock(d_mutex);
      d_stopping = true;
    }
    d_thread.join();
  }
}

TPlanPipeline::TPlanned TPlanPipeline::Plan(const TConfiguration &configuration) const
{
  TSpecificationEstimation::TStoredRows rows;
  rows.reserve(configuration.rows.size());
  for (const TReadRow &read : configuration.rows)
  {
    if (read.estimated)
    {
      rows.push_back({-1, -1, {}});
      rows.back().item.source = TDatabaseItem::SOURCE_ESTIMATED;
    }
    else
    {
      d_catalogue->Read_Row(read.standard_id, read.component_id,
                            d_make->texts.constData() + read.offset, read.size, &rows);
    }
  }
  const TEstimationPlanner::TPlan plan = d_planner->Plan(std::move(rows));
  TPlanned planned;
  planned.delete_estimated = plan.delete_estimated;
  planned.rows.reserve(plan.inserts.size());
  for (const TSpecificationEstimation::TNewRow &row : plan.inserts)
  {
    const int offset = planned.texts.size();
    planned.texts.append(row.text.toUtf8());
    planned.rows.push_back(
        {row.standard_id, row.component_id, offset, planned.texts.size() - offset});
  }
  return planned;
}

void TPlanPipeline::Plan_All()
{
  for (std::size_t index = 0; index < d_make->configurations.size(); ++index)
  {
    // Planned outside the lock: the writer takes the plans before it meanwhile.
    TPlanned planned = Plan(d_make->configurations[index]);
    const std::lock_guard<std::mutex> lock(d_mutex);
    if (d_stopping)
    {
      return;
    }
    d_plans[index] = std::move(planned);
    d_planned = index + 1;
    d_planned_more.notify_one();
  }
}

TPlanPipeline::TPlanned TPlanPipeline::Take(std::size_t index)
{
  if (!d_thread.joinable())
  {
    return Plan(d_make->configurations[index]);
  }
  std::unique_lock<std::mutex> lock(d_mutex);
  d_planned_more.wait(lock, [this, index] { return d_planned > index; });
  return std::move(d_plans[index]);
}
