// libFuzzer target for the exchange file reader: a file is imported into a fresh catalogue,
// which must then hold no value that does not read back; its export, imported into another
// fresh catalogue and exported again, must give the same file, without a warning on the way.

#include "database.h"
#include "exchangefile.h"
#include "fuzzsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace FuzzSupport;

namespace
{
QByteArray Read(const QString &path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every stored row of every machine must read back as an expression.
void Check_Rows(TDatabase *database)
{
  for (const TDatabaseItem &record : All_Records(database))
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
              QStringLiteral("%1 %2 %3").arg(record.Make(), record.Standard(), item.name));
      }
    }
  }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
  return Initialize(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  if (size > MAXIMUM_INPUT)
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
    // A file without the header, or one whose every record is skipped, is refused as a whole;
    // such a refusal must leave the catalogue empty.
    if (!exchange.Import(input))
    {
      const QString error = exchange.Error_Text();
      if (error !=
              QStringLiteral("Imported CSV file does not start with the proper header line.") &&
          !error.contains(QStringLiteral("nothing was imported")))
      {
        Fault("import failed", error);
      }
      if (!All_Records(database).isEmpty())
      {
        Fault("a refused import left rows behind", error);
      }
    }
  }
  Check_Rows(database);
  Export(TCatalogueExchange::FORMAT_CSV, database, first);

  TDatabase *copy = second_database;
  Empty(copy);
  {
    TExchangeFile exchange(copy);
    if (!exchange.Import(first) || exchange.Has_Warnings())
    {
      Fault("the export does not import cleanly", exchange.Error_Text() + exchange.Warning_Text());
    }
  }
  Export(TCatalogueExchange::FORMAT_CSV, copy, second);
  if (Read(first) != Read(second))
  {
    Fault("export, import, export changed the file", QString::fromLatin1(Read(first).toHex()));
  }
  return 0;
}
