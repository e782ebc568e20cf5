#include "verificationresults.h"

#include "specificationlimits.h"

#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QLatin1Char>
#include <QLatin1String>
#include <QPair>
#include <QTextCodec>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace
{
const char *const COLUMN_NAMES[TVerificationResults::COLUMN_COUNT] = {
    "length_mm", "position", "repetition", "error_um", "retest"};

// The fields of one CSV line; a field in double quotes may hold commas and doubled quotes.
bool Split_Csv_Line(const QString &line, QStringList *fields)
{
  fields->clear();
  QString field;
  bool quoted = false;
  bool was_quoted = false;
  for (int index = 0; index < line.size(); ++index)
  {
    const QChar character = line.at(index);
    if (quoted)
    {
      if (character != QLatin1Char('"'))
      {
        field.append(character);
      }
      else if (index + 1 < line.size() && line.at(index + 1) == QLatin1Char('"'))
      {
        field.append(character);
        ++index;
      }
      else
      {
        quoted = false;
      }
    }
    else if (character == QLatin1Char(','))
    {
      fields->append(was_quoted ? field : field.trimmed());
      field.clear();
      was_quoted = false;
    }
    else if (character == QLatin1Char('"') && field.trimmed().isEmpty())
    {
      field.clear();
      quoted = true;
      was_quoted = true;
    }
    else
    {
      field.append(character);
    }
  }
  fields->append(was_quoted ? field : field.trimmed());
  return !quoted;
}
} // namespace

QString TVerificationResults::Column_Name(int column)
{
  return column >= 0 && column < COLUMN_COUNT ? QLatin1String(COLUMN_NAMES[column]) : QString();
}

bool TVerificationResults::Read_Cells(const QStringList &cells, TVerificationResult *result,
                                      QString *reason, bool needs_length)
{
  TVerificationResult read;
  const QString length = cells.value(COLUMN_LENGTH).trimmed();
  if (length.isEmpty() && !needs_length)
  {
    read.length = 0.0;
  }
  else if (!TSpecificationLimits::To_Number(length, &read.length) || read.length < 0.0)
  {
    *reason = QStringLiteral("the length '%1' is not a number of 0 or more").arg(length);
    return false;
  }
  else if (read.length > TVerificationRecord::MAXIMUM_LENGTH)
  {
    *reason = QStringLiteral("the length '%1' is beyond %2 mm")
                  .arg(length)
                  .arg(TVerificationRecord::MAXIMUM_LENGTH);
    return false;
  }
  read.position = cells.value(COLUMN_POSITION).trimmed();
  const QString repetition = cells.value(COLUMN_REPETITION).trimmed();
  bool whole = true;
  read.repetition = repetition.isEmpty() ? 0 : repetition.toInt(&whole);
  if (!whole || read.repetition < 0 || (!repetition.isEmpty() && read.repetition == 0))
  {
    *reason =
        QStringLiteral("the repetition '%1' is not a whole number of 1 or more").arg(repetition);
    return false;
  }
  const QString error = cells.value(COLUMN_ERROR).trimmed();
  if (!TSpecificationLimits::To_Number(error, &read.error))
  {
    *reason = QStringLiteral("the error '%1' is not a number").arg(error);
    return false;
  }
  if (std::fabs(read.error) > TVerificationRecord::MAXIMUM_ERROR)
  {
    *reason = QStringLiteral("the error '%1' is beyond \u00b1%2 \u00b5m")
                  .arg(error)
                  .arg(TVerificationRecord::MAXIMUM_ERROR);
    return false;
  }
  const QString retest = cells.value(COLUMN_RETEST).trimmed().toLower();
  if (retest == QLatin1String("yes") || retest == QLatin1String("1"))
  {
    read.retest = true;
  }
  else if (!retest.isEmpty() && retest != QLatin1String("no") && retest != QLatin1String("0"))
  {
    *reason = QStringLiteral("the retest '%1' is not yes or no").arg(cells.value(COLUMN_RETEST));
    return false;
  }
  *result = read;
  return true;
}

void TVerificationResults::Number_Repetitions(QList<TVerificationResult> *results)
{
  QHash<QPair<double, QString>, int> last[2];
  for (TVerificationResult &result : *results)
  {
    int &number = last[result.retest ? 1 : 0][qMakePair(result.length + 0.0, result.position)];
    if (result.repetition == 0)
    {
      result.repetition = number + 1;
    }
    number = qMax(number, result.repetition);
  }
}

namespace
{
// The lines of a results file, one at a time: the header first, then one result a line.
class TCsvParser
{
public:
  explicit TCsvParser(bool needs_length) : d_needs_length(needs_length) {}

  // False with *error naming the line.
  bool Line(int number, QString line, QString *error);
  bool Finish(QList<TVerificationResult> *results, QString *error);

private:
  bool Fail(int line, const QString &reason, QString *error)
  {
    *error = QStringLiteral("line %1: %2").arg(line).arg(reason);
    return false;
  }

  bool d_needs_length;
  // The TColumn of each field.
  QVector<int> d_columns;
  QList<TVerificationResult> d_read;
  QList<int> d_lines;
  QStringList d_fields;
};

bool TCsvParser::Line(int number, QString line, QString *error)
{
  if (number == 1 && line.startsWith(QChar(0xfeff)))
  {
    line.remove(0, 1);
  }
  if (line.endsWith(QLatin1Char('\r')))
  {
    line.chop(1);
  }
  if (line.trimmed().isEmpty())
  {
    return true;
  }
  if (!Split_Csv_Line(line, &d_fields))
  {
    return Fail(number, QStringLiteral("a quoted field is not closed"), error);
  }
  if (d_columns.isEmpty())
  {
    for (const QString &field : qAsConst(d_fields))
    {
      const int column =
          std::find_if(std::begin(COLUMN_NAMES), std::end(COLUMN_NAMES),
                       [&field](const char *name)
                       { return field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }) -
          std::begin(COLUMN_NAMES);
      if (column == TVerificationResults::COLUMN_COUNT || d_columns.contains(column))
      {
        return Fail(number,
                    QStringLiteral("the header's column '%1' is unknown or named twice "
                                   "(length_mm and error_um, and position, repetition and retest "
                                   "if wanted)")
                        .arg(field),
                    error);
      }
      d_columns.append(column);
    }
    for (const int required :
         {TVerificationResults::COLUMN_LENGTH, TVerificationResults::COLUMN_ERROR})
    {
      if (!d_columns.contains(required) &&
          (d_needs_length || required != TVerificationResults::COLUMN_LENGTH))
      {
        return Fail(number,
                    QStringLiteral("the header names no column '%1'")
                        .arg(TVerificationResults::Column_Name(required)),
                    error);
      }
    }
    return true;
  }
  if (d_fields.size() != d_columns.size())
  {
    return Fail(number,
                d_fields.size() < d_columns.size()
                    ? QStringLiteral("column '%1' is missing")
                          .arg(TVerificationResults::Column_Name(d_columns.at(d_fields.size())))
                    : QStringLiteral("more fields than the header names"),
                error);
  }
  if (d_read.size() == TVerificationResults::MAXIMUM_RESULTS)
  {
    return Fail(number,
                QStringLiteral("more than %1 results: no check holds so many")
                    .arg(TVerificationResults::MAXIMUM_RESULTS),
                error);
  }
  QStringList cells;
  for (int column = 0; column < TVerificationResults::COLUMN_COUNT; ++column)
  {
    const int field = d_columns.indexOf(column);
    cells.append(field >= 0 ? d_fields.at(field) : QString());
  }
  TVerificationResult result;
  QString reason;
  if (!TVerificationResults::Read_Cells(cells, &result, &reason, d_needs_length))
  {
    return Fail(number, reason, error);
  }
  d_read.append(result);
  d_lines.append(number);
  return true;
}

bool TCsvParser::Finish(QList<TVerificationResult> *results, QString *error)
{
  if (d_columns.isEmpty())
  {
    *error = QStringLiteral("the file is empty: it needs a header naming length_mm and error_um");
    return false;
  }
  if (d_read.isEmpty())
  {
    *error = QStringLiteral("the file holds no results");
    return false;
  }
  TVerificationResults::Number_Repetitions(&d_read);
  int first = 0;
  int second = 0;
  if (TVerificationRecord::Find_Duplicate(d_read, &first, &second))
  {
    const TVerificationResult &result = d_read.at(first);
    *error = QStringLiteral("lines %1 and %2 are both %3repetition %4 at %5 mm, position '%6'")
                 .arg(d_lines.at(first))
                 .arg(d_lines.at(second))
                 .arg(result.retest ? QStringLiteral("the retest's ") : QString())
                 .arg(result.repetition)
                 .arg(TVerificationRecord::Number_Text(result.length), result.position);
    return false;
  }
  *results = d_read;
  return true;
}
} // namespace

bool TVerificationResults::Read_Csv(const QString &text, QList<TVerificationResult> *results,
                                    QString *error, bool needs_length)
{
  TCsvParser parser(needs_length);
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (int index = 0; index < lines.size(); ++index)
  {
    if (!parser.Line(index + 1, lines.at(index), error))
    {
      return false;
    }
  }
  return parser.Finish(results, error);
}

bool TVerificationResults::Read_Device(QIODevice *device, QList<TVerificationResult> *results,
                                       QString *error, bool needs_length)
{
  TCsvParser parser(needs_length);
  // One byte more than a line may hold tells a line too long from one that fits.
  QByteArray line(MAXIMUM_LINE_BYTES + 2, Qt::Uninitialized);
  for (int number = 1;; ++number)
  {
    const qint64 size = device->readLine(line.data(), line.size());
    if (size < 0)
    {
      // The end, or a failure to read: a device that failed says so.
      if (!device->errorString().isEmpty() && device->atEnd() == false)
      {
        *error = QStringLiteral("cannot read line %1: %2").arg(number).arg(device->errorString());
        return false;
      }
      break;
    }
    if (size == 0 && device->atEnd())
    {
      break;
    }
    if (number > MAXIMUM_LINES)
    {
      *error = QStringLiteral("more than %1 lines: no results file of a check is so long")
                   .arg(MAXIMUM_LINES);
      return false;
    }
    if (size > MAXIMUM_LINE_BYTES && line.at(static_cast<int>(size) - 1) != '\n')
    {
      *error = QStringLiteral("line %1: longer than %2 bytes: not a line of results")
                   .arg(number)
                   .arg(MAXIMUM_LINE_BYTES);
      return false;
    }
    static QTextCodec *const utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = utf8->toUnicode(line.constData(), static_cast<int>(size), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
    {
      *error = QStringLiteral("line %1: bytes that are not UTF-8 text").arg(number);
      return false;
    }
    QString decoded = text;
    if (decoded.endsWith(QLatin1Char('\n')))
    {
      decoded.chop(1);
    }
    if (!parser.Line(number, decoded, error))
    {
      return false;
    }
  }
  return parser.Finish(results, error);
}

bool TVerificationResults::Read_File(const QString &file_name, QList<TVerificationResult> *results,
                                     QString *error, bool needs_length)
{
  QFile file(file_name);
  if (!file.open(QIODevice::ReadOnly))
  {
    *error = QStringLiteral("Cannot read '%1': %2").arg(file_name, file.errorString());
    return false;
  }
  QString reason;
  if (!Read_Device(&file, results, &reason, needs_length))
  {
    *error = QStringLiteral("'%1', %2").arg(file_name, reason);
    return false;
  }
  return true;
}

QList<QStringList> TVerificationResults::Tabbed_Rows(const QString &text)
{
  QList<QStringList> rows;
  for (QString line : text.split(QLatin1Char('\n')))
  {
    if (line.endsWith(QLatin1Char('\r')))
    {
      line.chop(1);
    }
    if (!line.trimmed().isEmpty())
    {
      rows.append(line.split(QLatin1Char('\t')));
    }
  }
  return rows;
}
