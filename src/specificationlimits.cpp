#include "specificationlimits.h"

#include "expressionitem.h"

#include <QLatin1Char>
#include <QLatin1String>
#include <cmath>

namespace
{
constexpr int NOMINAL_LENGTH_KINDS =
    TExpressionItem::EXPRESSION_FIXED_LENGTH | TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE;
constexpr int LINEAR_KINDS = TExpressionItem::EXPRESSION_LINEAR |
                             TExpressionItem::EXPRESSION_LINEAR_MAXIMUM |
                             TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE;

// Which component of which standard feeds a row, the kinds evaluated there and the row's text.
struct TRowSource
{
  const char *standard;
  const char *component;
  int row;
  int kinds;
  const char *value_template;
};

const TRowSource ROW_SOURCES[] = {
    {"B89.4.1", "Repeat", TSpecificationLimits::ROW_B89_REPEAT,
     TExpressionItem::EXPRESSION_CONSTANT, "%1 um"},
    {"B89.4.1", "Volume", TSpecificationLimits::ROW_B89_BALLBAR,
     LINEAR_KINDS | NOMINAL_LENGTH_KINDS, "%1 um"},
    {"10360", "R0", TSpecificationLimits::ROW_10360_R0, TExpressionItem::EXPRESSION_CONSTANT,
     "%1 um"},
    {"10360", "E0", TSpecificationLimits::ROW_10360_E0, LINEAR_KINDS, "+/- %1 um"},
    {"10360", "E150", TSpecificationLimits::ROW_10360_E150, LINEAR_KINDS, "+/- %1 um"},
    {"VDIVDE_2617", "V3", TSpecificationLimits::ROW_VDIVDE_V3, TExpressionItem::EXPRESSION_CONSTANT,
     "%1 um"},
    {"VDIVDE_2617", "U3", TSpecificationLimits::ROW_VDIVDE_U3, LINEAR_KINDS, "+/- %1 um"},
    {"CMMA", "Repeat", TSpecificationLimits::ROW_CMMA_REPEAT, TExpressionItem::EXPRESSION_CONSTANT,
     "%1 um"},
    {"CMMA", "M", TSpecificationLimits::ROW_CMMA_M, LINEAR_KINDS, "+/- %1 um"},
};

const TRowSource *Find_Row_Source(const QString &standard, const QString &component)
{
  for (const TRowSource &source : ROW_SOURCES)
  {
    if (standard == QLatin1String(source.standard) && component == QLatin1String(source.component))
    {
      return &source;
    }
  }
  return nullptr;
}

// QString::toDouble accepts "nan" and "inf", which are no length or temperature.
bool To_Number(const QString &text, double *value)
{
  bool ok = false;
  *value = text.toDouble(&ok);
  return ok && std::isfinite(*value);
}

QString Fixed(double value, int precision)
{
  return QStringLiteral("%1").arg(value, 0, 'f', precision, QLatin1Char(' '));
}

QString General(double value)
{
  return QStringLiteral("%1").arg(value, 0, 'g', -1, QLatin1Char(' '));
}

double Micrometres(const TExpressionItem &expression, int index)
{
  return expression.Component(index, TExpressionItem::UNITS_UM);
}

double Millimetres(const TExpressionItem &expression, int index)
{
  return expression.Component(index, TExpressionItem::UNITS_MM);
}

// The value of a linear form at length L, or false when its divisor is too small to be trusted.
bool Linear_Value(const TExpressionItem &expression, double length, double temperature_deviation,
                  double *value)
{
  const int kind = expression.Expression_Type();
  const int divisor_index = (kind == TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE) ? 4 : 2;
  const double n = Millimetres(expression, divisor_index);

  if (!(n > TSpecificationLimits::MINIMUM_DIVISOR))
  {
    return false;
  }

  const double length_factor = length / TSpecificationLimits::LENGTH_SCALE;
  const double divisor_factor = TSpecificationLimits::LENGTH_SCALE / n;
  const double a = Micrometres(expression, 0);
  const double b = Micrometres(expression, 1);

  if (kind == TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE)
  {
    const double c = Micrometres(expression, 2);
    const double d = Micrometres(expression, 3);
    *value = (a + b * temperature_deviation) +
             ((c + d * temperature_deviation) * divisor_factor) * length_factor;
    return true;
  }

  *value = a + (b * divisor_factor) * length_factor;
  if (kind == TExpressionItem::EXPRESSION_LINEAR_MAXIMUM)
  {
    const double maximum = Micrometres(expression, 3);
    if (*value > maximum)
    {
      *value = maximum;
    }
  }
  return true;
}

// A limit stated for one ballbar length N is a single number only near that length.
bool Near_Nominal_Length(double length, double n)
{
  return n > TSpecificationLimits::MINIMUM_DIVISOR &&
         length > TSpecificationLimits::MINIMUM_NOMINAL_LENGTH &&
         std::fabs(1.0 - length / n) < TSpecificationLimits::NOMINAL_LENGTH_TOLERANCE;
}

// The row's text; *value is the single number it shows, NaN when it shows the form.
QString Nominal_Length_Text(const TExpressionItem &expression, double length,
                            double temperature_deviation, double *value)
{
  const double a = Micrometres(expression, 0);
  *value = std::nan("");

  if (expression.Expression_Type() == TExpressionItem::EXPRESSION_FIXED_LENGTH)
  {
    const double n = Millimetres(expression, 1);
    if (Near_Nominal_Length(length, n))
    {
      *value = a;
      return QStringLiteral("%1 um").arg(Fixed(a, 1));
    }
    return QStringLiteral("%1/%2 um").arg(Fixed(a, 1), General(n));
  }

  const double b = Micrometres(expression, 1);
  const double n = Millimetres(expression, 2);
  if (Near_Nominal_Length(length, n))
  {
    *value = a + b * temperature_deviation;
    return QStringLiteral("%1 um").arg(Fixed(*value, 1));
  }
  return QStringLiteral("(%1+%2Td)/%3 um").arg(Fixed(a, 1), Fixed(b, 2), General(n));
}

// Both forms of the result at once, so that the texts and the numbers never disagree.
void Evaluate(const QList<TDatabaseItem> &records, double length, double temperature_deviation,
              QStringList *texts, QList<double> *values)
{
  texts->clear();
  values->clear();
  for (int row = 0; row < TSpecificationLimits::ROW_COUNT; ++row)
  {
    texts->append(QString());
    values->append(std::nan(""));
  }
  if (std::isnan(length))
  {
    return;
  }
  length = std::fabs(length);

  // Later records and items overwrite earlier ones for the same row; a rule that yields no value
  // leaves an earlier value in place.
  for (const TDatabaseItem &record : records)
  {
    for (int index = 0; index < record.Specification_Item_Count(); ++index)
    {
      const TSpecificationItem item = record.Specification_Item(index);
      const TRowSource *source = Find_Row_Source(record.Standard(), item.name);
      const int kind = item.expression.Expression_Type();

      if (!source || (kind & source->kinds) == 0)
      {
        continue;
      }

      const QString value_template = QLatin1String(source->value_template);
      double value = 0.0;
      if (kind == TExpressionItem::EXPRESSION_CONSTANT)
      {
        value = Micrometres(item.expression, 0);
        (*texts)[source->row] = value_template.arg(Fixed(value, 1));
      }
      else if ((kind & NOMINAL_LENGTH_KINDS) != 0)
      {
        (*texts)[source->row] =
            Nominal_Length_Text(item.expression, length, temperature_deviation, &value);
      }
      else if (Linear_Value(item.expression, length, temperature_deviation, &value))
      {
        (*texts)[source->row] = value_template.arg(Fixed(value, 1));
      }
      else
      {
        continue;
      }
      (*values)[source->row] = value;
    }
  }
}
} // namespace

QStringList TSpecificationLimits::Calculate(const QList<TDatabaseItem> &records,
                                            const QString &length_text,
                                            double temperature_deviation)
{
  double length = 0.0;
  if (!To_Number(length_text, &length))
  {
    length = std::nan("");
  }
  QStringList texts;
  QList<double> values;
  Evaluate(records, length, temperature_deviation, &texts, &values);
  return texts;
}

QList<double> TSpecificationLimits::Values(const QList<TDatabaseItem> &records, double length,
                                           double temperature_deviation)
{
  QStringList texts;
  QList<double> values;
  Evaluate(records, length, temperature_deviation, &texts, &values);
  return values;
}

QString TSpecificationLimits::Row_Label(int row)
{
  static const char *const LABELS[ROW_COUNT] = {
      "B89.4.1 Repeat:", "B89.4.1 Ballbar:", "10360-2 R0:",  "10360-2 E0:", "10360-2 E150:",
      "VDIVDE 2617 V3:", "VDIVDE 2617 U3:",  "CMMA Repeat:", "CMMA M:"};
  return row >= 0 && row < ROW_COUNT ? QLatin1String(LABELS[row]) : QString();
}

double TSpecificationLimits::Temperature_Deviation(const QString &temperature_text,
                                                   double previous_deviation)
{
  double temperature = 0.0;
  if (!To_Number(temperature_text, &temperature))
  {
    return previous_deviation;
  }
  return std::fabs(temperature - REFERENCE_TEMPERATURE);
}
