#include "sqlitebulkreader.h"

#include "configurationnames.h"
#include "sqlitebulkcatalogue.h"

#include <QHash>
#include <QPair>

TSqliteBulkReader::TSqliteBulkReader(TDatabase *database, sqlite3 *handle)
    : d_handle(handle), d_catalogue(database)
{
}

bool TSqliteBulkReader::Begin()
{
  if (!d_read_make.Prepare(d_handle,
                           QStringLiteral("SELECT model_id,option_id,standard_id,component_id,"
                                          "expression,source FROM specification WHERE make_id=? "
                                          "ORDER BY rowid")))
  {
    d_error = d_read_make.Error();
    return false;
  }
  if (!TSqliteBulkCatalogue::Read(&d_catalogue, d_handle, &d_error))
  {
    return false;
  }
  return true;
}

TSqliteBulkReader::TRead TSqliteBulkReader::Read_Make(const QString &make, bool manufacturer_only,
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
  d_read_make.Bind(1, make_id);
  TSqliteStatement::TStep step;
  const auto elsewhere = [this]()
  {
    d_read_make.Reset();
    return READ_ELSEWHERE;
  };
  while ((step = d_read_make.Step()) == TSqliteStatement::STEP_ROW)
  {
    if (!d_read_make.Is_Integer(0) || !d_read_make.Is_Integer(1) || !d_read_make.Is_Integer(5))
    {
      return elsewhere();
    }
    const QPair<int, int> key(d_read_make.Integer(0), d_read_make.Integer(1));
    auto position = positions.constFind(key);
    if (position == positions.constEnd())
    {
      if (!d_catalogue.Is_Plain_Name(TConfigurationNames::MODEL, key.first) ||
          !d_catalogue.Is_Plain_Name(TConfigurationNames::OPTION, key.second))
      {
        return elsewhere();
      }
      position = positions.insert(key, static_cast<int>(rows.size()));
      configurations->push_back({d_catalogue.Name(TConfigurationNames::MODEL, key.first),
                                 d_catalogue.Name(TConfigurationNames::OPTION, key.second),
                                 {}});
      rows.emplace_back();
    }
    const int source = d_read_make.Integer(5);
    if (manufacturer_only && source != TDatabaseItem::SOURCE_MANUFACTURER)
    {
      continue;
    }
    TSpecificationEstimation::TStoredRows &stored =
        rows[static_cast<std::size_t>(position.value())];
    if (!TSqliteBulkCatalogue::Read_Row(d_catalogue, d_read_make, 2, &stored))
    {
      return elsewhere();
    }
    stored.back().item.source = source;
  }
  if (step == TSqliteStatement::STEP_FAILED)
  {
    d_error = d_read_make.Error();
    return READ_FAILED;
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
