#include "configurationnames.h"

#include "databaseitem.h"

#include "sqlconnection.h"

#include <QLatin1String>
#include <QSqlQuery>
#include <QStringList>

namespace
{
// The tables of the names, by kind.
struct TNameTable
{
  QString table;
  QString id_column;
  // A name that occurs twice (a file edited elsewhere) resolves to its first row.
  QString id_statement;
  QString name_statement;
  QString insert_statement;
  QString missing;
};

const TNameTable NAME_TABLES[] = {
    {QStringLiteral("make"), QStringLiteral("make_id"),
     QStringLiteral("SELECT make_id FROM make WHERE name=? ORDER BY make_id LIMIT 1"),
     QStringLiteral("SELECT name FROM make WHERE make_id=?"),
     QStringLiteral("INSERT INTO make (name) VALUES (?)"), QStringLiteral("CMM Make not found.")},
    {QStringLiteral("model_types"), QStringLiteral("model_id"),
     QStringLiteral("SELECT model_id FROM model_types WHERE name=? ORDER BY model_id LIMIT 1"),
     QStringLiteral("SELECT name FROM model_types WHERE model_id=?"),
     QStringLiteral("INSERT INTO model_types (name) VALUES (?)"),
     QStringLiteral("CMM Model not found.")},
    {QStringLiteral("option_types"), QStringLiteral("option_id"),
     QStringLiteral("SELECT option_id FROM option_types WHERE name=? ORDER BY option_id LIMIT 1"),
     QStringLiteral("SELECT name FROM option_types WHERE option_id=?"),
     QStringLiteral("INSERT INTO option_types (name) VALUES (?)"),
     QStringLiteral("CMM Option not found.")},
};

// An older version stored names with U+FFFE or U+FFFF inside, which SQLite reads back as U+FFFD:
// such a name as read finds its row only by comparing with those characters replaced.
const QChar READ_BACK_REPLACEMENT(0xFFFD);
} // namespace

TConfigurationNames::TConfigurationNames(TSqlConnection *connection) : d_connection(connection) {}

bool TConfigurationNames::Fail(const QString &text, bool fault)
{
  d_error = text;
  d_fault = fault;
  return false;
}

void TConfigurationNames::Fail_Lookup(int kind, int found)
{
  // A read that failed must not pass for a name that is not there.
  if (found == TSqlConnection::SELECT_FAILED)
  {
    Fail(d_connection->Error(), true);
  }
  else
  {
    Fail(NAME_TABLES[kind].missing, false);
  }
}

QString TConfigurationNames::Rows_Of_Names(int name_count)
{
  QStringList conditions;
  for (int kind = 0; kind < name_count; ++kind)
  {
    conditions.append(QStringLiteral("s.%1=(%2)")
                          .arg(NAME_TABLES[kind].id_column, NAME_TABLES[kind].id_statement));
  }
  return conditions.join(QLatin1String(" AND "));
}

int TConfigurationNames::Find(int kind, const QString &name, QVariant *id, QString *stored)
{
  int found = d_connection->Select_Value(NAME_TABLES[kind].id_statement, {name}, id);
  if (found != TSqlConnection::SELECT_NONE || !name.contains(READ_BACK_REPLACEMENT))
  {
    return found;
  }
  // The second look-up only for such a name, so that every other look-up stays one indexed
  // query, and only where the engine may hold one. The stored bytes give the name that finds the
  // row in the statements by name.
  const QString statement = d_connection->Engine()->Read_Back_Name_Lookup(
      NAME_TABLES[kind].table, NAME_TABLES[kind].id_column);
  if (statement.isEmpty())
  {
    return found;
  }
  const bool read = d_connection->Read_Rows(d_connection->Prepared_Query(statement, {name}),
                                            [&](const QSqlQuery &row)
                                            {
                                              *id = row.value(0);
                                              if (stored)
                                              {
                                                *stored =
                                                    QString::fromUtf8(row.value(1).toByteArray());
                                              }
                                              found = TSqlConnection::SELECT_FOUND;
                                            });
  return read ? found : TSqlConnection::SELECT_FAILED;
}

bool TConfigurationNames::Stored_Names(const QStringList &names, QStringList *stored)
{
  bool differs = false;
  *stored = names;
  for (int kind = 0; kind < names.size() && kind <= OPTION; ++kind)
  {
    QVariant id;
    QString stored_name;
    if (Find(kind, names.at(kind), &id, &stored_name) == TSqlConnection::SELECT_FOUND &&
        !stored_name.isNull())
    {
      (*stored)[kind] = stored_name;
      differs = true;
    }
  }
  return differs;
}

int TConfigurationNames::Id(int kind, const QString &name)
{
  QVariant id;
  const int found = Find(kind, name, &id);
  if (found != TSqlConnection::SELECT_FOUND)
  {
    Fail_Lookup(kind, found);
    return -1;
  }
  return id.toInt();
}

QString TConfigurationNames::Name(int kind, int id)
{
  QVariant name;
  const TSqlConnection::TSelect found =
      d_connection->Select_Value(NAME_TABLES[kind].name_statement, {id}, &name);
  if (found != TSqlConnection::SELECT_FOUND)
  {
    Fail_Lookup(kind, found);
    return {};
  }
  return name.toString();
}

bool TConfigurationNames::Ids(const QStringList &names, int *ids)
{
  Q_ASSERT(names.size() <= OPTION + 1);
  if (names.size() < 2)
  {
    for (int kind = MAKE; kind < names.size(); ++kind)
    {
      ids[kind] = Id(kind, names.at(kind));
      if (ids[kind] < 0)
      {
        return false;
      }
    }
    return true;
  }
  // Every id in one statement: on a server each look-up is a round trip.
  static const auto statement = [](int count)
  {
    QStringList columns;
    for (int kind = MAKE; kind < count; ++kind)
    {
      columns.append(QStringLiteral("(%1)").arg(NAME_TABLES[kind].id_statement));
    }
    return QStringLiteral("SELECT ") + columns.join(QLatin1Char(','));
  };
  static const QString two = statement(2);
  static const QString three = statement(3);
  QVariant found[OPTION + 1];
  const bool read = d_connection->Read_Rows(
      names.size() == 2
          ? d_connection->Prepared_Query(two, {names.at(0), names.at(1)})
          : d_connection->Prepared_Query(three, {names.at(0), names.at(1), names.at(2)}),
      [&](const QSqlQuery &row)
      {
        for (int kind = MAKE; kind < names.size(); ++kind)
        {
          found[kind] = row.value(kind);
        }
      });
  if (!read)
  {
    return Fail(d_connection->Error(), true);
  }
  for (int kind = MAKE; kind < names.size(); ++kind)
  {
    // A name not found as it reads is looked up alone: it may be stored as an older version
    // wrote it, or the failure names it.
    ids[kind] = found[kind].isNull() ? Id(kind, names.at(kind)) : found[kind].toInt();
    if (ids[kind] < 0)
    {
      return false;
    }
  }
  return true;
}

int TConfigurationNames::Added_Id(int kind, const QString &name)
{
  QVariant id;
  const int found = Find(kind, name, &id);
  if (found == TSqlConnection::SELECT_FOUND)
  {
    return id.toInt();
  }
  // A name that cannot be looked up is not a new name.
  if (found == TSqlConnection::SELECT_FAILED)
  {
    Fail_Lookup(kind, found);
    return -1;
  }
  static const char *const KINDS[] = {"make", "model", "option"};
  const QString problem = TDatabaseItem::Name_Length_Problem(QLatin1String(KINDS[kind]), name);
  if (!problem.isEmpty())
  {
    Fail(problem, false);
    return -1;
  }
  if (!d_connection->Run_Statement(NAME_TABLES[kind].insert_statement, {name}))
  {
    Fail(QStringLiteral("Cannot add data to table '%1'.  Reason: %2")
             .arg(NAME_TABLES[kind].table, d_connection->Error()),
         true);
    return -1;
  }
  return Id(kind, name);
}
