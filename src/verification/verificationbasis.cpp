#include "verificationbasis.h"

#include <QLatin1String>

namespace
{
const QString STANDARD_10360 = QStringLiteral("10360");
const QString R0 = QStringLiteral("R0");
const QString TS_MIN = QStringLiteral("Ts_Min");
const QString TS_MAX = QStringLiteral("Ts_Max");

TVerificationBasis::TValue Value_Of(const TSpecificationItem &item)
{
  return {item.expression.Expression_Text(TExpressionItem::UNITS_UM), item.source};
}

// "1.5+3.3L/1000 µm, stated by the manufacturer"; a temperature without the unit it carries.
QString Value_Words(const TVerificationBasis::TValue &value, bool temperature)
{
  return QStringLiteral("%1%2, %3")
      .arg(value.text, temperature ? QString() : QStringLiteral(" \u00b5m"),
           value.source == TDatabaseItem::SOURCE_ESTIMATED
               ? QStringLiteral("estimated from another standard")
               : QStringLiteral("stated by the manufacturer"));
}
} // namespace

bool TVerificationBasis::Judges_R0(const QString &standard, const QString &component)
{
  return standard == STANDARD_10360 && component == QLatin1String("E0");
}

TVerificationBasis TVerificationBasis::Of_Machine(const QList<TDatabaseItem> &machine,
                                                  const QString &standard, const QString &component)
{
  TVerificationBasis basis;
  basis.standard = standard;
  basis.component = component;
  for (const TDatabaseItem &record : machine)
  {
    const bool judged = record.Standard() == standard;
    const bool general = record.Standard() == STANDARD_10360;
    for (int index = 0; (judged || general) && index < record.Specification_Item_Count(); ++index)
    {
      const TSpecificationItem item = record.Specification_Item(index);
      if (item.expression.Expression_Type() == TExpressionItem::EXPRESSION_UNDEFINED)
      {
        continue;
      }
      if (judged && item.name == component)
      {
        basis.limit = Value_Of(item);
      }
      // R0 is kept for the record it judges only.
      if (general && item.name == R0 && Judges_R0(standard, component))
      {
        basis.r0 = Value_Of(item);
      }
      if (general && item.expression.Expression_Type() == TExpressionItem::EXPRESSION_TEMPERATURE)
      {
        if (item.name == TS_MIN)
        {
          basis.minimum_temperature = Value_Of(item);
        }
        else if (item.name == TS_MAX)
        {
          basis.maximum_temperature = Value_Of(item);
        }
      }
    }
  }
  return basis;
}

QList<TDatabaseItem> TVerificationBasis::Machine() const
{
  TDatabaseItem judged;
  judged.Set_Standard(standard);
  TDatabaseItem general;
  general.Set_Standard(STANDARD_10360);
  TDatabaseItem &rated = standard == STANDARD_10360 ? judged : general;
  const struct
  {
    const TValue *value;
    QString name;
    TDatabaseItem *record;
  } items[] = {{&limit, component, &judged},
               {&r0, R0, &rated},
               {&minimum_temperature, TS_MIN, &rated},
               {&maximum_temperature, TS_MAX, &rated}};
  for (const auto &entry : items)
  {
    if (entry.value->Is_Given())
    {
      TSpecificationItem item;
      item.name = entry.name;
      item.expression.Set_Expression(entry.value->text, TExpressionItem::UNITS_UM);
      item.source = entry.value->source;
      entry.record->Add_Specification_Item(item);
    }
  }
  QList<TDatabaseItem> machine{judged};
  if (standard != STANDARD_10360)
  {
    machine.append(general);
  }
  return machine;
}

QString TVerificationBasis::Limit_Line() const
{
  return limit.Is_Given() ? QStringLiteral("%1 = %2").arg(component, Value_Words(limit, false))
                          : QString();
}

QStringList TVerificationBasis::Changes(const TVerificationBasis &today) const
{
  QStringList changes;
  const struct
  {
    QString name;
    const TValue &stored;
    const TValue &now;
    bool temperature;
  } values[] = {{component, limit, today.limit, false},
                {R0, r0, today.r0, false},
                {TS_MIN, minimum_temperature, today.minimum_temperature, true},
                {TS_MAX, maximum_temperature, today.maximum_temperature, true}};
  for (const auto &value : values)
  {
    if (value.stored == value.now)
    {
      continue;
    }
    changes.append(value.now.Is_Given()
                       ? QStringLiteral("the catalogue's %1 is now %2")
                             .arg(value.name, Value_Words(value.now, value.temperature))
                       : QStringLiteral("the catalogue states no %1 now").arg(value.name));
  }
  return changes;
}

bool TVerificationBasis::operator==(const TVerificationBasis &other) const
{
  return standard == other.standard && component == other.component && limit == other.limit &&
         r0 == other.r0 && minimum_temperature == other.minimum_temperature &&
         maximum_temperature == other.maximum_temperature;
}
