// libFuzzer target for the expression texts: every text is parsed in both units; what parses and
// can be stored must format, and parse again, to the same kind with the same values within the
// precision of its text, in millimetres and in micrometres alike.

#include "expressionitem.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

[[noreturn]] void Fault(const char *what, const QString &text, const QString &formatted)
{
  std::fprintf(stderr, "%s: '%s' formats as '%s'\n", what, qPrintable(text), qPrintable(formatted));
  std::abort();
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
