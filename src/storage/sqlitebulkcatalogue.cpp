#include "sqlitebulkcatalogue.h"

#include "bulkcatalogue.h"
#include "sqlitestatement.h"

namespace
{
const char *const NAME_IDS[] = {"make_id", "model_id", "option_id"};
} // namespace

bool TSqliteBulkCatalogue::Read(TBulkCatalogue *catalogue, sqlite3 *handle, QString *error)
{
  for (int kind = 0; kind < 3; ++kind)
  {
    TSqliteStatement read;
    if (!read.Prepare(handle, QStringLiteral("SELECT %1,name FROM %2 ORDER BY %1")
                                  .arg(QLatin1String(NAME_IDS[kind]),
                                       QLatin1String(TBulkCatalogue::Name_Table(kind)))))
    {
      *error = read.Error();
      return false;
    }
    TSqliteStatement::TStep step;
    while ((step = read.Step()) == TSqliteStatement::STEP_ROW)
    {
      // A look-up by name compares texts and takes the first row.
      if (read.Is_Integer(0) && read.Is_Text(1))
      {
        int size = 0;
        const char *name = read.Text(1, &size);
        catalogue->Add_Name(kind, name, size, read.Integer(0));
      }
    }
    if (step == TSqliteStatement::STEP_FAILED)
    {
      *error = read.Error();
      return false;
    }
  }
  if (!catalogue->Read_Standards())
  {
    *error = catalogue->Error();
    return false;
  }
  return true;
}

bool TSqliteBulkCatalogue::Read_Row(const TBulkCatalogue &catalogue,
                                    const TSqliteStatement &statement, int column,
                                    TSpecificationEstimation::TStoredRows *rows)
{
  if (!statement.Is_Integer(column) || !statement.Is_Integer(column + 1) ||
      !statement.Is_Text(column + 2))
  {
    return false;
  }
  int size = 0;
  const char *text = statement.Text(column + 2, &size);
  return catalogue.Read_Row(statement.Integer(column), statement.Integer(column + 1), text, size,
                            rows);
}
