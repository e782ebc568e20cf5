#include "verificationrows.h"

QStringList TVerificationRows::List_Header()
{
  return QStringLiteral("number,date,kind,component,rule,uncertainty_um,results,"
                        "largest_share_percent,verdict")
      .split(QLatin1Char(','));
}

QStringList TVerificationRows::List_Row(const TVerificationRecord &record,
                                        const TVerificationJudgement::TJudgement &judgement)
{
  return {QString::number(record.number),
          TVerificationRecord::Date_Text(record.date),
          TVerificationRecord::Kind_Name(record.kind),
          record.Component_Text(),
          TVerificationRecord::Rule_Name(record.rule),
          TVerificationRecord::Number_Text(record.uncertainty),
          QString::number(record.results.size()),
          Share_Text(judgement),
          TVerificationJudgement::Verdict_Name(judgement.verdict)};
}

QList<QStringList> TVerificationRows::List_Rows(const QList<TVerificationRecord> &records,
                                                const QList<TDatabaseItem> &machine)
{
  QList<QStringList> rows;
  for (const TVerificationRecord &record : records)
  {
    rows.append(List_Row(record, TVerificationJudgement::Judge(record, machine)));
  }
  return rows;
}

QStringList TVerificationRows::Show_Header()
{
  return QStringLiteral("length_mm,position,repetition,error_um,mpe_um,zone")
      .split(QLatin1Char(','));
}

QList<QStringList> TVerificationRows::Show_Rows(const TVerificationJudgement::TJudgement &judgement)
{
  QList<QStringList> rows;
  for (const TVerificationJudgement::TJudgedResult &judged : judgement.results)
  {
    rows.append({TVerificationRecord::Number_Text(judged.result.length), judged.result.position,
                 QString::number(judged.result.repetition),
                 TVerificationRecord::Number_Text(judged.result.error),
                 judged.has_limit ? TVerificationRecord::Number_Text(judged.mpe) : QString(),
                 TVerificationJudgement::Zone_Name(judged.zone)});
  }
  return rows;
}

QStringList TVerificationRows::Range_Header()
{
  return QStringLiteral("length_mm,position,repetitions,range_um,r0_um,zone")
      .split(QLatin1Char(','));
}

QList<QStringList>
TVerificationRows::Range_Rows(const TVerificationJudgement::TJudgement &judgement)
{
  QList<QStringList> rows;
  for (const TVerificationJudgement::TRange &range : judgement.ranges)
  {
    rows.append({TVerificationRecord::Number_Text(range.length), range.position,
                 QString::number(range.count), TVerificationRecord::Number_Text(range.range),
                 TVerificationRecord::Number_Text(range.r0),
                 TVerificationJudgement::Zone_Name(range.zone)});
  }
  return rows;
}

QString TVerificationRows::Verdict_Line(int number, int verdict)
{
  return QStringLiteral("record %1: %2")
      .arg(number)
      .arg(TVerificationJudgement::Verdict_Name(verdict));
}

QStringList TVerificationRows::Notes(const TVerificationJudgement::TJudgement &judgement)
{
  QStringList notes;
  if (!judgement.in_band)
  {
    notes.append(QStringLiteral("%1 (%2)").arg(
        QLatin1String(TVerificationJudgement::TEMPERATURE_FLAG), judgement.band.Range_Text()));
  }
  const int unlimited = judgement.zone_counts.at(TVerificationJudgement::ZONE_NO_LIMIT);
  if (unlimited > 0)
  {
    notes.append(QStringLiteral("%1 of %2 results have no limit at their length: the record "
                                "cannot conform")
                     .arg(unlimited)
                     .arg(judgement.results.size()));
  }
  return notes;
}

QString TVerificationRows::Summary(const TVerificationJudgement::TJudgement &judgement)
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
  QString summary = QStringLiteral("%1 results: %2.")
                        .arg(judgement.results.size())
                        .arg(counted(judgement.zone_counts));
  if (!judgement.ranges.isEmpty())
  {
    QVector<int> counts(TVerificationJudgement::ZONE_COUNT, 0);
    for (const TVerificationJudgement::TRange &range : judgement.ranges)
    {
      ++counts[range.zone];
    }
    summary +=
        QStringLiteral("  %1 %2 of repetitions against R0 = %3 \u00b5m: %4.")
            .arg(judgement.ranges.size())
            .arg(judgement.ranges.size() == 1 ? QStringLiteral("range") : QStringLiteral("ranges"))
            .arg(TVerificationRecord::Number_Text(judgement.ranges.first().r0), counted(counts));
  }
  if (judgement.has_share)
  {
    summary += QStringLiteral("  Largest share of the MPE: %1 %.").arg(Share_Text(judgement));
  }
  return summary;
}

QString TVerificationRows::Share_Text(const TVerificationJudgement::TJudgement &judgement)
{
  return judgement.has_share ? QString::number(judgement.largest_share, 'f', 1) : QString();
}
