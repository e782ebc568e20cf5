#ifndef METROVA_SQLCONNECTION_H
#define METROVA_SQLCONNECTION_H

#include "cataloguelocation.h"
#include "sqlengine.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <initializer_list>
#include <map>
#include <memory>

class QSqlDatabase;
class QSqlError;

// One named Qt connection to a catalogue on its engine (TSqlEngine): its prepared statements, the
// helpers that run them and its transactions. Every failure leaves its reason in Error(); the
// caller words the rest.
//
// An engine may roll a whole transaction back by itself after an error (SQLite after a full disk,
// an I/O error, no memory, some lock conflicts), or refuse every statement after one failed until
// a rollback (PostgreSQL). Then nothing may go on as if it were open: a statement would commit on
// its own, a nested savepoint would begin a transaction of its own. So after every failed
// statement inside a transaction the connection asks the engine whether the transaction is still
// open; if not, or if undoing part of it failed, the transaction counts as broken: every later
// statement and savepoint operation fails with the first reason, until the outermost savepoint
// (or the read transaction) is ended, which rolls back what may remain and reports the failure.
class TSqlConnection
{
public:
  // What a query for one value found.
  enum TSelect
  {
    SELECT_FAILED = -1,
    SELECT_NONE = 0,
    SELECT_FOUND = 1
  };

  explicit TSqlConnection(const QString &name);
  ~TSqlConnection();
  TSqlConnection(const TSqlConnection &) = delete;
  TSqlConnection &operator=(const TSqlConnection &) = delete;

  // Opens the location on its engine (SQLite creates a missing file), which decides whether it
  // takes writes; false with the engine's error in *error (or, without an engine for the
  // location, the reason in Error()), the connection removed again.
  bool Open(const TCatalogueLocation &location, QSqlError *error);
  bool Is_Open() const;
  bool Is_Read_Only() const { return d_opening.read_only; }
  // Why the location is open read-only, in sentences for the user, when it is not a plain lack
  // of permission (a file with another name). Every write transaction fails with it.
  QString Read_Only_Reason() const { return d_opening.read_only_reason; }
  void Close();
  QString Error() const { return d_error; }
  // The engine's code of the failure behind Error(), 0 when it gave none (TSqlEngine).
  int Error_Code() const { return d_error_code; }
  // Puts back a failure that a clean-up after it overwrote.
  void Keep_Error(const QString &error, int code)
  {
    d_error = error;
    d_error_code = code;
  }
  // Its failures are the database's own, never the data's.
  bool Is_Fault() const { return true; }

  // A statement prepared once per connection and reused, with the given values bound in order.
  // Run it with Execute or Read_Rows. Null when it cannot be prepared.
  QSqlQuery *Prepared_Query(const QString &statement, std::initializer_list<QVariant> values = {});
  // Runs a prepared statement that returns no rows, and finishes it.
  bool Execute(QSqlQuery *query);
  // Runs a prepared statement and hands each row to read_row. False when it fails at once or
  // midway. The statement is finished either way, so that no read lock outlives the call.
  template <typename TReadRow>
  bool Read_Rows(QSqlQuery *query, TReadRow read_row);
  // Reads the rows of a statement of numbers and texts, whole numbers and texts bound in order,
  // on the engine's own path where it has one (TSqlEngine::Read_Plain_Rows): for reads of many
  // thousand rows, or of a few (READ_FEW) that come in one answer.
  bool Read_Plain_Rows(const QString &statement, const QVariantList &values,
                       const std::function<void(const TSqlEngine::TRow &)> &read_row,
                       TSqlEngine::TReadSize size = TSqlEngine::READ_MANY);
  // Runs a statement of texts once per row on the engine's own path where it has one
  // (TSqlEngine::Write_Plain_Rows); *elsewhere, and nothing written, where it has none.
  bool Write_Plain_Rows(const QString &statement, int rows, int columns,
                        const std::function<QByteArray(int row, int column)> &value,
                        bool *elsewhere);
  bool Run_Statement(const QString &statement, std::initializer_list<QVariant> values = {});
  // The first value of the first row.
  TSelect Select_Value(const QString &statement, std::initializer_list<QVariant> values,
                       QVariant *value);
  // A statement run once, without keeping it prepared (schema changes).
  bool Run_Once(const QString &statement);

  // Savepoints nest: the outermost begins a write unit (TSqlEngine::Begin_Write), and
  // its release commits it. Rolling back to a savepoint keeps it open. In a broken transaction
  // releasing or rolling back to the outermost savepoint ends it, and fails.
  bool Savepoint(const QString &name);
  bool Release_Savepoint(const QString &name);
  bool Rollback_To_Savepoint(const QString &name);
  int Savepoint_Depth() const { return d_savepoints.size(); }
  // A read transaction: all reads see one state of the file, no write lock is held. Begin fails
  // inside a savepoint or another read transaction.
  bool Begin_Read_Transaction();
  void End_Read_Transaction();
  bool Is_Reading() const { return d_reading; }
  bool Is_Broken() const { return d_broken; }
  bool In_Transaction() const { return !d_savepoints.isEmpty() || d_reading; }
  // A number that changes whenever a transaction begins or part of one is undone: what this
  // connection read of the schema inside a transaction holds while the number does.
  quint64 Transaction_Number() const { return d_transaction_number; }
  // A number that changes whenever this connection may have changed the catalogue: a statement
  // ran (other than one that begins or ends a read) or a write unit ended. The engine's change
  // counter (TSqlEngine::Change_Counter) sees only other connections' commits.
  qint64 Own_Changes() const { return d_own_changes; }
  // Whether the last outermost Savepoint failed because the location went since it was opened
  // (another import took away a new file it had made): a write would go to a file that nobody
  // reaches by its name. Open it again and try again.
  bool File_Moved() const { return d_moved; }
  // A read of many statements outside any transaction runs in one read transaction. Begin_Read
  // returns whether End_Read has a transaction to end.
  bool Begin_Read();
  void End_Read(bool began);

  // How long a statement waits for another connection's lock, for connections opened later.
  static void Set_Busy_Timeout(int milliseconds);
  // The engine of the open location, null when none is open; what it found on opening; the Qt
  // connection under it, for the engine's own work.
  const TSqlEngine *Engine() const { return d_engine.get(); }
  const TSqlEngine::TOpening &Opening() const { return d_opening; }
  const QSqlDatabase *Qt_Connection() const { return d_connection.get(); }
  const TCatalogueLocation &Location() const { return d_location; }

private:
  // A statement that begins or ends a transaction or a savepoint: it runs also in a broken
  // transaction.
  bool Control(const QString &statement);
  bool Run(QSqlQuery *query);
  QSqlQuery *Prepare(const QString &statement, std::initializer_list<QVariant> values,
                     bool control);
  // False with the query's error as the reason, once the query is finished.
  bool Finish(QSqlQuery *query, bool succeeded);
  // The reason, with the result code of the statement it comes from (0: none).
  bool Fail(const QString &reason, int code = 0);
  bool Fail(const QSqlError &error);
  // After a failed statement: whether the engine still has the transaction open.
  void Check_Transaction(const QString &reason);
  void Break_Transaction(const QString &reason);
  QString Broken_Text() const;
  // Ends a broken transaction: rolls back whatever the engine still holds open, forgets the
  // savepoints, and fails with the reason.
  bool End_Broken_Transaction();
  // Outside any transaction, and under no statement being read: opens a connection that the
  // engine lost (the server went away) anew, so that the next unit of work can run. False with
  // the reason when that failed.
  bool Reconnect_If_Lost();
  // The engine's answer, TRANSACTION_UNKNOWN where it cannot be asked.
  TSqlEngine::TTransactionState Transaction_State() const;

  QString d_name;
  TCatalogueLocation d_location;
  std::unique_ptr<TSqlEngine> d_engine;
  TSqlEngine::TOpening d_opening;
  std::unique_ptr<QSqlDatabase> d_connection;
  QString d_error;
  int d_error_code = 0;
  bool d_moved = false;
  std::map<QString, std::unique_ptr<QSqlQuery>> d_prepared_queries;
  // Names of the open savepoints, outermost first.
  QStringList d_savepoints;
  bool d_reading = false;
  quint64 d_transaction_number = 0;
  bool d_broken = false;
  // The broken transaction comes back with a rollback to one of its savepoints (PostgreSQL's
  // after a failed statement).
  bool d_aborted = false;
  // Statements whose rows are being read (Read_Rows).
  int d_active_reads = 0;
  // The outermost savepoint was rolled back to, and no statement has run since.
  bool d_undone = false;
  QString d_broken_reason;
  int d_broken_code = 0;
  qint64 d_own_changes = 0;
};

template <typename TReadRow>
bool TSqlConnection::Read_Rows(QSqlQuery *query, TReadRow read_row)
{
  if (!query)
  {
    return false;
  }
  ++d_active_reads;
  if (query->exec())
  {
    while (query->next())
    {
      read_row(*query);
    }
  }
  --d_active_reads;
  return Finish(query, !query->lastError().isValid());
}

#endif // METROVA_SQLCONNECTION_H
