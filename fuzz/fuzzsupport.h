#ifndef METROVA_FUZZSUPPORT_H
#define METROVA_FUZZSUPPORT_H

// What the exchange fuzz targets share: the process-wide application, a scratch folder and two
// catalogues in memory, and the checks that end a run with a finding.

#include "catalogueexchange.h"
#include "database.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace FuzzSupport
{
// The largest input the exchange targets take, as scripts/fuzz.sh gives libFuzzer: far above its
// 16 KB default, since what grows with the square of a count shows only in large inputs.
constexpr std::size_t MAXIMUM_INPUT = 1024 * 1024;

// Kept to the end of the process: Qt's own globals are gone before static destructors run.
inline QCoreApplication *application = nullptr;
inline QTemporaryDir *directory = nullptr;
// Two catalogues in memory, emptied for every input: a new connection per input costs more
// than the import itself.
inline TDatabase *first_database = nullptr;
inline TDatabase *second_database = nullptr;

[[noreturn]] inline void Fault(const char *what, const QString &detail)
{
  std::fprintf(stderr, "%s: %s\n", what, qPrintable(detail));
  std::abort();
}

inline bool Write(const QString &path, const QByteArray &bytes)
{
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline TDatabase *Open_Catalogue(const QString &name)
{
  TDatabase *database = new TDatabase(name);
  if (!database->Connect(QStringLiteral(":memory:")) || !database->Initialize())
  {
    Fault("cannot create a catalogue", database->Last_Error());
  }
  return database;
}

// The catalogue emptied down to its standards and components, as a new file has them.
inline void Empty(TDatabase *database)
{
  database->Clear();
  bool valid = false;
  if (!database->Makes(&valid).isEmpty() || !valid)
  {
    Fault("cannot empty a catalogue", database->Last_Error());
  }
}

// Every record of every configuration of the catalogue; a read that fails is a finding.
inline QList<TDatabaseItem> All_Records(TDatabase *database, bool manufacturer_only = false)
{
  QList<TDatabaseItem> all;
  bool valid = false;
  const QStringList makes = database->Makes(&valid);
  if (!valid)
  {
    Fault("cannot list makes", database->Last_Error());
  }
  for (const QString &make : makes)
  {
    const auto configurations = database->Configurations(make, &valid);
    if (!valid)
    {
      Fault("cannot list configurations", database->Last_Error());
    }
    for (const auto &configuration : configurations)
    {
      all += database->Read_Configuration(make, configuration.first, configuration.second, &valid,
                                          manufacturer_only);
      if (!valid)
      {
        Fault("cannot read a configuration", database->Last_Error());
      }
    }
  }
  return all;
}

// An export of a catalogue that an import filled must neither fail nor warn.
inline void Export(TCatalogueExchange::TFormat format, TDatabase *database, const QString &path)
{
  const std::unique_ptr<TCatalogueExchange> exchange = TCatalogueExchange::Create(format, database);
  if (!exchange->Export(path))
  {
    Fault("export failed", exchange->Error_Text());
  }
  if (exchange->Has_Warnings())
  {
    Fault("export warned", exchange->Warning_Text());
  }
}

// For LLVMFuzzerInitialize.
inline int Initialize(int *argc, char ***argv)
{
  // The SQLite driver is a plugin, which only an application object loads.
  application = new QCoreApplication(*argc, *argv);
  // In memory where there is such a folder: the export's file is synced to disk on every input.
  directory = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                  ? new QTemporaryDir(QStringLiteral("/dev/shm/metrova_fuzz_XXXXXX"))
                  : new QTemporaryDir;
  first_database = Open_Catalogue(QStringLiteral("fuzz_first"));
  second_database = Open_Catalogue(QStringLiteral("fuzz_second"));
  return directory->isValid() ? 0 : 1;
}
} // namespace FuzzSupport

#endif // METROVA_FUZZSUPPORT_H
