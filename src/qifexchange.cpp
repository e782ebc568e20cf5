#include "qifexchange.h"

#include "cataloguereader.h"
#include "qifwriter.h"
#include "safefile.h"

TQifExchange::TQifExchange(TDatabase *database, TExchangeProgress *progress)
    : d_database(database), d_progress(progress)
{
}

bool TQifExchange::Fail(const QString &text)
{
  d_error_text = text;
  return false;
}

bool TQifExchange::Export(const QString &file_name, const QStringList &makes)
{
  d_warnings.Clear();
  TSafeFile file(file_name);
  if (!file.Open())
  {
    return Fail(file.Error_Text());
  }
  TQifWriter writer;
  QString error;
  // Estimated items are read too: a machine's E0 may be Metrova's estimate.
  if (!TCatalogueReader::Read(
          d_database, makes, false, d_progress,
          [&writer](const QString &make, const QString &model, const QString &option,
                    const QList<TDatabaseItem> &records)
          { writer.Add_Machine(make, model, option, records); },
          &error))
  {
    return Fail(error);
  }
  d_warnings = writer.Warnings();
  if (!file.Commit(writer.Document()))
  {
    return Fail(file.Error_Text());
  }
  return true;
}
