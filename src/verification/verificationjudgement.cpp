#include "verificationjudgement.h"

#include "limitsseries.h"
#include "nametable.h"
#include "specificationlimits.h"

#include <QHash>
#include <QLatin1String>
#include <QPair>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <iterator>

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
    "conforms", "does not conform", "conformance not proven", "nonconformance not proven",
    "not judged"};
const int EXIT_STATUSES[TVerificationJudgement::VERDICT_COUNT] = {0, 3, 4, 4, 5};
const char *const REASON_NAMES[TVerificationJudgement::REASON_COUNT] = {
    "", "outside the rated temperature", "estimated limit", "no limit at a length"};
const char *const FROZEN_NAMES[TVerificationJudgement::FROZEN_COUNT] = {
    "not frozen", "frozen at save", "frozen on upgrade"};

// A set of results: one length (+ 0.0 makes -0 the key of 0) in one position.
using TSetKey = QPair<double, QString>;

TSetKey Set_Of(const TVerificationResult &result, bool by_position = true)
{
  return TSetKey(result.length + 0.0, by_position ? result.position : QString());
}

// The component's limit at a length: as the limits evaluation gives it, or a probing test's
// constant, which no length changes.
TSpecificationLimits::TValue Limit_At(const TVerificationBasis &basis,
                                      const QList<TDatabaseItem> &machine, double length,
                                      double deviation)
{
  TSpecificationLimits::TValue value = TSpecificationLimits::Component_Value(
      machine, basis.standard, basis.component, length, deviation);
  if (value.state == TSpecificationLimits::STATE_EMPTY && basis.limit.Is_Given())
  {
    TExpressionItem expression;
    expression.Set_Expression(basis.limit.text, TExpressionItem::UNITS_UM);
    value = TSpecificationLimits::Expression_Value(expression, TExpressionItem::EXPRESSION_CONSTANT,
                                                   length, deviation);
  }
  return value;
}
} // namespace

int TVerificationJudgement::Zone(double error, double mpe, double uncertainty)
{
  const double size = std::fabs(error);
  if (!std::isfinite(size) || !std::isfinite(mpe) || !std::isfinite(uncertainty))
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

int TVerificationJudgement::Verdict(int rule, const QVector<int> &zones)
{
  const auto any = [&zones](std::initializer_list<int> wanted)
  {
    return std::any_of(zones.cbegin(), zones.cend(),
                       [wanted](int zone)
                       { return std::find(wanted.begin(), wanted.end(), zone) != wanted.end(); });
  };
  if (any({ZONE_FAIL}))
  {
    return VERDICT_DOES_NOT_CONFORM;
  }
  switch (rule)
  {
  case TVerificationRecord::RULE_SIMPLE:
    return any({ZONE_CONDITIONAL_FAIL}) ? VERDICT_DOES_NOT_CONFORM : VERDICT_CONFORMS;
  case TVerificationRecord::RULE_CONFORMANCE:
    return any({ZONE_CONDITIONAL_PASS, ZONE_CONDITIONAL_FAIL}) ? VERDICT_CONFORMANCE_NOT_PROVEN
                                                               : VERDICT_CONFORMS;
  case TVerificationRecord::RULE_NONCONFORMANCE:
    return any({ZONE_CONDITIONAL_FAIL}) ? VERDICT_NONCONFORMANCE_NOT_PROVEN : VERDICT_CONFORMS;
  default:
    return VERDICT_CONFORMANCE_NOT_PROVEN;
  }
}

bool TVerificationJudgement::Is_Probing(const QString &standard, const QString &component)
{
  return standard == QLatin1String("10360") && component == QLatin1String("Pftu");
}

int TVerificationJudgement::Range_Kind(const QString &standard, const QString &component)
{
  if (TVerificationBasis::Judges_R0(standard, component))
  {
    return RANGES_R0;
  }
  if (standard == QLatin1String("B89.4.1") && component == QLatin1String("Volume"))
  {
    return RANGES_VOLUME;
  }
  return RANGES_NONE;
}

TVerificationJudgement::TJudgement
TVerificationJudgement::Judge(const TVerificationRecord &record,
                              const QList<TDatabaseItem> &machine)
{
  return Judge(record, TVerificationBasis::Of_Machine(machine, record.standard, record.component));
}

void TVerificationJudgement::Complete(const TVerificationRecord &record, TJudgement *judgement)
{
  const TVerificationBasis &basis = judgement->basis;
  judgement->band = TTemperatureBand::Of_Machine(basis.Machine());
  judgement->in_band = judgement->band.Contains(record.temperature);
  judgement->range_kind = Range_Kind(record.standard, record.component);
  const bool r0 = judgement->range_kind == RANGES_R0 && basis.r0.Is_Given();
  judgement->r0_estimated = r0 && basis.r0.source == TDatabaseItem::SOURCE_ESTIMATED;
  judgement->r0_without_positions =
      r0 && !judgement->r0_estimated && !record.results.isEmpty() &&
      std::all_of(record.results.cbegin(), record.results.cend(),
                  [](const TVerificationResult &result) { return result.position.isEmpty(); });
  judgement->zone_counts.fill(0);
  judgement->empty_pass_zones.clear();
  for (const TJudgedResult &judged : qAsConst(judgement->results))
  {
    if (!judged.superseded)
    {
      ++judgement->zone_counts[judged.zone];
    }
    if (judged.has_limit && !(judged.uncertainty < judged.mpe) &&
        !judgement->empty_pass_zones.contains(judged.result.length))
    {
      judgement->empty_pass_zones.append(judged.result.length);
    }
  }
  judgement->retested_sets = Retested_Sets(record.results);
}

int TVerificationJudgement::Retested_Sets(const QList<TVerificationResult> &results)
{
  QSet<TSetKey> retested;
  for (const TVerificationResult &result : results)
  {
    if (result.retest)
    {
      retested.insert(Set_Of(result));
    }
  }
  return retested.size();
}

TVerificationJudgement::TJudgement TVerificationJudgement::Judge(const TVerificationRecord &record,
                                                                 const TVerificationBasis &basis)
{
  TJudgement judgement;
  judgement.basis = basis;
  const QList<TDatabaseItem> machine = basis.Machine();
  const double deviation = TSpecificationLimits::Temperature_Deviation(record.temperature);

  // A set that was retested is judged by its retests alone.
  QSet<TSetKey> retested;
  for (const TVerificationResult &result : record.results)
  {
    if (result.retest)
    {
      retested.insert(Set_Of(result));
    }
  }
  for (const TVerificationResult &result : record.results)
  {
    TJudgedResult judged;
    judged.result = result;
    judged.superseded = !result.retest && retested.contains(Set_Of(result));
    judged.uncertainty = record.Uncertainty_At(result.length);
    const TSpecificationLimits::TValue limit = Limit_At(basis, machine, result.length, deviation);
    judged.has_limit = limit.Has_Value();
    if (judged.has_limit)
    {
      judged.mpe = limit.value;
      judged.zone = Zone(result.error, judged.mpe, judged.uncertainty);
    }
    judgement.results.append(judged);
  }
  Complete(record, &judgement);

  // The ranges: R0's per length and position, Volume's per ballbar length over every position.
  const bool r0 = judgement.range_kind == RANGES_R0 && basis.r0.Is_Given() &&
                  !judgement.r0_estimated && !judgement.r0_without_positions;
  const bool volume = judgement.range_kind == RANGES_VOLUME;
  if (r0 || volume)
  {
    const TSpecificationLimits::TValue r0_value = TSpecificationLimits::Component_Value(
        machine, QStringLiteral("10360"), QStringLiteral("R0"), 0.0, deviation);
    QHash<TSetKey, int> groups;
    QList<QList<double>> errors;
    for (const TJudgedResult &judged : qAsConst(judgement.results))
    {
      // R0 takes the repetitions of a position; a result without one belongs to no set.
      if (judged.superseded || (r0 && judged.result.position.isEmpty()))
      {
        continue;
      }
      const TSetKey key = Set_Of(judged.result, r0);
      if (!groups.contains(key))
      {
        groups.insert(key, judgement.ranges.size());
        TRange range;
        range.length = judged.result.length;
        range.position = key.second;
        range.limit = volume ? judged.mpe : r0_value.value;
        range.uncertainty = volume ? judged.uncertainty : record.r0_uncertainty;
        range.zone = (volume ? judged.has_limit : r0_value.Has_Value()) ? ZONE_PASS : ZONE_NO_LIMIT;
        judgement.ranges.append(range);
        errors.append(QList<double>());
      }
      errors[groups.value(key)].append(judged.result.error);
    }
    for (int index = judgement.ranges.size() - 1; index >= 0; --index)
    {
      const QList<double> &group = errors.at(index);
      // A lone repetition has no range to judge against R0.
      if (r0 && group.size() < 2)
      {
        judgement.ranges.removeAt(index);
        continue;
      }
      TRange &range = judgement.ranges[index];
      const auto extremes = std::minmax_element(group.cbegin(), group.cend());
      range.count = group.size();
      range.range = *extremes.second - *extremes.first;
      if (range.zone != ZONE_NO_LIMIT)
      {
        range.zone = Zone(range.range, range.limit, range.uncertainty);
      }
    }
  }

  // A Volume reading is judged as a part of its range; the other results each on their own.
  QVector<int> zones;
  const auto share = [&judgement](double size, double limit)
  {
    if (limit > 0.0)
    {
      const double percent = 100.0 * size / limit;
      judgement.largest_share =
          judgement.has_share ? std::max(judgement.largest_share, percent) : percent;
      judgement.has_share = true;
    }
  };
  QHash<double, int> volume_zones;
  for (const TRange &range : qAsConst(judgement.ranges))
  {
    zones.append(range.zone);
    if (volume)
    {
      volume_zones.insert(range.length + 0.0, range.zone);
      share(range.range, range.limit);
    }
  }
  for (TJudgedResult &judged : judgement.results)
  {
    if (volume)
    {
      judged.zone = volume_zones.value(judged.result.length + 0.0, judged.zone);
    }
    else if (!judged.superseded)
    {
      zones.append(judged.zone);
      if (judged.has_limit)
      {
        share(std::fabs(judged.result.error), judged.mpe);
      }
    }
  }
  Complete(record, &judgement);

  QVector<int> limited;
  std::copy_if(zones.cbegin(), zones.cend(), std::back_inserter(limited),
               [](int zone) { return zone != ZONE_NO_LIMIT; });
  judgement.verdict = Verdict(record.rule, limited);
  // Outside the rated band the limit does not apply, and an estimate proves nothing: whatever the
  // results. Without a limit at some length only a proven nonconformance stands.
  if (!judgement.in_band)
  {
    judgement.reason = REASON_OUTSIDE_TEMPERATURE;
  }
  else if (basis.limit.Is_Given() && basis.limit.source == TDatabaseItem::SOURCE_ESTIMATED)
  {
    judgement.reason = REASON_ESTIMATED_LIMIT;
  }
  else if ((limited.size() < zones.size() || limited.isEmpty()) &&
           judgement.verdict != VERDICT_DOES_NOT_CONFORM)
  {
    judgement.reason = REASON_NO_LIMIT;
  }
  if (judgement.reason != REASON_NONE)
  {
    judgement.verdict = VERDICT_NOT_JUDGED;
  }
  return judgement;
}

TVerificationJudgement::TLimitLines
TVerificationJudgement::Limit_Lines(const TVerificationRecord &record,
                                    const QList<TDatabaseItem> &machine, double maximum_length)
{
  return Limit_Lines(record,
                     TVerificationBasis::Of_Machine(machine, record.standard, record.component),
                     maximum_length);
}

TVerificationJudgement::TLimitLines
TVerificationJudgement::Limit_Lines(const TVerificationRecord &record,
                                    const TVerificationBasis &basis, double maximum_length)
{
  TLimitLines lines;
  const QList<TDatabaseItem> machine = basis.Machine();
  const double deviation = TSpecificationLimits::Temperature_Deviation(record.temperature);
  for (const double length : TLimitsSeries::Range(maximum_length))
  {
    const TSpecificationLimits::TValue limit = Limit_At(basis, machine, length, deviation);
    if (limit.Has_Value())
    {
      const double uncertainty = record.Uncertainty_At(length);
      lines.mpe.append(QPointF(length, limit.value));
      lines.inner.append(QPointF(length, limit.value - uncertainty));
      lines.outer.append(QPointF(length, limit.value + uncertainty));
    }
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
  return TNameTable::Name(ZONE_NAMES, zone);
}

int TVerificationJudgement::Zone_Of(const QString &name)
{
  return TNameTable::Index_Of(ZONE_NAMES, name);
}

QString TVerificationJudgement::Verdict_Name(int verdict)
{
  return TNameTable::Name(VERDICT_NAMES, verdict);
}

int TVerificationJudgement::Verdict_Of(const QString &name)
{
  return TNameTable::Index_Of(VERDICT_NAMES, name);
}

QString TVerificationJudgement::Reason_Name(int reason)
{
  return TNameTable::Name(REASON_NAMES, reason);
}

int TVerificationJudgement::Reason_Of(const QString &name)
{
  return TNameTable::Index_Of(REASON_NAMES, name);
}

QString TVerificationJudgement::State_Text(int verdict, int reason)
{
  return verdict == VERDICT_NOT_JUDGED && reason > REASON_NONE && reason < REASON_COUNT
             ? QStringLiteral("%1: %2").arg(Verdict_Name(verdict), Reason_Name(reason))
             : Verdict_Name(verdict);
}

QString TVerificationJudgement::Frozen_Name(int frozen)
{
  return TNameTable::Name(FROZEN_NAMES, frozen);
}

int TVerificationJudgement::Frozen_Of(const QString &name)
{
  return TNameTable::Index_Of(FROZEN_NAMES, name);
}

int TVerificationJudgement::Exit_Status(int verdict)
{
  return verdict >= 0 && verdict < VERDICT_COUNT ? EXIT_STATUSES[verdict] : 1;
}
