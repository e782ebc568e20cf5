#include "qifexchange.h"

#include "catalogueimport.h"
#include "cataloguereader.h"
#include "database.h"
#include "exchangefile.h"
#include "qifreader.h"
#include "qifwriter.h"
#include "safefile.h"

#include <QFile>
#include <QSet>

namespace
{
const QString ISO_10360 = QStringLiteral("10360");
constexpr int READ_BLOCK_SIZE = 64 * 1024;
} // namespace

TQifExchange::TQifExchange(TDatabase *database, TExchangeProgress *progress)
    : TCatalogueExchange(database, progress)
{
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
    return Fail(QStringLiteral("Cannot export to '%1': %2").arg(file_name, error));
  }
  d_warnings = writer.Warnings();
  if (!file.Commit(writer.Document()))
  {
    return Fail(file.Error_Text());
  }
  return true;
}

bool TQifExchange::Import(const QString &file_name)
{
  d_warnings.Clear();
  QFile file(file_name);
  if (!file.open(QIODevice::ReadOnly))
  {
    return Fail(
        QStringLiteral("Cannot open file '%1' for reading: %2").arg(file_name, file.errorString()));
  }
  // Read in blocks: a buffer of the largest size a document may have would be taken for every
  // import, however small the file. One byte more than that size is enough to refuse a larger one.
  QByteArray bytes;
  while (bytes.size() <= TQifReader::MAXIMUM_DOCUMENT_SIZE)
  {
    const QByteArray block =
        file.read(qMin(READ_BLOCK_SIZE, TQifReader::MAXIMUM_DOCUMENT_SIZE + 1 - bytes.size()));
    if (block.isEmpty())
    {
      break;
    }
    bytes += block;
  }
  if (file.error() != QFileDevice::NoError)
  {
    return Fail(QStringLiteral("Cannot read file '%1': %2").arg(file_name, file.errorString()));
  }
  file.close();
  TQifReader reader;
  if (!reader.Read(bytes))
  {
    return Fail(reader.Error_Text());
  }
  d_warnings = reader.Warnings();

  TCatalogueImport import(d_database, file_name, d_progress);
  if (!import.Begin())
  {
    return Fail(import.Error_Text());
  }
  import.Skip(reader.Skipped_Count());
  const QList<TDatabaseItem> records = reader.Records();
  const QStringList places = reader.Record_Places();
  for (int index = 0; index < records.size(); ++index)
  {
    const TDatabaseItem &record = records.at(index);
    const QString &place = places.at(index);
    QStringList problems;
    QSet<QString> given;
    if (!import.Has_Standard(record.Standard()))
    {
      problems.append(
          QStringLiteral("Standard type %1 does not exist").arg(TWarningList::Quoted(ISO_10360)));
    }
    for (int item = 0; problems.isEmpty() && item < record.Specification_Item_Count(); ++item)
    {
      const TSpecificationItem specification = record.Specification_Item(item);
      given.insert(specification.name);
      const QString problem =
          import.Item_Problem(record.Standard(), specification,
                              specification.expression.Expression_Text(TExpressionItem::UNITS_MM));
      if (!problem.isEmpty())
      {
        problems.append(problem);
      }
    }
    if (problems.isEmpty())
    {
      bool failed = false;
      const QString problem =
          import.Name_Problem(record.Make(), record.Model(), record.Option(), &failed);
      if (failed)
      {
        return Fail(import.Error_Text());
      }
      if (!problem.isEmpty())
      {
        problems.append(problem);
      }
    }
    if (!problems.isEmpty())
    {
      d_warnings.Add(
          QStringLiteral("%1 skipped: %2").arg(place, problems.join(QStringLiteral("; "))));
      import.Skip();
      continue;
    }

    // The document speaks of the length error, its range and the repeatability only: the
    // machine's other rows of the standard stay, and so do those of these that it does not
    // state, with a note; the estimated ones are estimated again.
    bool valid = false;
    const TDatabaseItem stored = d_database->Read_Specification(
        record.Make(), record.Model(), record.Option(), record.Standard(), &valid);
    if (!valid && d_database->Database_Failed())
    {
      import.Fail(QStringLiteral("%1: %2").arg(place, d_database->Last_Error()));
      return Fail(import.Error_Text());
    }
    TDatabaseItem merged = record;
    QStringList unstated;
    for (int item = 0; item < stored.Specification_Item_Count(); ++item)
    {
      const TSpecificationItem kept = stored.Specification_Item(item);
      if (kept.source == TDatabaseItem::SOURCE_MANUFACTURER && !given.contains(kept.name))
      {
        merged.Add_Specification_Item(kept);
        if (TQifReader::Is_Read_Component(record.Standard(), kept.name))
        {
          unstated.append(kept.name);
        }
      }
    }
    if (!unstated.isEmpty())
    {
      d_warnings.Add(
          QStringLiteral("%1: the document does not state %2; the stored value%3 "
                         "kept")
              .arg(place, unstated.join(QStringLiteral(" and ")),
                   unstated.size() == 1 ? QStringLiteral(" is") : QStringLiteral("s are")));
    }
    if (!import.Store(merged, place))
    {
      return Fail(import.Error_Text());
    }
    Report_Progress(index + 1, records.size());
  }
  if (!import.Finish())
  {
    return Fail(import.Error_Text());
  }
  return true;
}
