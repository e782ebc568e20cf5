#include "verificationlog.h"

#include "capability.h"
#include "database.h"
#include "sqlconnection.h"
#include "verificationstore.h"

namespace
{
const QString SAVEPOINT_VERIFICATION = QStringLiteral("metrova_verification");
} // namespace

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

template <typename TCall>
bool TVerificationLog::Call(const QStringList &names, bool write, TCall call)
{
  TDatabase &database = *d_database;
  const auto run = [&]()
  {
    int ids[3] = {-1, -1, -1};
    for (int kind = 0; kind < names.size(); ++kind)
    {
      ids[kind] = database.Lookup_Id(kind, names.at(kind));
      if (ids[kind] < 0)
      {
        return false;
      }
    }
    return call(ids);
  };
  if (write)
  {
    // The lookups, the checks and the writes see one state of the file.
    return database.Write_Unit(SAVEPOINT_VERIFICATION, run);
  }
  if (!database.Require_Open())
  {
    return false;
  }
  const bool began_read = database.Begin_Read();
  const bool done = run();
  database.End_Read(began_read);
  return done;
}

bool TVerificationLog::Add_Record(const QString &make, const QString &model, const QString &option,
                                  TVerificationRecord *record)
{
  return Call({make, model, option}, true,
              [&](const int *ids)
              {
                TDatabase &database = *d_database;
                // Only a limit that varies with length can judge a length error.
                const int kinds =
                    database.Component_Type_Expression_Types(record->standard, record->component);
                if (kinds == 0)
                {
                  return false;
                }
                if (!TCapability::Is_Length_Dependent(kinds))
                {
                  return database.Fail(QStringLiteral("%1 has no limit that varies with length.")
                                           .arg(record->Component_Text()),
                                       false);
                }
                return Stored(Store().Add_Record(ids, record));
              });
}

bool TVerificationLog::Remove_Record(const QString &make, const QString &model,
                                     const QString &option, int number)
{
  return Call({make, model, option}, true,
              [&](const int *ids) { return Stored(Store().Remove_Record(ids, number)); });
}

QList<TVerificationRecord> TVerificationLog::Records(const QString &make, const QString &model,
                                                     const QString &option, bool *valid)
{
  Q_ASSERT(valid);
  QList<TVerificationRecord> records;
  *valid = Call({make, model, option}, false,
                [&](const int *ids) { return Stored(Store().Records(ids, &records)); });
  return records;
}

bool TVerificationLog::Set_Intervals(const QString &make, const QString &model,
                                     const QString &option,
                                     const TVerificationSchedule::TIntervals &intervals)
{
  return Call({make, model, option}, true,
              [&](const int *ids) { return Stored(Store().Set_Intervals(ids, intervals)); });
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
