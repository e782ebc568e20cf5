#include "verificationstore.h"

#include "sqlconnection.h"

#include <QHash>
#include <QLatin1String>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <iterator>

namespace
{
const char *const TABLE_NAMES[] = {"verification_machine", "verification_record",
                                   "verification_result"};
constexpr int TABLE_COUNT = 3;

// The statements of the log's tables of layout 1 and of the upgrade to layout 2 are the
// engine's (TSqlEngine::Create_Log_Tables and Upgrade_Log_Tables).

const QString RECORD_COLUMNS = QStringLiteral(
    "SELECT record_id,number,date,kind,standard,component,temperature,uncertainty,rule,operator,"
    "artefact,notes%1 FROM verification_record WHERE make_id=? AND model_id=? AND option_id=? "
    "ORDER BY number");
const QString RECORD_FIGURES =
    QStringLiteral(",uncertainty_expression,r0_uncertainty,limit_expression,limit_source,"
                   "r0_expression,r0_source,ts_min,ts_max,verdict,reason,largest_share,frozen");
// The results and ranges of one record (%2 "record_id=?") or of a machine's (OF_MACHINE).
const QString OF_MACHINE = QStringLiteral("record_id IN (SELECT record_id FROM verification_record "
                                          "WHERE make_id=? AND model_id=? AND option_id=?)");
const QString RESULT_COLUMNS =
    QStringLiteral("SELECT record_id,length,position,repetition,error%1 FROM verification_result "
                   "WHERE %2 ORDER BY record_id,sequence");
const QString RESULT_FIGURES = QStringLiteral(",retest,mpe,uncertainty,zone,superseded");
const QString SELECT_RANGES =
    QStringLiteral("SELECT record_id,length,position,results,spread,limit_value,uncertainty,zone "
                   "FROM verification_range WHERE %1 ORDER BY record_id,sequence");
// What the list of records shows of their results: their count, and the sets retested. Record
// by record: the largest retest is then one look-up in the index on (record_id, retest), where
// grouping the machine's results took it row by row, at three times the cost.
const QString COUNT_RESULTS = QStringLiteral(
    "SELECT r.record_id,(SELECT count(*) FROM verification_result AS v WHERE "
    "v.record_id=r.record_id),(SELECT max(v.retest) FROM verification_result AS v WHERE "
    "v.record_id=r.record_id) FROM verification_record AS r WHERE r.make_id=? AND r.model_id=? "
    "AND r.option_id=?");
const QString SELECT_RETESTS =
    QStringLiteral(
        "SELECT record_id,length,position FROM verification_result WHERE retest<>0 AND ") +
    OF_MACHINE;
const QString UNKNOWN_NAME =
    QStringLiteral("A verification record holds a date, kind, rule, state or zone that this "
                   "program does not know.");

QString Changed_Log(int number)
{
  return QStringLiteral("Record %1 is no longer as it was read: another program changed the "
                        "log.")
      .arg(number);
}
const QString SELECT_RECORD_ID =
    QStringLiteral("SELECT record_id FROM verification_record WHERE make_id=? AND model_id=? AND "
                   "option_id=? AND number=?");

// A number that may be missing: null in the table.
QVariant Optional(bool given, double value)
{
  return given ? QVariant(value) : QVariant(QVariant::Double);
}

// The latest date of a machine's records of two kinds (one kind bound twice), the machine's row
// being %1: of its reverifications (an acceptance counts) and of its interim checks.
const QString LATEST_OF_KINDS =
    QStringLiteral("(SELECT MAX(date) FROM verification_record AS r WHERE r.make_id=%1.make_id AND "
                   "r.model_id=%1.model_id AND r.option_id=%1.option_id AND r.kind IN (?,?))");

QVariantList Latest_Kinds()
{
  using R = TVerificationRecord;
  return {R::Kind_Name(R::KIND_ACCEPTANCE), R::Kind_Name(R::KIND_REVERIFICATION),
          R::Kind_Name(R::KIND_INTERIM), R::Kind_Name(R::KIND_INTERIM)};
}

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

bool TVerificationStore::Find_Tables(bool *found, int *layout)
{
  if (d_tables_known && d_connection->In_Transaction() &&
      d_tables_transaction == d_connection->Transaction_Number())
  {
    *found = d_found;
    if (layout)
    {
      *layout = d_layout;
    }
    return true;
  }
  d_tables_known = false;
  QStringList tables;
  if (!d_connection->Engine()->List_Schema(d_connection, &tables, nullptr))
  {
    return Fail_Statement();
  }
  *found =
      std::all_of(std::begin(TABLE_NAMES), std::end(TABLE_NAMES),
                  [&tables](const char *name) { return tables.contains(QLatin1String(name)); });
  if (layout)
  {
    *layout = 0;
  }
  if (!*found)
  {
    return Remember_Tables(false, 0);
  }
  int version = 0;
  if (!d_connection->Engine()->Schema_Version(d_connection, &version))
  {
    return Fail_Statement();
  }
  if (version > SCHEMA_VERSION)
  {
    return Fail(QStringLiteral("The verification log of this catalogue was written by a newer "
                               "Metrova (layout %1; this one knows %2): it is left as it is.")
                    .arg(version)
                    .arg(SCHEMA_VERSION),
                false);
  }
  if (layout)
  {
    *layout = std::max(1, version);
  }
  return Remember_Tables(true, std::max(1, version));
}

bool TVerificationStore::Remember_Tables(bool found, int layout)
{
  d_tables_known = d_connection->In_Transaction();
  d_tables_transaction = d_connection->Transaction_Number();
  d_found = found;
  d_layout = layout;
  return true;
}

bool TVerificationStore::Layout(int *layout)
{
  bool found = false;
  return Find_Tables(&found, layout);
}

bool TVerificationStore::Create_Tables()
{
  bool found = false;
  int layout = 0;
  if (!Find_Tables(&found, &layout))
  {
    return false;
  }
  if (found)
  {
    // The log freezes the records of an earlier layout before it writes (TVerificationLog).
    if (layout != SCHEMA_VERSION)
    {
      return Fail(
          QStringLiteral("The verification log of layout %1 has not been upgraded.").arg(layout),
          true);
    }
    // A log made before its newer indexes gets them from the next writer that may make them.
    return d_connection->Engine()->Creates_Log_With_Catalogue() || Make_Indexes();
  }
  d_tables_known = false;
  const QStringList statements = d_connection->Engine()->Create_Log_Tables();
  for (const QString &statement : statements)
  {
    if (!d_connection->Run_Once(statement))
    {
      return Fail(QStringLiteral("Cannot create the verification log's tables.  Reason: %1")
                      .arg(d_connection->Error()),
                  true);
    }
  }
  // The upgrade to this layout makes the indexes too.
  return Upgrade() && Set_Layout();
}

bool TVerificationStore::Make_Indexes()
{
  for (const QString &statement : d_connection->Engine()->Log_Indexes())
  {
    if (!d_connection->Run_Once(statement))
    {
      return Fail(QStringLiteral("Cannot create the verification log's indexes.  Reason: %1")
                      .arg(d_connection->Error()),
                  true);
    }
  }
  return true;
}

bool TVerificationStore::Upgrade()
{
  bool found = false;
  int layout = 0;
  if (!Find_Tables(&found, &layout))
  {
    return false;
  }
  for (int step = layout; found && step < SCHEMA_VERSION; ++step)
  {
    d_tables_known = false;
    const QStringList statements = d_connection->Engine()->Upgrade_Log_Tables(step);
    for (const QString &statement : statements)
    {
      if (!d_connection->Run_Once(statement))
      {
        return Fail((step == 1 ? QStringLiteral("Cannot add the figures to the verification "
                                                "log's tables.  Reason: %1")
                               : QStringLiteral("Cannot add the machines' latest dates to the "
                                                "verification log's tables; opened once by "
                                                "their owner, the catalogue gets them.  Reason: "
                                                "%1"))
                        .arg(d_connection->Error()),
                    true);
      }
    }
  }
  if (!found || layout >= SCHEMA_VERSION)
  {
    return true;
  }
  // The latest dates of a log that did not keep them, and the indexes of the layout reached.
  return (layout >= 3 || Update_Latest(nullptr)) && Make_Indexes();
}

bool TVerificationStore::Set_Layout()
{
  d_tables_known = false;
  return d_connection->Engine()->Set_Schema_Version(d_connection, SCHEMA_VERSION) ||
         Fail_Statement();
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
  return d_connection->Run_Statement(
             QStringLiteral("INSERT INTO verification_machine (make_id,model_id,option_id) VALUES "
                            "(?,?,?) ON CONFLICT DO NOTHING"),
             {ids[0], ids[1], ids[2]}) ||
         Fail_Statement();
}

bool TVerificationStore::Add_Record(const int *ids, TVerificationRecord *record,
                                    const TVerificationJudgement::TJudgement &judgement)
{
  QString invalid;
  if (!record->Check(&invalid))
  {
    return Fail(invalid, false);
  }
  if (judgement.results.size() != record->results.size())
  {
    return Fail(QStringLiteral("The record's judgement is not of its results."), false);
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
                         "artefact,notes,uncertainty_expression,r0_uncertainty) VALUES "
                         "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          {ids[0], ids[1], ids[2], number, TVerificationRecord::Date_Text(r.date),
           TVerificationRecord::Kind_Name(r.kind), r.standard, r.component, r.temperature,
           r.Uncertainty_At(0.0), TVerificationRecord::Rule_Name(r.rule), r.operator_name,
           r.artefact, r.notes, r.uncertainty, r.r0_uncertainty}) ||
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
                           "repetition,error,retest) VALUES (?,?,?,?,?,?,?)"),
            {record_id, sequence + 1, result.length, result.position, result.repetition,
             result.error, result.retest ? 1 : 0}))
    {
      return Fail_Statement();
    }
  }
  TStored stored;
  stored.record_id = record_id.toInt();
  stored.record = r;
  stored.judgement = judgement;
  stored.judgement.frozen = TVerificationJudgement::FROZEN_AT_SAVE;
  if (!Write_Figures(stored) || !Update_Latest(ids))
  {
    return false;
  }
  record->number = number;
  return true;
}

bool TVerificationStore::Write_Figures(const TStored &stored)
{
  const TVerificationJudgement::TJudgement &judgement = stored.judgement;
  const TVerificationBasis &basis = judgement.basis;
  const QVariant id = stored.record_id;
  if (!d_connection->Run_Statement(
          QStringLiteral("UPDATE verification_record SET uncertainty_expression=?,"
                         "r0_uncertainty=?,limit_expression=?,limit_source=?,r0_expression=?,"
                         "r0_source=?,ts_min=?,ts_max=?,verdict=?,reason=?,largest_share=?,"
                         "frozen=? WHERE record_id=?"),
          {stored.record.uncertainty, stored.record.r0_uncertainty, basis.limit.text,
           basis.limit.source, basis.r0.text, basis.r0.source, basis.minimum_temperature.text,
           basis.maximum_temperature.text, TVerificationJudgement::Verdict_Name(judgement.verdict),
           TVerificationJudgement::Reason_Name(judgement.reason),
           Optional(judgement.has_share, judgement.largest_share),
           TVerificationJudgement::Frozen_Name(judgement.frozen), id}) ||
      !d_connection->Run_Statement(
          QStringLiteral("DELETE FROM verification_range WHERE record_id=?"), {id}))
  {
    return Fail_Statement();
  }
  for (int index = 0; index < judgement.results.size(); ++index)
  {
    const TVerificationJudgement::TJudgedResult &judged = judgement.results.at(index);
    if (!d_connection->Run_Statement(
            QStringLiteral("UPDATE verification_result SET mpe=?,uncertainty=?,zone=?,"
                           "superseded=? WHERE record_id=? AND sequence=?"),
            {Optional(judged.has_limit, judged.mpe), judged.uncertainty,
             TVerificationJudgement::Zone_Name(judged.zone), judged.superseded ? 1 : 0, id,
             index + 1}))
    {
      return Fail_Statement();
    }
  }
  for (int index = 0; index < judgement.ranges.size(); ++index)
  {
    const TVerificationJudgement::TRange &range = judgement.ranges.at(index);
    if (!d_connection->Run_Statement(
            QStringLiteral("INSERT INTO verification_range (record_id,sequence,length,position,"
                           "results,spread,limit_value,uncertainty,zone) VALUES "
                           "(?,?,?,?,?,?,?,?,?)"),
            {id, index + 1, range.length, range.position, range.count, range.range,
             Optional(range.zone != TVerificationJudgement::ZONE_NO_LIMIT, range.limit),
             range.uncertainty, TVerificationJudgement::Zone_Name(range.zone)}))
    {
      return Fail_Statement();
    }
  }
  return true;
}

bool TVerificationStore::Freeze(const TStored &stored)
{
  return Write_Figures(stored);
}

bool TVerificationStore::Update_Latest(const int *ids)
{
  static const QString latest =
      QStringLiteral("(SELECT %1 FROM verification_record AS r WHERE r.make_id=m.make_id AND "
                     "r.model_id=m.model_id AND r.option_id=m.option_id ORDER BY date DESC,number "
                     "DESC LIMIT 1)");
  static const QString every =
      QStringLiteral("UPDATE verification_machine AS m SET latest_date=%1,latest_kind=%2,"
                     "latest_verdict=%3,latest_reverification=%4,latest_interim=%4")
          .arg(latest.arg(QStringLiteral("date")), latest.arg(QStringLiteral("kind")),
               latest.arg(QStringLiteral("verdict")), LATEST_OF_KINDS.arg(QStringLiteral("m")));
  QVariantList values = Latest_Kinds();
  for (int index = 0; ids && index < 3; ++index)
  {
    values.append(ids[index]);
  }
  QSqlQuery *query = d_connection->Prepared_Query(
      ids ? every + QStringLiteral(" WHERE make_id=? AND model_id=? AND option_id=?") : every);
  for (int index = 0; query && index < values.size(); ++index)
  {
    query->bindValue(index, values.at(index));
  }
  return d_connection->Execute(query) || Fail_Statement();
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
  return ((d_connection->Run_Statement(
               QStringLiteral("DELETE FROM verification_range WHERE record_id=?"), {record_id}) &&
           d_connection->Run_Statement(
               QStringLiteral("DELETE FROM verification_result WHERE record_id=?"), {record_id}) &&
           d_connection->Run_Statement(
               QStringLiteral("DELETE FROM verification_record WHERE record_id=?"), {record_id})) ||
          Fail_Statement()) &&
         Update_Latest(ids);
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
  int layout = 0;
  if (!Find_Tables(&found, &layout))
  {
    return false;
  }
  if (!found)
  {
    return true;
  }
  const QString condition = Machine_Condition(id_count);
  QStringList statements;
  for (const char *table : {"verification_range", "verification_result"})
  {
    if (layout >= 2 || qstrcmp(table, "verification_range") != 0)
    {
      statements.append(QStringLiteral("DELETE FROM %1 WHERE record_id IN (SELECT record_id FROM "
                                       "verification_record WHERE %2)")
                            .arg(QLatin1String(table), condition));
    }
  }
  statements.append(QStringLiteral("DELETE FROM verification_record WHERE %1").arg(condition));
  statements.append(QStringLiteral("DELETE FROM verification_machine WHERE %1").arg(condition));
  for (const QString &statement : qAsConst(statements))
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
  int layout = 0;
  if (!Find_Tables(&found, &layout))
  {
    return false;
  }
  QStringList tables;
  for (int index = 0; found && index < TABLE_COUNT; ++index)
  {
    tables.append(QLatin1String(TABLE_NAMES[index]));
  }
  if (found && layout >= 2)
  {
    tables.append(QStringLiteral("verification_range"));
  }
  for (const QString &table : qAsConst(tables))
  {
    if (!d_connection->Run_Statement(QStringLiteral("DELETE FROM ") + table))
    {
      return Fail_Statement();
    }
  }
  return true;
}

bool TVerificationStore::Records(const int *ids, QList<TStored> *records, bool results)
{
  records->clear();
  bool found = false;
  int layout = 0;
  if (!Find_Tables(&found, &layout))
  {
    return false;
  }
  if (!found)
  {
    return true;
  }
  const bool figures = layout >= 2;
  bool valid = true;
  const auto read_record = [&](const TSqlEngine::TRow &row)
  {
    TStored stored;
    stored.record_id = row.Integer(0);
    TVerificationRecord &record = stored.record;
    record.number = row.Integer(1);
    record.kind = TVerificationRecord::Kind_Of(row.Text(3));
    record.rule = TVerificationRecord::Rule_Of(row.Text(8));
    valid = TVerificationRecord::Parse_Date(row.Text(2), &record.date) && record.kind >= 0 &&
            record.rule >= 0 && valid;
    record.standard = row.Text(4);
    record.component = row.Text(5);
    record.temperature = row.Double(6);
    record.uncertainty = TVerificationRecord::Number_Text(row.Double(7));
    record.operator_name = row.Text(9);
    record.artefact = row.Text(10);
    record.notes = row.Text(11);
    TVerificationJudgement::TJudgement &judgement = stored.judgement;
    judgement.frozen = TVerificationJudgement::FROZEN_NO;
    if (figures && !row.Is_Null(23))
    {
      if (!row.Is_Null(12))
      {
        record.uncertainty = row.Text(12);
      }
      record.r0_uncertainty = row.Double(13);
      TVerificationBasis &basis = judgement.basis;
      basis.standard = record.standard;
      basis.component = record.component;
      basis.limit = {row.Text(14), row.Integer(15)};
      basis.r0 = {row.Text(16), row.Integer(17)};
      basis.minimum_temperature.text = row.Text(18);
      basis.maximum_temperature.text = row.Text(19);
      judgement.verdict = TVerificationJudgement::Verdict_Of(row.Text(20));
      judgement.reason = row.Text(21).isEmpty() ? int(TVerificationJudgement::REASON_NONE)
                                                : TVerificationJudgement::Reason_Of(row.Text(21));
      judgement.has_share = !row.Is_Null(22);
      judgement.largest_share = row.Double(22);
      judgement.frozen = TVerificationJudgement::Frozen_Of(row.Text(23));
      valid = judgement.verdict >= 0 && judgement.reason >= 0 && judgement.frozen > 0 && valid;
    }
    stored.complete = false;
    records->append(stored);
  };
  if (!d_connection->Read_Plain_Rows(RECORD_COLUMNS.arg(figures ? RECORD_FIGURES : QString()),
                                     {ids[0], ids[1], ids[2]}, read_record, TSqlEngine::READ_FEW))
  {
    records->clear();
    return Fail_Statement();
  }
  if (!valid)
  {
    records->clear();
    return Fail(UNKNOWN_NAME, false);
  }
  // A record without figures is judged from its results: they are read with it.
  const bool summaries =
      !results && std::all_of(records->cbegin(), records->cend(),
                              [](const TStored &stored) {
                                return stored.judgement.frozen != TVerificationJudgement::FROZEN_NO;
                              });
  if (!summaries)
  {
    if (!Read_Result_Rows(ids, 0, figures, records))
    {
      records->clear();
      return false;
    }
    return true;
  }
  // The list's figures of each record without its results: their count and the sets retested.
  QHash<int, int> indexes;
  for (int index = 0; index < records->size(); ++index)
  {
    indexes.insert(records->at(index).record_id, index);
  }
  QHash<int, QList<TVerificationResult>> retests;
  bool retested = false;
  const auto read_count = [&](const TSqlEngine::TRow &row)
  {
    const auto index = indexes.constFind(row.Integer(0));
    if (index != indexes.constEnd())
    {
      (*records)[index.value()].result_count = row.Integer(1);
    }
    retested = retested || row.Integer(2) != 0;
  };
  const auto read_retest = [&](const TSqlEngine::TRow &row)
  {
    TVerificationResult result;
    result.length = row.Double(1);
    result.position = row.Text(2);
    result.retest = true;
    retests[row.Integer(0)].append(result);
  };
  // Most logs hold no retest: their results are read once.
  if (!d_connection->Read_Plain_Rows(COUNT_RESULTS, {ids[0], ids[1], ids[2]}, read_count,
                                     TSqlEngine::READ_FEW) ||
      (retested && !d_connection->Read_Plain_Rows(SELECT_RETESTS, {ids[0], ids[1], ids[2]},
                                                  read_retest, TSqlEngine::READ_FEW)))
  {
    records->clear();
    return Fail_Statement();
  }
  for (TStored &stored : *records)
  {
    stored.judgement.retested_sets =
        TVerificationJudgement::Retested_Sets(retests.value(stored.record_id));
  }
  return true;
}

bool TVerificationStore::Read_Results(const int *ids, QList<TStored> *records)
{
  QList<TStored *> missing;
  for (TStored &stored : *records)
  {
    if (!stored.complete)
    {
      missing.append(&stored);
    }
  }
  if (missing.isEmpty())
  {
    return true;
  }
  bool found = false;
  int layout = 0;
  if (!Find_Tables(&found, &layout))
  {
    return false;
  }
  // The records must be those read before: another program may have deleted one since.
  QHash<int, int> numbers;
  if (found && !d_connection->Read_Plain_Rows(
                   QStringLiteral("SELECT record_id,number FROM verification_record WHERE "
                                  "make_id=? AND model_id=? AND option_id=?"),
                   {ids[0], ids[1], ids[2]},
                   [&numbers](const TSqlEngine::TRow &row)
                   { numbers.insert(row.Integer(0), row.Integer(1)); },
                   TSqlEngine::READ_FEW))
  {
    return Fail_Statement();
  }
  for (const TStored *stored : qAsConst(missing))
  {
    if (numbers.value(stored->record_id, -1) != stored->record.number)
    {
      return Fail(Changed_Log(stored->record.number), false);
    }
  }
  QList<TStored> read;
  for (const TStored *stored : qAsConst(missing))
  {
    read.append(*stored);
  }
  if (!Read_Result_Rows(ids, missing.size() == 1 ? missing.first()->record_id : 0, layout >= 2,
                        &read))
  {
    return false;
  }
  for (int index = 0; index < read.size(); ++index)
  {
    if (read.at(index).record.results.size() != missing.at(index)->result_count)
    {
      return Fail(Changed_Log(read.at(index).record.number), false);
    }
  }
  for (int index = 0; index < read.size(); ++index)
  {
    *missing.at(index) = read.at(index);
  }
  return true;
}

bool TVerificationStore::Read_Result_Rows(const int *ids, int record_id, bool figures,
                                          QList<TStored> *records)
{
  QHash<int, int> indexes;
  for (int index = 0; index < records->size(); ++index)
  {
    indexes.insert(records->at(index).record_id, index);
  }
  bool valid = true;
  const auto read_result = [&](const TSqlEngine::TRow &row)
  {
    const auto index = indexes.constFind(row.Integer(0));
    if (index == indexes.constEnd())
    {
      return;
    }
    TStored &stored = (*records)[index.value()];
    TVerificationResult result;
    result.length = row.Double(1);
    result.position = row.Text(2);
    result.repetition = row.Integer(3);
    result.error = row.Double(4);
    result.retest = figures && row.Integer(5) != 0;
    stored.record.results.append(result);
    if (stored.judgement.frozen != TVerificationJudgement::FROZEN_NO)
    {
      TVerificationJudgement::TJudgedResult judged;
      judged.result = result;
      judged.has_limit = !row.Is_Null(6);
      judged.mpe = row.Double(6);
      judged.uncertainty = row.Double(7);
      judged.zone = TVerificationJudgement::Zone_Of(row.Text(8));
      judged.superseded = row.Integer(9) != 0;
      valid = judged.zone >= 0 && valid;
      stored.judgement.results.append(judged);
    }
  };
  const auto read_range = [&](const TSqlEngine::TRow &row)
  {
    const auto index = indexes.constFind(row.Integer(0));
    if (index == indexes.constEnd())
    {
      return;
    }
    TVerificationJudgement::TRange range;
    range.length = row.Double(1);
    range.position = row.Text(2);
    range.count = row.Integer(3);
    range.range = row.Double(4);
    range.limit = row.Double(5);
    range.uncertainty = row.Double(6);
    range.zone = TVerificationJudgement::Zone_Of(row.Text(7));
    valid = range.zone >= 0 && valid;
    (*records)[index.value()].judgement.ranges.append(range);
  };
  // One record's, or every record's of the machine.
  const QString of_records = record_id > 0 ? QStringLiteral("record_id=?") : OF_MACHINE;
  const QVariantList values =
      record_id > 0 ? QVariantList{record_id} : QVariantList{ids[0], ids[1], ids[2]};
  // A log of 50 records holds thousands of results: read on the engine's own path, a record's in
  // one answer.
  const TSqlEngine::TReadSize size = record_id > 0 ? TSqlEngine::READ_FEW : TSqlEngine::READ_MANY;
  if (!d_connection->Read_Plain_Rows(
          RESULT_COLUMNS.arg(figures ? RESULT_FIGURES : QString(), of_records), values, read_result,
          size) ||
      (figures &&
       !d_connection->Read_Plain_Rows(SELECT_RANGES.arg(of_records), values, read_range, size)))
  {
    return Fail_Statement();
  }
  for (TStored &stored : *records)
  {
    if (stored.judgement.frozen != TVerificationJudgement::FROZEN_NO)
    {
      TVerificationJudgement::Complete(stored.record, &stored.judgement);
    }
    stored.result_count = stored.record.results.size();
    stored.complete = true;
  }
  return valid || Fail(UNKNOWN_NAME, false);
}

bool TVerificationStore::Same_Record(const int *ids, const TVerificationRecord &record, int *number)
{
  *number = 0;
  QList<TStored> stored;
  if (!Records(ids, &stored))
  {
    return false;
  }
  for (const TStored &candidate : qAsConst(stored))
  {
    if (candidate.record.Same_Check(record))
    {
      *number = candidate.record.number;
      break;
    }
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

bool TVerificationStore::Machine_Ids(QList<QVector<int>> *machines)
{
  machines->clear();
  return d_connection->Read_Rows(
             d_connection->Prepared_Query(
                 QStringLiteral("SELECT DISTINCT make_id,model_id,option_id FROM "
                                "verification_record ORDER BY make_id,model_id,option_id")),
             [machines](const QSqlQuery &row) {
               machines->append({row.value(0).toInt(), row.value(1).toInt(), row.value(2).toInt()});
             }) ||
         Fail_Statement();
}

bool TVerificationStore::Machines(const int *ids, QList<TVerificationSchedule::TMachine> *machines)
{
  machines->clear();
  bool found = false;
  int layout = 0;
  if (!Find_Tables(&found, &layout))
  {
    return false;
  }
  if (!found)
  {
    return true;
  }
  // A log of layout 1 keeps no states: its latest record asks for no re-test. One of layout 3
  // keeps the latest dates of each kind; an earlier one, read as it is, gives them by look-ups.
  const bool kept = layout >= 3;
  const QString every =
      QStringLiteral(
          "SELECT mk.name,mo.name,op.name,v.reverification_months,v.interim_days,%1,%2,%3 "
          "FROM verification_machine AS v LEFT JOIN make AS mk ON mk.make_id=v.make_id "
          "LEFT JOIN model_types AS mo ON mo.model_id=v.model_id LEFT JOIN "
          "option_types AS op ON op.option_id=v.option_id ")
          .arg(kept ? QStringLiteral("v.latest_reverification")
                    : LATEST_OF_KINDS.arg(QStringLiteral("v")),
               kept ? QStringLiteral("v.latest_interim") : LATEST_OF_KINDS.arg(QStringLiteral("v")),
               layout >= 2
                   ? QStringLiteral("v.latest_date||' '||v.latest_kind||' '||v.latest_verdict")
                   : QStringLiteral("''"));
  // Every scheduled machine is one read of thousands of rows: a plain one.
  QVariantList values = kept ? QVariantList() : Latest_Kinds();
  for (int index = 0; ids && index < 3; ++index)
  {
    values.append(ids[index]);
  }
  const auto read_machine = [machines, ids](const TSqlEngine::TRow &row)
  {
    TVerificationSchedule::TMachine machine;
    if (!ids)
    {
      machine.make = row.Text(0);
      machine.model = row.Text(1);
      machine.option = row.Text(2);
    }
    machine.intervals.reverification_months = row.Integer(3);
    machine.intervals.interim_days = row.Integer(4);
    TVerificationRecord::Parse_Date(row.Text(5), &machine.last_reverification);
    TVerificationRecord::Parse_Date(row.Text(6), &machine.last_interim);
    // "2024-05-06 acceptance does not conform"
    const QString last = row.Text(7);
    const int verdict = TVerificationJudgement::Verdict_Of(last.section(QLatin1Char(' '), 2));
    if (verdict >= 0 && !TVerificationJudgement::Is_Check_Done(verdict))
    {
      machine.retest_due = TVerificationRecord::Parse_Date(last.section(QLatin1Char(' '), 0, 0),
                                                           &machine.retest_since);
      machine.retest_kind = TVerificationRecord::Kind_Of(last.section(QLatin1Char(' '), 1, 1));
    }
    if (ids || machine.retest_due || machine.intervals.reverification_months > 0 ||
        machine.intervals.interim_days > 0)
    {
      machines->append(machine);
    }
  };
  return d_connection->Read_Plain_Rows(
             ids ? every + QStringLiteral("WHERE ") + Machine_Condition(3, QStringLiteral("v."))
                 : every + QStringLiteral("ORDER BY mk.name,mo.name,op.name"),
             values, read_machine, ids ? TSqlEngine::READ_FEW : TSqlEngine::READ_MANY) ||
         Fail_Statement();
}
