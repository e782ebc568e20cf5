#include "cataloguereader.h"

#include "database.h"
#include "exchangefile.h"

#include <QHash>

#include <algorithm>

namespace
{
// Ends the read transaction however the read ends.
class TReadTransactionEnd
{
public:
  explicit TReadTransactionEnd(TDatabase *database) : d_database(database) {}
  ~TReadTransactionEnd() { d_database->End_Read_Transaction(); }
  TReadTransactionEnd(const TReadTransactionEnd &) = delete;
  TReadTransactionEnd &operator=(const TReadTransactionEnd &) = delete;

private:
  TDatabase *d_database;
};
} // namespace

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
  if (!database->Begin_Read_Transaction())
  {
    return failure();
  }
  const TReadTransactionEnd end_read(database);

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

  const int make_count = makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = makes.at(make_index);
    QList<QPair<QString, QString>> configurations = database->Configurations(make, &valid);
    if (!valid)
    {
      return failure();
    }
    // Model by model, each model and option in the order of its first row.
    QHash<QString, int> model_order;
    for (const auto &configuration : qAsConst(configurations))
    {
      model_order.insert(configuration.first,
                         model_order.value(configuration.first, model_order.size()));
    }
    std::stable_sort(
        configurations.begin(), configurations.end(),
        [&model_order](const QPair<QString, QString> &first, const QPair<QString, QString> &second)
        { return model_order.value(first.first) < model_order.value(second.first); });

    for (const auto &configuration : qAsConst(configurations))
    {
      const QList<TDatabaseItem> records = database->Read_Configuration(
          make, configuration.first, configuration.second, &valid, manufacturer_only);
      if (!valid || records.size() != standards.size())
      {
        return failure();
      }
      visit(make, configuration.first, configuration.second, records);
    }
    if (progress)
    {
      progress->Progress(make_index + 1, make_count);
    }
  }
  return true;
}
