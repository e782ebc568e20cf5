// libFuzzer target for the QIF document reader. Every record the reader gives must be one the
// catalogue can store as it is, but for names too long for a new machine, which the import skips
// with a warning; importing the document into a fresh catalogue must store exactly the other
// records (the last one of a machine wins) and warn of nothing else the reader did not, or, when
// the reader refuses the document or every record was skipped, fail and leave it empty. The
// catalogue's export, imported into another fresh catalogue, must give the same rows and the same
// document.

#include "database.h"
#include "fuzzsupport.h"
#include "qifexchange.h"
#include "qifreader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace FuzzSupport;

namespace
{
// The document without its QPId, which is new on every export.
QByteArray Read_Without_Id(const QString &path)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
  {
    Fault("cannot read an export", path);
  }
  static const QRegularExpression id(QStringLiteral("<QPId>[^<]*</QPId>"));
  return QString::fromUtf8(file.readAll()).remove(id).toUtf8();
}

QString Key(const TDatabaseItem &record)
{
  // A tab: no cleaned name holds one.
  return QStringList{record.Make(), record.Model(), record.Option(), record.Standard()}.join(
      QLatin1Char('\t'));
}

// A record's items as "name=text/source", in name order: the catalogue reads them back in its
// own order.
QString Items(const TDatabaseItem &record)
{
  QStringList items;
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
  {
    const TSpecificationItem item = record.Specification_Item(index);
    items.append(QStringLiteral("%1=%2/%3")
                     .arg(item.name, item.expression.Expression_Text(TExpressionItem::UNITS_MM),
                          QString::number(item.source)));
  }
  items.sort();
  return items.join(QLatin1Char(' '));
}

// Every record of the catalogue that holds a row, by make, model, option and standard.
QMap<QString, QString> Rows(TDatabase *database, bool manufacturer_only)
{
  QMap<QString, QString> rows;
  for (const TDatabaseItem &record : All_Records(database, manufacturer_only))
  {
    if (record.Specification_Item_Count() > 0)
    {
      rows.insert(Key(record), Items(record));
    }
  }
  return rows;
}

// Two sets of rows, for a fault's message.
QString Difference(const QMap<QString, QString> &expected, const QMap<QString, QString> &found)
{
  QString text;
  for (const auto *rows : {&expected, &found})
  {
    text += rows == &expected ? QStringLiteral("\nexpected:") : QStringLiteral("\nfound:");
    for (auto row = rows->cbegin(); row != rows->cend(); ++row)
    {
      text += QStringLiteral("\n  %1: %2").arg(row.key(), row.value());
    }
  }
  return text;
}

// A record of the reader must go into the catalogue as it is: clean names, known items, values
// whose stored text reads back.
void Check_Record(const TDatabaseItem &record)
{
  for (const QString &name : {record.Make(), record.Model(), record.Option()})
  {
    if (name.isEmpty() || TDatabaseItem::Cleaned_Name(name) != name)
    {
      Fault("the reader gave a name the catalogue would change", Key(record));
    }
  }
  if ((record.Standard() != QLatin1String("10360") &&
       record.Standard() != QLatin1String("B89.4.1")) ||
      record.Specification_Item_Count() == 0)
  {
    Fault("the reader gave a record of no 10360 or B89.4.1 rows", Key(record));
  }
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
  {
    const TSpecificationItem item = record.Specification_Item(index);
    if (item.name.isEmpty() ||
        item.expression.Expression_Type() == TExpressionItem::EXPRESSION_UNDEFINED ||
        !item.expression.Is_Storable() || item.source != TDatabaseItem::SOURCE_MANUFACTURER)
    {
      Fault("the reader gave a value the catalogue cannot store",
            Key(record) + QLatin1Char(' ') + Items(record));
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
  const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
  const QString input = directory->filePath(QStringLiteral("input.qif"));
  const QString first = directory->filePath(QStringLiteral("first.qif"));
  const QString second = directory->filePath(QStringLiteral("second.qif"));
  if (!Write(input, bytes))
  {
    Fault("cannot write the input", input);
  }

  TQifReader reader;
  const bool read = reader.Read(bytes);
  if (read == !reader.Error_Text().isEmpty() ||
      reader.Records().size() != reader.Record_Places().size() ||
      (!read && (!reader.Records().isEmpty() || !reader.Warnings().Text().isEmpty())))
  {
    Fault("the reader's result contradicts itself", reader.Error_Text());
  }
  // The reader's records as the import must store them: a later device of the same machine
  // replaces the earlier one's length error and range.
  QMap<QString, QString> expected;
  // QIF carries a machine's 10360 rows only: a B89.4.1 Repeat stays behind in the export.
  bool only_10360 = true;
  int too_long = 0;
  for (const TDatabaseItem &record : reader.Records())
  {
    Check_Record(record);
    if (!TDatabaseItem::Name_Length_Problem(QString(), record.Make()).isEmpty() ||
        !TDatabaseItem::Name_Length_Problem(QString(), record.Model()).isEmpty() ||
        !TDatabaseItem::Name_Length_Problem(QString(), record.Option()).isEmpty())
    {
      ++too_long;
      continue;
    }
    expected.insert(Key(record), Items(record));
    only_10360 = only_10360 && record.Standard() == QLatin1String("10360");
  }
  // Nothing left to store of a document that had something (devices the reader skipped, records
  // the import skips for their names): the import refuses it as a whole.
  const bool all_skipped =
      read && too_long == reader.Records().size() && too_long + reader.Skipped_Count() > 0;

  TDatabase *database = first_database;
  Empty(database);
  {
    TQifExchange exchange(database);
    const bool imported = exchange.Import(input);
    if (imported != (read && !all_skipped))
    {
      Fault("the import and the reader disagree", exchange.Error_Text());
    }
    if (!imported && !all_skipped && exchange.Error_Text() != reader.Error_Text())
    {
      Fault("the import's error is not the reader's", exchange.Error_Text());
    }
    if (all_skipped && !exchange.Error_Text().contains(QStringLiteral("nothing was imported")))
    {
      Fault("an import that skipped every record did not say so", exchange.Error_Text());
    }
    // Each record skipped for its names adds its warning to the reader's.
    if (imported && (too_long == 0 ? exchange.Warning_Text() != reader.Warnings().Text()
                                   : !exchange.Warning_Text().contains(
                                         QStringLiteral("a new name may have at most"))))
    {
      Fault("the import skipped what the reader gave", exchange.Warning_Text());
    }
  }
  const QMap<QString, QString> stored = Rows(database, true);
  if (stored != expected)
  {
    Fault("the catalogue does not hold the reader's records", Difference(expected, stored));
  }
  if (!read || all_skipped)
  {
    bool valid = false;
    if (!database->Makes(&valid).isEmpty() || !valid)
    {
      Fault("a refused document left names in the catalogue", database->Last_Error());
    }
    return 0;
  }
  Export(TCatalogueExchange::FORMAT_QIF, database, first);

  TDatabase *copy = second_database;
  Empty(copy);
  {
    TQifExchange exchange(copy);
    // An implausible rate is said again on every import of it.
    static const QRegularExpression rate(QStringLiteral("rates are usually under 30 [^\n]*$"));
    const bool imported = exchange.Import(first);
    const QStringList warnings =
        exchange.Warning_Text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!imported || (only_10360 && warnings.size() != warnings.filter(rate).size()))
    {
      Fault("the export does not import cleanly", exchange.Error_Text() + exchange.Warning_Text());
    }
  }
  if (!only_10360)
  {
    static const QRegularExpression iso(QStringLiteral("\t10360$"));
    QMap<QString, QString> carried = Rows(database, true);
    QMap<QString, QString> copied = Rows(copy, true);
    for (QMap<QString, QString> *rows : {&carried, &copied})
    {
      for (auto row = rows->begin(); row != rows->end();)
      {
        row = iso.match(row.key()).hasMatch() ? row + 1 : rows->erase(row);
      }
    }
    if (copied != carried)
    {
      Fault("export and import changed the 10360 rows", Difference(carried, copied));
    }
    return 0;
  }
  const QMap<QString, QString> rows = Rows(database, false);
  const QMap<QString, QString> copied = Rows(copy, false);
  if (copied != rows)
  {
    Fault("export and import changed the rows", Difference(rows, copied));
  }
  Export(TCatalogueExchange::FORMAT_QIF, copy, second);
  if (Read_Without_Id(first) != Read_Without_Id(second))
  {
    Fault("export, import, export changed the document", QString::fromUtf8(Read_Without_Id(first)));
  }
  return 0;
}
