#ifndef METROVA_QIFUNITS_H
#define METROVA_QIFUNITS_H

#include <QHash>
#include <QString>

// A value as a QIF document gives it: its text and the unit that its attribute names, if any.
struct TQifValue
{
  bool present = false;
  QString text;
  QString unit;
};

// The units of a QIF document's FileUnits, and the conversion of its values to millimetres and
// degrees Celsius. A value names its unit, or is in the primary unit, or in QIF's default, the SI
// unit (metres, kelvin); a unit is converted by the document's own definition, else by its name.
class TQifUnits
{
public:
  enum TQuantity
  {
    LENGTH,
    TEMPERATURE
  };

  // A unit that the document declares, with its conversion to the SI unit when it gives one.
  void Declare(TQuantity quantity, const QString &name, bool primary, bool has_conversion,
               const QString &factor, const QString &offset);

  // The value in millimetres or degrees Celsius. False, with *error, when its unit cannot be
  // converted: then no value of the document is usable. *reason says when the value is not a
  // number.
  bool Convert(TQuantity quantity, const TQifValue &value, const char *element, double *result,
               QString *reason, QString *error) const;

  // An xs:decimal: digits with an optional sign and point, no exponent.
  static bool Parse_Decimal(const QString &text, double *value);

private:
  struct TDefinition
  {
    bool has_conversion = false;
    QString factor;
    QString offset;
  };
  struct TUnitSet
  {
    // The name of the primary unit; empty when the document leaves it to QIF's default.
    QString primary;
    QHash<QString, TDefinition> defined;
  };

  TUnitSet d_sets[2];
};

#endif // METROVA_QIFUNITS_H
