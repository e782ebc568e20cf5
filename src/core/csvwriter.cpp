#include "csvwriter.h"

#include <QLatin1String>
#include <QRegularExpression>

namespace
{
// A number as the tables write it: a negative one must not be taken for a formula.
bool Is_Number(const QString &text)
{
  static const QRegularExpression number(
      QStringLiteral("^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
  return number.match(text).hasMatch();
}

bool Starts_Formula(const QString &text)
{
  static const QString FORMULA_STARTS = QStringLiteral("=+-@\t\r");
  return !text.isEmpty() && FORMULA_STARTS.contains(text.at(0)) && !Is_Number(text);
}
} // namespace

QString TCsvWriter::Field(const QString &text, QChar separator)
{
  const bool formula = Starts_Formula(text);
  if (!formula && !text.contains(separator) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')) &&
      text.trimmed() == text)
  {
    return text;
  }
  QString quoted = text;
  quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + (formula ? QLatin1String("'") : QLatin1String()) + quoted +
         QLatin1Char('"');
}

QString TCsvWriter::Line(const QStringList &cells, QChar separator)
{
  QStringList fields;
  fields.reserve(cells.size());
  for (const QString &cell : cells)
  {
    fields.append(Field(cell, separator));
  }
  return fields.join(separator) + QLatin1Char('\n');
}

QString TCsvWriter::Table(const QStringList &header, const QList<QStringList> &rows,
                          QChar separator)
{
  QString text = Line(header, separator);
  for (const QStringList &row : rows)
  {
    text += Line(row, separator);
  }
  return text;
}
