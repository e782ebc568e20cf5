// libFuzzer target for the exchange file reader: a file is imported into a fresh catalogue,
// which must then hold no value that does not read back; its export, imported into another
// fresh catalogue and exported again, must give the same file, without a warning on the way.

#include "database.h"
#include "exchangefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{
// Kept to the end of the process: Qt's own globals are gone before static destructors run.
QCoreApplication *application = nullptr;
QTemporaryDir *directory = nullptr;
// Two catalogues in memory, emptied for every input: a new connection per input costs more
// than the import itself.
TDatabase *first_database = nullptr;
TDatabase *second_database = nullptr;

[[noreturn]] void Fault(const char *what, const QString &detail)
{
  std::fprintf(stderr, "%s: %s\n", what, qPrintable(detail));
  std::abort();
}

bool Write(const QString &path, const QByteArray &bytes)
{
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Read(const QString &path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TDatabase *Open_Catalogue(const QString &name)
{
  TDatabase *database = new TDatabase(name);
  if (!database->Connect(QStringLiteral(":memory:")) || !database->Initialize())
  {
    Fault("cannot create a catalogue", database->Last_Error());
  }
  return database;
}

// The catalogue emptied down to its standards and components, as a new file has them.
void Empty(TDatabase *database)
{
  database->Clear();
  bool valid = false;
  if (!database->Makes(&valid).isEmpty() || !valid)
  {
    Fault("cannot empty a catalogue", database->Last_Error());
  }
}

// Every stored row of every machine must read back as an expression.
void Check_Rows(TDatabase *database)
{
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
      const QList<TDatabaseItem> records =
          database->Read_Configuration(make, configuration.first, configuration.second, &valid);
      if (!valid)
      {
        Fault("cannot read a configuration", database->Last_Error());
      }
      for (const TDatabaseItem &record : records)
      {
        for (int index = 0; index < record.Specification_Item_Count(); ++index)
        {
          const TSpecificationItem item = record.Specification_Item(index);
          const int kind = item.expression.Expression_Type();
          if (kind == TExpressionItem::EXPRESSION_UNDEFINED || item.name.isEmpty() ||
              (item.source == TDatabaseItem::SOURCE_MANUFACTURER &&
               (item.expression_types & kind) == 0))
          {
            Fault("a stored row does not read back",
                  QStringLiteral("%1 %2 %3").arg(make, record.Standard(), item.name));
          }
        }
      }
    }
  }
}

void Export(TDatabase *database, const QString &path)
{
  TExchangeFile exchange(database);
  if (!exchange.Export(path))
  {
    Fault("export failed", exchange.Error_Text());
  }
  if (exchange.Has_Warnings())
  {
    Fault("export warned", exchange.Warning_Text());
  }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  if (size > 64 * 1024)
  {
    return 0;
  }
  const QString input = directory->filePath(QStringLiteral("input.csv"));
  const QString first = directory->filePath(QStringLiteral("first.csv"));
  const QString second = directory->filePath(QStringLiteral("second.csv"));
  if (!Write(input, QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(size))))
  {
    Fault("cannot write the input", input);
  }

  TDatabase *database = first_database;
  Empty(database);
  {
    TExchangeFile exchange(database);
    if (!exchange.Import(input) &&
        exchange.Error_Text() !=
            QStringLiteral("Imported CSV file does not start with the proper header line."))
    {
      Fault("import failed", exchange.Error_Text());
    }
  }
  Check_Rows(database);
  Export(database, first);

  TDatabase *copy = second_database;
  Empty(copy);
  {
    TExchangeFile exchange(copy);
    if (!exchange.Import(first) || exchange.Has_Warnings())
    {
      Fault("the export does not import cleanly", exchange.Error_Text() + exchange.Warning_Text());
    }
  }
  Export(copy, second);
  if (Read(first) != Read(second))
  {
    Fault("export, import, export changed the file", QString::fromLatin1(Read(first).toHex()));
  }
  return 0;
}
