#ifndef METROVA_VERIFICATIONSTORE_H
#define METROVA_VERIFICATIONSTORE_H

#include "verificationrecord.h"
#include "verificationschedule.h"

#include <QList>
#include <QString>

class TSqlConnection;

// The verification log's tables in the catalogue file: each machine's intervals and record
// counter, its records and their results. They are created by the first write, never by a
// read, so that opening a catalogue stays read-only; PRAGMA user_version numbers their layout.
// A machine is given by its make, model and option ids. The writes are TDatabase's; it holds
// the savepoint that makes each all or nothing.
class TVerificationStore
{
public:
  static constexpr int SCHEMA_VERSION = 1;

  explicit TVerificationStore(TSqlConnection *connection);

  // Each false with the reason in Error(); Is_Fault() tells a failed statement from data that
  // cannot be taken (an invalid record, a number that is not there, a newer layout).
  //
  // Stores the checked record under the next number of the machine, which it sets in *record.
  bool Add_Record(const int *ids, TVerificationRecord *record);
  bool Remove_Record(const int *ids, int number);
  bool Set_Intervals(const int *ids, const TVerificationSchedule::TIntervals &intervals);
  // Every record, result and interval of the machines of a make (id_count 1), a make and model
  // (2) or one machine (3).
  bool Remove_Machines(const int *ids, int id_count);
  // Deletes every row of the log, keeping its tables.
  bool Clear();

  // A machine's records by number, with their results in the order added.
  bool Records(const int *ids, QList<TVerificationRecord> *records);
  bool Record_Count(const int *ids, int id_count, int *count);
  // One machine's intervals and latest dates (ids given, names left empty), or every machine
  // with an interval, ordered by names (ids null).
  bool Machines(const int *ids, QList<TVerificationSchedule::TMachine> *machines);

  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

private:
  bool Fail(const QString &text, bool fault);
  bool Fail_Statement();
  // Whether the tables are there, in a layout this program reads; fails on a newer one.
  bool Find_Tables(bool *found);
  bool Create_Tables();
  bool Machine_Row(const int *ids);

  TSqlConnection *d_connection;
  QString d_error;
  bool d_fault = false;
};

#endif // METROVA_VERIFICATIONSTORE_H
