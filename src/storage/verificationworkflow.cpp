#include "verificationworkflow.h"

#include "capability.h"
#include "database.h"
#include "transaction.h"
#include "verificationlog.h"

TVerificationWorkflow::TVerificationWorkflow(TDatabase *database) : d_database(database)
{
  Q_ASSERT(database);
}

bool TVerificationWorkflow::Fail(const QString &text)
{
  d_error = text;
  return false;
}

bool TVerificationWorkflow::Load(const QString &make, const QString &model, const QString &option,
                                 bool results)
{
  d_make = make;
  d_model = model;
  d_option = option;
  d_results = results;
  // The machine, its records and its intervals as one state of the file; what was loaded before
  // stays until all of it is read.
  TReadTransaction read(d_database);
  read.Begin();
  bool valid = false;
  const QList<TDatabaseItem> machine = d_database->Read_Configuration(make, model, option, &valid);
  QList<TVerificationStore::TStored> records;
  TVerificationSchedule::TIntervals intervals;
  TVerificationLog log(d_database);
  valid = valid && log.Stored_Records(make, model, option, results, &records);
  if (valid)
  {
    intervals = log.Intervals(make, model, option, &valid);
  }
  // In the same read: outside a transaction each name look-up would check first whether the
  // catalogue changed, a round trip each on a server.
  QList<QStringList> components;
  if (!valid || !Read_Judged_Components(&components))
  {
    return Fail(d_database->Last_Error());
  }
  d_machine = machine;
  d_intervals = intervals;
  d_components = components;
  d_entries.clear();
  for (const TVerificationStore::TStored &stored : qAsConst(records))
  {
    TEntry entry;
    entry.record = stored.record;
    entry.judgement = stored.judgement;
    entry.result_count = stored.result_count;
    entry.complete = stored.complete;
    entry.record_id = stored.record_id;
    if (entry.judgement.frozen != TVerificationJudgement::FROZEN_NO)
    {
      entry.changes = entry.judgement.basis.Changes(
          TVerificationBasis::Of_Machine(d_machine, entry.record.standard, entry.record.component));
    }
    d_entries.append(entry);
  }
  return true;
}

bool TVerificationWorkflow::Read_Judged_Components(QList<QStringList> *components)
{
  bool valid = false;
  const QStringList standards = d_database->Standard_Types(&valid);
  for (const QString &standard : standards)
  {
    const QStringList names = valid ? d_database->Component_Types(standard, &valid) : QStringList();
    for (const QString &component : names)
    {
      if (TCapability::Is_Length_Dependent(
              d_database->Component_Type_Expression_Types(standard, component)) ||
          TVerificationJudgement::Is_Probing(standard, component))
      {
        components->append({standard, component});
      }
    }
  }
  return valid;
}

bool TVerificationWorkflow::Read_Results(int number)
{
  QList<int> indexes;
  QList<TVerificationStore::TStored> records;
  for (int index = 0; index < d_entries.size(); ++index)
  {
    const TEntry &entry = d_entries.at(index);
    if (!entry.complete && (number == 0 || entry.record.number == number))
    {
      TVerificationStore::TStored stored;
      stored.record_id = entry.record_id;
      stored.record = entry.record;
      stored.judgement = entry.judgement;
      stored.result_count = entry.result_count;
      stored.complete = false;
      indexes.append(index);
      records.append(stored);
    }
  }
  if (records.isEmpty())
  {
    return true;
  }
  if (!TVerificationLog(d_database).Read_Results(d_make, d_model, d_option, &records))
  {
    return Fail(d_database->Last_Error());
  }
  for (int index = 0; index < indexes.size(); ++index)
  {
    TEntry &entry = d_entries[indexes.at(index)];
    entry.record = records.at(index).record;
    entry.judgement = records.at(index).judgement;
    entry.complete = true;
  }
  return true;
}

const TVerificationWorkflow::TEntry *TVerificationWorkflow::Entry(int number) const
{
  for (const TEntry &entry : d_entries)
  {
    if (entry.record.number == number)
    {
      return &entry;
    }
  }
  return nullptr;
}

TVerificationSchedule::TMachine TVerificationWorkflow::Schedule() const
{
  QList<TVerificationRecord> records;
  QList<int> verdicts;
  for (const TEntry &entry : d_entries)
  {
    records.append(entry.record);
    verdicts.append(entry.judgement.verdict);
  }
  return TVerificationSchedule::Of_Records(d_intervals, records, verdicts);
}

bool TVerificationWorkflow::Is_Read_Only() const
{
  return d_database->Is_Read_Only();
}

TVerificationJudgement::TJudgement
TVerificationWorkflow::Judge(const TVerificationRecord &record) const
{
  return TVerificationJudgement::Judge(record, d_machine);
}

bool TVerificationWorkflow::Needs_Length(const QString &standard, const QString &component)
{
  return !TVerificationJudgement::Is_Probing(standard, component);
}

bool TVerificationWorkflow::Save(TVerificationRecord *record,
                                 TVerificationJudgement::TJudgement *judgement, bool again)
{
  d_same_number = 0;
  d_error.clear();
  if (!TVerificationLog(d_database)
           .Add_Record(d_make, d_model, d_option, record, judgement, again, &d_same_number))
  {
    return Fail(d_database->Last_Error());
  }
  if (!Load(d_make, d_model, d_option, d_results))
  {
    d_error = QStringLiteral("Record %1 was saved, but the log cannot be read again: %2")
                  .arg(record->number)
                  .arg(d_error);
  }
  return true;
}

bool TVerificationWorkflow::Remove(int number)
{
  if (!TVerificationLog(d_database).Remove_Record(d_make, d_model, d_option, number))
  {
    return Fail(d_database->Last_Error());
  }
  return Load(d_make, d_model, d_option, d_results);
}

bool TVerificationWorkflow::Set_Intervals(const TVerificationSchedule::TIntervals &intervals)
{
  if (!TVerificationLog(d_database).Set_Intervals(d_make, d_model, d_option, intervals))
  {
    return Fail(d_database->Last_Error());
  }
  d_intervals = intervals;
  return true;
}
