#include "bulkwriterbase.h"

#include "configurationnames.h"
#include "databaseitem.h"

#include <climits>

namespace
{
// The rows kept, in bytes of text, before the writer lets them go and reads makes back.
constexpr qint64 MAXIMUM_KEPT_BYTES = 64 << 20;
// What a row costs beside its text.
constexpr qint64 KEPT_ROW_BYTES = 16;
} // namespace

TBulkWriterBase::TBulkWriterBase(TDatabase *database) : d_catalogue(database) {}

void TBulkWriterBase::Add_Stored_Name(int kind, const QString &name, int id)
{
  const QByteArray utf8 = name.toUtf8();
  d_catalogue.Add_Name(kind, utf8.constData(), utf8.size(), id);
}

void TBulkWriterBase::Set_Highest_Stored_Make(bool any, int make_id)
{
  d_keeping = true;
  d_highest_stored_make = any ? make_id : INT_MIN;
}

bool TBulkWriterBase::Knows_Make(int make_id) const
{
  return d_keeping && make_id > d_highest_stored_make && !d_estimated.contains(make_id);
}

bool TBulkWriterBase::Is_New_Place(const int ids[], int standard_id) const
{
  if (!Knows_Make(ids[0]))
  {
    return false;
  }
  const auto make = d_kept.constFind(ids[0]);
  return make == d_kept.constEnd() ||
         !make->places.contains({(quint64(quint32(ids[1])) << 32) | quint32(ids[2]), standard_id});
}

void TBulkWriterBase::Keep_Rows(const int ids[], int standard_id, const TRow *rows, int count)
{
  if (!Knows_Make(ids[0]))
  {
    return;
  }
  TKeptMake &make = d_kept[ids[0]];
  const QPair<quint64, int> place((quint64(quint32(ids[1])) << 32) | quint32(ids[2]), standard_id);
  const auto latest = make.places.find(place);
  if (latest != make.places.end())
  {
    make.writes[static_cast<std::size_t>(latest.value())].replaced = true;
  }
  make.places.insert(place, static_cast<int>(make.writes.size()));
  make.writes.push_back(
      TKeptWrite{ids[1], ids[2], standard_id, static_cast<int>(make.rows.size()), count, false});
  for (int index = 0; index < count; ++index)
  {
    make.rows.push_back(TKeptRow{rows[index].component_id, make.texts.size(), rows[index].size});
    make.texts.append(rows[index].text, rows[index].size);
    d_kept_bytes += rows[index].size + KEPT_ROW_BYTES;
  }
  if (d_kept_bytes > MAXIMUM_KEPT_BYTES)
  {
    Let_Kept_Go();
  }
}

void TBulkWriterBase::Let_Kept_Go()
{
  d_keeping = false;
  d_kept.clear();
  d_kept_bytes = 0;
}

bool TBulkWriterBase::Flush()
{
  Let_Kept_Go();
  return Store_Held();
}

TBulkWriterBase::TMakeRead
TBulkWriterBase::Read_Kept(int make_id, const std::function<bool(const TMakeRow &)> &read_row) const
{
  const auto make = d_kept.constFind(make_id);
  if (make == d_kept.constEnd())
  {
    return MAKE_READ_DONE;
  }
  for (const TKeptWrite &write : make->writes)
  {
    for (int index = 0; !write.replaced && index < write.count; ++index)
    {
      const TKeptRow &kept = make->rows[static_cast<std::size_t>(write.first_row + index)];
      const TMakeRow row{
          true,     write.model_id,    write.option_id,   false,
          true,     write.standard_id, kept.component_id, make->texts.constData() + kept.offset,
          kept.size};
      if (!read_row(row))
      {
        return MAKE_READ_ELSEWHERE;
      }
    }
  }
  return MAKE_READ_DONE;
}

void TBulkWriterBase::Plan_Standards()
{
  std::vector<TEstimationPlanner::TStandard> standards;
  for (const TBulkCatalogue::TStandard &standard : d_catalogue.Standards())
  {
    standards.push_back({standard.id, standard.name, {}});
    for (const TBulkCatalogue::TComponent &component : standard.components)
    {
      standards.back().components.push_back({component.id, component.name});
    }
  }
  d_planner = std::make_unique<TEstimationPlanner>(std::move(standards));
}

bool TBulkWriterBase::Store_Plan(const int ids[], const TPlanPipeline::TPlanned &plan)
{
  if (plan.delete_estimated && !Delete_Estimated(ids))
  {
    return false;
  }
  std::vector<TNewRow> rows;
  rows.reserve(plan.rows.size());
  for (const TPlanPipeline::TPlannedRow &row : plan.rows)
  {
    rows.push_back(TNewRow{row.standard_id, row.component_id, plan.texts.constData() + row.offset,
                           row.size, TDatabaseItem::SOURCE_ESTIMATED});
  }
  return Insert(ids, rows.data(), static_cast<int>(rows.size()));
}

TBulkWriterBase::TEstimate TBulkWriterBase::Estimate_Make(int make_id, QStringList *failed)
{
  // Every row of the make in one read, in storage order: its configurations come in the order of
  // their first rows, each with its rows in order. Of a row flagged as the deletion of estimated
  // rows would delete it only that counts, for the planner: it is not read further.
  TPlanPipeline::TMake make;
  QHash<QPair<int, int>, int> positions;
  const auto read_row = [&](const TMakeRow &row)
  {
    if (!row.configuration_read)
    {
      return false;
    }
    const QPair<int, int> key(row.model_id, row.option_id);
    auto position = positions.constFind(key);
    if (position == positions.constEnd())
    {
      if (!d_catalogue.Is_Plain_Name(TConfigurationNames::MODEL, key.first) ||
          !d_catalogue.Is_Plain_Name(TConfigurationNames::OPTION, key.second))
      {
        return false;
      }
      position = positions.insert(key, static_cast<int>(make.configurations.size()));
      make.configurations.push_back(
          TPlanPipeline::TConfiguration{{make_id, key.first, key.second}, {}});
    }
    std::vector<TPlanPipeline::TReadRow> &rows =
        make.configurations[static_cast<std::size_t>(position.value())].rows;
    if (row.estimated)
    {
      rows.push_back({-1, -1, true, 0, 0});
      return true;
    }
    // The rows are read into items where they are planned; a component the catalogue does not
    // list is found here, before anything is planned.
    if (!row.row_read || !d_catalogue.Component_By_Id(row.standard_id, row.component_id))
    {
      return false;
    }
    rows.push_back({row.standard_id, row.component_id, false, make.texts.size(), row.size});
    make.texts.append(row.text, row.size);
    return true;
  };
  // The estimates of a make estimated from its kept rows are not kept: it is read from now on.
  const bool kept = Knows_Make(make_id);
  const TMakeRead read = kept ? Read_Kept(make_id, read_row) : Read_Make(make_id, read_row);
  if (kept)
  {
    d_estimated.insert(make_id);
    d_kept.remove(make_id);
  }
  switch (read)
  {
  case MAKE_READ_FAILED:
    return ESTIMATE_FAILED;
  case MAKE_READ_ELSEWHERE:
    return ESTIMATE_ELSEWHERE;
  case MAKE_READ_DONE:
    break;
  }
  TPlanPipeline plans(&d_catalogue, d_planner.get(), &make);
  for (std::size_t index = 0; index < make.configurations.size(); ++index)
  {
    const TPlanPipeline::TConfiguration &configuration = make.configurations[index];
    if (!Store_Plan(configuration.ids, plans.Take(index)))
    {
      *failed = QStringList{d_catalogue.Name(TConfigurationNames::MODEL, configuration.ids[1]),
                            d_catalogue.Name(TConfigurationNames::OPTION, configuration.ids[2])};
      return ESTIMATE_FAILED;
    }
  }
  return ESTIMATE_DONE;
}
