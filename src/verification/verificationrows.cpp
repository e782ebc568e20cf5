#include "verificationrows.h"

namespace
{
using TJudgement = TVerificationJudgement::TJudgement;

QStringList Header(const char *columns)
{
  return QString::fromLatin1(columns).split(QLatin1Char(','));
}
} // namespace

QStringList TVerificationRows::List_Header()
{
  return Header("number,date,kind,component,rule,uncertainty_um,results,largest_share_percent,"
                "verdict,limit_um,limit_source,temperature_c,retested_sets,frozen");
}

QStringList TVerificationRows::List_Row(const TVerificationRecord &record,
                                        const TJudgement &judgement, int result_count)
{
  const TVerificationBasis::TValue &limit = judgement.basis.limit;
  return {QString::number(record.number),
          TVerificationRecord::Date_Text(record.date),
          TVerificationRecord::Kind_Name(record.kind),
          record.Component_Text(),
          TVerificationRecord::Rule_Name(record.rule),
          record.uncertainty,
          QString::number(result_count < 0 ? record.results.size() : result_count),
          Share_Text(judgement),
          TVerificationJudgement::State_Text(judgement.verdict, judgement.reason),
          limit.text,
          limit.Is_Given() ? TDatabaseItem::Source_Name(limit.source) : QString(),
          TVerificationRecord::Number_Text(record.temperature),
          QString::number(judgement.retested_sets),
          TVerificationJudgement::Frozen_Name(judgement.frozen)};
}

QStringList TVerificationRows::Show_Header()
{
  return Header("length_mm,position,repetition,error_um,mpe_um,zone,u_um,retest");
}

QList<QStringList> TVerificationRows::Show_Rows(const TJudgement &judgement)
{
  QList<QStringList> rows;
  for (const TVerificationJudgement::TJudgedResult &judged : judgement.results)
  {
    rows.append({TVerificationRecord::Number_Text(judged.result.length), judged.result.position,
                 QString::number(judged.result.repetition),
                 TVerificationRecord::Number_Text(judged.result.error),
                 judged.has_limit ? TVerificationRecord::Number_Text(judged.mpe) : QString(),
                 TVerificationJudgement::Zone_Name(judged.zone),
                 TVerificationRecord::Number_Text(judged.uncertainty),
                 judged.result.retest ? QStringLiteral("retest")
                 : judged.superseded  ? QStringLiteral("replaced by retest")
                                      : QString()});
  }
  return rows;
}

QStringList TVerificationRows::Range_Header()
{
  return Header("length_mm,position,repetitions,range_um,limit_um,zone,u_um");
}

QList<QStringList> TVerificationRows::Range_Rows(const TJudgement &judgement)
{
  QList<QStringList> rows;
  for (const TVerificationJudgement::TRange &range : judgement.ranges)
  {
    rows.append({TVerificationRecord::Number_Text(range.length), range.position,
                 QString::number(range.count), TVerificationRecord::Number_Text(range.range),
                 range.zone == TVerificationJudgement::ZONE_NO_LIMIT
                     ? QString()
                     : TVerificationRecord::Number_Text(range.limit),
                 TVerificationJudgement::Zone_Name(range.zone),
                 TVerificationRecord::Number_Text(range.uncertainty)});
  }
  return rows;
}

QString TVerificationRows::Verdict_Line(int number, const TJudgement &judgement)
{
  return QStringLiteral("record %1: %2")
      .arg(number)
      .arg(TVerificationJudgement::State_Text(judgement.verdict, judgement.reason));
}

QStringList TVerificationRows::Basis_Lines(const TVerificationRecord &record,
                                           const TJudgement &judgement)
{
  const TVerificationBasis &basis = judgement.basis;
  QStringList lines{
      basis.limit.Is_Given()
          ? QStringLiteral("limit: %1").arg(basis.Limit_Line())
          : QStringLiteral("limit: the catalogue stated no %1").arg(record.component)};
  if (judgement.range_kind == TVerificationJudgement::RANGES_R0 && basis.r0.Is_Given())
  {
    lines.append(QStringLiteral("R0 = %1 \u00b5m, U of the ranges %2 \u00b5m")
                     .arg(basis.r0.text, TVerificationRecord::Number_Text(record.r0_uncertainty)));
  }
  lines.append(QStringLiteral("uncertainty: U = %1 \u00b5m; rule: %2")
                   .arg(record.uncertainty, TVerificationRecord::Rule_Name(record.rule)));
  QString temperature = QStringLiteral("temperature: %1 \u00b0C")
                            .arg(TVerificationRecord::Number_Text(record.temperature));
  if (judgement.band.Is_Known())
  {
    temperature +=
        QStringLiteral(" (rated %1)").arg(judgement.band.Range_Text(QStringLiteral("\u00b0C")));
  }
  lines.append(temperature);
  switch (judgement.frozen)
  {
  case TVerificationJudgement::FROZEN_AT_SAVE:
    lines.append(QStringLiteral("figures stored with the record when it was saved"));
    break;
  case TVerificationJudgement::FROZEN_ON_UPGRADE:
    lines.append(QStringLiteral("frozen on upgrade: figures of the catalogue when this version "
                                "first wrote the log, not of the day of the check"));
    break;
  default:
    if (record.number > 0)
    {
      lines.append(QStringLiteral("not frozen: stored by an earlier version, judged against the "
                                  "catalogue as it is now"));
    }
    break;
  }
  return lines;
}

QStringList TVerificationRows::Notes(const TJudgement &judgement)
{
  QStringList notes;
  if (!judgement.in_band)
  {
    notes.append(QStringLiteral("outside the rated temperature (%1): the limit does not apply")
                     .arg(judgement.band.Range_Text(QStringLiteral("\u00b0C"))));
  }
  if (judgement.basis.limit.Is_Given() &&
      judgement.basis.limit.source == TDatabaseItem::SOURCE_ESTIMATED)
  {
    notes.append(QStringLiteral("the limit %1 is estimated from another standard, not stated by "
                                "the manufacturer: it proves neither conformance nor "
                                "nonconformance")
                     .arg(judgement.basis.component));
  }
  int unlimited = 0;
  int judged = 0;
  for (const TVerificationJudgement::TJudgedResult &result : judgement.results)
  {
    unlimited += result.superseded || result.has_limit ? 0 : 1;
    judged += result.superseded ? 0 : 1;
  }
  if (unlimited > 0)
  {
    notes.append(QStringLiteral("%1 of %2 results have no limit at their length")
                     .arg(unlimited)
                     .arg(judged));
  }
  if (!judgement.empty_pass_zones.isEmpty())
  {
    QStringList lengths;
    for (const double length : judgement.empty_pass_zones)
    {
      lengths.append(TVerificationRecord::Number_Text(length));
    }
    notes.append(QStringLiteral("U is not smaller than the MPE at %1 mm: the pass zone is empty")
                     .arg(lengths.join(QStringLiteral(", "))));
  }
  if (judgement.r0_without_positions)
  {
    notes.append(QStringLiteral("the results name no positions: their ranges are not judged "
                                "against R0"));
  }
  if (judgement.r0_estimated)
  {
    notes.append(QStringLiteral("R0 is estimated from another standard: the ranges are not judged "
                                "against it"));
  }
  if (judgement.retested_sets > TVerificationJudgement::MAXIMUM_RETESTED_SETS)
  {
    notes.append(QStringLiteral("%1 sets were retested: more than the %2 that ISO 10360-2 allows "
                                "a test")
                     .arg(judgement.retested_sets)
                     .arg(TVerificationJudgement::MAXIMUM_RETESTED_SETS));
  }
  return notes;
}

QString TVerificationRows::Summary(const TJudgement &judgement)
{
  const auto counted = [](const QVector<int> &counts)
  {
    QStringList texts;
    for (int zone = 0; zone < counts.size(); ++zone)
    {
      if (counts.at(zone) > 0)
      {
        texts.append(QStringLiteral("%1 %2")
                         .arg(counts.at(zone))
                         .arg(TVerificationJudgement::Zone_Name(zone)));
      }
    }
    return texts.join(QStringLiteral(", "));
  };
  int judged = 0;
  for (const int count : judgement.zone_counts)
  {
    judged += count;
  }
  QString summary =
      QStringLiteral("%1 results judged: %2.").arg(judged).arg(counted(judgement.zone_counts));
  if (judgement.retested_sets > 0)
  {
    summary +=
        QStringLiteral("  %1 %2 judged by %3 retest, the results %4 repeat kept beside.")
            .arg(judgement.retested_sets)
            .arg(judgement.retested_sets == 1 ? QStringLiteral("set") : QStringLiteral("sets"))
            .arg(judgement.retested_sets == 1 ? QStringLiteral("its") : QStringLiteral("their"))
            .arg(judgement.retested_sets == 1 ? QStringLiteral("it") : QStringLiteral("they"));
  }
  if (!judgement.ranges.isEmpty())
  {
    QVector<int> counts(TVerificationJudgement::ZONE_COUNT, 0);
    for (const TVerificationJudgement::TRange &range : judgement.ranges)
    {
      ++counts[range.zone];
    }
    const bool r0 = judgement.range_kind == TVerificationJudgement::RANGES_R0;
    summary +=
        QStringLiteral("  %1 %2 %3: %4.")
            .arg(judgement.ranges.size())
            .arg(judgement.ranges.size() == 1 ? QStringLiteral("range") : QStringLiteral("ranges"))
            .arg(r0 ? QStringLiteral("of repetitions against R0 = %1 \u00b5m")
                          .arg(TVerificationRecord::Number_Text(judgement.ranges.first().limit))
                    : QStringLiteral("of the ballbar readings against Volume"),
                 counted(counts));
  }
  if (judgement.has_share)
  {
    summary += QStringLiteral("  Largest share of the MPE: %1 %.").arg(Share_Text(judgement));
  }
  return summary;
}

QString TVerificationRows::Share_Text(const TJudgement &judgement)
{
  return judgement.has_share ? QString::number(judgement.largest_share, 'f', 1) : QString();
}
