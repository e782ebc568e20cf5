#ifndef METROVA_VERIFICATIONLOG_H
#define METROVA_VERIFICATIONLOG_H

#include "verificationrecord.h"
#include "verificationschedule.h"

#include <QList>
#include <QString>
#include <QStringList>

class TDatabase;
class TVerificationStore;

// The verification log of a catalogue: its machines' records and check intervals, kept in the
// catalogue file on the database's connection. Each write looks the machine up, checks and
// writes in one write transaction; a failure changes nothing and leaves its text in the
// database's Last_Error(). Reading a catalogue without a log gives no records; the first write
// creates its tables.
//
//   TVerificationLog log(database);
//   if (!log.Add_Record(make, model, option, &record))
//     report database->Last_Error()
class TVerificationLog
{
public:
  explicit TVerificationLog(TDatabase *database);

  // Stores a record under the machine's next number, set in *record. The component must have a
  // limit that varies with length.
  bool Add_Record(const QString &make, const QString &model, const QString &option,
                  TVerificationRecord *record);
  bool Remove_Record(const QString &make, const QString &model, const QString &option, int number);
  // By number.
  QList<TVerificationRecord> Records(const QString &make, const QString &model,
                                     const QString &option, bool *valid);
  // 0 removes an interval.
  bool Set_Intervals(const QString &make, const QString &model, const QString &option,
                     const TVerificationSchedule::TIntervals &intervals);
  TVerificationSchedule::TIntervals Intervals(const QString &make, const QString &model,
                                              const QString &option, bool *valid);
  // Every machine with an interval and its latest dates, ordered by names.
  QList<TVerificationSchedule::TMachine> Schedules(bool *valid);
  // The records that deleting this make (make and model, machine) would delete; -1 when that
  // cannot be read.
  int Record_Count(const QString &make, const QString &model = QString(),
                   const QString &option = QString());

private:
  // The ids of the names (make first), then the call on them: in one write transaction, or in
  // one read.
  template <typename TCall>
  bool Call(const QStringList &names, bool write, TCall call);

  TVerificationStore &Store();
  // done, or false with the store's failure as the database's last error.
  bool Stored(bool done);

  TDatabase *d_database;
};

#endif // METROVA_VERIFICATIONLOG_H
