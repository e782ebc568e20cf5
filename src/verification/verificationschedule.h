#ifndef METROVA_VERIFICATIONSCHEDULE_H
#define METROVA_VERIFICATIONSCHEDULE_H

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

struct TVerificationRecord;

// When a machine's next checks are due: the latest reverification (an acceptance counts as one)
// plus a number of months, and the latest interim check plus a number of days. After a check
// that does not conform, is not proven or is not judged, a re-test is due at once, until a later
// record conforms.
class TVerificationSchedule
{
public:
  enum TStatus
  {
    STATUS_NOT_SCHEDULED = 0,
    STATUS_OK,
    // Within the warning days before the date, or on it.
    STATUS_DUE,
    // After the date.
    STATUS_OVERDUE,
    // The latest record did not conform: the machine is to be checked again now.
    STATUS_RETEST_DUE
  };

  static constexpr int DUE_WITHIN_DAYS = 14;

  // 0 for none.
  struct TIntervals
  {
    int reverification_months = 0;
    int interim_days = 0;
  };

  // A machine's intervals and the dates of its latest records of each kind.
  struct TMachine
  {
    QString make;
    QString model;
    QString option;
    TIntervals intervals;
    QDate last_reverification;
    QDate last_interim;
    // The latest record (by date, then number) did not conform: its date and kind.
    bool retest_due = false;
    QDate retest_since;
    int retest_kind = 0;
  };

  // One kind of check of a machine: TVerificationRecord::KIND_REVERIFICATION or KIND_INTERIM.
  // A scheduled check that was never made is due, without dates.
  struct TCheck
  {
    int kind = 0;
    QDate last;
    QDate due;
    int status = STATUS_NOT_SCHEDULED;
  };

  // A month added to the 31st ends on the last day of a shorter month (29 February in a leap
  // year). Invalid without a last date or an interval.
  static QDate Next_Due(const QDate &last, int kind, const TIntervals &intervals);
  static int Status(const QDate &due, const QDate &on, int within_days);
  // A machine's intervals with the latest dates of its records; with the verdicts of the records
  // (TVerificationJudgement::TVerdict, one per record) whether a re-test is due.
  static TMachine Of_Records(const TIntervals &intervals, const QList<TVerificationRecord> &records,
                             const QList<int> &verdicts = QList<int>());
  // The reverification, then the interim check; the check of the kind of a record that asks for
  // a re-test is due at once, from that record's date.
  static QList<TCheck> Checks(const TMachine &machine, const QDate &on, int within_days);
  // "not scheduled", "ok", "due", "overdue", "re-test due".
  static QString Status_Name(int status);

  // The checks that are due, overdue or to be re-tested: make,model,option,kind,last,due,status,
  // the earliest date first (never made ones before all), machines in the given order on a tie.
  static QStringList Due_Header();
  static QList<QStringList> Due_Rows(const QList<TMachine> &machines, const QDate &on,
                                     int within_days);
};

#endif // METROVA_VERIFICATIONSCHEDULE_H
