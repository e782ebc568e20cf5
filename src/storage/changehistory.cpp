#include "changehistory.h"

#include "rowinserter.h"
#include "sqlconnection.h"

#include <QLatin1String>

const char *const TChangeHistory::CHANGE_SPECIFICATION = "specification";
const char *const TChangeHistory::CHANGE_DELETE = "delete";
const char *const TChangeHistory::CHANGE_IMPORT = "import";
const char *const TChangeHistory::CHANGE_RECORD_ADDED = "record added";
const char *const TChangeHistory::CHANGE_RECORD_DELETED = "record deleted";
const char *const TChangeHistory::CHANGE_SCHEDULE = "schedule";
const char *const TChangeHistory::CHANGE_CLEAR = "clear";
const char *const TChangeHistory::CHANGE_UPGRADE = "upgrade";
const char *const TChangeHistory::CHANGE_COPY = "copy";

namespace
{
const QString TABLE = QStringLiteral("change_history");
const QString INSERT_HEAD = QStringLiteral("INSERT INTO change_history (changed_at,changed_by,"
                                           "change,make,model,option_name,details) VALUES ");
const QStringList COLUMNS{QStringLiteral("changed_at"), QStringLiteral("changed_by"),
                          QStringLiteral("change"),     QStringLiteral("make"),
                          QStringLiteral("model"),      QStringLiteral("option_name"),
                          QStringLiteral("details")};
const char *const NAME_COLUMNS[] = {"make", "model", "option_name"};

// A value for a column that takes no null: a missing name or detail is an empty text.
QVariant Text(const QString &text)
{
  return text.isNull() ? QVariant(QLatin1String("")) : QVariant(text);
}
} // namespace

TChangeHistory::TChangeHistory(TSqlConnection *connection) : d_connection(connection) {}

bool TChangeHistory::Fail(const QString &text)
{
  d_error = text;
  return false;
}

bool TChangeHistory::Find_Table(bool *found)
{
  QStringList tables;
  if (!d_connection->Engine()->List_Schema(d_connection, &tables, nullptr))
  {
    return Fail(d_connection->Error());
  }
  *found = tables.contains(TABLE, Qt::CaseInsensitive);
  return true;
}

bool TChangeHistory::Create_Table()
{
  bool found = false;
  if (!Find_Table(&found))
  {
    return false;
  }
  const TSqlEngine *engine = d_connection->Engine();
  for (int index = 0; !found && index < engine->Create_History_Table().size(); ++index)
  {
    if (!d_connection->Run_Once(engine->Create_History_Table().at(index)))
    {
      return Fail(QStringLiteral("Cannot create the change history's table.  Reason: %1")
                      .arg(d_connection->Error()));
    }
  }
  return true;
}

bool TChangeHistory::Record(const QString &change, const QStringList &names, const QString &details)
{
  return Record_Each(change, {names}, details);
}

bool TChangeHistory::Record_Each(const QString &change, const QList<QStringList> &machines,
                                 const QString &details)
{
  QString user;
  if (!Create_Table())
  {
    return false;
  }
  if (!d_connection->Engine()->Change_User(d_connection, &user))
  {
    return Fail(d_connection->Error());
  }
  // One time for all: they are one change. Read once, it is bound to each row, or copied as a
  // text where the engine adds many rows at once; statements of many rows take it otherwise.
  const TSqlEngine *engine = d_connection->Engine();
  QVariant time;
  if (d_connection->Select_Value(QStringLiteral("SELECT ") + engine->Change_Time(), {}, &time) !=
      TSqlConnection::SELECT_FOUND)
  {
    return Fail(d_connection->Error());
  }
  if (machines.size() > 1 && engine->Copies_Texts())
  {
    QList<QStringList> texts;
    for (const QStringList &names : machines)
    {
      texts.append(
          {time.toString(), user, change, names.value(0), names.value(1), names.value(2), details});
    }
    QString error;
    return engine->Copy_Texts(d_connection, TABLE, COLUMNS, texts, &error) || Fail(error);
  }
  const QByteArray fixed[] = {time.toString().toUtf8(), user.toUtf8(), change.toUtf8(),
                              details.toUtf8()};
  const auto value = [&](int row, int column)
  {
    return column >= 3 && column < 6 ? machines.at(row).value(column - 3).toUtf8()
                                     : fixed[column < 3 ? column : 3];
  };
  bool elsewhere = false;
  if (!d_connection->Write_Plain_Rows(INSERT_HEAD + QStringLiteral("(?,?,?,?,?,?,?)"),
                                      machines.size(), 7, value, &elsewhere))
  {
    return Fail(d_connection->Error());
  }
  if (!elsewhere)
  {
    return true;
  }
  TRowInserter rows(d_connection, INSERT_HEAD, QStringLiteral("(?,?,?,?,?,?,?)"), 7);
  for (const QStringList &names : machines)
  {
    if (!rows.Add({Text(time.toString()), Text(user), Text(change), Text(names.value(0)),
                   Text(names.value(1)), Text(names.value(2)), Text(details)}))
    {
      return Fail(d_connection->Error());
    }
  }
  return rows.Finish() || Fail(d_connection->Error());
}

bool TChangeHistory::Entries(const QStringList &names, QList<THistoryEntry> *entries)
{
  entries->clear();
  bool found = false;
  if (!Find_Table(&found))
  {
    return false;
  }
  if (!found)
  {
    return true;
  }
  // An entry without a name concerns every machine under the names it has.
  QString statement = QStringLiteral("SELECT changed_at,changed_by,change,make,model,option_name,"
                                     "details FROM change_history");
  for (int level = 0; level < names.size() && level < 3; ++level)
  {
    statement += QLatin1String(level == 0 ? " WHERE " : " AND ") +
                 QStringLiteral("(%1='' OR %1=?)").arg(QLatin1String(NAME_COLUMNS[level]));
  }
  QSqlQuery *query = d_connection->Prepared_Query(statement + QStringLiteral(" ORDER BY entry_id"));
  for (int level = 0; query && level < names.size() && level < 3; ++level)
  {
    query->bindValue(level, names.at(level));
  }
  return d_connection->Read_Rows(query,
                                 [entries](const QSqlQuery &row)
                                 {
                                   entries->append(
                                       {row.value(0).toString(), row.value(1).toString(),
                                        row.value(2).toString(), row.value(3).toString(),
                                        row.value(4).toString(), row.value(5).toString(),
                                        row.value(6).toString()});
                                 }) ||
         Fail(d_connection->Error());
}
