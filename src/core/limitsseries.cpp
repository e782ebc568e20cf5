#include "limitsseries.h"

#include <QLatin1Char>
#include <QStringList>

#include <cmath>

QVector<double> TLimitsSeries::Range(double maximum, int steps)
{
  QVector<double> lengths;
  if (steps < 1 || !(maximum > 0.0))
  {
    return lengths;
  }
  lengths.reserve(steps + 1);
  for (int step = 0; step <= steps; ++step)
  {
    lengths.append(maximum * step / steps);
  }
  return lengths;
}

bool TLimitsSeries::Parse_Length(const QString &text, double *length)
{
  double value = 0.0;
  if (!TSpecificationLimits::To_Number(text, &value) || value < 0.0)
  {
    return false;
  }
  *length = value;
  return true;
}

bool TLimitsSeries::Parse_Lengths(const QString &text, QVector<double> *lengths)
{
  QVector<double> parsed;
  for (const QString &entry : text.split(QLatin1Char(',')))
  {
    double length = 0.0;
    if (!Parse_Length(entry, &length))
    {
      return false;
    }
    parsed.append(length);
  }
  *lengths = parsed;
  return true;
}

TLimitsSeries::TRangeResult TLimitsSeries::Parse_Range(const QString &text,
                                                       QVector<double> *lengths, bool *is_range)
{
  const QStringList parts = text.split(QLatin1Char(':'));
  *is_range = parts.size() == 3;
  double bounds[3] = {0.0, 0.0, 0.0};
  for (int index = 0; index < parts.size(); ++index)
  {
    if ((parts.size() != 1 && !*is_range) ||
        !TSpecificationLimits::To_Number(parts.at(index), &bounds[index]))
    {
      return RANGE_NOT_NUMBERS;
    }
  }
  if (bounds[0] < 0.0 || bounds[1] < 0.0)
  {
    return RANGE_NEGATIVE;
  }
  if (!*is_range)
  {
    *lengths = {bounds[0]};
    return RANGE_VALID;
  }
  const double steps = (bounds[1] - bounds[0]) / bounds[2];
  if (!(bounds[2] > 0.0) || bounds[1] < bounds[0] || !(steps < MAXIMUM_RANGE_LENGTHS))
  {
    return RANGE_BAD_BOUNDS;
  }
  // A TO that the steps reach up to rounding is included.
  const int count = static_cast<int>(std::floor(steps + 1e-9)) + 1;
  lengths->clear();
  lengths->reserve(count);
  for (int index = 0; index < count; ++index)
  {
    lengths->append(bounds[0] + index * bounds[2]);
  }
  return RANGE_VALID;
}

QString TLimitsSeries::Lengths_Text(const QVector<double> &lengths)
{
  QStringList texts;
  for (const double length : lengths)
  {
    texts.append(QString::number(length, 'g', 10));
  }
  return texts.join(QStringLiteral(", "));
}

QVector<TSpecificationLimits::TValue>
TLimitsSeries::Component_Values(const QList<TDatabaseItem> &records, const QString &standard,
                                const QString &component, const QVector<double> &lengths,
                                double temperature_deviation)
{
  QVector<TSpecificationLimits::TValue> values;
  values.reserve(lengths.size());
  for (const double length : lengths)
  {
    values.append(TSpecificationLimits::Component_Value(records, standard, component, length,
                                                        temperature_deviation));
  }
  return values;
}

QVector<QPointF> TLimitsSeries::Component_Curve(const QList<TDatabaseItem> &records,
                                                const QString &standard, const QString &component,
                                                const QVector<double> &lengths,
                                                double temperature_deviation)
{
  const QVector<TSpecificationLimits::TValue> values =
      Component_Values(records, standard, component, lengths, temperature_deviation);
  QVector<QPointF> curve;
  for (int index = 0; index < values.size(); ++index)
  {
    if (values.at(index).Has_Value())
    {
      curve.append(QPointF(lengths.at(index), values.at(index).value));
    }
  }
  return curve;
}

QVector<QVector<QPointF>> TLimitsSeries::Row_Curves(const QList<TDatabaseItem> &records,
                                                    const QVector<double> &lengths,
                                                    double temperature_deviation)
{
  QVector<QVector<QPointF>> curves(TSpecificationLimits::ROW_COUNT);
  for (const double length : lengths)
  {
    const QVector<TSpecificationLimits::TValue> values =
        TSpecificationLimits::Evaluate(records, length, temperature_deviation);
    for (int row = 0; row < TSpecificationLimits::ROW_COUNT; ++row)
    {
      if (TSpecificationLimits::Is_Length_Row(row) && values.at(row).Has_Value())
      {
        curves[row].append(QPointF(length, values.at(row).value));
      }
    }
  }
  return curves;
}
