#include "verificationschedule.h"

#include "verificationjudgement.h"
#include "verificationrecord.h"

#include <QLatin1String>

#include <algorithm>

namespace
{
const char *const STATUS_NAMES[] = {"not scheduled", "ok", "due", "overdue", "re-test due"};
} // namespace

QDate TVerificationSchedule::Next_Due(const QDate &last, int kind, const TIntervals &intervals)
{
  if (!last.isValid())
  {
    return QDate();
  }
  if (kind == TVerificationRecord::KIND_INTERIM)
  {
    return intervals.interim_days > 0 ? last.addDays(intervals.interim_days) : QDate();
  }
  // QDate::addMonths keeps the day where the month has it and else takes the month's last.
  return intervals.reverification_months > 0 ? last.addMonths(intervals.reverification_months)
                                             : QDate();
}

TVerificationSchedule::TMachine
TVerificationSchedule::Of_Records(const TIntervals &intervals,
                                  const QList<TVerificationRecord> &records,
                                  const QList<int> &verdicts)
{
  TMachine machine;
  machine.intervals = intervals;
  const TVerificationRecord *latest = nullptr;
  int latest_verdict = TVerificationJudgement::VERDICT_CONFORMS;
  for (int index = 0; index < records.size(); ++index)
  {
    const TVerificationRecord &record = records.at(index);
    if (index < verdicts.size() &&
        (!latest || record.date > latest->date ||
         (record.date == latest->date && record.number > latest->number)))
    {
      latest = &record;
      latest_verdict = verdicts.at(index);
    }
    QDate &last = record.kind == TVerificationRecord::KIND_INTERIM ? machine.last_interim
                                                                   : machine.last_reverification;
    if (!last.isValid() || record.date > last)
    {
      last = record.date;
    }
  }
  if (latest && !TVerificationJudgement::Is_Check_Done(latest_verdict))
  {
    machine.retest_due = true;
    machine.retest_since = latest->date;
    machine.retest_kind = latest->kind;
  }
  return machine;
}

int TVerificationSchedule::Status(const QDate &due, const QDate &on, int within_days)
{
  if (!due.isValid())
  {
    return STATUS_DUE;
  }
  if (on > due)
  {
    return STATUS_OVERDUE;
  }
  return on.daysTo(due) <= within_days ? STATUS_DUE : STATUS_OK;
}

QList<TVerificationSchedule::TCheck> TVerificationSchedule::Checks(const TMachine &machine,
                                                                   const QDate &on, int within_days)
{
  QList<TCheck> checks;
  const struct
  {
    int kind;
    int interval;
    QDate last;
  } kinds[] = {
      {TVerificationRecord::KIND_REVERIFICATION, machine.intervals.reverification_months,
       machine.last_reverification},
      {TVerificationRecord::KIND_INTERIM, machine.intervals.interim_days, machine.last_interim}};
  for (const auto &kind : kinds)
  {
    TCheck check;
    check.kind = kind.kind;
    check.last = kind.last;
    if (kind.interval > 0)
    {
      check.due = Next_Due(kind.last, kind.kind, machine.intervals);
      check.status = Status(check.due, on, within_days);
    }
    // Due at once after a check that did not conform, whatever the interval.
    if (machine.retest_due && (kind.kind == TVerificationRecord::KIND_INTERIM) ==
                                  (machine.retest_kind == TVerificationRecord::KIND_INTERIM))
    {
      check.due = machine.retest_since;
      check.status = STATUS_RETEST_DUE;
    }
    checks.append(check);
  }
  return checks;
}

QString TVerificationSchedule::Status_Name(int status)
{
  return status >= STATUS_NOT_SCHEDULED && status <= STATUS_RETEST_DUE
             ? QLatin1String(STATUS_NAMES[status])
             : QString();
}

QStringList TVerificationSchedule::Due_Header()
{
  return {QStringLiteral("make"),  QStringLiteral("model"), QStringLiteral("option"),
          QStringLiteral("kind"),  QStringLiteral("last"),  QStringLiteral("due"),
          QStringLiteral("status")};
}

QList<QStringList> TVerificationSchedule::Due_Rows(const QList<TMachine> &machines, const QDate &on,
                                                   int within_days)
{
  QList<QPair<QDate, QStringList>> due;
  for (const TMachine &machine : machines)
  {
    for (const TCheck &check : Checks(machine, on, within_days))
    {
      if (check.status == STATUS_DUE || check.status == STATUS_OVERDUE ||
          check.status == STATUS_RETEST_DUE)
      {
        due.append({check.due,
                    {machine.make, machine.model, machine.option,
                     TVerificationRecord::Kind_Name(check.kind),
                     TVerificationRecord::Date_Text(check.last),
                     TVerificationRecord::Date_Text(check.due), Status_Name(check.status)}});
      }
    }
  }
  // An invalid date sorts before every valid one.
  std::stable_sort(
      due.begin(), due.end(),
      [](const QPair<QDate, QStringList> &first, const QPair<QDate, QStringList> &second)
      { return first.first < second.first; });
  QList<QStringList> rows;
  rows.reserve(due.size());
  for (const auto &entry : qAsConst(due))
  {
    rows.append(entry.second);
  }
  return rows;
}
