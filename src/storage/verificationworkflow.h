#ifndef METROVA_VERIFICATIONWORKFLOW_H
#define METROVA_VERIFICATIONWORKFLOW_H

#include "databaseitem.h"
#include "verificationjudgement.h"
#include "verificationrecord.h"
#include "verificationschedule.h"

#include <QList>
#include <QString>
#include <QStringList>

class TDatabase;

// The verification log of one machine as a user works on it, without widgets: the command line
// and the log dialog both load the machine's rows, records and intervals through it, judge a new
// record as it is entered, and store it with what its verdict rests on. Each failure leaves its
// text in Error().
//
//   TVerificationWorkflow log(database);
//   if (!log.Load(make, model, option)) report log.Error();
//   const TVerificationJudgement::TJudgement shown = log.Judge(record);  // as the form changes
//   if (!log.Save(&record, &judgement)) report log.Error(), log.Same_Number();
class TVerificationWorkflow
{
public:
  // A stored record with the judgement it is shown by.
  struct TEntry
  {
    TVerificationRecord record;
    TVerificationJudgement::TJudgement judgement;
    // What today's catalogue states otherwise than the record's stored figures: "the catalogue's
    // E0 is now ...". The verdict stays the stored one.
    QStringList changes;
    // The count of the record's results, whether they are read (Load, Read_Results) or not.
    int result_count = 0;
    bool complete = true;
    int record_id = 0;
  };

  explicit TVerificationWorkflow(TDatabase *database);

  // Reads the machine's rows of every standard, its records with their judgements and its
  // intervals, in one read; without the records' results, where they hold their figures, for a
  // list that shows a record at a time (Read_Results). The loads after a change read as this.
  bool Load(const QString &make, const QString &model, const QString &option, bool results = true);
  // The results of the record with this number (0: of every record) where Load read none; false
  // with Error() when it cannot, as when another program deleted the record meanwhile.
  bool Read_Results(int number);
  // The machine as loaded.
  const QList<TDatabaseItem> &Machine() const { return d_machine; }
  const QList<TEntry> &Entries() const { return d_entries; }
  // The entry of a record number; null when there is none.
  const TEntry *Entry(int number) const;
  const TVerificationSchedule::TIntervals &Intervals() const { return d_intervals; }
  // The {standard, component} pairs a check can be judged against, as loaded: a length error's,
  // or a probing error's constant; 10360 E0 first.
  const QList<QStringList> &Judged_Components() const { return d_components; }
  // The machine's schedule from its records and their states.
  TVerificationSchedule::TMachine Schedule() const;
  // Whether the catalogue takes no writes: the log is shown, not written.
  bool Is_Read_Only() const;

  // A record not stored yet judged against the loaded machine, as the form shows it.
  TVerificationJudgement::TJudgement Judge(const TVerificationRecord &record) const;
  // Whether a results file of the component needs lengths (a probing test's does not).
  static bool Needs_Length(const QString &standard, const QString &component);

  // Checks the record, judges it against the catalogue as it is under the write lock and stores
  // it with those figures (TVerificationLog::Add_Record), then loads the machine again. *record
  // gets its number, *judgement the judgement stored. The same check as a stored record is
  // refused unless again, with Same_Number() naming that record. Once stored it is true: a reload
  // that fails afterwards leaves its reason in Error() and the entries as they were.
  bool Save(TVerificationRecord *record, TVerificationJudgement::TJudgement *judgement = nullptr,
            bool again = false);
  int Same_Number() const { return d_same_number; }
  bool Remove(int number);
  bool Set_Intervals(const TVerificationSchedule::TIntervals &intervals);

  QString Error() const { return d_error; }

private:
  bool Fail(const QString &text);
  bool Read_Judged_Components(QList<QStringList> *components);

  TDatabase *d_database;
  QString d_make;
  QString d_model;
  QString d_option;
  QList<TDatabaseItem> d_machine;
  QList<TEntry> d_entries;
  bool d_results = true;
  TVerificationSchedule::TIntervals d_intervals;
  QList<QStringList> d_components;
  int d_same_number = 0;
  QString d_error;
};

#endif // METROVA_VERIFICATIONWORKFLOW_H
