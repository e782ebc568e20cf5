// libFuzzer target for the expression texts: every text is parsed in both units; what parses and
// can be stored must format, and parse again, to the same kind with the same values within the
// precision of its text, in millimetres and in micrometres alike. The parser must read each text
// as the forms' regular expressions do, from a QString and from its UTF-8 bytes alike, and its
// numbers must print as QString::number prints them.

#include "expressionitem.h"

#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
const int UNITS[] = {TExpressionItem::UNITS_MM, TExpressionItem::UNITS_UM};

// What each component of a kind is: an error value in millimetres, a Td coefficient, a divisor
// or a temperature; unused components are left out.
enum TRole
{
  UNUSED,
  VALUE,
  COEFFICIENT,
  DIVISOR,
  TEMPERATURE
};

const TRole *Roles(int kind)
{
  static const TRole constant[] = {VALUE, UNUSED, UNUSED, UNUSED, UNUSED};
  static const TRole fixed_length[] = {VALUE, DIVISOR, UNUSED, UNUSED, UNUSED};
  static const TRole linear[] = {VALUE, VALUE, DIVISOR, UNUSED, UNUSED};
  static const TRole maximum[] = {VALUE, VALUE, DIVISOR, VALUE, UNUSED};
  static const TRole fixed_temperature[] = {VALUE, COEFFICIENT, DIVISOR, UNUSED, UNUSED};
  static const TRole linear_temperature[] = {VALUE, COEFFICIENT, VALUE, COEFFICIENT, DIVISOR};
  static const TRole temperature[] = {TEMPERATURE, UNUSED, UNUSED, UNUSED, UNUSED};
  switch (kind)
  {
  case TExpressionItem::EXPRESSION_CONSTANT:
    return constant;
  case TExpressionItem::EXPRESSION_FIXED_LENGTH:
    return fixed_length;
  case TExpressionItem::EXPRESSION_LINEAR:
    return linear;
  case TExpressionItem::EXPRESSION_LINEAR_MAXIMUM:
    return maximum;
  case TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE:
    return fixed_temperature;
  case TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE:
    return linear_temperature;
  case TExpressionItem::EXPRESSION_TEMPERATURE:
    return temperature;
  default:
    return nullptr;
  }
}

// The forms as regular expressions, first match decides, with the kind each gives: the parser
// matches them by hand and must accept exactly these texts with the same numbers.
struct TOracleForm
{
  const char *pattern;
  int kind;
};
// clang-format off
const TOracleForm ORACLE_FORMS[] = {
  {"^([0-9.]{1,9})[+]([0-9.]{1,9})[T][d][+][(]([0-9.]{1,9})[+]([0-9.]{1,9})[T][d][)][L][/]([0-9]{1,5})$", 32},
  {"^([0-9.]{1,9})[+]([0-9.]{1,9})[L][/]([0-9]{1,5})[|]([0-9.]{1,9})$", 8},
  {"^([0-9.]{1,9})[+][L][/]([0-9]{1,5})[|]([0-9.]{1,9})$", -8},
  {"^[(]([0-9.]{1,9})[+]([0-9.]{1,9})[T][d][)][/]([0-9]{1,5})$", 16},
  {"^([0-9.]{1,9})[+]([0-9.]{1,9})[L][/]([0-9]{1,5})$", 4},
  {"^([0-9.]{1,9})[+][L][/]([0-9]{1,5})$", -4},
  {"^([0-9.]{1,9})[/]([0-9]{1,5})$", 2},
  {"^([0-9.]{1,9})[C,c]$", 64},
  {"^([0-9.]{1,9})[F,f]$", -64},
  {"^([0-9.]{1,9})$", 1},
};
// clang-format on

// The kind and millimetre components that the forms give a text, from an item whose components
// are all zero (a negative kind in the table: a coefficient of 1, or degrees Fahrenheit).
int Oracle_Parse(const QString &text, int units, double components[])
{
  QString normalised(text);
  normalised.remove(QLatin1Char(' '));
  normalised.replace(QLatin1Char('l'), QLatin1Char('L'));
  static const std::vector<QRegularExpression> expressions = []()
  {
    std::vector<QRegularExpression> compiled;
    for (const TOracleForm &form : ORACLE_FORMS)
    {
      compiled.emplace_back(QLatin1String(form.pattern));
    }
    return compiled;
  }();
  for (std::size_t index = 0; index < expressions.size(); ++index)
  {
    const TOracleForm &form = ORACLE_FORMS[index];
    const QRegularExpression &expression = expressions[index];
    const QRegularExpressionMatch match = expression.match(normalised);
    if (!match.hasMatch() || match.capturedEnd(0) != normalised.length())
    {
      continue;
    }
    double numbers[5] = {};
    bool read = true;
    for (int group = 1; group <= expression.captureCount(); ++group)
    {
      bool ok = false;
      numbers[group - 1] = match.capturedRef(group).toDouble(&ok);
      read = read && ok;
    }
    if (!read)
    {
      continue;
    }
    int kind = form.kind;
    if (kind == -4 || kind == -8)
    {
      kind = -kind;
      numbers[4] = numbers[2];
      numbers[2] = numbers[1];
      numbers[1] = 1.0;
      numbers[3] = numbers[4];
      numbers[4] = 0.0;
    }
    if (kind == 64 || kind == -64)
    {
      components[0] = kind == 64 ? numbers[0] : (numbers[0] - 32.0) * 5.0 / 9.0;
      return components[0] > 10.0 && components[0] < 40.0 ? 64 : 0;
    }
    const int divisor = kind == 32 ? 4 : kind == 2 ? 1 : kind == 1 ? -1 : 2;
    if (divisor >= 0 && numbers[divisor] == 0.0)
    {
      return 0;
    }
    // The error values and Td coefficients, which the units scale.
    const int scaled[][4] = {{0, -1}, {0, -1}, {0, 1, -1}, {0, 1, 3, -1}, {0, 1, -1}, {0, 1, 2, 3}};
    const int row = kind == 1    ? 0
                    : kind == 2  ? 1
                    : kind == 4  ? 2
                    : kind == 8  ? 3
                    : kind == 16 ? 4
                                 : 5;
    for (int index = 0; index < 4 && scaled[row][index] >= 0; ++index)
    {
      if (units == TExpressionItem::UNITS_UM)
      {
        numbers[scaled[row][index]] /= 1000.0;
      }
    }
    std::copy(numbers, numbers + 5, components);
    return kind;
  }
  return 0;
}

[[noreturn]] void Fault(const char *what, const QString &text, const QString &formatted)
{
  std::fprintf(stderr, "%s: '%s' formats as '%s'\n", what, qPrintable(text), qPrintable(formatted));
  std::abort();
}

// A value with the decimals, or one more where it needs it and fits nine characters, by
// QString::number.
QString Oracle_Fixed(double value, int precision)
{
  const QString longer = QString::number(value, 'f', precision + 1);
  return longer.endsWith(QLatin1Char('0')) || longer.size() > 9
             ? QString::number(value, 'f', precision)
             : longer;
}

// Every number text of a value is the one QString::number gives.
void Check_Printing(const QString &text, double value)
{
  const double components[] = {value, 0.0, 0.0, 0.0, 0.0};
  const QString printed[][2] = {
      {TExpressionItem::Value_Text(value, TExpressionItem::UNITS_MM), Oracle_Fixed(value, 4)},
      {TExpressionItem::Value_Text(value, TExpressionItem::UNITS_UM),
       Oracle_Fixed(value * 1000.0, 1)},
      {TExpressionItem::Coefficient_Text(value, TExpressionItem::UNITS_MM), Oracle_Fixed(value, 5)},
      {TExpressionItem::Coefficient_Text(value, TExpressionItem::UNITS_UM),
       Oracle_Fixed(value * 1000.0, 2)},
      {TExpressionItem::Divisor_Text(value), QString::number(value, 'g', 6)},
      {TExpressionItem::Form_Text(TExpressionItem::EXPRESSION_TEMPERATURE, components,
                                  TExpressionItem::UNITS_MM),
       QString::number(value, 'f', 2) + QStringLiteral(" C")}};
  for (const auto &pair : printed)
  {
    if (pair[0] != pair[1])
    {
      Fault("number not printed as QString::number prints it", text, pair[0] + " / " + pair[1]);
    }
  }
}

// Half a unit of the last decimal that a text keeps of a value in millimetres: one more decimal
// than the plain form, one less where the longer number would not fit nine characters.
double Tolerance(TRole role, double millimetres, int units)
{
  const double scale = units == TExpressionItem::UNITS_UM ? 1000.0 : 1.0;
  const int decimals = (role == COEFFICIENT ? 6 : 5) - (units == TExpressionItem::UNITS_UM ? 3 : 0);
  const double shown = std::fabs(millimetres * scale);
  const int whole_digits = shown < 1.0 ? 1 : static_cast<int>(std::floor(std::log10(shown))) + 1;
  const int kept = whole_digits + 1 + decimals > 9 ? decimals - 1 : decimals;
  return 0.5 * std::pow(10.0, -kept) / scale * (1.0 + 1e-9) + 1e-12 * std::fabs(millimetres);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  if (size > 256)
  {
    return 0;
  }
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<int>(size));
  for (const int units : UNITS)
  {
    TExpressionItem item;
    const int kind = item.Set_Expression(text, units);
    if (kind != item.Expression_Type())
    {
      Fault("kind not kept", text, QString());
    }
    double expected[TExpressionItem::EXPRESSION_COMPONENT_SIZE] = {};
    const QByteArray bytes = text.toUtf8();
    TExpressionItem from_bytes;
    if (Oracle_Parse(text, units, expected) != kind ||
        from_bytes.Set_Expression(bytes.constData(), bytes.size(), units) != kind)
    {
      Fault("not read as the forms read it", text, QString::number(kind));
    }
    for (int index = 0; index < TExpressionItem::EXPRESSION_COMPONENT_SIZE; ++index)
    {
      const double value = item.Component(index, TExpressionItem::UNITS_MM);
      if (value != expected[index] ||
          value != from_bytes.Component(index, TExpressionItem::UNITS_MM))
      {
        Fault("number not read as the forms read it", text, QString::number(value, 'g', 17));
      }
      // As read, and as the estimation halves and doubles it.
      for (const double number : {value, value / 2.0, value * 2.0})
      {
        Check_Printing(text, number);
      }
    }
    const TRole *roles = Roles(kind);
    if (kind == TExpressionItem::EXPRESSION_UNDEFINED)
    {
      continue;
    }
    if (!roles)
    {
      Fault("unknown kind", text, QString());
    }
    if (!item.Is_Storable())
    {
      continue;
    }
    for (const int out_units : UNITS)
    {
      const QString formatted = item.Expression_Text(out_units);
      TExpressionItem again;
      if (again.Set_Expression(formatted, out_units) != kind)
      {
        Fault("kind changed", text, formatted);
      }
      if (again.Expression_Text(out_units) != formatted)
      {
        Fault("text changed", text, formatted);
      }
      for (int index = 0; index < TExpressionItem::EXPRESSION_COMPONENT_SIZE; ++index)
      {
        const double before = item.Component(index, TExpressionItem::UNITS_MM);
        const double after = again.Component(index, TExpressionItem::UNITS_MM);
        double tolerance = 0.0;
        switch (roles[index])
        {
        case UNUSED:
          continue;
        case VALUE:
        case COEFFICIENT:
          tolerance = Tolerance(roles[index], before, out_units);
          break;
        case DIVISOR:
          tolerance = 0.0;
          break;
        case TEMPERATURE:
          tolerance = 0.005 * (1.0 + 1e-9);
          break;
        }
        if (!(std::fabs(before - after) <= tolerance))
        {
          Fault("value changed", text, formatted);
        }
      }
    }
  }
  return 0;
}
