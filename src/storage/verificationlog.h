#ifndef METROVA_VERIFICATIONLOG_H
#define METROVA_VERIFICATIONLOG_H

#include "verificationjudgement.h"
#include "verificationrecord.h"
#include "verificationschedule.h"
#include "verificationstore.h"

#include <QList>
#include <QString>
#include <QStringList>

class TDatabase;

// The verification log of a catalogue: its machines' records and check intervals, kept in the
// catalogue file on the database's connection. Each write looks the machine up, checks and
// writes in one write transaction; a failure changes nothing and leaves its text in the
// database's Last_Error(). Reading a catalogue without a log gives no records; the first write
// creates its tables, and the first write to a log of an earlier layout freezes its records.
//
//   TVerificationLog log(database);
//   if (!log.Add_Record(make, model, option, &record, &judgement))
//     report database->Last_Error()
class TVerificationLog
{
public:
  explicit TVerificationLog(TDatabase *database);

  // Judges a record against the machine's limit as the catalogue holds it under the write lock,
  // and stores it with the figures of that judgement under the machine's next number, set in
  // *record: a limit changed meanwhile by another program is the limit judged and stored. The
  // component must have a limit that varies with length, or a constant one (probing). A record
  // that is the same check as a stored one is refused unless again, with that record's number in
  // *same_number.
  bool Add_Record(const QString &make, const QString &model, const QString &option,
                  TVerificationRecord *record,
                  TVerificationJudgement::TJudgement *judgement = nullptr, bool again = false,
                  int *same_number = nullptr);
  bool Remove_Record(const QString &make, const QString &model, const QString &option, int number);
  // By number, with the judgement of each: the stored one, or for a record stored before figures
  // were stored (a catalogue that cannot be written keeps them so) one judged now against the
  // catalogue.
  QList<TVerificationRecord>
  Records(const QString &make, const QString &model, const QString &option, bool *valid,
          QList<TVerificationJudgement::TJudgement> *judgements = nullptr);
  // The records as Records reads them with what they are stored under; without their results
  // where each holds its figures (TVerificationStore::Records), which Read_Results then reads.
  bool Stored_Records(const QString &make, const QString &model, const QString &option,
                      bool results, QList<TVerificationStore::TStored> *records);
  bool Read_Results(const QString &make, const QString &model, const QString &option,
                    QList<TVerificationStore::TStored> *records);
  // 0 removes an interval.
  bool Set_Intervals(const QString &make, const QString &model, const QString &option,
                     const TVerificationSchedule::TIntervals &intervals);
  TVerificationSchedule::TIntervals Intervals(const QString &make, const QString &model,
                                              const QString &option, bool *valid);
  // Every machine with an interval or a record that asks for a re-test, with its latest dates,
  // ordered by names.
  QList<TVerificationSchedule::TMachine> Schedules(bool *valid);
  // The records that deleting this make (make and model, machine) would delete; -1 when that
  // cannot be read.
  int Record_Count(const QString &make, const QString &model = QString(),
                   const QString &option = QString());
  // Freezes the records of a log of an earlier layout with the catalogue's figures of now, in one
  // write transaction, and marks them frozen on upgrade; nothing to do for a catalogue without a
  // log or with one of this layout.
  bool Upgrade();

private:
  // The ids of the names (make first), then the call on them: in one write transaction, or in
  // one read.
  template <typename TCall>
  bool Call(const QStringList &names, bool write, TCall call);

  TVerificationStore &Store();
  // done, or false with the store's failure as the database's last error.
  bool Stored(bool done);
  // The upgrade's work inside a write transaction.
  bool Freeze_Records();
  // A change of the machine's log in its history (TChangeHistory), in the write transaction.
  bool Record_Change(const char *change, const QStringList &names, const QString &details);
  // "record 3: interim 2026-01-05, 10360:E0"
  static QString Record_Text(const TVerificationRecord &record);

  TDatabase *d_database;
};

#endif // METROVA_VERIFICATIONLOG_H
