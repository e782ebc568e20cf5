#ifndef METROVA_TEMPERATUREBAND_H
#define METROVA_TEMPERATUREBAND_H

#include "databaseitem.h"

#include <QList>
#include <QString>

// The air temperatures inside which a maker states a machine's limits: its 10360 Ts_Min to
// Ts_Max. Outside them the limits do not apply. A machine without both has no band, and every
// temperature passes.
class TTemperatureBand
{
public:
  static TTemperatureBand Of_Machine(const QList<TDatabaseItem> &records);

  bool Is_Known() const { return d_known; }
  double Minimum() const { return d_minimum.Component(0, TExpressionItem::UNITS_MM); }
  double Maximum() const { return d_maximum.Component(0, TExpressionItem::UNITS_MM); }
  // The stated temperatures themselves lie inside.
  bool Contains(double temperature) const;
  // "18.00 C to 22.00 C", empty without a band; the unit is written as given.
  QString Range_Text(const QString &celsius = QStringLiteral("C")) const;
  // The one line that tells that the limits do not apply at this temperature; empty inside.
  QString Warning(double temperature, const QString &celsius = QStringLiteral("C")) const;

private:
  bool d_known = false;
  TExpressionItem d_minimum;
  TExpressionItem d_maximum;
};

#endif // METROVA_TEMPERATUREBAND_H
