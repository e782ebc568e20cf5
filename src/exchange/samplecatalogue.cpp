#include "samplecatalogue.h"

#include "database.h"
#include "exchangefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool TSampleCatalogue::Create(const QString &exchange_file, const QString &file_name,
                              QString *reason)
{
  if (QFile::exists(file_name))
  {
    return true;
  }
  const QString folder = QFileInfo(file_name).absolutePath();
  const QString partial_name = file_name + QStringLiteral(".part");
  if (!QDir().mkpath(folder) || (QFile::exists(partial_name) && !QFile::remove(partial_name)))
  {
    *reason = QStringLiteral("Cannot write in the folder '%1'.").arg(folder);
    return false;
  }
  {
    TDatabase database(QStringLiteral("metrova_sample"));
    if (!database.Connect(partial_name) || !database.Initialize())
    {
      *reason = database.Last_Error();
    }
    else
    {
      TExchangeFile sample(&database);
      if (!sample.Import(exchange_file))
      {
        *reason = sample.Error_Text();
      }
    }
  }
  if (reason->isEmpty() && !QFile::rename(partial_name, file_name))
  {
    *reason = QStringLiteral("Cannot rename '%1' to '%2'.").arg(partial_name, file_name);
  }
  if (!reason->isEmpty())
  {
    QFile::remove(partial_name);
    return false;
  }
  return true;
}
