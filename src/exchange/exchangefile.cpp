#include "exchangefile.h"

#include "catalogueimport.h"
#include "cataloguereader.h"
#include "database.h"
#include "databaseitem.h"
#include "exchangelinereader.h"
#include "expressionitem.h"
#include "safefile.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace
{
const QString HEADER = QStringLiteral("MetrovaDatabase:Version=1:Format=CSV");
// Problems named per skipped line; the others are counted.
constexpr int LINE_PROBLEMS = 3;

// A value as a warning shows it: a bad field may be megabytes long.
QString Quoted(const QString &value)
{
  return TWarningList::Quoted(value);
}

// Whether the reader gives the text back from the bytes, line by line.
bool Reads_Back(const QByteArray &bytes, const QString &text)
{
  const QList<QByteArray> lines = bytes.split('\n');
  const QStringList texts = text.split(QLatin1Char('\n'));
  for (int index = 0; index < lines.size(); ++index)
  {
    const QByteArray &line = lines.at(index);
    if (index >= texts.size() ||
        TExchangeLineReader::Decode_Line(line.constData(), line.size()) != texts.at(index))
    {
      return false;
    }
  }
  return lines.size() == texts.size();
}

QString Machine(const QString &make, const QString &model, const QString &option)
{
  return QStringLiteral("%1, %2, %3").arg(make, model, option);
}

// A line that its cleaning leaves as it is: printable ASCII, no blank at either end, none
// after another.
bool Is_Plain_Line(const char *line, int size)
{
  if (size > 0 && (line[0] == ' ' || line[size - 1] == ' '))
  {
    return false;
  }
  for (int index = 0; index < size; ++index)
  {
    if (line[index] < 0x20 || line[index] > 0x7e || (line[index] == ' ' && line[index + 1] == ' '))
    {
      return false;
    }
  }
  return true;
}

// A record line read straight from its bytes.
struct TPlainRecord
{
  const char *names[3];
  int sizes[3];
  int standard_id;
  std::vector<TBulkSpecificationWriter::TRow> rows;
  // Texts written otherwise than the file writes them, as stored; their bytes stay where they
  // are as the list grows.
  std::vector<QByteArray> texts;
};

// Reads a plain line into a record when nothing in it needs a word: names as the catalogue
// keeps them, a known standard, each component once with a value that it accepts and that reads
// back from its stored text. Anything else is Read_Record's, which words the problems.
bool Read_Plain_Record(const char *line, int size, const TBulkCatalogue &catalogue,
                       TPlainRecord *record)
{
  const char *const end = line + size;
  const auto field_end = [end](const char *start, char separator)
  {
    const char *found = static_cast<const char *>(std::memchr(start, separator, end - start));
    return found ? found : end;
  };
  const char *field = line;
  for (int index = 0; index < 4; ++index)
  {
    const char *next = field_end(field, ',');
    const int length = static_cast<int>(next - field);
    // A name that may be too long to be new is checked by Read_Record's way.
    if (next == end || !TDatabaseItem::Is_Clean_Name(field, length) ||
        (index < 3 && length > TDatabaseItem::MAXIMUM_NAME_LENGTH))
    {
      return false;
    }
    if (index < 3)
    {
      record->names[index] = field;
      record->sizes[index] = length;
    }
    else
    {
      record->standard_id = catalogue.Standard_Id(field, length);
    }
    field = next + 1;
  }
  if (record->standard_id < 0)
  {
    return false;
  }
  record->rows.clear();
  record->texts.clear();
  // The component fields, each up to the next comma.
  const char *next = field - 1;
  do
  {
    field = next + 1;
    next = field_end(field, ',');
    if (next == field)
    {
      continue; // a comma at the end of the line
    }
    const char *colon = field_end(field, ':');
    if (colon >= next || std::memchr(colon + 1, ':', next - colon - 1))
    {
      return false;
    }
    const TBulkCatalogue::TComponent *component =
        catalogue.Component(record->standard_id, field, static_cast<int>(colon - field));
    if (!component || std::any_of(record->rows.begin(), record->rows.end(),
                                  [component](const TBulkSpecificationWriter::TRow &row)
                                  { return row.component_id == component->id; }))
    {
      return false;
    }
    const char *text = colon + 1;
    const int length = static_cast<int>(next - text);
    TExpressionItem expression;
    const int kind = expression.Set_Expression(text, length, TExpressionItem::UNITS_MM);
    if ((component->expression_types & kind) == 0)
    {
      return false;
    }
    // A text that is written as it is stored reads back as itself.
    const QString stored = expression.Expression_Text(TExpressionItem::UNITS_MM);
    if (stored == QLatin1String(text, length))
    {
      record->rows.push_back({component->id, text, length});
    }
    else if (expression.Is_Storable())
    {
      record->texts.push_back(stored.toUtf8());
      record->rows.push_back(
          {component->id, record->texts.back().constData(), record->texts.back().size()});
    }
    else
    {
      return false;
    }
  } while (next < end);
  return !record->rows.empty();
}
} // namespace

TExchangeFile::TExchangeFile(TDatabase *database, TExchangeProgress *progress)
    : TCatalogueExchange(database, progress)
{
}

bool TExchangeFile::Export(const QString &file_name, const QStringList &export_makes)
{
  d_warnings.Clear();
  // The old file is replaced only once the whole new one is safely written.
  TSafeFile file(file_name);
  if (!file.Open(true))
  {
    return Fail(file.Error_Text());
  }

  QString content = HEADER + QStringLiteral("\n\n");
  const auto write_machine = [this, &content](const QString &make, const QString &model,
                                              const QString &option,
                                              const QList<TDatabaseItem> &records)
  {
    // The names as the import reads them back; a machine whose names cannot be carried is
    // left out.
    const QString machine = Machine(make, model, option);
    const QString names[] = {TDatabaseItem::Cleaned_Name(make), TDatabaseItem::Cleaned_Name(model),
                             TDatabaseItem::Cleaned_Name(option)};
    if (names[0].isEmpty() || names[1].isEmpty() || names[2].isEmpty())
    {
      d_warnings.Add(QStringLiteral("%1: a name is empty or holds a control character; not "
                                    "exported")
                         .arg(Quoted(machine)));
      return;
    }
    if (names[0] != make || names[1] != model || names[2] != option)
    {
      d_warnings.Add(QStringLiteral("%1: written as %2")
                         .arg(Quoted(machine), Quoted(Machine(names[0], names[1], names[2]))));
    }
    for (const TDatabaseItem &record : records)
    {
      const QString &standard = record.Standard();
      QString line;
      for (int index = 0; index < record.Specification_Item_Count(); ++index)
      {
        const TSpecificationItem item = record.Specification_Item(index);
        // A row whose component the catalogue no longer names, or whose text no longer
        // reads, would come back as another value or not at all.
        if (item.name.isEmpty())
        {
          d_warnings.Add(QStringLiteral("%1, %2: a value of a component that the catalogue "
                                        "does not name; not exported")
                             .arg(Quoted(machine), standard));
          continue;
        }
        if (!item.expression.Is_Storable())
        {
          d_warnings.Add(QStringLiteral("%1, %2, %3: the stored value cannot be read; not "
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
  };
  QString error;
  if (!TCatalogueReader::Read(d_database, export_makes, true, d_progress, write_machine, &error))
  {
    return Fail(QStringLiteral("Cannot export to '%1': %2").arg(file_name, error));
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
  if (!fits_latin1 || !Reads_Back(bytes, content))
  {
    bytes = QByteArrayLiteral("\xef\xbb\xbf") + content.toUtf8();
  }

  if (!file.Commit(bytes))
  {
    return Fail(file.Error_Text());
  }
  return true;
}

QString TExchangeFile::Read_Record(const QString &line, const TCatalogueImport &import,
                                   TDatabaseItem *record, QString *note) const
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
  const bool standard_known = import.Has_Standard(standard);
  if (!standard_known)
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
    if (!standard_known)
    {
      continue;
    }
    TSpecificationItem item;
    item.name = name;
    item.source = TDatabaseItem::SOURCE_MANUFACTURER;
    item.expression.Set_Expression(text, TExpressionItem::UNITS_MM);
    const QString item_problem = import.Item_Problem(standard, item, text);
    if (!item_problem.isEmpty())
    {
      problem(item_problem);
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
                          .arg(TWarningList::Cut(repeat.key(), TWarningList::QUOTED_LENGTH))
                          .arg(repeat.value()));
    }
  }
  repeated.sort();
  *note = repeated.join(QStringLiteral("; "));
  return problems.join(QStringLiteral("; "));
}

bool TExchangeFile::Import(const QString &file_name)
{
  d_warnings.Clear();
  QFile file(file_name);
  if (!file.open(QIODevice::ReadOnly))
  {
    return Fail(
        QStringLiteral("Cannot open file '%1' for reading: %2").arg(file_name, file.errorString()));
  }
  // Read as a stream: the file may be larger than memory, or a device without end.
  TExchangeLineReader reader(&file);
  const auto read_failed = [&reader, &file_name]()
  { return QStringLiteral("Cannot read file '%1': %2").arg(file_name, reader.Error_Text()); };
  // Progress in bytes, scaled to fit; a device of unknown size shows none.
  const qint64 size = file.isSequential() ? 0 : file.size();
  int shift = 0;
  while ((size >> shift) > INT_MAX)
  {
    ++shift;
  }
  const auto report_progress = [this, &reader, size, shift]() {
    Report_Progress(static_cast<int>(reader.Position() >> shift), static_cast<int>(size >> shift));
  };

  // The header first: a file that is not an exchange file is refused before the catalogue is
  // touched.
  qint64 line_number = 0;
  QString raw_line;
  const char *bytes = nullptr;
  int byte_count = 0;
  bool too_long = false;
  bool header_found = false;
  while (!header_found && reader.Next(&raw_line, &too_long))
  {
    ++line_number;
    const QString line = raw_line.simplified();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
    {
      continue;
    }
    if (!line.startsWith(HEADER, Qt::CaseInsensitive))
    {
      return Fail(QStringLiteral("Imported CSV file does not start with the proper header line."));
    }
    header_found = true;
  }
  if (!reader.Error_Text().isEmpty())
  {
    return Fail(read_failed());
  }

  TCatalogueImport import(d_database, file_name, d_progress);
  if (!import.Begin())
  {
    return Fail(import.Error_Text());
  }
  if (header_found)
  {
    report_progress();
  }
  const TBulkCatalogue *catalogue = import.Bulk_Catalogue();
  TPlainRecord plain;
  while (reader.Next(&bytes, &byte_count, &too_long))
  {
    ++line_number;
    if (catalogue && !too_long && Is_Plain_Line(bytes, byte_count))
    {
      if (byte_count == 0 || bytes[0] == '#')
      {
        continue;
      }
      if (Read_Plain_Record(bytes, byte_count, *catalogue, &plain))
      {
        if (!import.Store(plain.names, plain.sizes, plain.standard_id, plain.rows.data(),
                          static_cast<int>(plain.rows.size()), line_number))
        {
          return Fail(import.Error_Text());
        }
        report_progress();
        continue;
      }
    }
    const QString line = reader.Text(bytes, byte_count).simplified();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
    {
      continue;
    }
    TDatabaseItem record;
    QString note;
    QString problems =
        too_long
            ? QStringLiteral("longer than %1 bytes").arg(TExchangeLineReader::MAXIMUM_LINE_BYTES)
            : Read_Record(line, import, &record, &note);
    if (problems.isEmpty())
    {
      bool failed = false;
      problems = import.Name_Problem(record.Make(), record.Model(), record.Option(), &failed);
      if (failed)
      {
        return Fail(import.Error_Text());
      }
    }
    if (!problems.isEmpty())
    {
      d_warnings.Add(QStringLiteral("line %1 skipped: %2").arg(line_number).arg(problems));
      import.Skip();
    }
    else
    {
      if (!note.isEmpty())
      {
        d_warnings.Add(line_number, note);
      }
      if (!import.Store(record, QStringLiteral("line %1").arg(line_number)))
      {
        return Fail(import.Error_Text());
      }
    }
    report_progress();
  }
  if (!reader.Error_Text().isEmpty())
  {
    import.Abandon();
    return Fail(read_failed());
  }
  if (!import.Finish())
  {
    return Fail(import.Error_Text());
  }
  return true;
}
