#include "bulkwriterbase.h"

#include "configurationnames.h"
#include "databaseitem.h"

#include <QHash>
#include <QPair>

#include <vector>

TBulkWriterBase::TBulkWriterBase(TDatabase *database) : d_catalogue(database) {}

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

bool TBulkWriterBase::Store_Plan(const int ids[], const TEstimationPlanner::TPlan &plan)
{
  if (plan.delete_estimated && !Delete_Estimated(ids))
  {
    return false;
  }
  std::vector<QByteArray> texts;
  texts.reserve(plan.inserts.size());
  std::vector<TNewRow> rows;
  for (const TSpecificationEstimation::TNewRow &row : plan.inserts)
  {
    texts.push_back(row.text.toUtf8());
    rows.push_back(TNewRow{row.standard_id, row.component_id, texts.back().constData(),
                           texts.back().size(), TDatabaseItem::SOURCE_ESTIMATED});
  }
  return Insert(ids, rows.data(), static_cast<int>(rows.size()));
}

TBulkWriterBase::TEstimate TBulkWriterBase::Estimate_Make(int make_id, QStringList *failed)
{
  // Every row of the make in one read, in storage order: its configurations come in the order of
  // their first rows, each with its rows in order. Of a row flagged as the deletion of estimated
  // rows would delete it only that counts, for the planner: it is not read further.
  struct TConfiguration
  {
    int ids[3];
    TSpecificationEstimation::TStoredRows rows;
  };
  std::vector<TConfiguration> configurations;
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
      position = positions.insert(key, static_cast<int>(configurations.size()));
      configurations.push_back(TConfiguration{{make_id, key.first, key.second}, {}});
    }
    TConfiguration &configuration = configurations[static_cast<std::size_t>(position.value())];
    if (row.estimated)
    {
      configuration.rows.push_back({-1, -1, {}});
      configuration.rows.back().item.source = TDatabaseItem::SOURCE_ESTIMATED;
      return true;
    }
    return row.row_read && d_catalogue.Read_Row(row.standard_id, row.component_id, row.text,
                                                row.size, &configuration.rows);
  };
  switch (Read_Make(make_id, read_row))
  {
  case MAKE_READ_FAILED:
    return ESTIMATE_FAILED;
  case MAKE_READ_ELSEWHERE:
    return ESTIMATE_ELSEWHERE;
  case MAKE_READ_DONE:
    break;
  }
  for (TConfiguration &configuration : configurations)
  {
    if (!Store_Plan(configuration.ids, d_planner->Plan(std::move(configuration.rows))))
    {
      *failed = QStringList{d_catalogue.Name(TConfigurationNames::MODEL, configuration.ids[1]),
                            d_catalogue.Name(TConfigurationNames::OPTION, configuration.ids[2])};
      return ESTIMATE_FAILED;
    }
  }
  return ESTIMATE_DONE;
}
