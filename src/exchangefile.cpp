#include "exchangefile.h"

#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QTextCodec>

#include <algorithm>

namespace
{
const QString HEADER = QStringLiteral("MetrovaDatabase:Version=1:Format=CSV");
const QString IMPORT_SAVEPOINT = QStringLiteral("metrova_import");
// A warning quotes at most this much of a bad value, and a warning line is no longer than this.
constexpr int QUOTED_LENGTH = 60;
constexpr int WARNING_LINE_LENGTH = 240;
// Problems named per skipped line; the others are counted.
constexpr int LINE_PROBLEMS = 3;

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

// A text cut to length without splitting a character made of two code units.
QString Cut(const QString &text, int length)
{
  if (text.size() <= length)
  {
    return text;
  }
  if (text.at(length - 1).isHighSurrogate())
  {
    --length;
  }
  return text.left(length) + QStringLiteral("...");
}

// A value as a warning shows it: a bad field may be megabytes long.
QString Quoted(const QString &value)
{
  QString shown = Cut(value, QUOTED_LENGTH);
  for (QChar &character : shown)
  {
    if (character.unicode() < 0x20 || character.unicode() == 0x7f)
    {
      character = QLatin1Char('?'); // a NUL or line end would cut or break the message
    }
  }
  return QLatin1Char('\'') + shown + QLatin1Char('\'');
}

// The lines of a text; CR, LF and CR LF end a line alike.
QStringList Split_Lines(const QString &text)
{
  QStringList lines;
  int start = 0;
  const int size = text.size();
  for (int index = 0; index < size; ++index)
  {
    const QChar character = text.at(index);
    if (character == QLatin1Char('\n') || character == QLatin1Char('\r'))
    {
      lines.append(text.mid(start, index - start));
      if (character == QLatin1Char('\r') && index + 1 < size &&
          text.at(index + 1) == QLatin1Char('\n'))
      {
        ++index;
      }
      start = index + 1;
    }
  }
  if (start < size)
  {
    lines.append(text.mid(start));
  }
  return lines;
}

// Bytes as UTF-8, every byte counted; false when they are not UTF-8.
bool Decode_Utf8(const char *bytes, int size, QString *text)
{
  static QTextCodec *const utf8 = QTextCodec::codecForName("UTF-8");
  // A byte-order mark inside the text is a character like any other.
  QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
  *text = utf8->toUnicode(bytes, size, &state);
  return state.invalidChars == 0 && state.remainingChars == 0;
}

QString Machine(const QString &make, const QString &model, const QString &option)
{
  return QStringLiteral("%1, %2, %3").arg(make, model, option);
}
} // namespace

TExchangeFile::TExchangeFile(TDatabase *database, TExchangeProgress *progress)
    : d_database(database), d_progress(progress), d_warning_count(0), d_warning_bytes(0)
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

bool TExchangeFile::Fail_Import(const QString &text)
{
  d_database->Rollback_To_Savepoint(IMPORT_SAVEPOINT);
  d_database->Release_Savepoint(IMPORT_SAVEPOINT);
  return Fail(text);
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
  ++d_warning_count;
  if (d_warnings.size() >= MAXIMUM_WARNING_LINES)
  {
    return;
  }
  const QString line =
      Cut(line_number > 0 ? QStringLiteral("line %1: %2").arg(line_number).arg(text) : text,
          WARNING_LINE_LENGTH);
  const int bytes = line.toUtf8().size() + 1;
  if (d_warning_bytes + bytes > MAXIMUM_WARNING_BYTES)
  {
    // Full: the later warnings are only counted, so that the list keeps its order.
    d_warning_bytes = MAXIMUM_WARNING_BYTES;
    return;
  }
  d_warnings.append(line);
  d_warning_bytes += bytes;
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
  // A read that fails is the database's failure; the old file stays.
  const auto database_failure = [&file, &file_name, database]()
  {
    file.cancelWriting();
    return QStringLiteral("Cannot export to '%1': %2").arg(file_name, database->Last_Error());
  };
  if (!database->Begin_Read_Transaction())
  {
    return Fail(database_failure());
  }
  const TReadTransactionEnd end_read(database);

  QString content = HEADER + QStringLiteral("\n\n");

  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    return Fail(database_failure());
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
    return Fail(database_failure());
  }

  // The names below were just listed by the database: a failing read is a database fault, and
  // a file without that record would pass for a complete export.
  const int make_count = makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = makes.at(make_index);
    bool read_valid = false;
    QList<QPair<QString, QString>> configurations = database->Configurations(make, &read_valid);
    if (!read_valid)
    {
      return Fail(database_failure());
    }
    // Model by model, each model and option in the order of its first row.
    QHash<QString, int> model_order;
    for (const auto &configuration : qAsConst(configurations))
    {
      model_order.insert(configuration.first,
                         model_order.value(configuration.first, model_order.size()));
    }
    std::stable_sort(
        configurations.begin(), configurations.end(),
        [&model_order](const QPair<QString, QString> &first, const QPair<QString, QString> &second)
        { return model_order.value(first.first) < model_order.value(second.first); });

    for (const auto &configuration : qAsConst(configurations))
    {
      const QString &model = configuration.first;
      const QString &option = configuration.second;
      // The names as the import reads them back; a machine whose names cannot be carried is
      // left out.
      const QString machine = Machine(make, model, option);
      const QString names[] = {TDatabaseItem::Cleaned_Name(make),
                               TDatabaseItem::Cleaned_Name(model),
                               TDatabaseItem::Cleaned_Name(option)};
      if (names[0].isEmpty() || names[1].isEmpty() || names[2].isEmpty())
      {
        Add_Warning(0, QStringLiteral("%1: a name is empty or holds a control character; not "
                                      "exported")
                           .arg(Quoted(machine)));
        continue;
      }
      if (names[0] != make || names[1] != model || names[2] != option)
      {
        Add_Warning(0, QStringLiteral("%1: written as %2")
                           .arg(Quoted(machine), Quoted(Machine(names[0], names[1], names[2]))));
      }
      const QList<TDatabaseItem> records =
          database->Read_Configuration(make, model, option, &read_valid, true);
      if (!read_valid || records.size() != standards.size())
      {
        return Fail(database_failure());
      }
      for (int standard_index = 0; standard_index < standards.size(); ++standard_index)
      {
        const TDatabaseItem &record = records.at(standard_index);
        const QString &standard = standards.at(standard_index);
        QString line;
        for (int index = 0; index < record.Specification_Item_Count(); ++index)
        {
          const TSpecificationItem item = record.Specification_Item(index);
          // A row whose component the catalogue no longer names, or whose text no longer
          // reads, would come back as another value or not at all.
          if (item.name.isEmpty())
          {
            Add_Warning(0, QStringLiteral("%1, %2: a value of a component that the catalogue "
                                          "does not name; not exported")
                               .arg(Quoted(machine), standard));
            continue;
          }
          if (!item.expression.Is_Storable())
          {
            Add_Warning(0, QStringLiteral("%1, %2, %3: the stored value cannot be read; not "
                                          "exported")
                               .arg(Quoted(machine), standard, item.name));
            continue;
          }
          line += QLatin1Char(',');
          line += item.name;
          line += QLatin1Char(':');
          line += item.expression.Expression_Text(TExpressionItem::UNITS_MM);
        }
        if (line.isEmpty())
        {
          continue;
        }
        // A make that begins like a comment is quoted: the reader's cleaning drops the quotes,
        // older readers' too.
        if (names[0].startsWith(QLatin1Char('#')))
        {
          content += QLatin1Char('"') + names[0] + QLatin1Char('"');
        }
        else
        {
          content += names[0];
        }
        content += QLatin1Char(',');
        content += names[1];
        content += QLatin1Char(',');
        content += names[2];
        content += QLatin1Char(',');
        content += standard;
        content += line;
        content += QLatin1Char('\n');
      }
    }
    Report_Progress(make_index + 1, make_count);
  }

  // Latin-1 keeps the file readable by older readers. A name outside it, or one whose Latin-1
  // bytes would read back as other characters (UTF-8 look-alikes such as "\xc3\xa9"), needs
  // UTF-8, marked so that no reader takes it for Latin-1.
  bool fits_latin1 = true;
  for (const QChar character : qAsConst(content))
  {
    if (character.unicode() > 0xff)
    {
      fits_latin1 = false;
      break;
    }
  }
  QByteArray bytes;
  if (fits_latin1)
  {
    bytes = content.toLatin1();
  }
  if (!fits_latin1 || Decode(bytes) != content)
  {
    bytes = QByteArrayLiteral("\xef\xbb\xbf") + content.toUtf8();
  }

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
    return codec->toUnicode(bytes.constData(), bytes.size());
  }
  QString text;
  if (Decode_Utf8(bytes.constData(), bytes.size(), &text))
  {
    return text;
  }
  // A file put together from several sources: each line in the encoding it reads in. Line ends
  // are single bytes in both, so the pieces join up again.
  text.clear();
  text.reserve(bytes.size());
  const int size = bytes.size();
  int start = 0;
  while (start < size)
  {
    int end = start;
    while (end < size && bytes.at(end) != '\n' && bytes.at(end) != '\r')
    {
      ++end;
    }
    end = qMin(end + 1, size);
    QString piece;
    if (!Decode_Utf8(bytes.constData() + start, end - start, &piece))
    {
      piece = QString::fromLatin1(bytes.constData() + start, end - start);
    }
    text += piece;
    start = end;
  }
  return text;
}

bool TExchangeFile::Read_Catalogue()
{
  TDatabase *database = d_database;
  d_catalogue.clear();
  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    return false;
  }
  for (const QString &standard : standards)
  {
    const QStringList components = database->Component_Types(standard, &valid);
    const int standard_id = database->Standard_Type_Id(standard);
    if (!valid || standard_id < 0)
    {
      return false;
    }
    QHash<QString, int> &masks = d_catalogue[standard];
    for (const QString &component : components)
    {
      // The components were just listed: a look-up that fails is a read that failed, and the
      // name comes back only when the component's row was read.
      const int component_id = database->Component_Type_Id(standard_id, component);
      if (component_id < 0 || database->Component_Type_Name(standard_id, component_id) != component)
      {
        return false;
      }
      masks.insert(component, database->Component_Type_Expression_Types(standard_id, component_id));
    }
  }
  return true;
}

QString TExchangeFile::Read_Record(const QString &line, TDatabaseItem *record, QString *note) const
{
  QStringList problems;
  int problem_count = 0;
  const auto problem = [&problems, &problem_count](const QString &text)
  {
    if (++problem_count <= LINE_PROBLEMS)
    {
      problems.append(text);
    }
  };

  const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
  if (fields.size() < 5)
  {
    return QStringLiteral("fewer than five fields");
  }
  static const char *const NAME_KINDS[] = {"make", "model", "option"};
  QString names[3];
  for (int index = 0; index < 3; ++index)
  {
    names[index] = TDatabaseItem::Cleaned_Name(fields.at(index));
    if (names[index].isEmpty())
    {
      problem(QStringLiteral("%1 %2 is empty or holds a control character")
                  .arg(QLatin1String(NAME_KINDS[index]), Quoted(fields.at(index))));
    }
  }
  const QString standard = TDatabaseItem::Sanitize(fields.at(3)).trimmed();
  const auto catalogue = d_catalogue.constFind(standard);
  if (catalogue == d_catalogue.constEnd())
  {
    problem(QStringLiteral("Standard type %1 does not exist").arg(Quoted(standard)));
  }
  record->Set_Make(names[0]);
  record->Set_Model(names[1]);
  record->Set_Option(names[2]);
  record->Set_Standard(standard);
  record->Clear_Specification_Items();

  // Each component once, the first one given; the others are dropped with a note.
  QHash<QString, int> repeats;
  for (int index = 4; index < fields.size(); ++index)
  {
    const QString &field = fields.at(index);
    if (field.isEmpty())
    {
      continue; // a comma at the end of the line
    }
    const QStringList parts = field.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (parts.size() != 2)
    {
      problem(QStringLiteral("component field %1 %2")
                  .arg(Quoted(field), parts.size() == 1
                                          ? QStringLiteral("has no expression")
                                          : QStringLiteral("has more than one colon")));
      continue;
    }
    const QString name = parts.at(0).trimmed();
    const QString &text = parts.at(1);
    const auto repeat = repeats.find(name);
    if (repeat != repeats.end())
    {
      ++repeat.value();
      continue;
    }
    repeats.insert(name, 1);
    if (catalogue == d_catalogue.constEnd())
    {
      continue;
    }
    const auto accepted = catalogue->constFind(name);
    if (accepted == catalogue->constEnd())
    {
      problem(QStringLiteral("Component type %1 does not exist").arg(Quoted(name)));
      continue;
    }
    TSpecificationItem item;
    item.name = name;
    item.source = TDatabaseItem::SOURCE_MANUFACTURER;
    const int kind = item.expression.Set_Expression(text, TExpressionItem::UNITS_MM);
    if (kind == TExpressionItem::EXPRESSION_UNDEFINED)
    {
      problem(QStringLiteral("%1: %2 is not a valid expression").arg(name, Quoted(text)));
    }
    else if ((accepted.value() & kind) == 0)
    {
      problem(QStringLiteral("%1: %2 is not accepted for this component").arg(name, Quoted(text)));
    }
    else if (!item.expression.Is_Storable())
    {
      problem(
          kind == TExpressionItem::EXPRESSION_TEMPERATURE
              ? QStringLiteral("%1: %2 rounds to %3, outside 10 to 40 C")
                    .arg(name, Quoted(text),
                         item.expression.Expression_Text(TExpressionItem::UNITS_MM))
              : QStringLiteral("%1: %2 has too many digits to be stored").arg(name, Quoted(text)));
    }
    else
    {
      record->Add_Specification_Item(item);
    }
  }
  if (problem_count == 0 && record->Specification_Item_Count() == 0)
  {
    problem(QStringLiteral("no component field"));
  }
  if (problem_count > LINE_PROBLEMS)
  {
    const int more = problem_count - LINE_PROBLEMS;
    problems.append(more == 1 ? QStringLiteral("1 more problem")
                              : QStringLiteral("%1 more problems").arg(more));
  }

  QStringList repeated;
  for (auto repeat = repeats.cbegin(); repeat != repeats.cend(); ++repeat)
  {
    if (repeat.value() > 1)
    {
      repeated.append(QStringLiteral("%1 is given %2 times, the first is kept")
                          .arg(Cut(repeat.key(), QUOTED_LENGTH))
                          .arg(repeat.value()));
    }
  }
  repeated.sort();
  *note = repeated.join(QStringLiteral("; "));
  return problems.join(QStringLiteral("; "));
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
  const QStringList lines = Split_Lines(Decode(bytes));
  const int maximum = lines.size();

  // Records and estimates go in together or not at all. The catalogue is read once, in the
  // same transaction, and every line is checked against it before it is written: a line that
  // is wrong is skipped, so a write that fails afterwards is the database's failure.
  const auto failure = [&file_name](const QString &reason)
  { return QStringLiteral("Cannot import '%1': %2").arg(file_name, reason); };
  if (!database->Savepoint(IMPORT_SAVEPOINT))
  {
    return Fail(failure(database->Last_Error()));
  }
  if (!Read_Catalogue())
  {
    return Fail_Import(failure(database->Last_Error()));
  }

  Report_Progress_Text(QStringLiteral("Importing to database.  Please wait..."));

  QStringList imported_makes;
  QSet<QString> imported_make_set;
  bool header_found = false;
  int line_number = 0;
  for (const QString &raw_line : lines)
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
        return Fail_Import(
            QStringLiteral("Imported CSV file does not start with the proper header line."));
      }
      header_found = true;
      Report_Progress(line_number, maximum);
      continue;
    }

    TDatabaseItem record;
    QString note;
    const QString problems = Read_Record(line, &record, &note);
    if (!problems.isEmpty())
    {
      Add_Warning(0, QStringLiteral("line %1 skipped: %2").arg(line_number).arg(problems));
    }
    else
    {
      if (!note.isEmpty())
      {
        Add_Warning(line_number, note);
      }
      if (!database->Write_Specification(record))
      {
        return Fail_Import(
            failure(QStringLiteral("line %1: %2").arg(line_number).arg(database->Last_Error())));
      }
      if (!imported_make_set.contains(record.Make()))
      {
        imported_make_set.insert(record.Make());
        imported_makes.append(record.Make());
      }
    }
    Report_Progress(line_number, maximum);
  }

  Report_Progress_Text(QStringLiteral("Estimating Specifications.  Please wait..."));

  // Every configuration of an imported make, also those the file did not mention.
  const int make_count = imported_makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = imported_makes.at(make_index);
    bool valid = false;
    const QList<QPair<QString, QString>> configurations = database->Configurations(make, &valid);
    if (!valid)
    {
      return Fail_Import(failure(database->Last_Error()));
    }
    for (const auto &configuration : configurations)
    {
      if (!database->Estimate_Specifications(make, configuration.first, configuration.second))
      {
        return Fail_Import(
            failure(QStringLiteral("cannot estimate %1: %2")
                        .arg(Machine(make, configuration.first, configuration.second),
                             database->Last_Error())));
      }
    }
    Report_Progress(make_index + 1, make_count + 1);
  }

  if (!database->Release_Savepoint(IMPORT_SAVEPOINT))
  {
    return Fail_Import(failure(database->Last_Error()));
  }
  return true;
}
