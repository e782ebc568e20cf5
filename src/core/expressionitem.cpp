#include "expressionitem.h"

#include <QRegularExpression>
#include <QRegularExpressionMatch>

#include <algorithm>
#include <iterator>

namespace
{
constexpr double UNITS_SCALE = 1000.0;
constexpr double TEMPERATURE_MINIMUM = 10.0;
constexpr double TEMPERATURE_MAXIMUM = 40.0;

// The written forms, most specific first: the first one that matches decides.
enum TForm
{
  FORM_LINEAR_TEMPERATURE,
  FORM_LINEAR_MAXIMUM,
  FORM_UNIT_LINEAR_MAXIMUM,
  FORM_FIXED_LENGTH_TEMPERATURE,
  FORM_LINEAR,
  FORM_UNIT_LINEAR,
  FORM_FIXED_LENGTH,
  FORM_CELSIUS,
  FORM_FAHRENHEIT,
  FORM_CONSTANT,
  FORM_COUNT
};

// clang-format off
const char *const FORM_PATTERNS[FORM_COUNT] = {
  "^([0-9.]{1,9})[+]([0-9.]{1,9})[T][d][+][(]([0-9.]{1,9})[+]([0-9.]{1,9})[T][d][)][L][/]([0-9]{1,5})$",
  "^([0-9.]{1,9})[+]([0-9.]{1,9})[L][/]([0-9]{1,5})[|]([0-9.]{1,9})$",
  "^([0-9.]{1,9})[+][L][/]([0-9]{1,5})[|]([0-9.]{1,9})$",
  "^[(]([0-9.]{1,9})[+]([0-9.]{1,9})[T][d][)][/]([0-9]{1,5})$",
  "^([0-9.]{1,9})[+]([0-9.]{1,9})[L][/]([0-9]{1,5})$",
  "^([0-9.]{1,9})[+][L][/]([0-9]{1,5})$",
  "^([0-9.]{1,9})[/]([0-9]{1,5})$",
  "^([0-9.]{1,9})[C,c]$",
  "^([0-9.]{1,9})[F,f]$",
  "^([0-9.]{1,9})$",
};
// clang-format on

// Compiled once: the importer parses every expression of a catalogue.
const QRegularExpression &Form_Expression(int form)
{
  struct TCompiledForms
  {
    QRegularExpression expressions[FORM_COUNT];

    TCompiledForms()
    {
      for (int index = 0; index < FORM_COUNT; ++index)
      {
        expressions[index].setPattern(QLatin1String(FORM_PATTERNS[index]));
        // Compiled here, under the static's guard, so threads only ever read them.
        expressions[index].optimize();
      }
    }
  };
  static const TCompiledForms forms;
  return forms.expressions[form];
}

// A literal character that each form needs: most texts are ruled out without running a pattern.
bool May_Match(int form, const QString &text)
{
  switch (form)
  {
  case FORM_LINEAR_TEMPERATURE:
  case FORM_FIXED_LENGTH_TEMPERATURE:
    return text.contains(QLatin1Char('T'));
  case FORM_LINEAR_MAXIMUM:
  case FORM_UNIT_LINEAR_MAXIMUM:
    return text.contains(QLatin1Char('|'));
  case FORM_LINEAR:
  case FORM_UNIT_LINEAR:
    return text.contains(QLatin1Char('L'));
  case FORM_FIXED_LENGTH:
    return text.contains(QLatin1Char('/'));
  case FORM_CELSIUS:
    return text.endsWith(QLatin1Char('C')) || text.endsWith(QLatin1Char('c')) ||
           text.endsWith(QLatin1Char(','));
  case FORM_FAHRENHEIT:
    return text.endsWith(QLatin1Char('F')) || text.endsWith(QLatin1Char('f')) ||
           text.endsWith(QLatin1Char(','));
  default:
    return true;
  }
}

// Tries one form against the whole text. A capture that is not a number (1..5, a lone point) makes
// the form not match, so a mistyped value is never taken as zero.
bool Match_Form(int form, const QString &text, double numbers[])
{
  if (!May_Match(form, text))
  {
    return false;
  }

  const QRegularExpression &expression = Form_Expression(form);
  const QRegularExpressionMatch match = expression.match(text);

  // '$' also matches before a final line feed; the form must cover the whole text.
  if (!match.hasMatch() || match.capturedEnd(0) != text.length())
  {
    return false;
  }

  for (int group = 1; group <= expression.captureCount(); ++group)
  {
    bool ok = false;
    numbers[group - 1] = match.capturedRef(group).toDouble(&ok);
    if (!ok)
    {
      return false;
    }
  }
  return true;
}

bool Accepted_Temperature(double celsius)
{
  return celsius > TEMPERATURE_MINIMUM && celsius < TEMPERATURE_MAXIMUM;
}

// Where each kind keeps the length its value or length term is stated for; -1 for none.
int Divisor_Index(int kind)
{
  switch (kind)
  {
  case TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE:
    return 4;
  case TExpressionItem::EXPRESSION_LINEAR_MAXIMUM:
  case TExpressionItem::EXPRESSION_LINEAR:
  case TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE:
    return 2;
  case TExpressionItem::EXPRESSION_FIXED_LENGTH:
    return 1;
  default:
    return -1;
  }
}

// The longest number a text form accepts.
constexpr int MAXIMUM_NUMBER_LENGTH = 9;

// A value with the given number of decimals, or with one more where the value needs it and the
// number still fits: the shorter text stays wherever it holds the value.
QString Fixed(double value, int precision)
{
  const QString longer = QString::number(value, 'f', precision + 1);
  if (longer.endsWith(QLatin1Char('0')) || longer.size() > MAXIMUM_NUMBER_LENGTH)
  {
    return QString::number(value, 'f', precision);
  }
  return longer;
}
} // namespace

TExpressionItem::TExpressionItem() : d_expression_type(EXPRESSION_UNDEFINED)
{
  for (double &component : d_components)
  {
    component = 0.0;
  }
}

TExpressionItem::TExpressionItem(const TExpressionItem &other)
    : d_expression_type(other.d_expression_type)
{
  for (int index = 0; index < EXPRESSION_COMPONENT_SIZE; ++index)
  {
    d_components[index] = other.d_components[index];
  }
}

TExpressionItem &TExpressionItem::operator=(const TExpressionItem &other)
{
  if (this != &other)
  {
    d_expression_type = other.d_expression_type;
    for (int index = 0; index < EXPRESSION_COMPONENT_SIZE; ++index)
    {
      d_components[index] = other.d_components[index];
    }
  }
  return *this;
}

int TExpressionItem::Set_Expression(const QString &text, int units)
{
  QString normalised(text);
  normalised.remove(QLatin1Char(' '));
  normalised.replace(QLatin1Char('l'), QLatin1Char('L'));

  d_expression_type = EXPRESSION_UNDEFINED;
  double previous[EXPRESSION_COMPONENT_SIZE];
  std::copy(std::begin(d_components), std::end(d_components), std::begin(previous));

  int form = 0;
  double n[TExpressionItem::EXPRESSION_COMPONENT_SIZE] = {};
  while (form < FORM_COUNT && !Match_Form(form, normalised, n))
  {
    ++form;
  }

  switch (form)
  {
  case FORM_LINEAR_TEMPERATURE:
    d_expression_type = EXPRESSION_LINEAR_TEMPERATURE;
    for (int index = 0; index < 5; ++index)
    {
      d_components[index] = n[index];
    }
    break;
  case FORM_LINEAR_MAXIMUM:
    d_expression_type = EXPRESSION_LINEAR_MAXIMUM;
    for (int index = 0; index < 4; ++index)
    {
      d_components[index] = n[index];
    }
    break;
  case FORM_UNIT_LINEAR_MAXIMUM:
    d_expression_type = EXPRESSION_LINEAR_MAXIMUM;
    d_components[0] = n[0];
    d_components[1] = 1.0;
    d_components[2] = n[1];
    d_components[3] = n[2];
    break;
  case FORM_FIXED_LENGTH_TEMPERATURE:
    d_expression_type = EXPRESSION_FIXED_LENGTH_TEMPERATURE;
    for (int index = 0; index < 3; ++index)
    {
      d_components[index] = n[index];
    }
    break;
  case FORM_LINEAR:
    d_expression_type = EXPRESSION_LINEAR;
    for (int index = 0; index < 3; ++index)
    {
      d_components[index] = n[index];
    }
    break;
  case FORM_UNIT_LINEAR:
    d_expression_type = EXPRESSION_LINEAR;
    d_components[0] = n[0];
    d_components[1] = 1.0;
    d_components[2] = n[1];
    break;
  case FORM_FIXED_LENGTH:
    d_expression_type = EXPRESSION_FIXED_LENGTH;
    d_components[0] = n[0];
    d_components[1] = n[1];
    break;
  case FORM_CELSIUS:
  case FORM_FAHRENHEIT:
    // An out-of-range temperature is kept although the kind stays undefined.
    d_components[0] = (form == FORM_CELSIUS) ? n[0] : (n[0] - 32.0) * 5.0 / 9.0;
    if (Accepted_Temperature(d_components[0]))
    {
      d_expression_type = EXPRESSION_TEMPERATURE;
    }
    break;
  case FORM_CONSTANT:
    d_expression_type = EXPRESSION_CONSTANT;
    d_components[0] = n[0];
    break;
  default:
    break;
  }

  // A length divided by zero has no value at any length: the text is no expression at all.
  const int divisor = Divisor_Index(d_expression_type);
  if (divisor >= 0 && d_components[divisor] == 0.0)
  {
    // As for a text that matches no form, the earlier components stay.
    std::copy(std::begin(previous), std::end(previous), std::begin(d_components));
    d_expression_type = EXPRESSION_UNDEFINED;
  }

  if (units == UNITS_UM)
  {
    switch (d_expression_type)
    {
    case EXPRESSION_LINEAR_TEMPERATURE:
      d_components[3] /= UNITS_SCALE;
      d_components[2] /= UNITS_SCALE;
      d_components[1] /= UNITS_SCALE;
      d_components[0] /= UNITS_SCALE;
      break;
    case EXPRESSION_LINEAR_MAXIMUM:
      d_components[3] /= UNITS_SCALE;
      d_components[1] /= UNITS_SCALE;
      d_components[0] /= UNITS_SCALE;
      break;
    case EXPRESSION_LINEAR:
    case EXPRESSION_FIXED_LENGTH_TEMPERATURE:
      d_components[1] /= UNITS_SCALE;
      d_components[0] /= UNITS_SCALE;
      break;
    case EXPRESSION_FIXED_LENGTH:
    case EXPRESSION_CONSTANT:
      d_components[0] /= UNITS_SCALE;
      break;
    default:
      break;
    }
  }

  return d_expression_type;
}

QString TExpressionItem::Expression_Text(int units) const
{
  if (units != UNITS_MM && units != UNITS_UM)
  {
    return QString();
  }

  const bool micrometres = (units == UNITS_UM);
  const auto value = [&](int index) { return Value_Text(d_components[index], units); };
  const auto coefficient = [&](int index) { return Coefficient_Text(d_components[index], units); };
  const auto divisor = [&](int index) { return Divisor_Text(d_components[index]); };

  switch (d_expression_type)
  {
  case EXPRESSION_UNDEFINED:
    return micrometres ? QStringLiteral("0.0") : QStringLiteral("0.0000");
  case EXPRESSION_CONSTANT:
    return value(0);
  case EXPRESSION_FIXED_LENGTH:
    return QStringLiteral("%1/%2").arg(value(0), divisor(1));
  case EXPRESSION_LINEAR:
    return QStringLiteral("%1+%2L/%3").arg(value(0), value(1), divisor(2));
  case EXPRESSION_LINEAR_MAXIMUM:
    return QStringLiteral("%1+%2L/%3|%4").arg(value(0), value(1), divisor(2), value(3));
  case EXPRESSION_FIXED_LENGTH_TEMPERATURE:
    return QStringLiteral("(%1+%2Td)/%3").arg(value(0), coefficient(1), divisor(2));
  case EXPRESSION_LINEAR_TEMPERATURE:
    return QStringLiteral("%1+%2Td+(%3+%4Td)L/%5")
        .arg(value(0), coefficient(1), value(2), coefficient(3), divisor(4));
  case EXPRESSION_TEMPERATURE:
    // Whole hundredths of a degree, as ever: the range bounds are what matters here.
    return QStringLiteral("%1 C").arg(QString::number(d_components[0], 'f', 2));
  default:
    return QString();
  }
}

QString TExpressionItem::Value_Text(double millimetres, int units)
{
  return units == UNITS_UM ? Fixed(millimetres * UNITS_SCALE, 1) : Fixed(millimetres, 4);
}

QString TExpressionItem::Coefficient_Text(double millimetres, int units)
{
  return units == UNITS_UM ? Fixed(millimetres * UNITS_SCALE, 2) : Fixed(millimetres, 5);
}

QString TExpressionItem::Divisor_Text(double divisor)
{
  // General notation, so that a whole divisor prints as 1000, never as 1000.0 or 1e+03.
  return QString::number(divisor, 'g', 6);
}

double TExpressionItem::Component(int index, int units) const
{
  Q_ASSERT(static_cast<unsigned int>(index) <
           static_cast<unsigned int>(TExpressionItem::EXPRESSION_COMPONENT_SIZE));

  if (units == UNITS_UM)
  {
    return d_components[index] * UNITS_SCALE;
  }
  return d_components[index];
}

bool TExpressionItem::Is_Storable() const
{
  if (d_expression_type == EXPRESSION_UNDEFINED)
  {
    return false;
  }
  TExpressionItem stored;
  return stored.Set_Expression(Expression_Text(UNITS_MM), UNITS_MM) == d_expression_type;
}
