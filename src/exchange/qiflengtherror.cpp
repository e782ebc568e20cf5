#include "qiflengtherror.h"

#include <QLocale>

#include <cmath>
#include <numeric>

namespace
{
// Stored texts hold error values to 0.01 um at best, and divisors of up to 5 digits.
constexpr double STEPS_PER_MILLIMETRE = 1e5;
constexpr qint64 MAXIMUM_DIVISOR = 99999;
// A rate's B and N are found in the usual divisors first, so that a rate reads as it was typed.
constexpr qint64 USUAL_DIVISORS[] = {1000, 300, 500, 100, 200, 250, 400, 150, 600, 800, 2000};
// A millimetre value in a stored text has at most 8 decimals: 9 characters with the point.
constexpr int VALUE_SCALE = 9;
constexpr double VALUE_SCALE_FACTOR = 1e9;
constexpr int DECIMAL_DIGITS = 18;

// The decimal expansion of numerator / (divisor × 10^scale), exact where it ends, else cut after
// the 18 digits that every XML Schema processor must take. Equal fractions give equal texts.
QString Quotient_Text(qint64 numerator, qint64 divisor, int scale)
{
  for (int step = 0; step < scale; ++step)
  {
    divisor *= 10;
  }
  const qint64 integer = numerator / divisor;
  qint64 remainder = numerator % divisor;
  const int integer_digits = integer == 0 ? 0 : QString::number(integer).size();
  QString fraction;
  while (remainder != 0 && integer_digits + fraction.size() < DECIMAL_DIGITS)
  {
    remainder *= 10;
    fraction += QLatin1Char(static_cast<char>('0' + remainder / divisor));
    remainder %= divisor;
  }
  while (fraction.endsWith(QLatin1Char('0')))
  {
    fraction.chop(1);
  }
  return fraction.isEmpty() ? QString::number(integer)
                            : QString::number(integer) + QLatin1Char('.') + fraction;
}

bool Is_Whole(double value)
{
  return std::fabs(value - std::round(value)) <= 1e-6 + 1e-12 * std::fabs(value);
}

// The fraction of a rate in steps per millimetre with a divisor that a text can hold: exact
// where a usual divisor holds it, else the closest.
void Nearest_Fraction(double steps_per_millimetre, double *steps, qint64 *divisor)
{
  for (const qint64 usual : USUAL_DIVISORS)
  {
    if (Is_Whole(steps_per_millimetre * static_cast<double>(usual)))
    {
      *steps = std::round(steps_per_millimetre * static_cast<double>(usual));
      *divisor = usual;
      return;
    }
  }
  // Continued fractions: the convergents p/q, then the best semiconvergent within the bound.
  double rest = steps_per_millimetre;
  double p0 = 0.0, q0 = 1.0, p1 = 1.0, q1 = 0.0;
  for (int step = 0; step < 64; ++step)
  {
    const double whole = std::floor(rest);
    const double q2 = q0 + whole * q1;
    if (q2 > static_cast<double>(MAXIMUM_DIVISOR))
    {
      break;
    }
    const double p2 = p0 + whole * p1;
    p0 = p1;
    q0 = q1;
    p1 = p2;
    q1 = q2;
    if (rest - whole <= 0.0 || Is_Whole(steps_per_millimetre * q1))
    {
      break;
    }
    rest = 1.0 / (rest - whole);
  }
  const double k = std::floor((static_cast<double>(MAXIMUM_DIVISOR) - q0) / q1);
  const double p_bound = p0 + k * p1;
  const double q_bound = q0 + k * q1;
  const bool bound_closer = k > 0.0 && std::fabs(p_bound / q_bound - steps_per_millimetre) <
                                           std::fabs(p1 / q1 - steps_per_millimetre);
  *steps = bound_closer ? p_bound : p1;
  *divisor = static_cast<qint64>(bound_closer ? q_bound : q1);
}

// The divisor N and the steps B per N millimetres that hold a rate, B in whole steps. Equal
// fractions give equal B and N however they were found, so that the export of what was read
// reads back as the same text: the fraction in its lowest terms, with the first usual divisor
// that holds it.
void Rate_Fraction(double rate, double *steps, qint64 *divisor)
{
  Nearest_Fraction(rate * STEPS_PER_MILLIMETRE, steps, divisor);
  const qint64 whole = static_cast<qint64>(*steps);
  const qint64 common = std::gcd(whole, *divisor);
  *steps = static_cast<double>(whole / common);
  *divisor /= common;
  for (const qint64 usual : USUAL_DIVISORS)
  {
    if (usual % *divisor == 0)
    {
      *steps *= static_cast<double>(usual / *divisor);
      *divisor = usual;
      return;
    }
  }
}

QString Value_Text(double millimetres)
{
  return TExpressionItem::Value_Text(millimetres, TExpressionItem::UNITS_MM);
}
} // namespace

TQifLengthError::TQifLengthError(int form, double max_error, double base_error, double error_rate)
    : d_form(form), d_max_error(max_error), d_base_error(base_error), d_error_rate(error_rate),
      d_error_rate_text(Decimal_Text(error_rate))
{
}

QString TQifLengthError::Decimal_Text(double value)
{
  return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

TQifLengthError TQifLengthError::From_Expression(const TExpressionItem &expression, QString *reason)
{
  const auto value = [&expression](int index)
  { return expression.Component(index, TExpressionItem::UNITS_MM); };

  TQifLengthError error;
  switch (expression.Expression_Type())
  {
  case TExpressionItem::EXPRESSION_CONSTANT:
    error.d_form = FORM_CONSTANT;
    error.d_max_error = value(0);
    return error;
  case TExpressionItem::EXPRESSION_LINEAR:
  case TExpressionItem::EXPRESSION_LINEAR_MAXIMUM:
  {
    const double divisor = value(2);
    if (!(divisor >= 1.0 && divisor <= static_cast<double>(MAXIMUM_DIVISOR)))
    {
      *reason = QStringLiteral("its length error E0 divides by a length of 0 mm");
      return {};
    }
    const bool lesser = expression.Expression_Type() == TExpressionItem::EXPRESSION_LINEAR_MAXIMUM;
    error.d_form = lesser ? FORM_LESSER : FORM_LINEAR;
    error.d_base_error = value(0);
    error.d_max_error = lesser ? value(3) : 0.0;
    error.d_error_rate = value(1) / divisor;
    // Printed from the stored text's digits, B/N exactly: a reader gets the stored value at any
    // length, and equal rates always print alike.
    error.d_error_rate_text =
        Quotient_Text(std::llround(value(1) * VALUE_SCALE_FACTOR),
                      static_cast<qint64>(std::llround(divisor)), VALUE_SCALE);
    return error;
  }
  case TExpressionItem::EXPRESSION_FIXED_LENGTH:
    *reason = QStringLiteral("its length error E0 is stated for one length only, which QIF "
                             "cannot express");
    return {};
  case TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE:
  case TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE:
    *reason = QStringLiteral("its length error E0 depends on the temperature, which QIF cannot "
                             "express");
    return {};
  default:
    *reason = QStringLiteral("its length error E0 is not a length error that QIF can express");
    return {};
  }
}

TExpressionItem TQifLengthError::To_Expression(QString *reason) const
{
  TExpressionItem expression;
  const double values[] = {d_max_error, d_base_error, d_error_rate};
  for (const double value : values)
  {
    if (!std::isfinite(value) || value < 0.0)
    {
      *reason = QStringLiteral("its length error has a negative or infinite value");
      return expression;
    }
  }
  QString text;
  int kind = TExpressionItem::EXPRESSION_LINEAR;
  // B/N with B in whole steps; a rate too large for any text is left to the check below.
  double steps = 0.0;
  qint64 divisor = USUAL_DIVISORS[0];
  if (d_form != FORM_CONSTANT && d_error_rate * STEPS_PER_MILLIMETRE < 1e12)
  {
    Rate_Fraction(d_error_rate, &steps, &divisor);
  }
  else if (d_form != FORM_CONSTANT)
  {
    steps = d_error_rate * STEPS_PER_MILLIMETRE * static_cast<double>(divisor);
  }
  const QString linear =
      QStringLiteral("%1+%2L/%3")
          .arg(Value_Text(d_base_error), Value_Text(steps / STEPS_PER_MILLIMETRE),
               TExpressionItem::Divisor_Text(static_cast<double>(divisor)));
  switch (d_form)
  {
  case FORM_CONSTANT:
    // E0 takes no constant; a linear error with a zero rate is the same error.
    text = QStringLiteral("%1+%2L/%3")
               .arg(Value_Text(d_max_error), Value_Text(0.0),
                    TExpressionItem::Divisor_Text(static_cast<double>(USUAL_DIVISORS[0])));
    break;
  case FORM_LINEAR:
    text = linear;
    break;
  case FORM_LESSER:
    text = linear + QLatin1Char('|') + Value_Text(d_max_error);
    kind = TExpressionItem::EXPRESSION_LINEAR_MAXIMUM;
    break;
  default:
    *reason = QStringLiteral("it has no length error");
    return expression;
  }
  // From 1000 mm the text holds B to 0.1 um only: a B that it rounds is another fraction, which
  // the export would read back as another text.
  if (expression.Set_Expression(text, TExpressionItem::UNITS_MM) != kind ||
      !expression.Is_Storable() ||
      std::llround(expression.Component(1, TExpressionItem::UNITS_MM) * STEPS_PER_MILLIMETRE) !=
          std::llround(steps))
  {
    *reason = QStringLiteral("its length error is too large for Metrova's expressions");
    return TExpressionItem();
  }
  return expression;
}
