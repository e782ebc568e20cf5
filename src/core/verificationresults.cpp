#include "verificationresults.h"

#include "specificationlimits.h"

#include <QFile>
#include <QHash>
#include <QLatin1Char>
#include <QLatin1String>
#include <QPair>
#include <QVector>

#include <algorithm>
#include <iterator>

namespace
{
const char *const COLUMN_NAMES[TVerificationResults::COLUMN_COUNT] = {"length_mm", "position",
                                                                      "repetition", "error_um"};

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
                                      QString *reason)
{
  TVerificationResult read;
  const QString length = cells.value(COLUMN_LENGTH).trimmed();
  if (!TSpecificationLimits::To_Number(length, &read.length) || read.length < 0.0)
  {
    *reason = QStringLiteral("the length '%1' is not a number of 0 or more").arg(length);
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
  *result = read;
  return true;
}

void TVerificationResults::Number_Repetitions(QList<TVerificationResult> *results)
{
  QHash<QPair<double, QString>, int> last;
  for (TVerificationResult &result : *results)
  {
    int &number = last[qMakePair(result.length + 0.0, result.position)];
    if (result.repetition == 0)
    {
      result.repetition = number + 1;
    }
    number = qMax(number, result.repetition);
  }
}

bool TVerificationResults::Read_Csv(const QString &text, QList<TVerificationResult> *results,
                                    QString *error)
{
  QString content = text;
  if (content.startsWith(QChar(0xfeff)))
  {
    content.remove(0, 1);
  }
  const QStringList lines = content.split(QLatin1Char('\n'));
  const auto fail = [error](int line, const QString &reason)
  {
    *error = QStringLiteral("line %1: %2").arg(line).arg(reason);
    return false;
  };

  QVector<int> columns; // the TColumn of each field
  QList<TVerificationResult> read;
  QStringList fields;
  for (int index = 0; index < lines.size(); ++index)
  {
    QString line = lines.at(index);
    if (line.endsWith(QLatin1Char('\r')))
    {
      line.chop(1);
    }
    if (line.trimmed().isEmpty())
    {
      continue;
    }
    const int number = index + 1;
    if (!Split_Csv_Line(line, &fields))
    {
      return fail(number, QStringLiteral("a quoted field is not closed"));
    }
    if (columns.isEmpty())
    {
      for (const QString &field : qAsConst(fields))
      {
        const int column =
            std::find_if(std::begin(COLUMN_NAMES), std::end(COLUMN_NAMES),
                         [&field](const char *name)
                         { return field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }) -
            std::begin(COLUMN_NAMES);
        if (column == COLUMN_COUNT || columns.contains(column))
        {
          return fail(number, QStringLiteral("the header's column '%1' is unknown or named "
                                             "twice (length_mm and error_um, and position and "
                                             "repetition if wanted)")
                                  .arg(field));
        }
        columns.append(column);
      }
      for (const int required : {COLUMN_LENGTH, COLUMN_ERROR})
      {
        if (!columns.contains(required))
        {
          return fail(number,
                      QStringLiteral("the header names no column '%1'").arg(Column_Name(required)));
        }
      }
      continue;
    }
    if (fields.size() != columns.size())
    {
      return fail(
          number,
          fields.size() < columns.size()
              ? QStringLiteral("column '%1' is missing").arg(Column_Name(columns.at(fields.size())))
              : QStringLiteral("more fields than the header names"));
    }
    QStringList cells;
    for (int column = 0; column < COLUMN_COUNT; ++column)
    {
      const int field = columns.indexOf(column);
      cells.append(field >= 0 ? fields.at(field) : QString());
    }
    TVerificationResult result;
    QString reason;
    if (!Read_Cells(cells, &result, &reason))
    {
      return fail(number, reason);
    }
    read.append(result);
  }
  if (columns.isEmpty())
  {
    *error = QStringLiteral("the file is empty: it needs a header naming length_mm and error_um");
    return false;
  }
  if (read.isEmpty())
  {
    *error = QStringLiteral("the file holds no results");
    return false;
  }
  Number_Repetitions(&read);
  *results = read;
  return true;
}

bool TVerificationResults::Read_File(const QString &file_name, QList<TVerificationResult> *results,
                                     QString *error)
{
  QFile file(file_name);
  if (!file.open(QIODevice::ReadOnly))
  {
    *error = QStringLiteral("Cannot read '%1': %2").arg(file_name, file.errorString());
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
  {
    *error = QStringLiteral("Cannot read '%1': %2").arg(file_name, file.errorString());
    return false;
  }
  QString reason;
  if (!Read_Csv(QString::fromUtf8(bytes), results, &reason))
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
