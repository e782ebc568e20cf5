#include "sqlitebulkcatalogue.h"

#include "bulkcatalogue.h"
#include "sqlitestatement.h"

bool TSqliteBulkCatalogue::Read(TBulkCatalogue *catalogue, sqlite3 *handle, QString *error)
{
  for (int kind = 0; kind < 3; ++kind)
  {
    TSqliteStatement read;
    if (!read.Prepare(handle, QStringLiteral("SELECT %1,name FROM %2 ORDER BY %1")
                                  .arg(QLatin1String(TBulkCatalogue::Id_Column(kind)),
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
