#include "verificationjudgement.h"

#include "limitsseries.h"
#include "specificationlimits.h"

#include <QHash>
#include <QLatin1String>
#include <QPair>

#include <algorithm>
#include <cmath>

const char TVerificationJudgement::TEMPERATURE_FLAG[] =
    "outside the stated temperature range: the MPE does not apply";
const char TVerificationJudgement::EVALUATION_NOTE[] =
    "The verdict is Metrova's evaluation of the entered results against the catalogue's MPE.";

namespace
{
// A limit and an error typed to the same decimals meet exactly, but the limit comes from
// millimetres times 1000 and sums: a result on a zone's edge stays inside it.
constexpr double EDGE_TOLERANCE = 1e-9;

const char *const ZONE_NAMES[TVerificationJudgement::ZONE_COUNT] = {
    "pass", "conditional pass", "conditional fail", "fail", "no limit"};
const char *const VERDICT_NAMES[TVerificationJudgement::VERDICT_COUNT] = {
    "conforms", "does not conform", "not proven"};
const int EXIT_STATUSES[TVerificationJudgement::VERDICT_COUNT] = {0, 3, 4};
} // namespace

int TVerificationJudgement::Zone(double error, double mpe, double uncertainty)
{
  const double size = std::fabs(error);
  if (!std::isfinite(size) || !std::isfinite(mpe))
  {
    return ZONE_NO_LIMIT;
  }
  if (size <= mpe - uncertainty + EDGE_TOLERANCE)
  {
    return ZONE_PASS;
  }
  if (size <= mpe + EDGE_TOLERANCE)
  {
    return ZONE_CONDITIONAL_PASS;
  }
  if (size <= mpe + uncertainty + EDGE_TOLERANCE)
  {
    return ZONE_CONDITIONAL_FAIL;
  }
  return ZONE_FAIL;
}

int TVerificationJudgement::Verdict(int rule, const QVector<int> &zones, bool can_conform)
{
  const auto any = [&zones](std::initializer_list<int> wanted)
  {
    return std::any_of(zones.cbegin(), zones.cend(),
                       [wanted](int zone)
                       { return std::find(wanted.begin(), wanted.end(), zone) != wanted.end(); });
  };
  int verdict = VERDICT_CONFORMS;
  switch (rule)
  {
  case TVerificationRecord::RULE_SIMPLE:
    if (any({ZONE_CONDITIONAL_FAIL, ZONE_FAIL}))
    {
      verdict = VERDICT_DOES_NOT_CONFORM;
    }
    break;
  case TVerificationRecord::RULE_CONFORMANCE:
    if (any({ZONE_FAIL}))
    {
      verdict = VERDICT_DOES_NOT_CONFORM;
    }
    else if (any({ZONE_CONDITIONAL_PASS, ZONE_CONDITIONAL_FAIL}))
    {
      verdict = VERDICT_NOT_PROVEN;
    }
    break;
  case TVerificationRecord::RULE_NONCONFORMANCE:
    if (any({ZONE_FAIL}))
    {
      verdict = VERDICT_DOES_NOT_CONFORM;
    }
    else if (any({ZONE_CONDITIONAL_FAIL}))
    {
      verdict = VERDICT_NOT_PROVEN;
    }
    break;
  default:
    return VERDICT_NOT_PROVEN;
  }
  if (verdict == VERDICT_CONFORMS && (!can_conform || zones.isEmpty() || any({ZONE_NO_LIMIT})))
  {
    return VERDICT_NOT_PROVEN;
  }
  return verdict;
}

TVerificationJudgement::TJudgement
TVerificationJudgement::Judge(const TVerificationRecord &record,
                              const QList<TDatabaseItem> &machine)
{
  TJudgement judgement;
  judgement.band = TTemperatureBand::Of_Machine(machine);
  judgement.in_band = judgement.band.Contains(record.temperature);
  const double deviation = TSpecificationLimits::Temperature_Deviation(record.temperature);

  QVector<int> zones;
  zones.reserve(record.results.size());
  for (const TVerificationResult &result : record.results)
  {
    TJudgedResult judged;
    judged.result = result;
    const TSpecificationLimits::TValue limit = TSpecificationLimits::Component_Value(
        machine, record.standard, record.component, result.length, deviation);
    judged.has_limit = limit.Has_Value();
    if (judged.has_limit)
    {
      judged.mpe = limit.value;
      judged.zone = Zone(result.error, judged.mpe, record.uncertainty);
      if (judged.mpe > 0.0)
      {
        const double share = 100.0 * std::fabs(result.error) / judged.mpe;
        judgement.largest_share =
            judgement.has_share ? std::max(judgement.largest_share, share) : share;
        judgement.has_share = true;
      }
    }
    zones.append(judged.zone);
    ++judgement.zone_counts[judged.zone];
    judgement.results.append(judged);
  }

  const TSpecificationLimits::TValue r0 = TSpecificationLimits::Component_Value(
      machine, QStringLiteral("10360"), QStringLiteral("R0"), 0.0, deviation);
  if (r0.Has_Value() && record.standard == QLatin1String("10360"))
  {
    QHash<QPair<double, QString>, int> groups;
    QList<QList<double>> errors;
    for (const TVerificationResult &result : record.results)
    {
      // + 0.0 makes -0 the key of 0.
      const QPair<double, QString> key(result.length + 0.0, result.position);
      if (!groups.contains(key))
      {
        groups.insert(key, judgement.ranges.size());
        TRange range;
        range.length = result.length;
        range.position = result.position;
        range.r0 = r0.value;
        judgement.ranges.append(range);
        errors.append(QList<double>());
      }
      errors[groups.value(key)].append(result.error);
    }
    for (int index = judgement.ranges.size() - 1; index >= 0; --index)
    {
      const QList<double> &group = errors.at(index);
      if (group.size() < 2)
      {
        judgement.ranges.removeAt(index);
        continue;
      }
      TRange &range = judgement.ranges[index];
      const auto extremes = std::minmax_element(group.cbegin(), group.cend());
      range.count = group.size();
      range.range = *extremes.second - *extremes.first;
      range.zone = Zone(range.range, range.r0, record.uncertainty);
    }
    for (const TRange &range : qAsConst(judgement.ranges))
    {
      zones.append(range.zone);
    }
  }

  judgement.verdict = Verdict(record.rule, zones, judgement.in_band);
  return judgement;
}

TVerificationJudgement::TLimitLines
TVerificationJudgement::Limit_Lines(const TVerificationRecord &record,
                                    const QList<TDatabaseItem> &machine, double maximum_length)
{
  TLimitLines lines;
  lines.mpe = TLimitsSeries::Component_Curve(
      machine, record.standard, record.component, TLimitsSeries::Range(maximum_length),
      TSpecificationLimits::Temperature_Deviation(record.temperature));
  lines.inner.reserve(lines.mpe.size());
  lines.outer.reserve(lines.mpe.size());
  for (const QPointF &point : qAsConst(lines.mpe))
  {
    lines.inner.append(QPointF(point.x(), point.y() - record.uncertainty));
    lines.outer.append(QPointF(point.x(), point.y() + record.uncertainty));
  }
  return lines;
}

double TVerificationJudgement::Plot_Length(const TVerificationRecord &record)
{
  double longest = 0.0;
  for (const TVerificationResult &result : record.results)
  {
    longest = std::max(longest, result.length);
  }
  // Up to a round number: 950 mm gives 1000, 525 gives 600.
  const double length = std::max(100.0, longest * 1.05);
  const double step = std::pow(10.0, std::floor(std::log10(length))) / 2.0;
  return std::ceil(length / step) * step;
}

QString TVerificationJudgement::Zone_Name(int zone)
{
  return zone >= 0 && zone < ZONE_COUNT ? QLatin1String(ZONE_NAMES[zone]) : QString();
}

QString TVerificationJudgement::Verdict_Name(int verdict)
{
  return verdict >= 0 && verdict < VERDICT_COUNT ? QLatin1String(VERDICT_NAMES[verdict])
                                                 : QString();
}

int TVerificationJudgement::Exit_Status(int verdict)
{
  return verdict >= 0 && verdict < VERDICT_COUNT ? EXIT_STATUSES[verdict] : 1;
}
