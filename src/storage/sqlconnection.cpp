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

bool TSqlConnection::Open(const TCatalogueLocation &location, QSqlError *error)
{
  Close();
  d_error.clear();
  d_error_code = 0;
  QString reason;
  d_engine = TSqlEngine::For(location, &reason);
  if (!d_engine)
  {
    d_error = reason;
    *error = QSqlError(QString(), reason, QSqlError::ConnectionError);
    return false;
  }
  d_location = location;
  d_connection = std::make_unique<QSqlDatabase>(
      QSqlDatabase::contains(d_name) ? QSqlDatabase::database(d_name, false)
                                     : QSqlDatabase::addDatabase(d_engine->Driver(), d_name));
  if (d_connection->isOpen())
  {
    d_connection->close();
  }
  d_opening = TSqlEngine::TOpening();
  if (d_engine->Open(location, busy_timeout_milliseconds.loadRelaxed(), d_connection.get(),
                     &d_opening, error))
  {
    return true;
  }
  d_error_code = d_engine->Error_Code(*error);
  d_opening = TSqlEngine::TOpening();
  d_connection->close();
  d_connection.reset();
  QSqlDatabase::removeDatabase(d_name);
  return false;
}

TSqlEngine::TTransactionState TSqlConnection::Transaction_State() const
{
  return d_opening.can_check_transaction && Is_Open() ? d_engine->Transaction_State(*d_connection)
                                                      : TSqlEngine::TRANSACTION_UNKNOWN;
}

bool TSqlConnection::Is_Open() const
{
  // A connection the server ended stays this one's: the next unit of work opens it anew.
  return d_connection &&
         (d_connection->isOpen() || (d_engine && d_engine->Connection_Lost(*d_connection)));
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
  d_broken = false;
  d_aborted = false;
  d_opening = TSqlEngine::TOpening();
  d_undone = false;
  d_connection->close();
  d_connection.reset();
  if (QSqlDatabase::contains(d_name))
  {
    QSqlDatabase::removeDatabase(d_name);
  }
}

bool TSqlConnection::Fail(const QString &reason, int code)
{
  d_error = reason;
  d_error_code = code;
  return false;
}

bool TSqlConnection::Fail(const QSqlError &error)
{
  d_error = d_engine ? d_engine->Plain_Reason(error) : error.text().trimmed();
  d_error_code = d_engine ? d_engine->Error_Code(error) : 0;
  return false;
}

QString TSqlConnection::Broken_Text() const
{
  // A transaction that a rollback to a savepoint brings back is not lost yet: its first failure
  // is the reason of every statement until then.
  return d_aborted ? d_broken_reason
                   : QStringLiteral("The transaction was rolled back after an error: %1")
                         .arg(d_broken_reason);
}

void TSqlConnection::Break_Transaction(const QString &reason)
{
  if (!d_broken)
  {
    d_broken = true;
    d_broken_reason = reason;
    d_broken_code = d_error_code;
  }
}

void TSqlConnection::Check_Transaction(const QString &reason)
{
  if (!In_Transaction() || d_broken)
  {
    return;
  }
  const TSqlEngine::TTransactionState state = Transaction_State();
  if (state != TSqlEngine::TRANSACTION_OPEN)
  {
    Break_Transaction(reason);
    // A rollback to a savepoint brings such a transaction back.
    d_aborted = state == TSqlEngine::TRANSACTION_ABORTED && !d_savepoints.isEmpty();
  }
}

bool TSqlConnection::End_Broken_Transaction()
{
  ++d_own_changes;
  const QString failure = Broken_Text();
  const int failure_code = d_broken_code;
  if (Transaction_State() != TSqlEngine::TRANSACTION_ENDED)
  {
    Control(QStringLiteral("ROLLBACK"));
  }
  d_savepoints.clear();
  d_reading = false;
  d_broken = false;
  d_aborted = false;
  d_undone = false;
  return Fail(failure, failure_code);
}

bool TSqlConnection::Finish(QSqlQuery *query, bool succeeded)
{
  if (!succeeded)
  {
    Fail(query->lastError());
  }
  query->finish();
  if (!succeeded)
  {
    Check_Transaction(d_error);
  }
  return succeeded;
}

QSqlQuery *TSqlConnection::Prepare(const QString &statement, std::initializer_list<QVariant> values,
                                   bool control)
{
  if (d_broken && !control)
  {
    Fail(Broken_Text(), d_broken_code);
    return nullptr;
  }
  d_undone = d_undone && control;
  if (!In_Transaction() && !Reconnect_If_Lost())
  {
    return nullptr;
  }
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
    query->setForwardOnly(d_engine->Reads_Forward_Only());
    if (!query->prepare(statement))
    {
      Fail(query->lastError());
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

QSqlQuery *TSqlConnection::Prepared_Query(const QString &statement,
                                          std::initializer_list<QVariant> values)
{
  return Prepare(statement, values, false);
}

bool TSqlConnection::Control(const QString &statement)
{
  if (!d_engine || d_engine->Prepares_Control())
  {
    return Run(Prepare(statement, {}, true));
  }
  if (!In_Transaction() && !Reconnect_If_Lost())
  {
    return false;
  }
  if (!Is_Open())
  {
    return Fail(QStringLiteral("Not connected"));
  }
  QSqlQuery query(*d_connection);
  if (!query.exec(statement))
  {
    Fail(query.lastError());
    Check_Transaction(d_error);
    return false;
  }
  return true;
}

bool TSqlConnection::Reconnect_If_Lost()
{
  // Never under a statement that is still being read: its query would go with the others.
  if (!d_engine || !d_connection || d_active_reads > 0 || !d_engine->Connection_Lost(*d_connection))
  {
    return true;
  }
  d_prepared_queries.clear();
  d_connection->close();
  QSqlError error;
  TSqlEngine::TOpening opening;
  if (!d_engine->Open(d_location, busy_timeout_milliseconds.loadRelaxed(), d_connection.get(),
                      &opening, &error))
  {
    d_connection->close();
    return Fail(error);
  }
  d_opening = opening;
  return true;
}

bool TSqlConnection::Run(QSqlQuery *query)
{
  return query && Finish(query, query->exec());
}

bool TSqlConnection::Execute(QSqlQuery *query)
{
  ++d_own_changes;
  return Run(query);
}

bool TSqlConnection::Write_Plain_Rows(const QString &statement, int rows, int columns,
                                      const std::function<QByteArray(int, int)> &value,
                                      bool *elsewhere)
{
  *elsewhere = false;
  if (d_broken)
  {
    return Fail(Broken_Text(), d_broken_code);
  }
  ++d_own_changes;
  QString error;
  const TSqlEngine::TPlainRead written =
      d_engine ? d_engine->Write_Plain_Rows(this, statement, rows, columns, value, &error)
               : TSqlEngine::PLAIN_READ_ELSEWHERE;
  if (written == TSqlEngine::PLAIN_READ_FAILED)
  {
    Fail(error, 0);
    Check_Transaction(d_error);
    return false;
  }
  *elsewhere = written == TSqlEngine::PLAIN_READ_ELSEWHERE;
  return true;
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
  ++d_own_changes;
  if (d_broken)
  {
    return Fail(Broken_Text(), d_broken_code);
  }
  if (!Is_Open())
  {
    return Fail(QStringLiteral("Not connected"));
  }
  d_undone = false;
  QSqlQuery query(*d_connection);
  if (!query.exec(statement))
  {
    Fail(query.lastError());
    Check_Transaction(d_error);
    return false;
  }
  return true;
}

bool TSqlConnection::Savepoint(const QString &name)
{
  if (d_broken)
  {
    return Fail(Broken_Text(), d_broken_code);
  }
  if (d_reading)
  {
    // Even a failing BEGIN IMMEDIATE would take the write lock for the read transaction.
    return Fail(QStringLiteral("A read transaction is open"));
  }
  const bool outermost = d_savepoints.isEmpty();
  if (!Is_Open())
  {
    return Fail(QStringLiteral("Not connected"));
  }
  if (outermost && !d_opening.read_only_reason.isEmpty())
  {
    return Fail(d_opening.read_only_reason, d_engine->Read_Only_Code());
  }
  if (outermost && !d_opening.write_refusal.isEmpty())
  {
    return Fail(d_opening.write_refusal, d_engine->Read_Only_Code());
  }
  d_moved = false;
  // Under the write unit's lock a program that removes a new catalogue of its own (only while it
  // holds the lock) has done so or will not: a file taken away since it was opened fails here,
  // where an empty one would fail with an I/O error that did not happen (SQLite looks its name
  // up for the journal).
  bool began = true;
  if (outermost)
  {
    if (!Reconnect_If_Lost())
    {
      return false;
    }
    const QStringList statements = d_engine->Begin_Write();
    for (int index = 0; began && index < statements.size(); ++index)
    {
      began = Control(statements.at(index));
      if (!began && index > 0)
      {
        // What began must not stay open after a step that failed (a lock not granted in time).
        const QString failure = d_error;
        const int failure_code = d_error_code;
        Control(QStringLiteral("ROLLBACK"));
        Fail(failure, failure_code);
      }
    }
  }
  if (outermost && d_opening.can_check_transaction && d_engine->Location_Moved(*d_connection))
  {
    if (began)
    {
      Control(QStringLiteral("ROLLBACK"));
    }
    d_moved = true;
    return Fail(QStringLiteral("another program took the catalogue file away while it was "
                               "open here; try again"),
                d_engine->Busy_Code());
  }
  if (!began)
  {
    return false;
  }
  if (!Control(QStringLiteral("SAVEPOINT ") + Quoted_Identifier(name)))
  {
    const QString failure = d_error;
    const int failure_code = d_error_code;
    if (outermost)
    {
      Control(QStringLiteral("ROLLBACK"));
    }
    return Fail(failure, failure_code);
  }
  if (outermost)
  {
    ++d_transaction_number;
  }
  d_savepoints.append(name);
  return true;
}

bool TSqlConnection::Release_Savepoint(const QString &name)
{
  // The engine's own writes in the unit (a bulk writer's) counted as one.
  ++d_own_changes;
  const int position = d_savepoints.lastIndexOf(name);
  if (d_broken)
  {
    if (position == 0)
    {
      return End_Broken_Transaction();
    }
    if (position > 0)
    {
      d_savepoints.erase(d_savepoints.begin() + position, d_savepoints.end());
    }
    return Fail(Broken_Text(), d_broken_code);
  }
  // A commit would still write the file's header: a transaction undone as a whole is ended as
  // one that never happened, leaving the file byte for byte as it was.
  if (position == 0 && d_undone)
  {
    d_savepoints.clear();
    d_undone = false;
    return Control(QStringLiteral("ROLLBACK"));
  }
  if (!Control(QStringLiteral("RELEASE ") + Quoted_Identifier(name)))
  {
    const QString failure = d_error;
    const int failure_code = d_error_code;
    if (position == 0)
    {
      // The transaction is in an unknown state; end it rather than leave it open.
      Control(QStringLiteral("ROLLBACK"));
      d_savepoints.clear();
      d_broken = false;
    }
    return Fail(failure, failure_code);
  }
  if (position >= 0)
  {
    d_savepoints.erase(d_savepoints.begin() + position, d_savepoints.end());
  }
  if (position == 0 && !(d_engine->Count_Change(this) && Control(QStringLiteral("COMMIT"))))
  {
    const QString failure = d_error;
    const int failure_code = d_error_code;
    Control(QStringLiteral("ROLLBACK"));
    d_broken = false;
    return Fail(failure, failure_code);
  }
  return true;
}

bool TSqlConnection::Rollback_To_Savepoint(const QString &name)
{
  ++d_own_changes;
  ++d_transaction_number;
  const int position = d_savepoints.lastIndexOf(name);
  if (d_broken && d_aborted && position >= 0)
  {
    const QString failure = d_error;
    const int failure_code = d_error_code;
    if (Control(QStringLiteral("ROLLBACK TO ") + Quoted_Identifier(name)))
    {
      d_broken = false;
      d_aborted = false;
      d_savepoints.erase(d_savepoints.begin() + position + 1, d_savepoints.end());
      d_undone = position == 0;
      // The failure that made the caller roll back stays the reason.
      Keep_Error(failure, failure_code);
      return true;
    }
    d_aborted = false;
  }
  if (d_broken)
  {
    return position == 0 ? End_Broken_Transaction() : Fail(Broken_Text(), d_broken_code);
  }
  if (!Control(QStringLiteral("ROLLBACK TO ") + Quoted_Identifier(name)))
  {
    // What was to be undone may still be there: it must never be committed.
    if (position >= 0)
    {
      Break_Transaction(d_error);
    }
    return false;
  }
  if (position >= 0)
  {
    d_savepoints.erase(d_savepoints.begin() + position + 1, d_savepoints.end());
  }
  d_undone = position == 0;
  return true;
}

bool TSqlConnection::Begin_Read()
{
  if (!Is_Open() || In_Transaction())
  {
    return false;
  }
  const QString previous_error = d_error;
  const int previous_code = d_error_code;
  if (!Control(d_engine->Begin_Read()))
  {
    d_error = previous_error;
    d_error_code = previous_code;
    return false;
  }
  d_reading = true;
  ++d_transaction_number;
  return true;
}

void TSqlConnection::End_Read(bool began)
{
  if (!began || !d_reading)
  {
    return;
  }
  const QString previous_error = d_error;
  const int previous_code = d_error_code;
  if (d_broken)
  {
    End_Broken_Transaction();
  }
  else if (!Control(QStringLiteral("COMMIT")))
  {
    // A failed end of a read leaves nothing to keep: the transaction is over either way.
    Control(QStringLiteral("ROLLBACK"));
    d_broken = false;
  }
  d_error = previous_error;
  d_error_code = previous_code;
  d_reading = false;
}

bool TSqlConnection::Begin_Read_Transaction()
{
  if (In_Transaction())
  {
    return Fail(QStringLiteral("A transaction is already open"));
  }
  if (!Control(d_engine->Begin_Read()))
  {
    return false;
  }
  // The view is fixed now, and a catalogue that cannot be read fails now.
  if (!Control(d_engine->Take_Snapshot()))
  {
    const QString failure = d_error;
    const int failure_code = d_error_code;
    Control(QStringLiteral("ROLLBACK"));
    return Fail(failure, failure_code);
  }
  d_reading = true;
  ++d_transaction_number;
  return true;
}

void TSqlConnection::End_Read_Transaction()
{
  End_Read(d_reading);
}

bool TSqlConnection::Read_Plain_Rows(const QString &statement, const QVariantList &values,
                                     const std::function<void(const TSqlEngine::TRow &)> &read_row,
                                     TSqlEngine::TReadSize size)
{
  if (d_broken)
  {
    return Fail(Broken_Text(), d_broken_code);
  }
  QString error;
  const TSqlEngine::TPlainRead read =
      d_engine ? d_engine->Read_Plain_Rows(this, statement, values, read_row, &error, size)
               : TSqlEngine::PLAIN_READ_ELSEWHERE;
  if (read == TSqlEngine::PLAIN_READ_FAILED)
  {
    Fail(error, 0);
    Check_Transaction(d_error);
    return false;
  }
  if (read == TSqlEngine::PLAIN_READ_DONE)
  {
    return true;
  }
  class TQueryRow : public TSqlEngine::TRow
  {
  public:
    explicit TQueryRow(const QSqlQuery &query) : d_query(query) {}
    bool Is_Null(int column) const override { return d_query.isNull(column); }
    int Integer(int column) const override { return d_query.value(column).toInt(); }
    double Double(int column) const override { return d_query.value(column).toDouble(); }
    qint64 Long_Integer(int column) const override { return d_query.value(column).toLongLong(); }
    QString Text(int column) const override { return d_query.value(column).toString(); }
    QByteArray Bytes(int column) const override { return Text(column).toUtf8(); }

  private:
    const QSqlQuery &d_query;
  };
  QSqlQuery *query = Prepared_Query(statement);
  for (int index = 0; query && index < values.size(); ++index)
  {
    query->bindValue(index, values.at(index));
  }
  return Read_Rows(query,
                   [&read_row](const QSqlQuery &row)
                   {
                     const TQueryRow adapter(row);
                     read_row(adapter);
                   });
}
