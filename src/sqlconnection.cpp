#include "sqlconnection.h"

#include <QAtomicInt>
#include <QLatin1String>
#include <QSqlDatabase>

namespace
{
QAtomicInt busy_timeout_milliseconds(5000);

// Savepoint names are identifiers, which cannot be bound: quote them as identifiers instead.
QString Quoted_Identifier(const QString &name)
{
  QString quoted = name;
  quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

TSqlConnection::TSqlConnection(const QString &name) : d_name(name) {}

TSqlConnection::~TSqlConnection()
{
  Close();
}

void TSqlConnection::Set_Busy_Timeout(int milliseconds)
{
  busy_timeout_milliseconds.storeRelaxed(milliseconds);
}

bool TSqlConnection::Open(const QString &file_name, QSqlError *error)
{
  Close();
  d_connection = std::make_unique<QSqlDatabase>(
      QSqlDatabase::contains(d_name)
          ? QSqlDatabase::database(d_name, false)
          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d_name));
  if (d_connection->isOpen())
  {
    d_connection->close();
  }
  d_connection->setDatabaseName(file_name);
  // A second connection on the same file (the worker thread's) waits for a writer to finish.
  d_connection->setConnectOptions(
      QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busy_timeout_milliseconds.loadRelaxed()));

  bool usable = d_connection->open();
  if (!usable)
  {
    *error = d_connection->lastError();
  }
  else
  {
    // SQLite opens any file; only a read tells whether it is a database at all.
    QSqlQuery probe(*d_connection);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !probe.next())
    {
      *error = probe.lastError();
      usable = false;
    }
  }
  if (!usable)
  {
    d_connection->close();
    d_connection.reset();
    QSqlDatabase::removeDatabase(d_name);
  }
  return usable;
}

bool TSqlConnection::Is_Open() const
{
  return d_connection && d_connection->isOpen();
}

void TSqlConnection::Close()
{
  if (!d_connection)
  {
    return;
  }
  // Every statement must be gone before its connection is removed.
  d_prepared_queries.clear();
  d_savepoints.clear();
  d_reading = false;
  d_connection->close();
  d_connection.reset();
  if (QSqlDatabase::contains(d_name))
  {
    QSqlDatabase::removeDatabase(d_name);
  }
}

QStringList TSqlConnection::Tables() const
{
  return d_connection ? d_connection->tables(QSql::Tables) : QStringList();
}

bool TSqlConnection::Fail(const QString &reason)
{
  d_error = reason;
  return false;
}

bool TSqlConnection::Finish(QSqlQuery *query, bool succeeded)
{
  if (!succeeded)
  {
    d_error = query->lastError().text();
  }
  query->finish();
  return succeeded;
}

QSqlQuery *TSqlConnection::Prepared_Query(const QString &statement,
                                          std::initializer_list<QVariant> values)
{
  QSqlQuery *prepared = nullptr;
  const auto found = d_prepared_queries.find(statement);
  if (found != d_prepared_queries.end())
  {
    prepared = found->second.get();
  }
  else
  {
    if (!Is_Open())
    {
      Fail(QStringLiteral("Not connected"));
      return nullptr;
    }
    auto query = std::make_unique<QSqlQuery>(*d_connection);
    query->setForwardOnly(true);
    if (!query->prepare(statement))
    {
      Fail(query->lastError().text());
      return nullptr;
    }
    prepared = query.get();
    d_prepared_queries.emplace(statement, std::move(query));
  }
  int position = 0;
  for (const QVariant &value : values)
  {
    prepared->bindValue(position++, value);
  }
  return prepared;
}

bool TSqlConnection::Execute(QSqlQuery *query)
{
  return query && Finish(query, query->exec());
}

bool TSqlConnection::Run_Statement(const QString &statement, std::initializer_list<QVariant> values)
{
  return Execute(Prepared_Query(statement, values));
}

TSqlConnection::TSelect TSqlConnection::Select_Value(const QString &statement,
                                                     std::initializer_list<QVariant> values,
                                                     QVariant *value)
{
  QSqlQuery *query = Prepared_Query(statement, values);
  if (!query)
  {
    return SELECT_FAILED;
  }
  const bool found = query->exec() && query->next();
  if (found)
  {
    *value = query->value(0);
  }
  if (!Finish(query, found || !query->lastError().isValid()))
  {
    return SELECT_FAILED;
  }
  return found ? SELECT_FOUND : SELECT_NONE;
}

bool TSqlConnection::Run_Once(const QString &statement)
{
  if (!Is_Open())
  {
    return Fail(QStringLiteral("Not connected"));
  }
  QSqlQuery query(*d_connection);
  if (!query.exec(statement))
  {
    return Fail(query.lastError().text());
  }
  return true;
}

bool TSqlConnection::Savepoint(const QString &name)
{
  if (d_reading)
  {
    // Even a failing BEGIN IMMEDIATE would take the write lock for the read transaction.
    return Fail(QStringLiteral("A read transaction is open"));
  }
  const bool outermost = d_savepoints.isEmpty();
  // Taking the write lock at once lets the busy timeout wait for another writer; a deferred
  // transaction that has read would fail at its first write instead.
  if (outermost && !Run_Statement(QStringLiteral("BEGIN IMMEDIATE")))
  {
    return false;
  }
  if (!Run_Statement(QStringLiteral("SAVEPOINT ") + Quoted_Identifier(name)))
  {
    const QString failure = d_error;
    if (outermost)
    {
      Run_Statement(QStringLiteral("ROLLBACK"));
    }
    return Fail(failure);
  }
  d_savepoints.append(name);
  return true;
}

bool TSqlConnection::Release_Savepoint(const QString &name)
{
  const int position = d_savepoints.lastIndexOf(name);
  if (!Run_Statement(QStringLiteral("RELEASE ") + Quoted_Identifier(name)))
  {
    const QString failure = d_error;
    if (position == 0)
    {
      // The transaction is in an unknown state; end it rather than leave it open.
      Run_Statement(QStringLiteral("ROLLBACK"));
      d_savepoints.clear();
    }
    return Fail(failure);
  }
  if (position >= 0)
  {
    d_savepoints.erase(d_savepoints.begin() + position, d_savepoints.end());
  }
  if (position == 0 && !Run_Statement(QStringLiteral("COMMIT")))
  {
    const QString failure = d_error;
    Run_Statement(QStringLiteral("ROLLBACK"));
    return Fail(failure);
  }
  return true;
}

bool TSqlConnection::Rollback_To_Savepoint(const QString &name)
{
  if (!Run_Statement(QStringLiteral("ROLLBACK TO ") + Quoted_Identifier(name)))
  {
    return false;
  }
  const int position = d_savepoints.lastIndexOf(name);
  if (position >= 0)
  {
    d_savepoints.erase(d_savepoints.begin() + position + 1, d_savepoints.end());
  }
  return true;
}

bool TSqlConnection::Begin_Read()
{
  if (!Is_Open() || !d_savepoints.isEmpty() || d_reading)
  {
    return false;
  }
  const QString previous_error = d_error;
  if (!Run_Statement(QStringLiteral("BEGIN")))
  {
    d_error = previous_error;
    return false;
  }
  d_reading = true;
  return true;
}

void TSqlConnection::End_Read(bool began)
{
  if (!began)
  {
    return;
  }
  const QString previous_error = d_error;
  if (!Run_Statement(QStringLiteral("COMMIT")))
  {
    Run_Statement(QStringLiteral("ROLLBACK"));
  }
  d_error = previous_error;
  d_reading = false;
}

bool TSqlConnection::Begin_Read_Transaction()
{
  if (!d_savepoints.isEmpty() || d_reading)
  {
    return Fail(QStringLiteral("A transaction is already open"));
  }
  if (!Run_Statement(QStringLiteral("BEGIN")))
  {
    return false;
  }
  // A deferred transaction takes its snapshot at its first read: take it now, and fail now if
  // the file cannot be read.
  if (!Run_Statement(QStringLiteral("PRAGMA data_version")))
  {
    const QString failure = d_error;
    Run_Statement(QStringLiteral("ROLLBACK"));
    return Fail(failure);
  }
  d_reading = true;
  return true;
}

void TSqlConnection::End_Read_Transaction()
{
  End_Read(d_reading);
}
