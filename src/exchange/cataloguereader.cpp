#include "cataloguereader.h"

#include "bulkspecificationreader.h"
#include "database.h"
#include "exchangefile.h"
#include "transaction.h"

#include <QHash>

#include <algorithm>

bool TCatalogueReader::Read_Make(TDatabase *database, const QString &make, bool manufacturer_only,
                                 int standard_count,
                                 std::vector<TBulkSpecificationReader::TConfiguration> *read)
{
  bool valid = false;
  const QList<QPair<QString, QString>> configurations = database->Configurations(make, &valid);
  if (!valid)
  {
    return false;
  }
  read->clear();
  for (const auto &configuration : configurations)
  {
    const QList<TDatabaseItem> records = database->Read_Configuration(
        make, configuration.first, configuration.second, &valid, manufacturer_only);
    if (!valid || records.size() != standard_count)
    {
      return false;
    }
    read->push_back({configuration.first, configuration.second, records});
  }
  return true;
}

bool TCatalogueReader::Read(TDatabase *database, const QStringList &export_makes,
                            bool manufacturer_only, TExchangeProgress *progress,
                            const TVisit &visit, QString *error)
{
  // A read that fails is the database's failure: a file without that part would pass for a
  // complete export.
  const auto failure = [database, error]()
  {
    *error = database->Last_Error();
    return false;
  };
  TReadTransaction read(database);
  if (!read.Begin())
  {
    return failure();
  }

  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    return failure();
  }
  valid = true;
  QStringList makes = export_makes.isEmpty() ? database->Makes(&valid) : export_makes;
  makes.sort(Qt::CaseSensitive);
  if (progress)
  {
    progress->Progress_Text(QStringLiteral("Exporting from database.  Please wait..."));
  }
  if (!valid)
  {
    return failure();
  }

  // Whole makes are read at once where the bulk reader can; others configuration by
  // configuration.
  const std::unique_ptr<TBulkSpecificationReader> bulk = database->Bulk_Reader();
  const bool bulk_reads = bulk != nullptr;
  if (bulk && !bulk->Begin())
  {
    *error = bulk->Error();
    return false;
  }
  std::vector<TBulkSpecificationReader::TConfiguration> configurations;
  const int make_count = makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = makes.at(make_index);
    const TBulkSpecificationReader::TRead read =
        bulk_reads ? bulk->Read_Make(make, manufacturer_only, &configurations)
                   : TBulkSpecificationReader::READ_ELSEWHERE;
    if (read == TBulkSpecificationReader::READ_FAILED)
    {
      *error = bulk->Error();
      return false;
    }
    if (read == TBulkSpecificationReader::READ_ELSEWHERE &&
        !Read_Make(database, make, manufacturer_only, standards.size(), &configurations))
    {
      return failure();
    }
    // Model by model, each model and option in the order of its first row.
    QHash<QString, int> model_order;
    for (const auto &configuration : configurations)
    {
      model_order.insert(configuration.model,
                         model_order.value(configuration.model, model_order.size()));
    }
    std::stable_sort(configurations.begin(), configurations.end(),
                     [&model_order](const TBulkSpecificationReader::TConfiguration &first,
                                    const TBulkSpecificationReader::TConfiguration &second)
                     { return model_order.value(first.model) < model_order.value(second.model); });

    for (const auto &configuration : configurations)
    {
      visit(make, configuration.model, configuration.option, configuration.records);
    }
    if (progress)
    {
      progress->Progress(make_index + 1, make_count);
    }
  }
  return true;
}
