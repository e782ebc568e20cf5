#include "temperatureband.h"

#include <QLatin1String>

TTemperatureBand TTemperatureBand::Of_Machine(const QList<TDatabaseItem> &records)
{
  TTemperatureBand band;
  bool minimum = false;
  bool maximum = false;
  for (const TDatabaseItem &record : records)
  {
    if (record.Standard() != QLatin1String("10360"))
    {
      continue;
    }
    for (int index = 0; index < record.Specification_Item_Count(); ++index)
    {
      const TSpecificationItem &item = record.Specification_Item(index);
      if (item.expression.Expression_Type() != TExpressionItem::EXPRESSION_TEMPERATURE)
      {
        continue;
      }
      if (item.name == QLatin1String("Ts_Min"))
      {
        band.d_minimum = item.expression;
        minimum = true;
      }
      else if (item.name == QLatin1String("Ts_Max"))
      {
        band.d_maximum = item.expression;
        maximum = true;
      }
    }
  }
  // A minimum above the maximum states no band that could be checked.
  band.d_known = minimum && maximum && band.Minimum() <= band.Maximum();
  return band;
}

bool TTemperatureBand::Contains(double temperature) const
{
  return !d_known || (temperature >= Minimum() && temperature <= Maximum());
}

QString TTemperatureBand::Range_Text(const QString &celsius) const
{
  if (!d_known)
  {
    return QString();
  }
  // Two decimals, as the stored temperatures are shown.
  return QStringLiteral("%1 %3 to %2 %3")
      .arg(QString::number(Minimum(), 'f', 2), QString::number(Maximum(), 'f', 2), celsius);
}

QString TTemperatureBand::Warning(double temperature, const QString &celsius) const
{
  if (Contains(temperature))
  {
    return QString();
  }
  // One decimal as typed, unless it would round onto the band and hide why the line is shown.
  QString shown = QString::number(temperature, 'f', 1);
  if (Contains(shown.toDouble()))
  {
    shown = QString::number(temperature, 'g', 12);
  }
  return QStringLiteral("%1 %2 is outside this machine's stated range %3: its limits do not apply")
      .arg(shown, celsius, Range_Text(celsius));
}
