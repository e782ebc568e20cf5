#include "cataloguecopy.h"

#include "changehistory.h"
#include "database.h"
#include "rowinserter.h"
#include "sqlconnection.h"
#include "standardcatalogue.h"
#include "transaction.h"
#include "verificationstore.h"

#include <QLatin1String>

namespace
{
// The tables that a catalogue without machines, records or history has no rows in.
const char *const FILLED_TABLES[] = {"make",          "model_types",          "option_types",
                                     "specification", "verification_machine", "verification_record",
                                     "change_history"};

const QStringList SPECIFICATION_COLUMNS{
    QStringLiteral("make_id"),     QStringLiteral("model_id"),     QStringLiteral("option_id"),
    QStringLiteral("standard_id"), QStringLiteral("component_id"), QStringLiteral("expression"),
    QStringLiteral("source")};
const QStringList MACHINE_COLUMNS{
    QStringLiteral("make_id"),       QStringLiteral("model_id"),
    QStringLiteral("option_id"),     QStringLiteral("reverification_months"),
    QStringLiteral("interim_days"),  QStringLiteral("last_number"),
    QStringLiteral("latest_date"),   QStringLiteral("latest_kind"),
    QStringLiteral("latest_verdict")};
// What a log of layout 3 keeps besides; one of layout 2 has it made on the target.
const QStringList MACHINE_DATES{QStringLiteral("latest_reverification"),
                                QStringLiteral("latest_interim")};
// After the record's id, which the target gives anew.
const QStringList RECORD_COLUMNS{QStringLiteral("make_id"),
                                 QStringLiteral("model_id"),
                                 QStringLiteral("option_id"),
                                 QStringLiteral("number"),
                                 QStringLiteral("date"),
                                 QStringLiteral("kind"),
                                 QStringLiteral("standard"),
                                 QStringLiteral("component"),
                                 QStringLiteral("temperature"),
                                 QStringLiteral("uncertainty"),
                                 QStringLiteral("rule"),
                                 QStringLiteral("operator"),
                                 QStringLiteral("artefact"),
                                 QStringLiteral("notes"),
                                 QStringLiteral("uncertainty_expression"),
                                 QStringLiteral("r0_uncertainty"),
                                 QStringLiteral("limit_expression"),
                                 QStringLiteral("limit_source"),
                                 QStringLiteral("r0_expression"),
                                 QStringLiteral("r0_source"),
                                 QStringLiteral("ts_min"),
                                 QStringLiteral("ts_max"),
                                 QStringLiteral("verdict"),
                                 QStringLiteral("reason"),
                                 QStringLiteral("largest_share"),
                                 QStringLiteral("frozen")};
const QStringList RESULT_COLUMNS{
    QStringLiteral("record_id"), QStringLiteral("sequence"),   QStringLiteral("length"),
    QStringLiteral("position"),  QStringLiteral("repetition"), QStringLiteral("error"),
    QStringLiteral("retest"),    QStringLiteral("mpe"),        QStringLiteral("uncertainty"),
    QStringLiteral("zone"),      QStringLiteral("superseded")};
const QStringList RANGE_COLUMNS{
    QStringLiteral("record_id"),   QStringLiteral("sequence"),    QStringLiteral("length"),
    QStringLiteral("position"),    QStringLiteral("results"),     QStringLiteral("spread"),
    QStringLiteral("limit_value"), QStringLiteral("uncertainty"), QStringLiteral("zone")};
const QStringList HISTORY_COLUMNS{QStringLiteral("changed_at"), QStringLiteral("changed_by"),
                                  QStringLiteral("change"),     QStringLiteral("make"),
                                  QStringLiteral("model"),      QStringLiteral("option_name"),
                                  QStringLiteral("details")};

// "(?,?,?)" for count values.
QString Parameters(int count)
{
  QStringList marks;
  for (int index = 0; index < count; ++index)
  {
    marks.append(QStringLiteral("?"));
  }
  return QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
}

// Replaces an id by the target's; false when the source's row names nothing there.
bool Map(const QHash<int, int> &ids, QVariant *value)
{
  const auto found = ids.constFind(value->toInt());
  if (value->isNull() || found == ids.constEnd())
  {
    return false;
  }
  *value = found.value();
  return true;
}
} // namespace

TCatalogueCopy::TCatalogueCopy(TDatabase *source, TDatabase *target)
    : d_source(source), d_target(target), d_from(source->d_sql.get()), d_to(target->d_sql.get())
{
}

bool TCatalogueCopy::Fail(const QString &text, bool fault)
{
  d_error = text;
  d_fault = fault;
  return false;
}

bool TCatalogueCopy::Fail_Source()
{
  return Fail(QStringLiteral("Cannot read the source.  Reason: %1").arg(d_from->Error()), true);
}

bool TCatalogueCopy::Fail_Target()
{
  return Fail(QStringLiteral("Cannot write the copy.  Reason: %1").arg(d_to->Error()), true);
}

bool TCatalogueCopy::Insert(const QString &statement, const QVector<QVariant> &values, int *id)
{
  QSqlQuery *query = d_to->Prepared_Query(statement);
  for (int index = 0; query && index < values.size(); ++index)
  {
    query->bindValue(index, values.at(index));
  }
  bool found = false;
  const bool read = d_to->Read_Rows(query,
                                    [&](const QSqlQuery &row)
                                    {
                                      *id = row.value(0).toInt();
                                      found = true;
                                    });
  return (read && found) || Fail_Target();
}

bool TCatalogueCopy::Check_Empty()
{
  QStringList tables;
  if (!d_to->Engine()->List_Schema(d_to, &tables, nullptr))
  {
    return Fail_Target();
  }
  for (const char *table : FILLED_TABLES)
  {
    if (!tables.contains(QLatin1String(table), Qt::CaseInsensitive))
    {
      continue;
    }
    QVariant row;
    const TSqlConnection::TSelect found = d_to->Select_Value(
        QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(QLatin1String(table)), {}, &row);
    if (found == TSqlConnection::SELECT_FAILED)
    {
      return Fail_Target();
    }
    if (found == TSqlConnection::SELECT_FOUND)
    {
      return Fail(QStringLiteral("The target is not empty: a catalogue is copied only into a new "
                                 "file or an empty database."),
                  false);
    }
  }
  return true;
}

bool TCatalogueCopy::Copy_Standards()
{
  // The target was seeded as every catalogue is: the source's standards and components are found
  // there by name, and added only when the source has more.
  bool copied = true;
  const auto standard = [&](const QSqlQuery &row)
  {
    QVariant id;
    const TSqlConnection::TSelect found =
        copied ? d_to->Select_Value(
                     QStringLiteral(
                         "SELECT standard_type_id FROM standard_types WHERE name=? ORDER BY "
                         "standard_type_id LIMIT 1"),
                     {row.value(1)}, &id)
               : TSqlConnection::SELECT_FAILED;
    int target_id = id.toInt();
    copied = found == TSqlConnection::SELECT_FOUND ||
             (found == TSqlConnection::SELECT_NONE &&
              Insert(QStringLiteral("INSERT INTO standard_types (name) VALUES (?) RETURNING "
                                    "standard_type_id"),
                     {row.value(1)}, &target_id));
    d_standards.insert(row.value(0).toInt(), target_id);
  };
  if (!d_from->Read_Rows(d_from->Prepared_Query(QStringLiteral(
                             "SELECT standard_type_id,name FROM standard_types ORDER BY "
                             "standard_type_id")),
                         standard))
  {
    return Fail_Source();
  }
  if (!copied)
  {
    return d_error.isEmpty() ? Fail_Target() : false;
  }
  const auto component = [&](const QSqlQuery &row)
  {
    QVariant standard_id = row.value(1);
    if (!copied || !Map(d_standards, &standard_id))
    {
      return;
    }
    QVariant id;
    const TSqlConnection::TSelect found = d_to->Select_Value(
        QStringLiteral("SELECT component_type_id FROM component_types WHERE standard_id=? AND "
                       "name=? ORDER BY component_type_id LIMIT 1"),
        {standard_id, row.value(2)}, &id);
    int target_id = id.toInt();
    copied = found == TSqlConnection::SELECT_FOUND ||
             (found == TSqlConnection::SELECT_NONE &&
              Insert(QStringLiteral("INSERT INTO component_types (standard_id,name,description,"
                                    "expression_types) VALUES (?,?,?,?) RETURNING "
                                    "component_type_id"),
                     {standard_id, row.value(2), row.value(3), row.value(4)}, &target_id));
    d_components.insert(row.value(0).toInt(), target_id);
  };
  if (!d_from->Read_Rows(d_from->Prepared_Query(QStringLiteral(
                             "SELECT component_type_id,standard_id,name,description,"
                             "expression_types FROM component_types ORDER BY component_type_id")),
                         component))
  {
    return Fail_Source();
  }
  return copied || (d_error.isEmpty() ? Fail_Target() : false);
}

bool TCatalogueCopy::Copy_Names(const QString &table, const QString &id_column,
                                QHash<int, int> *ids)
{
  bool copied = true;
  const QString insert =
      QStringLiteral("INSERT INTO %1 (name) VALUES (?) RETURNING %2").arg(table, id_column);
  const auto name = [&](const QSqlQuery &row)
  {
    int id = 0;
    copied = copied && Insert(insert, {row.value(1)}, &id);
    ids->insert(row.value(0).toInt(), id);
  };
  if (!d_from->Read_Rows(
          d_from->Prepared_Query(
              QStringLiteral("SELECT %2,name FROM %1 ORDER BY %2").arg(table, id_column)),
          name))
  {
    return Fail_Source();
  }
  return copied;
}

template <typename TMap>
bool TCatalogueCopy::Copy_Rows(const QString &table, const QStringList &columns,
                               const QString &order, TMap map)
{
  const QString list = columns.join(QLatin1Char(','));
  TRowInserter rows(d_to, QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, list),
                    Parameters(columns.size()), columns.size());
  bool copied = true;
  const auto copy = [&](const QSqlQuery &row)
  {
    QVector<QVariant> values(columns.size());
    for (int column = 0; column < columns.size(); ++column)
    {
      values[column] = row.value(column);
    }
    copied = copied && (!map(&values) || rows.Add(values));
  };
  if (!d_from->Read_Rows(
          d_from->Prepared_Query(
              QStringLiteral("SELECT %2 FROM %1 ORDER BY %3").arg(table, list, order)),
          copy))
  {
    return Fail_Source();
  }
  return (copied && rows.Finish()) || Fail_Target();
}

bool TCatalogueCopy::Copy_Records()
{
  const QString list = RECORD_COLUMNS.join(QLatin1Char(','));
  const QString insert = QStringLiteral("INSERT INTO verification_record (%1) VALUES %2 "
                                        "RETURNING record_id")
                             .arg(list, Parameters(RECORD_COLUMNS.size()));
  bool copied = true;
  const auto record = [&](const QSqlQuery &row)
  {
    QVector<QVariant> values(RECORD_COLUMNS.size());
    for (int column = 0; column < values.size(); ++column)
    {
      values[column] = row.value(column + 1);
    }
    int id = 0;
    if (copied && Map(d_makes, &values[0]) && Map(d_models, &values[1]) &&
        Map(d_options, &values[2]))
    {
      copied = Insert(insert, values, &id);
      d_records.insert(row.value(0).toInt(), id);
    }
  };
  if (!d_from->Read_Rows(d_from->Prepared_Query(
                             QStringLiteral("SELECT record_id,%1 FROM verification_record ORDER "
                                            "BY record_id")
                                 .arg(list)),
                         record))
  {
    return Fail_Source();
  }
  return copied;
}

bool TCatalogueCopy::Copy()
{
  TReadTransaction snapshot(d_source);
  if (!snapshot.Begin())
  {
    return Fail(d_source->Last_Error(), true);
  }
  // The log is copied with its figures: one of an earlier layout has none yet.
  int layout = 0;
  TVerificationStore &source_log = *d_source->d_verification;
  if (!source_log.Layout(&layout))
  {
    return Fail(source_log.Error(), source_log.Is_Fault());
  }
  if (layout == 1)
  {
    return Fail(QStringLiteral("The source's verification log is of an earlier layout, which keeps "
                               "no figures: open it once in Metrova's window, which brings the log "
                               "up to date, and copy it then."),
                false);
  }
  QStringList tables;
  if (!d_from->Engine()->List_Schema(d_from, &tables, nullptr))
  {
    return Fail_Source();
  }
  const bool history = tables.contains(QStringLiteral("change_history"), Qt::CaseInsensitive);
  TVerificationStore &target_log = *d_target->d_verification;
  TChangeHistory &target_history = *d_target->d_history;

  const auto names = [this](QVector<QVariant> *values)
  {
    return Map(d_makes, &(*values)[0]) && Map(d_models, &(*values)[1]) &&
           Map(d_options, &(*values)[2]);
  };
  const auto records = [this](QVector<QVariant> *values) { return Map(d_records, &(*values)[0]); };
  // Rows whose names are gone (no list or export shows them) stay behind.
  bool copied =
      Check_Empty() && Copy_Standards() &&
      Copy_Names(QStringLiteral("make"), QStringLiteral("make_id"), &d_makes) &&
      Copy_Names(QStringLiteral("model_types"), QStringLiteral("model_id"), &d_models) &&
      Copy_Names(QStringLiteral("option_types"), QStringLiteral("option_id"), &d_options) &&
      Copy_Rows(QStringLiteral("specification"), SPECIFICATION_COLUMNS, QStringLiteral("rowid"),
                [&](QVector<QVariant> *values) {
                  return names(values) && Map(d_standards, &(*values)[3]) &&
                         Map(d_components, &(*values)[4]);
                });
  if (copied && layout != 0)
  {
    copied = (target_log.Create_Tables() || Fail(target_log.Error(), target_log.Is_Fault())) &&
             Copy_Rows(QStringLiteral("verification_machine"),
                       layout >= 3 ? MACHINE_COLUMNS + MACHINE_DATES : MACHINE_COLUMNS,
                       QStringLiteral("make_id,model_id,option_id"), names) &&
             Copy_Records() &&
             Copy_Rows(QStringLiteral("verification_result"), RESULT_COLUMNS,
                       QStringLiteral("record_id,sequence"), records) &&
             Copy_Rows(QStringLiteral("verification_range"), RANGE_COLUMNS,
                       QStringLiteral("record_id,sequence"), records) &&
             (layout >= 3 || target_log.Update_Latest(nullptr) || Fail(target_log.Error(), true));
  }
  copied = copied && (target_history.Create_Table() || Fail(target_history.Error(), true));
  if (copied && history)
  {
    copied = Copy_Rows(QStringLiteral("change_history"), HISTORY_COLUMNS,
                       QStringLiteral("entry_id"), [](QVector<QVariant> *) { return true; });
  }
  copied =
      copied && (target_history.Record(
                     QLatin1String(TChangeHistory::CHANGE_COPY), {},
                     QStringLiteral("copied from %1").arg(d_source->Location().Display_Name())) ||
                 Fail(target_history.Error(), true));
  // The standards the target's look-ups hold may have grown.
  d_target->d_catalogue->Invalidate();
  return copied;
}
