#include "configurationlists.h"

#include "configurationnames.h"
#include "sqlconnection.h"

#include <QVariant>

namespace
{
// Makes whose models are kept: those a user goes back and forth between.
constexpr int KEPT_MAKES = 8;
} // namespace

TConfigurationLists::TConfigurationLists(TSqlConnection *connection, TConfigurationNames *names)
    : d_connection(connection), d_names(names), d_stamp(connection)
{
}

bool TConfigurationLists::Fail(const QString &text, bool fault)
{
  d_error = text;
  d_fault = fault;
  return false;
}

bool TConfigurationLists::Makes(QStringList *makes)
{
  return d_connection->Read_Rows(
             d_connection->Prepared_Query(QStringLiteral("SELECT name FROM make ORDER BY make_id")),
             [makes](const QSqlQuery &row) { makes->append(row.value(0).toString()); }) ||
         Fail(d_connection->Error(), true);
}

bool TConfigurationLists::Names(const QString &statement, const QStringList &names,
                                QStringList *found)
{
  d_error.clear();
  d_fault = false;
  // A make's thousands of models on the engine's own path, without a QVariant per name.
  const auto read = [&](const QStringList &bound)
  {
    return d_connection->Read_Plain_Rows(statement, {bound.begin(), bound.end()},
                                         [found](const TSqlEngine::TRow &row)
                                         { found->append(row.Text(0)); }) ||
           Fail(d_connection->Error(), true);
  };
  QStringList stored;
  // Once more for names stored otherwise than they read back.
  if (!read(names) || (found->isEmpty() && d_names->Stored_Names(names, &stored) && !read(stored)))
  {
    found->clear();
    return false;
  }
  if (found->isEmpty())
  {
    // The unknown name is the reason; a make or model without rows leaves Error() empty.
    int ids[3];
    const bool known = names.size() == 1 ? d_names->Ids({names.at(0)}, ids)
                                         : d_names->Ids({names.at(0), names.at(1)}, ids);
    return known ? false : Fail(d_names->Error(), d_names->Is_Fault());
  }
  return true;
}

bool TConfigurationLists::Models(const QString &make, QStringList *models)
{
  // Each model once, in the order of the model ids, that is of the names' first storage. A make
  // may have thousands of models and tens of thousands of rows: the distinct ids come from the
  // index alone, and only they are joined to their names.
  static const QString statement =
      QStringLiteral("SELECT m.name FROM (SELECT DISTINCT s.model_id AS id FROM specification AS "
                     "s WHERE %1) AS d LEFT JOIN model_types AS m ON m.model_id=d.id ORDER BY d.id")
          .arg(TConfigurationNames::Rows_Of_Names(1));
  if (d_stamp.Moved())
  {
    d_models.clear();
  }
  const auto kept = d_models.constFind(make);
  if (kept != d_models.constEnd())
  {
    d_error.clear();
    d_fault = false;
    *models = kept.value();
    return true;
  }
  if (!Names(statement, {make}, models))
  {
    return false;
  }
  // Kept only under the counter read before the models were.
  if (d_stamp.Is_Read())
  {
    if (d_models.size() >= KEPT_MAKES)
    {
      d_models.clear();
    }
    d_models.insert(make, *models);
  }
  return true;
}

void TConfigurationLists::Forget()
{
  d_models.clear();
  d_stamp.Forget();
}

bool TConfigurationLists::Options(const QString &make, const QString &model, QStringList *options)
{
  // Each option once, in the order of its first row; grouped by the name too, which the id
  // decides, since an engine may refuse a column that is not grouped.
  static const QString statement =
      QStringLiteral(
          "SELECT o.name FROM specification AS s LEFT JOIN option_types AS o ON "
          "o.option_id=s.option_id WHERE %1 GROUP BY s.option_id,o.name ORDER BY MIN(s.rowid)")
          .arg(TConfigurationNames::Rows_Of_Names(2));
  return Names(statement, {make, model}, options);
}

bool TConfigurationLists::Configurations(const QString &make,
                                         QList<QPair<QString, QString>> *configurations)
{
  // Each pair once, in the order of its first row (grouped by the names too, as Options).
  static const QString statement =
      QStringLiteral("SELECT mt.name,o.name FROM specification AS s "
                     "LEFT JOIN model_types AS mt ON mt.model_id=s.model_id "
                     "LEFT JOIN option_types AS o ON o.option_id=s.option_id "
                     "WHERE %1 GROUP BY s.model_id,s.option_id,mt.name,o.name ORDER BY "
                     "MIN(s.rowid)")
          .arg(TConfigurationNames::Rows_Of_Names(1));
  const auto read = [&](const QString &name)
  {
    return d_connection->Read_Rows(
               d_connection->Prepared_Query(statement, {name}),
               [configurations](const QSqlQuery &row) {
                 configurations->append({row.value(0).toString(), row.value(1).toString()});
               }) ||
           Fail(d_connection->Error(), true);
  };
  QStringList stored;
  // Once more for a name stored otherwise than it reads back.
  if (!read(make) ||
      (configurations->isEmpty() && d_names->Stored_Names({make}, &stored) && !read(stored.at(0))))
  {
    configurations->clear();
    return false;
  }
  return true;
}

int TConfigurationLists::Machine_Row(const int *ids, int count)
{
  static const QString statements[] = {
      QStringLiteral(
          "SELECT component_id FROM specification WHERE make_id=? AND model_id=? LIMIT 1"),
      QStringLiteral("SELECT component_id FROM specification WHERE make_id=? AND model_id=? AND "
                     "option_id=? LIMIT 1")};
  QVariant value;
  const int found =
      count == 2 ? d_connection->Select_Value(statements[0], {ids[0], ids[1]}, &value)
                 : d_connection->Select_Value(statements[1], {ids[0], ids[1], ids[2]}, &value);
  if (found == TSqlConnection::SELECT_FAILED)
  {
    Fail(d_connection->Error(), true);
  }
  return found;
}

int TConfigurationLists::Specification_Row(const int *ids)
{
  QVariant value;
  const int found = d_connection->Select_Value(
      QStringLiteral("SELECT source FROM specification WHERE make_id=? AND model_id=? AND "
                     "option_id=? AND standard_id=? AND component_id=? LIMIT 1"),
      {ids[0], ids[1], ids[2], ids[3], ids[4]}, &value);
  if (found == TSqlConnection::SELECT_FAILED)
  {
    Fail(d_connection->Error(), true);
  }
  return found;
}

int TConfigurationLists::Stored_Name(int kind, const QString &name)
{
  QVariant id;
  return d_connection->Select_Value(
      kind == TConfigurationNames::MODEL
          ? QStringLiteral("SELECT model_id FROM model_types WHERE name=? LIMIT 1")
          : QStringLiteral("SELECT option_id FROM option_types WHERE name=? LIMIT 1"),
      {name}, &id);
}
