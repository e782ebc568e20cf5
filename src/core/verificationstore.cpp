#include "verificationstore.h"

#include "sqlconnection.h"

#include <QLatin1String>
#include <QStringList>
#include <QVariant>

namespace
{
const char *const TABLE_NAMES[] = {"verification_machine", "verification_record",
                                   "verification_result"};
constexpr int TABLE_COUNT = 3;

const char *const CREATE_STATEMENTS[] = {
    ("CREATE TABLE IF NOT EXISTS verification_machine(make_id INTEGER NOT NULL,model_id INTEGER "
     "NOT NULL,option_id INTEGER NOT NULL,reverification_months INTEGER NOT NULL DEFAULT 0,"
     "interim_days INTEGER NOT NULL DEFAULT 0,last_number INTEGER NOT NULL DEFAULT 0,PRIMARY "
     "KEY(make_id,model_id,option_id))"),
    ("CREATE TABLE IF NOT EXISTS verification_record(record_id INTEGER PRIMARY KEY AUTOINCREMENT,"
     "make_id INTEGER NOT NULL,model_id INTEGER NOT NULL,option_id INTEGER NOT NULL,number "
     "INTEGER NOT NULL,date TEXT NOT NULL,kind TEXT NOT NULL,standard TEXT NOT NULL,component "
     "TEXT NOT NULL,temperature REAL NOT NULL,uncertainty REAL NOT NULL,rule TEXT NOT NULL,"
     "operator TEXT,artefact TEXT,notes TEXT,UNIQUE(make_id,model_id,option_id,number))"),
    ("CREATE TABLE IF NOT EXISTS verification_result(record_id INTEGER NOT NULL,sequence INTEGER "
     "NOT NULL,length REAL NOT NULL,position TEXT,repetition INTEGER NOT NULL,error REAL NOT "
     "NULL,PRIMARY KEY(record_id,sequence))"),
    // The latest date of each kind of every machine comes from this index alone.
    ("CREATE INDEX IF NOT EXISTS verification_record_kind_date ON "
     "verification_record(make_id,model_id,option_id,kind,date)")};

const QString SELECT_RECORDS = QStringLiteral(
    "SELECT record_id,number,date,kind,standard,component,temperature,uncertainty,rule,operator,"
    "artefact,notes FROM verification_record WHERE make_id=? AND model_id=? AND option_id=? "
    "ORDER BY number");
const QString SELECT_RESULTS = QStringLiteral(
    "SELECT record_id,length,position,repetition,error FROM verification_result WHERE record_id "
    "IN (SELECT record_id FROM verification_record WHERE make_id=? AND model_id=? AND "
    "option_id=?) ORDER BY record_id,sequence");
const QString SELECT_RECORD_ID =
    QStringLiteral("SELECT record_id FROM verification_record WHERE make_id=? AND model_id=? AND "
                   "option_id=? AND number=?");

// The latest reverification (an acceptance counts) and interim check of each machine.
const QString MACHINE_COLUMNS = QStringLiteral(
    "SELECT mk.name,mo.name,op.name,v.reverification_months,v.interim_days,"
    "(SELECT MAX(date) FROM verification_record AS r WHERE r.make_id=v.make_id AND "
    "r.model_id=v.model_id AND r.option_id=v.option_id AND r.kind IN (?,?)),"
    "(SELECT MAX(date) FROM verification_record AS r WHERE r.make_id=v.make_id AND "
    "r.model_id=v.model_id AND r.option_id=v.option_id AND r.kind=?) "
    "FROM verification_machine AS v LEFT JOIN make AS mk ON mk.make_id=v.make_id LEFT JOIN "
    "model_types AS mo ON mo.model_id=v.model_id LEFT JOIN option_types AS op ON "
    "op.option_id=v.option_id ");

// The condition on a machine's rows of the first id_count ids.
QString Machine_Condition(int id_count, const QString &prefix = QString())
{
  static const char *const COLUMNS[] = {"make_id", "model_id", "option_id"};
  QStringList conditions;
  for (int index = 0; index < id_count; ++index)
  {
    conditions.append(prefix + QLatin1String(COLUMNS[index]) + QStringLiteral("=?"));
  }
  return conditions.join(QLatin1String(" AND "));
}

void Bind_Ids(QSqlQuery *query, const int *ids, int id_count, int first = 0)
{
  for (int index = 0; index < id_count; ++index)
  {
    query->bindValue(first + index, ids[index]);
  }
}
} // namespace

TVerificationStore::TVerificationStore(TSqlConnection *connection) : d_connection(connection) {}

bool TVerificationStore::Fail(const QString &text, bool fault)
{
  d_error = text;
  d_fault = fault;
  return false;
}

bool TVerificationStore::Fail_Statement()
{
  return Fail(d_connection->Error(), true);
}

bool TVerificationStore::Find_Tables(bool *found)
{
  QVariant count;
  if (d_connection->Select_Value(
          QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN "
                         "(?,?,?)"),
          {QLatin1String(TABLE_NAMES[0]), QLatin1String(TABLE_NAMES[1]),
           QLatin1String(TABLE_NAMES[2])},
          &count) != TSqlConnection::SELECT_FOUND)
  {
    return Fail_Statement();
  }
  *found = count.toInt() == TABLE_COUNT;
  if (!*found)
  {
    return true;
  }
  QVariant version;
  if (d_connection->Select_Value(QStringLiteral("PRAGMA user_version"), {}, &version) !=
      TSqlConnection::SELECT_FOUND)
  {
    return Fail_Statement();
  }
  if (version.toInt() > SCHEMA_VERSION)
  {
    return Fail(QStringLiteral("The verification log of this catalogue was written by a newer "
                               "Metrova (layout %1; this one knows %2): it is left as it is.")
                    .arg(version.toInt())
                    .arg(SCHEMA_VERSION),
                false);
  }
  return true;
}

bool TVerificationStore::Create_Tables()
{
  bool found = false;
  if (!Find_Tables(&found))
  {
    return false;
  }
  if (found)
  {
    return true;
  }
  for (const char *statement : CREATE_STATEMENTS)
  {
    if (!d_connection->Run_Once(QLatin1String(statement)))
    {
      return Fail(QStringLiteral("Cannot create the verification log's tables.  Reason: %1")
                      .arg(d_connection->Error()),
                  true);
    }
  }
  // A pragma takes no bound value; the version is this program's constant.
  if (!d_connection->Run_Once(QStringLiteral("PRAGMA user_version=%1").arg(SCHEMA_VERSION)))
  {
    return Fail_Statement();
  }
  return true;
}

// The machine's row of intervals and counter, added when missing; the machine must have rows.
bool TVerificationStore::Machine_Row(const int *ids)
{
  QVariant found;
  const TSqlConnection::TSelect specified = d_connection->Select_Value(
      QStringLiteral("SELECT 1 FROM specification WHERE make_id=? AND model_id=? AND option_id=? "
                     "LIMIT 1"),
      {ids[0], ids[1], ids[2]}, &found);
  if (specified == TSqlConnection::SELECT_FAILED)
  {
    return Fail_Statement();
  }
  if (specified == TSqlConnection::SELECT_NONE)
  {
    return Fail(QStringLiteral("The machine has no specification in the catalogue."), false);
  }
  return d_connection->Run_Statement(QStringLiteral("INSERT OR IGNORE INTO verification_machine "
                                                    "(make_id,model_id,option_id) VALUES (?,?,?)"),
                                     {ids[0], ids[1], ids[2]}) ||
         Fail_Statement();
}

bool TVerificationStore::Add_Record(const int *ids, TVerificationRecord *record)
{
  QString invalid;
  if (!record->Check(&invalid))
  {
    return Fail(invalid, false);
  }
  if (!Create_Tables() || !Machine_Row(ids))
  {
    return false;
  }
  QVariant last;
  if (d_connection->Select_Value(QStringLiteral("SELECT last_number FROM verification_machine "
                                                "WHERE make_id=? AND model_id=? AND option_id=?"),
                                 {ids[0], ids[1], ids[2]}, &last) != TSqlConnection::SELECT_FOUND)
  {
    return Fail_Statement();
  }
  const int number = last.toInt() + 1;
  const TVerificationRecord &r = *record;
  QVariant record_id;
  if (!d_connection->Run_Statement(
          QStringLiteral("UPDATE verification_machine SET last_number=? WHERE make_id=? AND "
                         "model_id=? AND option_id=?"),
          {number, ids[0], ids[1], ids[2]}) ||
      !d_connection->Run_Statement(
          QStringLiteral("INSERT INTO verification_record (make_id,model_id,option_id,number,"
                         "date,kind,standard,component,temperature,uncertainty,rule,operator,"
                         "artefact,notes) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          {ids[0], ids[1], ids[2], number, TVerificationRecord::Date_Text(r.date),
           TVerificationRecord::Kind_Name(r.kind), r.standard, r.component, r.temperature,
           r.uncertainty, TVerificationRecord::Rule_Name(r.rule), r.operator_name, r.artefact,
           r.notes}) ||
      d_connection->Select_Value(SELECT_RECORD_ID, {ids[0], ids[1], ids[2], number}, &record_id) !=
          TSqlConnection::SELECT_FOUND)
  {
    return Fail_Statement();
  }
  for (int sequence = 0; sequence < r.results.size(); ++sequence)
  {
    const TVerificationResult &result = r.results.at(sequence);
    if (!d_connection->Run_Statement(
            QStringLiteral("INSERT INTO verification_result (record_id,sequence,length,position,"
                           "repetition,error) VALUES (?,?,?,?,?,?)"),
            {record_id, sequence + 1, result.length, result.position, result.repetition,
             result.error}))
    {
      return Fail_Statement();
    }
  }
  record->number = number;
  return true;
}

bool TVerificationStore::Remove_Record(const int *ids, int number)
{
  bool found = false;
  if (!Find_Tables(&found))
  {
    return false;
  }
  QVariant record_id;
  const TSqlConnection::TSelect selected =
      found ? d_connection->Select_Value(SELECT_RECORD_ID, {ids[0], ids[1], ids[2], number},
                                         &record_id)
            : TSqlConnection::SELECT_NONE;
  if (selected == TSqlConnection::SELECT_FAILED)
  {
    return Fail_Statement();
  }
  if (selected == TSqlConnection::SELECT_NONE)
  {
    return Fail(QStringLiteral("The machine has no verification record %1.").arg(number), false);
  }
  return (d_connection->Run_Statement(
              QStringLiteral("DELETE FROM verification_result WHERE record_id=?"), {record_id}) &&
          d_connection->Run_Statement(
              QStringLiteral("DELETE FROM verification_record WHERE record_id=?"), {record_id})) ||
         Fail_Statement();
}

bool TVerificationStore::Set_Intervals(const int *ids,
                                       const TVerificationSchedule::TIntervals &intervals)
{
  // A century is as far as any schedule reaches; beyond it dates would leave the calendar.
  if (intervals.reverification_months < 0 || intervals.reverification_months > 1200 ||
      intervals.interim_days < 0 || intervals.interim_days > 36500)
  {
    return Fail(QStringLiteral("An interval must lie between 0 (none) and 1200 months or 36500 "
                               "days."),
                false);
  }
  return Create_Tables() && Machine_Row(ids) &&
         (d_connection->Run_Statement(
              QStringLiteral("UPDATE verification_machine SET reverification_months=?,"
                             "interim_days=? WHERE make_id=? AND model_id=? AND option_id=?"),
              {intervals.reverification_months, intervals.interim_days, ids[0], ids[1], ids[2]}) ||
          Fail_Statement());
}

bool TVerificationStore::Remove_Machines(const int *ids, int id_count)
{
  bool found = false;
  if (!Find_Tables(&found))
  {
    return false;
  }
  if (!found)
  {
    return true;
  }
  const QString condition = Machine_Condition(id_count);
  const QString statements[] = {
      QStringLiteral("DELETE FROM verification_result WHERE record_id IN (SELECT record_id FROM "
                     "verification_record WHERE %1)")
          .arg(condition),
      QStringLiteral("DELETE FROM verification_record WHERE %1").arg(condition),
      QStringLiteral("DELETE FROM verification_machine WHERE %1").arg(condition)};
  for (const QString &statement : statements)
  {
    QSqlQuery *query = d_connection->Prepared_Query(statement);
    if (query)
    {
      Bind_Ids(query, ids, id_count);
    }
    if (!d_connection->Execute(query))
    {
      return Fail_Statement();
    }
  }
  return true;
}

bool TVerificationStore::Clear()
{
  bool found = false;
  if (!Find_Tables(&found))
  {
    return false;
  }
  for (int index = 0; found && index < TABLE_COUNT; ++index)
  {
    if (!d_connection->Run_Statement(QStringLiteral("DELETE FROM ") +
                                     QLatin1String(TABLE_NAMES[index])))
    {
      return Fail_Statement();
    }
  }
  return true;
}

bool TVerificationStore::Records(const int *ids, QList<TVerificationRecord> *records)
{
  records->clear();
  bool found = false;
  if (!Find_Tables(&found))
  {
    return false;
  }
  if (!found)
  {
    return true;
  }
  QList<int> record_ids;
  bool valid = true;
  const auto read_record = [&](const QSqlQuery &row)
  {
    TVerificationRecord record;
    record.number = row.value(1).toInt();
    record.kind = TVerificationRecord::Kind_Of(row.value(3).toString());
    record.rule = TVerificationRecord::Rule_Of(row.value(8).toString());
    valid = TVerificationRecord::Parse_Date(row.value(2).toString(), &record.date) &&
            record.kind >= 0 && record.rule >= 0 && valid;
    record.standard = row.value(4).toString();
    record.component = row.value(5).toString();
    record.temperature = row.value(6).toDouble();
    record.uncertainty = row.value(7).toDouble();
    record.operator_name = row.value(9).toString();
    record.artefact = row.value(10).toString();
    record.notes = row.value(11).toString();
    record_ids.append(row.value(0).toInt());
    records->append(record);
  };
  const auto read_result = [&](const QSqlQuery &row)
  {
    const int index = record_ids.indexOf(row.value(0).toInt());
    if (index < 0)
    {
      return;
    }
    TVerificationResult result;
    result.length = row.value(1).toDouble();
    result.position = row.value(2).toString();
    result.repetition = row.value(3).toInt();
    result.error = row.value(4).toDouble();
    (*records)[index].results.append(result);
  };
  if (!d_connection->Read_Rows(
          d_connection->Prepared_Query(SELECT_RECORDS, {ids[0], ids[1], ids[2]}), read_record) ||
      !d_connection->Read_Rows(
          d_connection->Prepared_Query(SELECT_RESULTS, {ids[0], ids[1], ids[2]}), read_result))
  {
    records->clear();
    return Fail_Statement();
  }
  if (!valid)
  {
    records->clear();
    return Fail(QStringLiteral("A verification record holds a date, kind or rule that this "
                               "program does not know."),
                false);
  }
  return true;
}

bool TVerificationStore::Record_Count(const int *ids, int id_count, int *count)
{
  *count = 0;
  bool found = false;
  if (!Find_Tables(&found))
  {
    return false;
  }
  if (!found)
  {
    return true;
  }
  QSqlQuery *query = d_connection->Prepared_Query(
      QStringLiteral("SELECT count(*) FROM verification_record WHERE %1")
          .arg(Machine_Condition(id_count)));
  if (query)
  {
    Bind_Ids(query, ids, id_count);
  }
  return d_connection->Read_Rows(query, [count](const QSqlQuery &row)
                                 { *count = row.value(0).toInt(); }) ||
         Fail_Statement();
}

bool TVerificationStore::Machines(const int *ids, QList<TVerificationSchedule::TMachine> *machines)
{
  machines->clear();
  bool found = false;
  if (!Find_Tables(&found))
  {
    return false;
  }
  if (!found)
  {
    return true;
  }
  static const QString every =
      MACHINE_COLUMNS + QStringLiteral("WHERE v.reverification_months>0 OR "
                                       "v.interim_days>0 ORDER BY mk.name,mo.name,"
                                       "op.name");
  static const QString one =
      MACHINE_COLUMNS + QStringLiteral("WHERE ") + Machine_Condition(3, QStringLiteral("v."));
  QSqlQuery *query = d_connection->Prepared_Query(
      ids ? one : every, {TVerificationRecord::Kind_Name(TVerificationRecord::KIND_ACCEPTANCE),
                          TVerificationRecord::Kind_Name(TVerificationRecord::KIND_REVERIFICATION),
                          TVerificationRecord::Kind_Name(TVerificationRecord::KIND_INTERIM)});
  if (query && ids)
  {
    Bind_Ids(query, ids, 3, 3);
  }
  const auto read_machine = [machines, ids](const QSqlQuery &row)
  {
    TVerificationSchedule::TMachine machine;
    if (!ids)
    {
      machine.make = row.value(0).toString();
      machine.model = row.value(1).toString();
      machine.option = row.value(2).toString();
    }
    machine.intervals.reverification_months = row.value(3).toInt();
    machine.intervals.interim_days = row.value(4).toInt();
    TVerificationRecord::Parse_Date(row.value(5).toString(), &machine.last_reverification);
    TVerificationRecord::Parse_Date(row.value(6).toString(), &machine.last_interim);
    machines->append(machine);
  };
  return d_connection->Read_Rows(query, read_machine) || Fail_Statement();
}
