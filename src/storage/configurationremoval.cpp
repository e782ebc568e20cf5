#include "configurationremoval.h"

#include "sqlconnection.h"
#include "verificationstore.h"

#include <QSqlQuery>

TConfigurationRemoval::TConfigurationRemoval(TSqlConnection *connection, TVerificationStore *log)
    : d_connection(connection), d_log(log)
{
}

bool TConfigurationRemoval::Fail(const QString &text, bool fault)
{
  d_error = text;
  d_fault = fault;
  return false;
}

bool TConfigurationRemoval::Remove(const QStringList &names, const int *ids, bool with_records,
                                   int *records)
{
  const int levels = names.size();
  const QString machine = names.join(QLatin1Char(' '));
  *records = 0;
  if (!d_log->Record_Count(ids, levels, records))
  {
    return Fail(d_log->Error(), d_log->Is_Fault());
  }
  if (*records > 0 && !with_records)
  {
    return Fail(QStringLiteral("%1 has %2 verification record(s), which go only when they are "
                               "deleted with it (delete --with-records).")
                    .arg(machine)
                    .arg(*records),
                false);
  }
  const auto failed = [this](const QString &what, const QString &name)
  {
    return Fail(QStringLiteral("Cannot delete %1 for '%2'.  Reason: %3")
                    .arg(what, name, d_connection->Error()),
                true);
  };
  if (levels == 1 &&
      !d_connection->Run_Statement(QStringLiteral("DELETE FROM make WHERE make_id=?"), {ids[0]}))
  {
    return failed(QStringLiteral("make entry"), names.at(0));
  }
  static const char *const COLUMNS[] = {"make_id", "model_id", "option_id"};
  QString statement = QStringLiteral("DELETE FROM specification WHERE make_id=?");
  for (int level = 1; level < levels; ++level)
  {
    statement += QStringLiteral(" AND %1=?").arg(QLatin1String(COLUMNS[level]));
  }
  QSqlQuery *query = d_connection->Prepared_Query(statement);
  for (int level = 0; query && level < levels; ++level)
  {
    query->bindValue(level, ids[level]);
  }
  if (!d_connection->Execute(query))
  {
    return failed(QStringLiteral("specification entry"), names.join(QStringLiteral("' and '")));
  }
  return d_log->Remove_Machines(ids, levels) || Fail(d_log->Error(), d_log->Is_Fault());
}
