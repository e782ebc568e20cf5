#ifndef METROVA_VERIFICATIONSTORE_H
#define METROVA_VERIFICATIONSTORE_H

#include "verificationjudgement.h"
#include "verificationrecord.h"
#include "verificationschedule.h"

#include <QList>
#include <QString>

class TSqlConnection;

// The verification log's tables in the catalogue file: each machine's intervals and record
// counter, its records with what their verdicts rest on, their results and ranges with the
// figures they were judged by. They are created by the first write, never by a read, so that
// opening a catalogue stays read-only; the catalogue's schema version (TSqlEngine) numbers their
// layout. Layout 1 kept no
// figures; Upgrade adds their columns, and the log freezes the records it finds. Layout 3 keeps
// each machine's latest dates with it; Upgrade adds and fills them. A machine is
// given by its make, model and option ids. The writes are TDatabase's; it holds the savepoint
// that makes each all or nothing.
class TVerificationStore
{
public:
  static constexpr int SCHEMA_VERSION = 3;

  // A record's stored figures and the id they are kept under.
  struct TStored
  {
    int record_id = 0;
    TVerificationRecord record;
    // FROZEN_NO for a record of layout 1, which holds no figures.
    TVerificationJudgement::TJudgement judgement;
    // Whether the results (and ranges) are read; their count is read either way.
    bool complete = true;
    int result_count = 0;
  };

  explicit TVerificationStore(TSqlConnection *connection);

  // Each false with the reason in Error(); Is_Fault() tells a failed statement from data that
  // cannot be taken (an invalid record, a number that is not there, a newer layout).
  //
  // The layout of the log in the file: 0 without its tables.
  bool Layout(int *layout);
  // Stores the checked record under the next number of the machine, which it sets in *record,
  // with its judgement's figures.
  bool Add_Record(const int *ids, TVerificationRecord *record,
                  const TVerificationJudgement::TJudgement &judgement);
  bool Remove_Record(const int *ids, int number);
  bool Set_Intervals(const int *ids, const TVerificationSchedule::TIntervals &intervals);
  // Every record, result and interval of the machines of a make (id_count 1), a make and model
  // (2) or one machine (3).
  bool Remove_Machines(const int *ids, int id_count);
  // Deletes every row of the log, keeping its tables.
  bool Clear();

  // A machine's records by number, with their results in the order added. Without results where
  // every record holds its figures: each incomplete, with the count of its results and its
  // judgement's retested sets, for a list of records that reads no more (Read_Results).
  bool Records(const int *ids, QList<TStored> *records, bool results = true);
  // The results and ranges of the incomplete records, their judgements completed; fails (not a
  // fault) when one of them is no longer as it was read.
  bool Read_Results(const int *ids, QList<TStored> *records);
  bool Record_Count(const int *ids, int id_count, int *count);
  // The number of a stored record of the machine that is the same check (Same_Check); 0 when
  // none is.
  bool Same_Record(const int *ids, const TVerificationRecord &record, int *number);
  // One machine's intervals and latest dates (ids given, names left empty), or every machine
  // with an interval or a record whose state asks for a re-test, ordered by names (ids null).
  bool Machines(const int *ids, QList<TVerificationSchedule::TMachine> *machines);

  // An earlier layout to this one: the columns of the figures, added empty to layout 1, and the
  // machines' latest dates. The caller freezes the records of layout 1 (Machine_Ids, Records,
  // Freeze) in the same transaction, then Set_Layout.
  bool Upgrade();
  // The machines with records.
  bool Machine_Ids(QList<QVector<int>> *machines);
  // Stores a record's figures with it.
  bool Freeze(const TStored &stored);
  // Keeps the machine's latest record and its state, and its latest dates of each kind, with the
  // machine after a change of its records; every machine's with ids null.
  bool Update_Latest(const int *ids);
  bool Set_Layout();
  // Creates the tables of this layout when they are not there (an earlier layout is left to
  // Upgrade and the log's freezing).
  bool Create_Tables();

  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

private:
  bool Fail(const QString &text, bool fault);
  bool Fail_Statement();
  // Whether the tables are there, in a layout this program reads; fails on a newer one.
  bool Find_Tables(bool *found, int *layout = nullptr);
  bool Remember_Tables(bool found, int layout);
  bool Make_Indexes();
  bool Machine_Row(const int *ids);
  bool Write_Figures(const TStored &stored);
  // The results and ranges of the record with this id (0: every record of the machine) into the
  // records read, each completed.
  bool Read_Result_Rows(const int *ids, int record_id, bool figures, QList<TStored> *records);

  TSqlConnection *d_connection;
  QString d_error;
  bool d_fault = false;
  // What Find_Tables found in the transaction of this number: within one, nobody else changes the
  // tables, and this store forgets it when it changes them.
  bool d_tables_known = false;
  quint64 d_tables_transaction = 0;
  bool d_found = false;
  int d_layout = 0;
};

#endif // METROVA_VERIFICATIONSTORE_H
