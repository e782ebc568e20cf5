#include "capability.h"

#include "specificationlimits.h"

#include <algorithm>

const char TCapability::CAVEAT[] =
    "A maximum permissible error is not the uncertainty of a particular measurement task: the "
    "ratio shortlists machines, it does not accept parts.";

namespace
{
// A ratio that equals the required one but for the rounding of its sums still reaches it.
constexpr double RATIO_TOLERANCE = 1e-9;
} // namespace

TCapability::TResult TCapability::Evaluate(const TRequest &request,
                                           const QList<TDatabaseItem> &records)
{
  return Evaluate(
      request, TSpecificationLimits::Component_Kinds(request.standard, request.component), records);
}

TCapability::TResult TCapability::Evaluate(const TRequest &request, int kinds,
                                           const QList<TDatabaseItem> &records)
{
  TResult result;
  result.band = TTemperatureBand::Of_Machine(records);
  result.in_band = result.band.Contains(request.temperature);
  const TSpecificationLimits::TValue value = TSpecificationLimits::Component_Value(
      records, request.standard, request.component, kinds, request.feature_length,
      TSpecificationLimits::Temperature_Deviation(request.temperature));
  // An error of zero or less would make any tolerance look sufficient.
  if (!value.Has_Value() || !(value.value > 0.0))
  {
    return result;
  }
  result.has_value = true;
  result.error = value.value;
  result.source = value.source;
  result.ratio = request.tolerance / (2.0 * value.value);
  result.reaches = result.ratio >= request.ratio * (1.0 - RATIO_TOLERANCE);
  return result;
}

QString TCapability::Verdict(const TResult &result)
{
  if (!result.has_value)
  {
    return QStringLiteral("No value");
  }
  if (!result.in_band)
  {
    return QStringLiteral("Outside temperature range");
  }
  return result.reaches ? QStringLiteral("Capable") : QStringLiteral("Ratio too small");
}

bool TCapability::Parse_Positive(const QString &text, double *value)
{
  double parsed = 0.0;
  if (!TSpecificationLimits::To_Number(text, &parsed) || !(parsed > 0.0))
  {
    return false;
  }
  *value = parsed;
  return true;
}

bool TCapability::Is_Length_Dependent(int expression_types)
{
  // A failed look-up gives 0; no mask has the sign bit.
  return expression_types > 0 && (expression_types & TSpecificationLimits::LENGTH_KINDS) != 0;
}

QList<TCapability::TRanked> TCapability::Rank(const TRequest &request,
                                              const QList<TMachine> &machines, bool capable_only)
{
  QList<TRanked> ranked;
  ranked.reserve(machines.size());
  const int kinds = TSpecificationLimits::Component_Kinds(request.standard, request.component);
  for (const TMachine &machine : machines)
  {
    const TResult result = Evaluate(request, kinds, machine.records);
    if (!capable_only || result.Is_Capable())
    {
      ranked.append({machine, result});
    }
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const TRanked &first, const TRanked &second)
                   {
                     if (first.result.has_value != second.result.has_value)
                     {
                       return first.result.has_value;
                     }
                     return first.result.ratio > second.result.ratio;
                   });
  return ranked;
}
