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
  const char *label;
  const char *standard;
  const char *component;
  int row;
  int kinds;
  const char *value_template;
};

const TRowSource ROW_SOURCES[] = {
    {"B89.4.1 Repeat:", "B89.4.1", "Repeat", TSpecificationLimits::ROW_B89_REPEAT,
     TExpressionItem::EXPRESSION_CONSTANT, "%1 um"},
    {"B89.4.1 Ballbar:", "B89.4.1", "Volume", TSpecificationLimits::ROW_B89_BALLBAR,
     LINEAR_KINDS | NOMINAL_LENGTH_KINDS, "%1 um"},
    {"10360-2 R0:", "10360", "R0", TSpecificationLimits::ROW_10360_R0,
     TExpressionItem::EXPRESSION_CONSTANT, "%1 um"},
    {"10360-2 E0:", "10360", "E0", TSpecificationLimits::ROW_10360_E0, LINEAR_KINDS, "+/- %1 um"},
    {"10360-2 E150:", "10360", "E150", TSpecificationLimits::ROW_10360_E150, LINEAR_KINDS,
     "+/- %1 um"},
    {"VDIVDE 2617 V3:", "VDIVDE_2617", "V3", TSpecificationLimits::ROW_VDIVDE_V3,
     TExpressionItem::EXPRESSION_CONSTANT, "%1 um"},
    {"VDIVDE 2617 U3:", "VDIVDE_2617", "U3", TSpecificationLimits::ROW_VDIVDE_U3, LINEAR_KINDS,
     "+/- %1 um"},
    {"CMMA Repeat:", "CMMA", "Repeat", TSpecificationLimits::ROW_CMMA_REPEAT,
     TExpressionItem::EXPRESSION_CONSTANT, "%1 um"},
    {"CMMA M:", "CMMA", "M", TSpecificationLimits::ROW_CMMA_M, LINEAR_KINDS, "+/- %1 um"},
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

const TRowSource &Row_Source(int row)
{
  for (const TRowSource &source : ROW_SOURCES)
  {
    if (source.row == row)
    {
      return source;
    }
  }
  Q_ASSERT(false);
  return ROW_SOURCES[0];
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
         // |1 - L/N| < 0.2 as |N - L| < 0.2 N, which keeps L = 0.8 N and 1.2 N outside: the
         // quotient form rounds 1 - 400/500 below 0.2.
         std::fabs(n - length) < TSpecificationLimits::NOMINAL_LENGTH_TOLERANCE * n;
}

// Applies one stored item to the value of its row or component: a later item overwrites an
// earlier one, except that a rule giving no value leaves the earlier value in place.
void Apply_Item(const TSpecificationItem &item, int kinds, double length,
                double temperature_deviation, TSpecificationLimits::TValue *value)
{
  const TExpressionItem &expression = item.expression;
  const int kind = expression.Expression_Type();
  if ((kind & kinds) == 0)
  {
    return;
  }

  double number = 0.0;
  int state = TSpecificationLimits::STATE_VALUE;
  if (kind == TExpressionItem::EXPRESSION_CONSTANT)
  {
    number = Micrometres(expression, 0);
  }
  else if ((kind & NOMINAL_LENGTH_KINDS) != 0)
  {
    const bool fixed = kind == TExpressionItem::EXPRESSION_FIXED_LENGTH;
    if (Near_Nominal_Length(length, Millimetres(expression, fixed ? 1 : 2)))
    {
      number = Micrometres(expression, 0) +
               (fixed ? 0.0 : Micrometres(expression, 1) * temperature_deviation);
    }
    else
    {
      state = TSpecificationLimits::STATE_FORM;
    }
  }
  else if (!Linear_Value(expression, length, temperature_deviation, &number))
  {
    return;
  }
  value->state = state;
  value->value = number;
  value->source = item.source;
  value->expression = expression;
}
} // namespace

QStringList TSpecificationLimits::Calculate(const QList<TDatabaseItem> &records,
                                            const QString &length_text,
                                            double temperature_deviation)
{
  double length = 0.0;
  const bool number = To_Number(length_text, &length);
  const QVector<TValue> values =
      number ? Evaluate(records, length, temperature_deviation) : QVector<TValue>(ROW_COUNT);

  QStringList rows;
  for (int row = 0; row < ROW_COUNT; ++row)
  {
    rows.append(Row_Text(row, values.at(row)));
  }
  return rows;
}

QVector<TSpecificationLimits::TValue>
TSpecificationLimits::Evaluate(const QList<TDatabaseItem> &records, double length,
                               double temperature_deviation)
{
  QVector<TValue> values(ROW_COUNT);
  length = std::fabs(length);
  for (const TDatabaseItem &record : records)
  {
    for (int index = 0; index < record.Specification_Item_Count(); ++index)
    {
      const TSpecificationItem &item = record.Specification_Item(index);
      if (const TRowSource *source = Find_Row_Source(record.Standard(), item.name))
      {
        Apply_Item(item, source->kinds, length, temperature_deviation, &values[source->row]);
      }
    }
  }
  return values;
}

int TSpecificationLimits::Component_Kinds(const QString &standard, const QString &component)
{
  const TRowSource *source = Find_Row_Source(standard, component);
  return source ? source->kinds : LENGTH_KINDS;
}

TSpecificationLimits::TValue
TSpecificationLimits::Component_Value(const QList<TDatabaseItem> &records, const QString &standard,
                                      const QString &component, double length,
                                      double temperature_deviation)
{
  return Component_Value(records, standard, component, Component_Kinds(standard, component), length,
                         temperature_deviation);
}

TSpecificationLimits::TValue
TSpecificationLimits::Component_Value(const QList<TDatabaseItem> &records, const QString &standard,
                                      const QString &component, int kinds, double length,
                                      double temperature_deviation)
{
  TValue value;
  length = std::fabs(length);
  for (const TDatabaseItem &record : records)
  {
    if (record.Standard() != standard)
    {
      continue;
    }
    for (int index = 0; index < record.Specification_Item_Count(); ++index)
    {
      const TSpecificationItem &item = record.Specification_Item(index);
      if (item.name == component)
      {
        Apply_Item(item, kinds, length, temperature_deviation, &value);
      }
    }
  }
  return value;
}

TSpecificationLimits::TValue
TSpecificationLimits::Expression_Value(const TExpressionItem &expression, int kinds, double length,
                                       double temperature_deviation)
{
  TSpecificationItem item;
  item.expression = expression;
  TValue value;
  Apply_Item(item, kinds, std::fabs(length), temperature_deviation, &value);
  return value;
}

QString TSpecificationLimits::Row_Text(int row, const TValue &value)
{
  if (value.state == STATE_VALUE)
  {
    return QLatin1String(Row_Source(row).value_template).arg(Value_Text(value.value));
  }
  if (value.state != STATE_FORM)
  {
    return QString();
  }
  return QStringLiteral("%1 um").arg(Form_Text(value.expression));
}

QString TSpecificationLimits::Form_Text(const TExpressionItem &expression)
{
  const double a = Micrometres(expression, 0);
  if (expression.Expression_Type() == TExpressionItem::EXPRESSION_FIXED_LENGTH)
  {
    return QStringLiteral("%1/%2").arg(Fixed(a, 1), General(Millimetres(expression, 1)));
  }
  return QStringLiteral("(%1+%2Td)/%3")
      .arg(Fixed(a, 1), Fixed(Micrometres(expression, 1), 2), General(Millimetres(expression, 2)));
}

QString TSpecificationLimits::Value_Text(double value)
{
  return Fixed(value, 1);
}

QList<double> TSpecificationLimits::Values(const QList<TDatabaseItem> &records, double length,
                                           double temperature_deviation)
{
  QList<double> numbers;
  const QVector<TValue> values = std::isfinite(length)
                                     ? Evaluate(records, length, temperature_deviation)
                                     : QVector<TValue>(ROW_COUNT);
  for (const TValue &value : values)
  {
    numbers.append(value.Has_Value() ? value.value : std::nan(""));
  }
  return numbers;
}

QString TSpecificationLimits::Row_Label(int row)
{
  return row >= 0 && row < ROW_COUNT ? QLatin1String(Row_Source(row).label) : QString();
}

bool TSpecificationLimits::Is_Length_Row(int row)
{
  return (Row_Source(row).kinds & LENGTH_KINDS) != 0;
}

double TSpecificationLimits::Temperature_Deviation(const QString &temperature_text,
                                                   double previous_deviation)
{
  double temperature = 0.0;
  if (!To_Number(temperature_text, &temperature))
  {
    return previous_deviation;
  }
  return Temperature_Deviation(temperature);
}

double TSpecificationLimits::Temperature_Deviation(double temperature)
{
  return std::fabs(temperature - REFERENCE_TEMPERATURE);
}

// QString::toDouble accepts "nan" and "inf", which are no length or temperature.
bool TSpecificationLimits::To_Number(const QString &text, double *value)
{
  bool ok = false;
  *value = text.toDouble(&ok);
  return ok && std::isfinite(*value);
}
