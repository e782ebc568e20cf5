#include "cataloguereader.h"

#include "database.h"
#include "exchangefile.h"

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
  if (!database->Begin_Read_Transaction())
  {
    *error = database->Last_Error();
    return false;
  }
  const TReadTransactionEnd end_read(database);

  bool valid = true;
  QStringList makes = export_makes.isEmpty() ? database->Makes(&valid) : export_makes;
  makes.sort(Qt::CaseSensitive);
  if (progress)
  {
    progress->Progress_Text(QStringLiteral("Exporting from database.  Please wait..."));
  }
  if (!valid)
  {
    *error = QStringLiteral("Cannot read the list of makes from the database.");
    return false;
  }

  const int make_count = makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = makes.at(make_index);
    const QList<QPair<QString, QString>> configurations = database->Configurations(make, &valid);
    if (!valid)
    {
      *error = database->Last_Error();
      return false;
    }
    for (const QPair<QString, QString> &configuration : configurations)
    {
      const QList<TDatabaseItem> records = database->Read_Configuration(
          make, configuration.first, configuration.second, &valid, manufacturer_only);
      if (!valid)
      {
        *error = database->Last_Error();
        return false;
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
