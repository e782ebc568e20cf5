#include "qifunits.h"

#include <QRegularExpression>

#include <cmath>
#include <iterator>

namespace
{
// A unit's conversion to its SI unit: SI = (value + offset) × factor.
struct TConversion
{
  double factor = 1.0;
  double offset = 0.0;
};

struct TKnownUnit
{
  const char *name;
  TConversion conversion;
};

const TKnownUnit KNOWN_LENGTH_UNITS[] = {
    {"meter", {1.0, 0.0}},       {"metre", {1.0, 0.0}},       {"m", {1.0, 0.0}},
    {"millimeter", {1e-3, 0.0}}, {"millimetre", {1e-3, 0.0}}, {"mm", {1e-3, 0.0}},
    {"micrometer", {1e-6, 0.0}}, {"micrometre", {1e-6, 0.0}}, {"micron", {1e-6, 0.0}},
    {"um", {1e-6, 0.0}},         {"centimeter", {1e-2, 0.0}}, {"centimetre", {1e-2, 0.0}},
    {"cm", {1e-2, 0.0}},         {"inch", {0.0254, 0.0}},     {"in", {0.0254, 0.0}},
    {"foot", {0.3048, 0.0}},     {"feet", {0.3048, 0.0}},     {"ft", {0.3048, 0.0}}};

const TKnownUnit KNOWN_TEMPERATURE_UNITS[] = {
    {"kelvin", {1.0, 0.0}},        {"k", {1.0, 0.0}},          {"celsius", {1.0, 273.15}},
    {"degc", {1.0, 273.15}},       {"c", {1.0, 273.15}},       {"fahrenheit", {5.0 / 9.0, 459.67}},
    {"degf", {5.0 / 9.0, 459.67}}, {"f", {5.0 / 9.0, 459.67}}, {"rankine", {5.0 / 9.0, 0.0}}};
} // namespace

bool TQifUnits::Parse_Decimal(const QString &text, double *value)
{
  static const QRegularExpression decimal(QStringLiteral("^[+-]?([0-9]+([.][0-9]*)?|[.][0-9]+)$"));
  if (!decimal.match(text).hasMatch())
  {
    return false;
  }
  bool valid = false;
  *value = text.toDouble(&valid);
  return valid && std::isfinite(*value);
}

void TQifUnits::Declare(TQuantity quantity, const QString &name, bool primary, bool has_conversion,
                        const QString &factor, const QString &offset)
{
  TUnitSet &set = d_sets[quantity];
  if (primary)
  {
    set.primary = name;
  }
  set.defined.insert(name, {has_conversion, factor, offset});
}

bool TQifUnits::Convert(TQuantity quantity, const TQifValue &value, const char *element,
                        double *result, QString *reason, QString *error) const
{
  const TUnitSet &set = d_sets[quantity];
  const QString unit = value.unit.isEmpty() ? set.primary : value.unit;
  TConversion conversion;
  bool known = unit.isEmpty();
  const auto defined = set.defined.constFind(unit);
  if (!known && defined != set.defined.constEnd() && defined->has_conversion)
  {
    known = (defined->offset.isEmpty() || Parse_Decimal(defined->offset, &conversion.offset)) &&
            Parse_Decimal(defined->factor, &conversion.factor) && conversion.factor > 0.0;
  }
  else if (!known)
  {
    const QString lower = unit.toLower();
    const TKnownUnit *begin =
        quantity == LENGTH ? std::begin(KNOWN_LENGTH_UNITS) : std::begin(KNOWN_TEMPERATURE_UNITS);
    const TKnownUnit *end =
        quantity == LENGTH ? std::end(KNOWN_LENGTH_UNITS) : std::end(KNOWN_TEMPERATURE_UNITS);
    for (const TKnownUnit *candidate = begin; !known && candidate != end; ++candidate)
    {
      if (lower == QLatin1String(candidate->name))
      {
        conversion = candidate->conversion;
        known = true;
      }
    }
  }
  if (!known)
  {
    *error = quantity == LENGTH ? QStringLiteral("Imported QIF file gives lengths in '%1', a unit "
                                                 "that Metrova cannot convert to millimetres.")
                                      .arg(unit)
                                : QStringLiteral("Imported QIF file gives temperatures in '%1', a "
                                                 "unit that Metrova cannot convert to degrees "
                                                 "Celsius.")
                                      .arg(unit);
    return false;
  }
  double number = 0.0;
  if (!Parse_Decimal(value.text, &number))
  {
    *reason = QStringLiteral("its %1 '%2' is not a number").arg(QLatin1String(element), value.text);
  }
  const double si = (number + conversion.offset) * conversion.factor;
  *result = quantity == LENGTH ? si * 1000.0 : si - 273.15;
  return true;
}
