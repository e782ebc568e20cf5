#include "verificationlog.h"

#include "capability.h"
#include "changehistory.h"
#include "database.h"
#include "sqlconnection.h"
#include "transaction.h"
#include "verificationstore.h"

#include <QLatin1String>

#include <algorithm>

TVerificationLog::TVerificationLog(TDatabase *database) : d_database(database)
{
  Q_ASSERT(database);
}

TVerificationStore &TVerificationLog::Store()
{
  return *d_database->d_verification;
}

bool TVerificationLog::Stored(bool done)
{
  return done || d_database->Fail(Store().Error(), Store().Is_Fault());
}

bool TVerificationLog::Record_Change(const char *change, const QStringList &names,
                                     const QString &details)
{
  TChangeHistory &history = *d_database->d_history;
  return history.Record(QLatin1String(change), names, details) ||
         d_database->Fail(history.Error(), history.Is_Fault());
}

QString TVerificationLog::Record_Text(const TVerificationRecord &record)
{
  return QStringLiteral("record %1: %2 %3, %4")
      .arg(record.number)
      .arg(TVerificationRecord::Kind_Name(record.kind), TVerificationRecord::Date_Text(record.date),
           record.Component_Text());
}

template <typename TCall>
bool TVerificationLog::Call(const QStringList &names, bool write, TCall call)
{
  TDatabase &database = *d_database;
  const auto run = [&]()
  {
    int ids[3] = {-1, -1, -1};
    return database.Lookup_Ids(names, ids) && call(ids);
  };
  if (write)
  {
    // The lookups, the checks and the writes see one state of the file, and a log of an earlier
    // layout is frozen before anything is added to it.
    return database.Write_Unit([&]() { return Freeze_Records() && run(); });
  }
  if (!database.Require_Open())
  {
    return false;
  }
  TReadTransaction read(&database);
  read.Join();
  return run();
}

bool TVerificationLog::Freeze_Records()
{
  TDatabase &database = *d_database;
  int layout = 0;
  if (!Stored(Store().Layout(&layout)))
  {
    return false;
  }
  if (layout == 0 || layout == TVerificationStore::SCHEMA_VERSION)
  {
    return true;
  }
  // Records of layout 2 on keep their figures: they stay as they were frozen.
  if (layout >= 2)
  {
    return Stored(Store().Upgrade()) && Stored(Store().Set_Layout());
  }
  QList<QVector<int>> machines;
  if (!Stored(Store().Upgrade()) || !Stored(Store().Machine_Ids(&machines)))
  {
    return false;
  }
  for (const QVector<int> &ids : qAsConst(machines))
  {
    // A machine whose names are gone is judged against nothing, and frozen as not judged.
    QList<TDatabaseItem> machine;
    const QString make = database.Lookup_Name(0, ids.at(0));
    const QString model = database.Lookup_Name(1, ids.at(1));
    const QString option = database.Lookup_Name(2, ids.at(2));
    bool valid = true;
    if (!make.isNull() && !model.isNull() && !option.isNull())
    {
      machine = database.Read_Configuration(make, model, option, &valid);
    }
    if (!valid && database.Database_Failed())
    {
      return false;
    }
    QList<TVerificationStore::TStored> records;
    if (!Stored(Store().Records(ids.constData(), &records)))
    {
      return false;
    }
    for (TVerificationStore::TStored &stored : records)
    {
      stored.judgement = TVerificationJudgement::Judge(stored.record, machine);
      stored.judgement.frozen = TVerificationJudgement::FROZEN_ON_UPGRADE;
      if (!Stored(Store().Freeze(stored)))
      {
        return false;
      }
    }
    if (!Stored(Store().Update_Latest(ids.constData())) ||
        (!records.isEmpty() &&
         !Record_Change(TChangeHistory::CHANGE_UPGRADE, {make, model, option},
                        QStringLiteral("%1 verification record(s) of an earlier layout given the "
                                       "catalogue's figures of the upgrade")
                            .arg(records.size()))))
    {
      return false;
    }
  }
  return Stored(Store().Set_Layout());
}

bool TVerificationLog::Upgrade()
{
  if (!d_database->Require_Open())
  {
    return false;
  }
  // A catalogue that takes no writes is read as it is, and one without a log of an earlier layout
  // is only read: opening it takes no write lock.
  int layout = 0;
  if (d_database->Is_Read_Only())
  {
    return true;
  }
  // A log of a newer layout is left as it is: the catalogue opens, and only the log refuses.
  if (!Store().Layout(&layout))
  {
    return !Store().Is_Fault() || Stored(false);
  }
  if (layout == 0 || layout == TVerificationStore::SCHEMA_VERSION)
  {
    return true;
  }
  // A log of layout 2 reads as it is without the upgrade: a role that may write rows but not
  // change tables (a server's writer) still opens the catalogue; the log's writes wait for the
  // upgrade, which its owner's opening makes.
  return d_database->Write_Unit([this]() { return Freeze_Records(); }) || layout >= 2;
}

bool TVerificationLog::Add_Record(const QString &make, const QString &model, const QString &option,
                                  TVerificationRecord *record,
                                  TVerificationJudgement::TJudgement *judgement, bool again,
                                  int *same_number)
{
  if (same_number)
  {
    *same_number = 0;
  }
  return Call(
      {make, model, option}, true,
      [&](const int *ids)
      {
        TDatabase &database = *d_database;
        const int kinds =
            database.Component_Type_Expression_Types(record->standard, record->component);
        if (kinds == 0)
        {
          return false;
        }
        // A length error, or a probing error against its constant.
        if (!TCapability::Is_Length_Dependent(kinds) &&
            !TVerificationJudgement::Is_Probing(record->standard, record->component))
        {
          return database.Fail(QStringLiteral("%1 has no limit that varies with length, and is no "
                                              "probing error (10360:Pftu).")
                                   .arg(record->Component_Text()),
                               false);
        }
        QString invalid;
        if (!record->Check(&invalid))
        {
          return database.Fail(invalid, false);
        }
        int same = 0;
        if (!again && !Stored(Store().Same_Record(ids, *record, &same)))
        {
          return false;
        }
        if (same > 0)
        {
          if (same_number)
          {
            *same_number = same;
          }
          return database.Fail(QStringLiteral("Record %1 of this machine is the same check: the "
                                              "same date, kind, component and results.")
                                   .arg(same),
                               false);
        }
        // The limit as it is now, under the write lock: the figures stored are those judged.
        bool valid = false;
        const QList<TDatabaseItem> machine =
            database.Read_Configuration(make, model, option, &valid);
        if (!valid)
        {
          return false;
        }
        TVerificationJudgement::TJudgement judged = TVerificationJudgement::Judge(*record, machine);
        if (!Stored(Store().Add_Record(ids, record, judged)) ||
            !Record_Change(TChangeHistory::CHANGE_RECORD_ADDED, {make, model, option},
                           Record_Text(*record) + QStringLiteral(", ") +
                               TVerificationJudgement::Verdict_Name(judged.verdict)))
        {
          return false;
        }
        if (judgement)
        {
          judged.frozen = TVerificationJudgement::FROZEN_AT_SAVE;
          *judgement = judged;
        }
        return true;
      });
}

bool TVerificationLog::Remove_Record(const QString &make, const QString &model,
                                     const QString &option, int number)
{
  return Call(
      {make, model, option}, true,
      [&](const int *ids)
      {
        // What the record was, for the history.
        QList<TVerificationStore::TStored> records;
        if (!Stored(Store().Records(ids, &records)))
        {
          return false;
        }
        const auto removed = std::find_if(records.cbegin(), records.cend(),
                                          [number](const TVerificationStore::TStored &stored)
                                          { return stored.record.number == number; });
        return Stored(Store().Remove_Record(ids, number)) &&
               Record_Change(TChangeHistory::CHANGE_RECORD_DELETED, {make, model, option},
                             removed == records.cend() ? QStringLiteral("record %1").arg(number)
                                                       : Record_Text(removed->record));
      });
}

QList<TVerificationRecord>
TVerificationLog::Records(const QString &make, const QString &model, const QString &option,
                          bool *valid, QList<TVerificationJudgement::TJudgement> *judgements)
{
  Q_ASSERT(valid);
  QList<TVerificationStore::TStored> stored;
  *valid = Stored_Records(make, model, option, true, &stored);
  QList<TVerificationRecord> records;
  if (judgements)
  {
    judgements->clear();
  }
  for (const TVerificationStore::TStored &entry : qAsConst(stored))
  {
    records.append(entry.record);
    if (judgements)
    {
      judgements->append(entry.judgement);
    }
  }
  return records;
}

bool TVerificationLog::Stored_Records(const QString &make, const QString &model,
                                      const QString &option, bool results,
                                      QList<TVerificationStore::TStored> *records)
{
  records->clear();
  const bool read =
      Call({make, model, option}, false,
           [&](const int *ids)
           {
             if (!Stored(Store().Records(ids, records, results)))
             {
               return false;
             }
             // Records stored without figures are judged against the catalogue of
             // now.
             QList<TDatabaseItem> machine;
             bool machine_read = false;
             for (TVerificationStore::TStored &entry : *records)
             {
               if (entry.judgement.frozen == TVerificationJudgement::FROZEN_NO)
               {
                 if (!machine_read)
                 {
                   machine = d_database->Read_Configuration(make, model, option, &machine_read);
                   if (!machine_read)
                   {
                     return false;
                   }
                 }
                 entry.judgement = TVerificationJudgement::Judge(entry.record, machine);
               }
             }
             return true;
           });
  if (!read)
  {
    records->clear();
  }
  return read;
}

bool TVerificationLog::Read_Results(const QString &make, const QString &model,
                                    const QString &option,
                                    QList<TVerificationStore::TStored> *records)
{
  return Call({make, model, option}, false,
              [&](const int *ids) { return Stored(Store().Read_Results(ids, records)); });
}

bool TVerificationLog::Set_Intervals(const QString &make, const QString &model,
                                     const QString &option,
                                     const TVerificationSchedule::TIntervals &intervals)
{
  return Call(
      {make, model, option}, true,
      [&](const int *ids)
      {
        const auto every = [](int count, const QString &unit) {
          return count > 0 ? QStringLiteral("every %1 %2").arg(count).arg(unit)
                           : QStringLiteral("none");
        };
        return Stored(Store().Set_Intervals(ids, intervals)) &&
               Record_Change(
                   TChangeHistory::CHANGE_SCHEDULE, {make, model, option},
                   QStringLiteral("reverification %1, interim check %2")
                       .arg(every(intervals.reverification_months, QStringLiteral("months")),
                            every(intervals.interim_days, QStringLiteral("days"))));
      });
}

TVerificationSchedule::TIntervals TVerificationLog::Intervals(const QString &make,
                                                              const QString &model,
                                                              const QString &option, bool *valid)
{
  Q_ASSERT(valid);
  QList<TVerificationSchedule::TMachine> machines;
  *valid = Call({make, model, option}, false,
                [&](const int *ids) { return Stored(Store().Machines(ids, &machines)); });
  return machines.value(0).intervals;
}

QList<TVerificationSchedule::TMachine> TVerificationLog::Schedules(bool *valid)
{
  Q_ASSERT(valid);
  QList<TVerificationSchedule::TMachine> machines;
  *valid =
      Call({}, false, [&](const int *) { return Stored(Store().Machines(nullptr, &machines)); });
  return machines;
}

int TVerificationLog::Record_Count(const QString &make, const QString &model, const QString &option)
{
  QStringList names{make};
  if (!model.isEmpty())
  {
    names.append(model);
    if (!option.isEmpty())
    {
      names.append(option);
    }
  }
  int count = -1;
  const bool counted =
      Call(names, false,
           [&](const int *ids) { return Stored(Store().Record_Count(ids, names.size(), &count)); });
  return counted ? count : -1;
}
