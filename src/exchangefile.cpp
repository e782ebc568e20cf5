#include "exchangefile.h"

#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QTextCodec>

namespace
{
const QString HEADER = QStringLiteral("MetrovaDatabase:Version=1:Format=CSV");
const QString IMPORT_SAVEPOINT = QStringLiteral("metrova_import");
const QString LINE_SAVEPOINT = QStringLiteral("metrova_import_line");

// Ends the export's read transaction however the export ends.
class TReadTransactionEnd
{
public:
  explicit TReadTransactionEnd(TDatabase *database) : d_database(database) {}
  ~TReadTransactionEnd() { d_database->End_Read_Transaction(); }
  TReadTransactionEnd(const TReadTransactionEnd &) = delete;
  TReadTransactionEnd &operator=(const TReadTransactionEnd &) = delete;

private:
  TDatabase *d_database;
};

// Ends the savepoint without keeping anything done since it was set.
void Abandon_Savepoint(TDatabase *database, const QString &name)
{
  database->Rollback_To_Savepoint(name);
  database->Release_Savepoint(name);
}
} // namespace

TExchangeFile::TExchangeFile(TDatabase *database, TExchangeProgress *progress)
    : d_database(database), d_progress(progress), d_warning_count(0)
{
}

QString TExchangeFile::Warning_Text() const
{
  QStringList lines = d_warnings;
  if (d_warning_count > d_warnings.size())
  {
    const int more = d_warning_count - d_warnings.size();
    lines.append(more == 1 ? QStringLiteral("... and 1 more problem")
                           : QStringLiteral("... and %1 more problems").arg(more));
  }
  return lines.join(QLatin1Char('\n'));
}

bool TExchangeFile::Fail(const QString &text)
{
  d_error_text = text;
  return false;
}

void TExchangeFile::Report_Progress(int value, int maximum)
{
  if (d_progress)
  {
    d_progress->Progress(value, maximum);
  }
}

void TExchangeFile::Report_Progress_Text(const QString &text)
{
  if (d_progress)
  {
    d_progress->Progress_Text(text);
  }
}

void TExchangeFile::Add_Warning(int line_number, const QString &text)
{
  if (d_warnings.size() < MAXIMUM_WARNING_LINES)
  {
    d_warnings.append(line_number > 0 ? QStringLiteral("line %1: %2").arg(line_number).arg(text)
                                      : text);
  }
  ++d_warning_count;
}

bool TExchangeFile::Export(const QString &file_name, const QStringList &export_makes)
{
  TDatabase *database = d_database;

  // The old file is replaced only once the whole new one is safely written.
  QSaveFile file(file_name);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered))
  {
    return Fail(
        QStringLiteral("Cannot open file '%1' for writing: %2").arg(file_name, file.errorString()));
  }

  // One read transaction for all the reads: the file shows one state of the catalogue, the
  // file locks are taken once rather than for every statement, and other connections can go on
  // reading meanwhile.
  if (!database->Begin_Read_Transaction())
  {
    file.cancelWriting();
    return Fail(database->Last_Error());
  }
  const TReadTransactionEnd end_read(database);

  QString content = HEADER + QStringLiteral("\n\n");

  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    file.cancelWriting();
    return Fail(database->Last_Error());
  }

  QStringList makes;
  bool makes_valid = true;
  if (!export_makes.isEmpty())
  {
    makes = export_makes;
  }
  else
  {
    makes = database->Makes(&makes_valid);
  }
  makes.sort(Qt::CaseSensitive);

  Report_Progress_Text(QStringLiteral("Exporting from database.  Please wait..."));

  if (!makes_valid)
  {
    // An empty catalogue written over a good file would be a silent loss.
    file.cancelWriting();
    return Fail(QStringLiteral("Cannot read the list of makes from the database."));
  }

  // The names below were just listed by the database: a failing read is a database fault, and
  // a file without that record would pass for a complete export.
  const int make_count = makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = makes.at(make_index);
    bool models_valid = false;
    const QStringList models = database->Models(make, &models_valid);
    for (const QString &model : models)
    {
      bool options_valid = false;
      const QStringList options = database->Options(make, model, &options_valid);
      for (const QString &option : options)
      {
        bool read_valid = false;
        const QList<TDatabaseItem> records =
            database->Read_Configuration(make, model, option, &read_valid, true);
        if (!read_valid || records.size() != standards.size())
        {
          file.cancelWriting();
          return Fail(database->Last_Error());
        }
        for (int standard_index = 0; standard_index < standards.size(); ++standard_index)
        {
          const TDatabaseItem &record = records.at(standard_index);
          const int item_count = record.Specification_Item_Count();
          if (item_count == 0)
          {
            continue;
          }
          content += make;
          content += QLatin1Char(',');
          content += model;
          content += QLatin1Char(',');
          content += option;
          content += QLatin1Char(',');
          content += standards.at(standard_index);
          for (int index = 0; index < item_count; ++index)
          {
            const TSpecificationItem item = record.Specification_Item(index);
            content += QLatin1Char(',');
            content += item.name;
            content += QLatin1Char(':');
            content += item.expression.Expression_Text(TExpressionItem::UNITS_MM);
          }
          content += QLatin1Char('\n');
        }
      }
    }
    Report_Progress(make_index + 1, make_count);
  }

  // Latin-1 keeps the file readable by older readers; a name outside it needs UTF-8, marked so
  // that the reader cannot take it for Latin-1.
  bool fits_latin1 = true;
  for (const QChar character : qAsConst(content))
  {
    if (character.unicode() > 0xff)
    {
      fits_latin1 = false;
      break;
    }
  }
  const QByteArray bytes =
      fits_latin1 ? content.toLatin1() : QByteArrayLiteral("\xef\xbb\xbf") + content.toUtf8();

  // A full disk or a size limit shows first as a short write, which carries no reason; writing
  // the rest brings out the failure with its reason. Nothing is committed after a failure.
  qint64 offset = 0;
  while (offset < bytes.size())
  {
    const qint64 count = file.write(bytes.constData() + offset, bytes.size() - offset);
    if (count <= 0)
    {
      break;
    }
    offset += count;
  }
  if (offset != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError)
  {
    const QString reason = file.errorString();
    file.cancelWriting();
    return Fail(QStringLiteral("Cannot write file '%1': %2").arg(file_name, reason));
  }
  if (!file.commit())
  {
    return Fail(QStringLiteral("Cannot write file '%1': %2").arg(file_name, file.errorString()));
  }
  return true;
}

QString TExchangeFile::Decode(const QByteArray &bytes)
{
  if (QTextCodec *codec = QTextCodec::codecForUtfText(bytes, nullptr))
  {
    return codec->toUnicode(bytes);
  }
  QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
  QTextCodec::ConverterState state;
  const QString text = utf8->toUnicode(bytes.constData(), bytes.size(), &state);
  if (state.invalidChars == 0 && state.remainingChars == 0)
  {
    return text;
  }
  return QString::fromLatin1(bytes);
}

int TExchangeFile::Expression_Types(const QString &standard, const QString &component)
{
  // The catalogue does not change during a run, so each pair is looked up once.
  const QString key = standard + QChar(0) + component;
  const auto found = d_expression_types.constFind(key);
  if (found != d_expression_types.constEnd())
  {
    return found.value();
  }
  const int types = d_database->Component_Type_Expression_Types(standard, component);
  d_expression_types.insert(key, types);
  return types;
}

bool TExchangeFile::Import(const QString &file_name)
{
  TDatabase *database = d_database;

  QFile file(file_name);
  if (!file.open(QIODevice::ReadOnly))
  {
    return Fail(
        QStringLiteral("Cannot open file '%1' for reading: %2").arg(file_name, file.errorString()));
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
  {
    return Fail(QStringLiteral("Cannot read file '%1': %2").arg(file_name, file.errorString()));
  }
  file.close();

  const int maximum = bytes.count('\n');
  QStringList lines = Decode(bytes).split(QLatin1Char('\n'));
  // The line feed that ends the last line starts no line of its own.
  if (!lines.isEmpty() && lines.constLast().isEmpty())
  {
    lines.removeLast();
  }

  // Records and estimates go in together or not at all.
  if (!database->Savepoint(IMPORT_SAVEPOINT))
  {
    return Fail(database->Last_Error());
  }
  bool valid = false;
  const QStringList standard_list = database->Standard_Types(&valid);
  if (!valid)
  {
    Fail(database->Last_Error());
    Abandon_Savepoint(database, IMPORT_SAVEPOINT);
    return false;
  }
  const QSet<QString> standards(standard_list.cbegin(), standard_list.cend());

  Report_Progress_Text(QStringLiteral("Importing to database.  Please wait..."));

  QStringList imported_makes;
  QSet<QString> imported_make_set;
  bool header_found = false;
  int line_number = 0;
  for (const QString &raw_line : qAsConst(lines))
  {
    ++line_number;
    const QString line = raw_line.simplified();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
    {
      continue;
    }
    if (!header_found)
    {
      if (!line.startsWith(HEADER, Qt::CaseInsensitive))
      {
        Fail(QStringLiteral("Imported CSV file does not start with the proper header line."));
        Abandon_Savepoint(database, IMPORT_SAVEPOINT);
        return false;
      }
      header_found = true;
      Report_Progress(line_number, maximum);
      continue;
    }

    const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (fields.size() <= 4)
    {
      Add_Warning(line_number, QStringLiteral("fewer than five fields"));
      Report_Progress(line_number, maximum);
      continue;
    }

    TDatabaseItem record;
    record.Set_Make(fields.at(0));
    record.Set_Model(fields.at(1));
    record.Set_Option(fields.at(2));
    record.Set_Standard(fields.at(3));
    record.Sanitize_Names();
    record.Clear_Specification_Items();

    if (!standards.contains(record.Standard()))
    {
      Add_Warning(line_number,
                  QStringLiteral("Standard type '%1' does not exist").arg(record.Standard()));
      Report_Progress(line_number, maximum);
      continue;
    }

    for (int index = 4; index < fields.size(); ++index)
    {
      const QString &field = fields.at(index);
      if (field.isEmpty())
      {
        continue;
      }
      const QStringList parts = field.split(QLatin1Char(':'), Qt::KeepEmptyParts);
      if (parts.size() == 1)
      {
        Add_Warning(line_number,
                    QStringLiteral("component field '%1' has no expression").arg(field));
        continue;
      }
      if (parts.size() > 2)
      {
        Add_Warning(line_number,
                    QStringLiteral("component field '%1' has more than one colon").arg(field));
        continue;
      }
      TSpecificationItem item;
      item.name = parts.at(0);
      item.source = TDatabaseItem::SOURCE_MANUFACTURER;
      const int kind = item.expression.Set_Expression(parts.at(1), TExpressionItem::UNITS_MM);
      const int accepted = Expression_Types(record.Standard(), item.name);
      // An unknown component is left in so that the line fails as a whole and says why.
      if (accepted != 0)
      {
        if (kind == TExpressionItem::EXPRESSION_UNDEFINED)
        {
          Add_Warning(
              line_number,
              QStringLiteral("%1: '%2' is not a valid expression").arg(item.name, parts.at(1)));
          continue;
        }
        if ((accepted & kind) == 0)
        {
          Add_Warning(line_number, QStringLiteral("%1: '%2' is not accepted for this component")
                                       .arg(item.name, parts.at(1)));
          continue;
        }
      }
      record.Add_Specification_Item(item);
    }

    // A failing line is taken back alone; the import goes on with the next one.
    if (!database->Savepoint(LINE_SAVEPOINT))
    {
      Add_Warning(line_number, database->Last_Error());
    }
    else if (database->Write_Specification(record))
    {
      database->Release_Savepoint(LINE_SAVEPOINT);
      if (!imported_make_set.contains(record.Make()))
      {
        imported_make_set.insert(record.Make());
        imported_makes.append(record.Make());
      }
    }
    else
    {
      Add_Warning(line_number, database->Last_Error());
      Abandon_Savepoint(database, LINE_SAVEPOINT);
    }
    Report_Progress(line_number, maximum);
  }

  Report_Progress_Text(QStringLiteral("Estimating Specifications.  Please wait..."));

  const int make_count = imported_makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = imported_makes.at(make_index);
    bool models_valid = false;
    const QStringList models = database->Models(make, &models_valid);
    if (models_valid)
    {
      for (const QString &model : models)
      {
        bool options_valid = false;
        const QStringList options = database->Options(make, model, &options_valid);
        if (!options_valid)
        {
          continue;
        }
        for (const QString &option : options)
        {
          if (!database->Estimate_Specifications(make, model, option))
          {
            Add_Warning(0, QStringLiteral("%1, %2, %3: cannot estimate specifications: %4")
                               .arg(make, model, option, database->Last_Error()));
          }
        }
      }
    }
    Report_Progress(make_index + 1, make_count + 1);
  }

  if (!database->Release_Savepoint(IMPORT_SAVEPOINT))
  {
    Fail(database->Last_Error());
    Abandon_Savepoint(database, IMPORT_SAVEPOINT);
    return false;
  }
  return true;
}
