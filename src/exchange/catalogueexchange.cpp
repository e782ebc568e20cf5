#include "catalogueexchange.h"

#include "exchangefile.h"
#include "qifexchange.h"

#include <QFileInfo>

TCatalogueExchange::TCatalogueExchange(TDatabase *database, TExchangeProgress *progress)
    : d_database(database), d_progress(progress)
{
}

std::unique_ptr<TCatalogueExchange> TCatalogueExchange::Create(TFormat format, TDatabase *database,
                                                               TExchangeProgress *progress)
{
  if (format == FORMAT_QIF)
  {
    return std::make_unique<TQifExchange>(database, progress);
  }
  return std::make_unique<TExchangeFile>(database, progress);
}

TCatalogueExchange::TFormat TCatalogueExchange::Format_Of(const QString &file_name,
                                                          TFormat fallback)
{
  const QString suffix = QFileInfo(file_name).suffix();
  if (suffix.compare(QLatin1String("qif"), Qt::CaseInsensitive) == 0)
  {
    return FORMAT_QIF;
  }
  if (suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
  {
    return FORMAT_CSV;
  }
  return fallback;
}

bool TCatalogueExchange::Fail(const QString &text)
{
  d_error_text = text;
  return false;
}

void TCatalogueExchange::Report_Progress(int value, int maximum)
{
  if (d_progress)
  {
    d_progress->Progress(value, maximum);
  }
}
