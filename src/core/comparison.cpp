#include "comparison.h"

#include "csvwriter.h"
#include "expressionitem.h"
#include "limitsseries.h"

#include <QLatin1Char>

namespace
{
constexpr double MICROMETRES_PER_MILLIMETRE = 1000.0;

QString Length_Text(double length)
{
  return QString::number(length, 'g', 10);
}

// A limit as the catalogue keeps its values, to 0.01 um where that decimal is needed: 3.15, not
// 3.1 (the limits rows keep their own shorter form).
QString Limit_Text(double micrometres)
{
  return TExpressionItem::Value_Text(micrometres / MICROMETRES_PER_MILLIMETRE,
                                     TExpressionItem::UNITS_UM);
}

QString Value_Cell(const TSpecificationLimits::TValue &value)
{
  return value.Has_Value() ? Limit_Text(value.value) : QString();
}
} // namespace

TComparison::TRow TComparison::Row(const TSettings &settings, const TCapability::TMachine &machine)
{
  const TCapability::TRequest &request = settings.request;
  TRow row;
  row.machine = machine;
  row.values = TLimitsSeries::Component_Values(
      machine.records, request.standard, request.component, settings.lengths,
      TSpecificationLimits::Temperature_Deviation(request.temperature));
  row.capability = TCapability::Evaluate(request, machine.records);
  for (const TSpecificationLimits::TValue &value : qAsConst(row.values))
  {
    if (value.state != TSpecificationLimits::STATE_EMPTY)
    {
      row.source = TDatabaseItem::Source_Name(value.source);
      break;
    }
  }
  if (row.source.isEmpty() && row.capability.has_value)
  {
    row.source = TDatabaseItem::Source_Name(row.capability.source);
  }
  return row;
}

QList<TComparison::TRow> TComparison::Rows(const TSettings &settings,
                                           const QList<TCapability::TMachine> &machines)
{
  QList<TRow> rows;
  rows.reserve(machines.size());
  for (const TCapability::TMachine &machine : machines)
  {
    rows.append(Row(settings, machine));
  }
  return rows;
}

int TComparison::Ratio_Column(const TSettings &settings)
{
  return settings.with_tolerance ? COLUMN_SOURCE + 2 : -1;
}

QStringList TComparison::Header(const TSettings &settings)
{
  const QString component = settings.request.component;
  QStringList header = {QStringLiteral("Make"), QStringLiteral("Model"), QStringLiteral("Option"),
                        QStringLiteral("Source")};
  if (settings.with_tolerance)
  {
    header.append(QStringLiteral("%1 at %2 mm (um)")
                      .arg(component, Length_Text(settings.request.feature_length)));
    header.append(QStringLiteral("Ratio"));
    header.append(QStringLiteral("Verdict"));
  }
  for (const double length : settings.lengths)
  {
    header.append(QStringLiteral("%1 at %2 mm (um)").arg(component, Length_Text(length)));
  }
  header.append(QStringLiteral("Temperature"));
  return header;
}

QStringList TComparison::Column_Keys(const TSettings &settings)
{
  QStringList keys = {QStringLiteral("make"), QStringLiteral("model"), QStringLiteral("option"),
                      QStringLiteral("source")};
  if (settings.with_tolerance)
  {
    keys << QStringLiteral("feature") << QStringLiteral("ratio") << QStringLiteral("verdict");
  }
  for (const double length : settings.lengths)
  {
    keys.append(QStringLiteral("length ") + QString::number(length, 'g', 17));
  }
  keys.append(QStringLiteral("temperature"));
  return keys;
}

QStringList TComparison::Cells(const TSettings &settings, const TRow &row)
{
  QStringList cells = {row.machine.make, row.machine.model, row.machine.option, row.source};
  const TCapability::TResult &capability = row.capability;
  if (settings.with_tolerance)
  {
    const bool number = capability.has_value;
    cells.append(number ? Limit_Text(capability.error) : QString());
    cells.append(number ? QString::number(capability.ratio, 'f', 2) : QString());
    cells.append(TCapability::Verdict(capability));
  }
  for (const TSpecificationLimits::TValue &value : row.values)
  {
    cells.append(value.state == TSpecificationLimits::STATE_FORM
                     ? TSpecificationLimits::Form_Text(value.expression)
                     : Value_Cell(value));
  }
  cells.append(capability.in_band ? QString()
                                  : QStringLiteral("outside %1").arg(capability.band.Range_Text()));
  return cells;
}

QVector<QVariant> TComparison::Sort_Keys(const TSettings &settings, const TRow &row,
                                         const QStringList &cells)
{
  // Numbers where the cells show limits or ratios, none below every number; texts elsewhere.
  const auto number = [](bool has_value, double value) { return has_value ? value : -1.0; };
  const TCapability::TResult &capability = row.capability;
  QVector<QVariant> keys(cells.cbegin(), cells.cbegin() + COLUMN_SOURCE + 1);
  if (settings.with_tolerance)
  {
    keys.append(number(capability.has_value, capability.error));
    keys.append(number(capability.has_value, capability.ratio));
    keys.append(cells.at(keys.size()));
  }
  for (const TSpecificationLimits::TValue &value : row.values)
  {
    keys.append(number(value.Has_Value(), value.value));
  }
  keys.append(cells.last());
  return keys;
}

QStringList TComparison::Parameter_Lines(const TSettings &settings)
{
  const TCapability::TRequest &request = settings.request;
  QStringList lines = {
      QStringLiteral("Component: %1 %2").arg(request.standard, request.component),
      QStringLiteral("Lengths: %1 mm").arg(TLimitsSeries::Lengths_Text(settings.lengths)),
      QStringLiteral("Temperature: %1 C").arg(QString::number(request.temperature, 'f', 1))};
  if (settings.with_tolerance)
  {
    lines.append(QStringLiteral("Feature length: %1 mm").arg(Length_Text(request.feature_length)));
    lines.append(QStringLiteral("Tolerance span: %1 um").arg(Length_Text(request.tolerance)));
    lines.append(QStringLiteral("Required ratio: %1:1").arg(Length_Text(request.ratio)));
  }
  lines.append(QLatin1String(TCapability::CAVEAT));
  return lines;
}

QString TComparison::Csv(const TSettings &settings, const QList<TRow> &rows, QChar separator,
                         bool with_parameters)
{
  // Each setting is one cell, so that a separator inside it stays in its line.
  QString text;
  const QStringList parameters = with_parameters ? Parameter_Lines(settings) : QStringList();
  for (const QString &parameter : parameters)
  {
    text += TCsvWriter::Line({QStringLiteral("# ") + parameter}, separator);
  }
  QList<QStringList> cells;
  cells.reserve(rows.size());
  for (const TRow &row : rows)
  {
    cells.append(Cells(settings, row));
  }
  return text + TCsvWriter::Table(Header(settings), cells, separator);
}
