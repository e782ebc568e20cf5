#include "bulkreaderbase.h"

#include "configurationnames.h"

#include <QHash>
#include <QPair>

TBulkReaderBase::TBulkReaderBase(TDatabase *database) : d_catalogue(database) {}

TBulkReaderBase::TRead TBulkReaderBase::Read_Make(const QString &make, bool manufacturer_only,
                                                  std::vector<TConfiguration> *configurations)
{
  configurations->clear();
  if (!TBulkCatalogue::Is_Plain(make))
  {
    return READ_ELSEWHERE;
  }
  // A make that is not there has no rows.
  const int make_id = d_catalogue.Name_Id(TConfigurationNames::MAKE, make);
  if (make_id < 0)
  {
    return READ_DONE;
  }

  // Every row of the make in storage order: its configurations come in the order of their first
  // rows (estimated rows too), each with its rows in order.
  std::vector<TSpecificationEstimation::TStoredRows> rows;
  QHash<QPair<int, int>, int> positions;
  const auto read_row = [&](const TMakeRow &row)
  {
    if (!row.ids_read)
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
      position = positions.insert(key, static_cast<int>(rows.size()));
      configurations->push_back({d_catalogue.Name(TConfigurationNames::MODEL, key.first),
                                 d_catalogue.Name(TConfigurationNames::OPTION, key.second),
                                 {}});
      rows.emplace_back();
    }
    if (manufacturer_only && row.source != TDatabaseItem::SOURCE_MANUFACTURER)
    {
      return true;
    }
    TSpecificationEstimation::TStoredRows &stored =
        rows[static_cast<std::size_t>(position.value())];
    if (!row.row_read ||
        !d_catalogue.Read_Row(row.standard_id, row.component_id, row.text, row.size, &stored))
    {
      return false;
    }
    stored.back().item.source = row.source;
    return true;
  };
  switch (Read_Rows(make_id, read_row))
  {
  case ROWS_READ_FAILED:
    configurations->clear();
    return READ_FAILED;
  case ROWS_READ_ELSEWHERE:
    configurations->clear();
    return READ_ELSEWHERE;
  case ROWS_READ_DONE:
    break;
  }

  for (std::size_t index = 0; index < configurations->size(); ++index)
  {
    TConfiguration &configuration = (*configurations)[index];
    for (const TBulkCatalogue::TStandard &standard : d_catalogue.Standards())
    {
      TDatabaseItem record;
      for (const TSpecificationEstimation::TStoredRow &row : rows[index])
      {
        if (row.standard_id != standard.id)
        {
          continue;
        }
        if (record.Specification_Item_Count() == 0)
        {
          record.Set_Make(make);
          record.Set_Model(configuration.model);
          record.Set_Option(configuration.option);
          record.Set_Standard(standard.name);
        }
        record.Add_Specification_Item(row.item);
      }
      configuration.records.append(record);
    }
  }
  return READ_DONE;
}
