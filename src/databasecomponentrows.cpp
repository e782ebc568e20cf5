#include "database.h"

#include <QSqlError>
#include <QSqlQuery>

QList<TDatabaseItem> TDatabase::Read_Component_Rows(const QString &standard,
                                                    const QString &component, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  // The names come with the rows: ranking a whole catalogue is this one statement.
  static const QString statement = QStringLiteral(
      "SELECT m.name,mt.name,o.name,st.name,c.name,s.source,s.expression FROM specification AS s "
      "JOIN standard_types AS st ON st.standard_type_id=s.standard_id "
      "JOIN component_types AS c "
      "ON c.component_type_id=s.component_id AND c.standard_id=s.standard_id "
      "JOIN make AS m ON m.make_id=s.make_id "
      "JOIN model_types AS mt ON mt.model_id=s.model_id "
      "JOIN option_types AS o ON o.option_id=s.option_id "
      "WHERE (st.name=? AND c.name=?) OR (st.name=? AND c.name IN (?,?)) "
      "ORDER BY m.name,mt.name,o.name,s.standard_id,s.rowid");
  QSqlQuery *query =
      Prepared_Query(statement, {standard, component, QStringLiteral("10360"),
                                 QStringLiteral("Ts_Min"), QStringLiteral("Ts_Max")});
  if (!query)
  {
    return {};
  }

  QList<TDatabaseItem> records;
  if (query->exec())
  {
    while (query->next())
    {
      const QString names[] = {query->value(0).toString(), query->value(1).toString(),
                               query->value(2).toString(), query->value(3).toString()};
      if (records.isEmpty() || records.last().Make() != names[0] ||
          records.last().Model() != names[1] || records.last().Option() != names[2] ||
          records.last().Standard() != names[3])
      {
        TDatabaseItem record;
        record.Set_Make(names[0]);
        record.Set_Model(names[1]);
        record.Set_Option(names[2]);
        record.Set_Standard(names[3]);
        records.append(record);
      }
      TSpecificationItem item;
      item.name = query->value(4).toString();
      item.source = query->value(5).toInt();
      item.expression = Parsed_Expression(query->value(6).toString());
      records.last().Add_Specification_Item(item);
    }
  }
  const QSqlError error = query->lastError();
  query->finish();
  if (error.isValid())
  {
    d_last_error = error.text();
    return {};
  }
  *valid = true;
  return records;
}
