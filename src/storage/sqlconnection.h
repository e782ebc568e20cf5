#ifndef METROVA_SQLCONNECTION_H
#define METROVA_SQLCONNECTION_H

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
struct sqlite3;

// One named Qt connection to an SQLite file: its prepared statements, the helpers that run them
// and its transactions. Every failure leaves its reason in Error(); the caller words the rest.
//
// SQLite may roll a whole transaction back by itself after an error (a full disk, an I/O error,
// no memory, some lock conflicts). Then nothing may go on as if it were open: a statement would
// commit on its own, a nested savepoint would begin a transaction of its own. So after every
// failed statement inside a transaction the connection asks SQLite whether the transaction is
// still open; if not, or if undoing part of it failed, the transaction counts as broken: every
// later statement and savepoint operation fails with the first reason, until the outermost
// savepoint (or the read transaction) is ended, which rolls back what may remain and reports the
// failure.
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

  // Opens the file (SQLite creates a missing one) and reads it once, since SQLite opens any file;
  // false with the handle's or the read's error in *error, the connection removed again. A file
  // that this user cannot change (the file, its folder or its medium refuse writes, or it is
  // another user's) is opened read-only. So is a file with more than one name (hard links):
  // SQLite keeps its journal beside the name it was opened by, so a write through one name that
  // is cut short would later undo, through the other, work committed meanwhile.
  bool Open(const QString &file_name, QSqlError *error);
  bool Is_Open() const;
  bool Is_Read_Only() const { return d_read_only; }
  // Why the file is open read-only, in sentences for the user, when it is not a plain lack of
  // permission (a file with another name). Every write transaction fails with it.
  QString Read_Only_Reason() const { return d_read_only_reason; }
  // The reason for a file with several names; empty for a file with one or none.
  static QString Linked_File_Reason(const QString &file_name);
  void Close();
  QString Error() const { return d_error; }
  // The reason of a failed statement in words for the user, without the driver's.
  static QString Plain_Reason(const QSqlError &error);
  // SQLite's result code of the statement behind Error(), 0 when the failure was not one.
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
  bool Run_Statement(const QString &statement, std::initializer_list<QVariant> values = {});
  // The first value of the first row.
  TSelect Select_Value(const QString &statement, std::initializer_list<QVariant> values,
                       QVariant *value);
  // A statement run once, without keeping it prepared (schema changes).
  bool Run_Once(const QString &statement);

  // Savepoints nest: the outermost begins a transaction that takes the write lock at once, and
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
  // Whether the last outermost Savepoint failed because the file was removed or renamed since it
  // was opened (another import took away a new file it had made): a write would go to a file
  // that nobody reaches by its name. Open it again and try again.
  bool File_Moved() const { return d_moved; }
  // A read of many statements outside any transaction runs in one read transaction. Begin_Read
  // returns whether End_Read has a transaction to end.
  bool Begin_Read();
  void End_Read(bool began);

  // How long a statement waits for another connection's lock, for connections opened later.
  static void Set_Busy_Timeout(int milliseconds);
  // The SQLite handle under the connection, for statements of one's own (TSqliteStatement), when
  // Qt's driver runs on the SQLite linked here; null otherwise.
  sqlite3 *Native_Handle() const;

private:
  // A statement that begins or ends a transaction or a savepoint: it runs also in a broken
  // transaction.
  bool Control(const QString &statement);
  QSqlQuery *Prepare(const QString &statement, std::initializer_list<QVariant> values,
                     bool control);
  // False with the query's error as the reason, once the query is finished.
  bool Finish(QSqlQuery *query, bool succeeded);
  // The reason, with the result code of the statement it comes from (0: none).
  bool Fail(const QString &reason, int code = 0);
  bool Fail(const QSqlError &error);
  // After a failed statement: whether SQLite still has the transaction open.
  void Check_Transaction(const QString &reason);
  void Break_Transaction(const QString &reason);
  QString Broken_Text() const;
  // Ends a broken transaction: rolls back whatever SQLite still holds open, forgets the
  // savepoints, and fails with the reason.
  bool End_Broken_Transaction();
  bool In_Transaction() const { return !d_savepoints.isEmpty() || d_reading; }
  // Whether the open file has been removed or renamed since it was opened.
  bool Has_Moved() const;

  QString d_name;
  std::unique_ptr<QSqlDatabase> d_connection;
  QString d_error;
  int d_error_code = 0;
  bool d_read_only = false;
  QString d_read_only_reason;
  bool d_moved = false;
  std::map<QString, std::unique_ptr<QSqlQuery>> d_prepared_queries;
  // Names of the open savepoints, outermost first.
  QStringList d_savepoints;
  bool d_reading = false;
  bool d_broken = false;
  // The outermost savepoint was rolled back to, and no statement has run since.
  bool d_undone = false;
  QString d_broken_reason;
  int d_broken_code = 0;
  // Whether the handle can be asked about its transaction: Qt's driver and this program use the
  // same SQLite. When they do not, every failure inside a transaction counts as breaking it.
  bool d_can_check_transaction = false;
};

template <typename TReadRow>
bool TSqlConnection::Read_Rows(QSqlQuery *query, TReadRow read_row)
{
  if (!query)
  {
    return false;
  }
  if (query->exec())
  {
    while (query->next())
    {
      read_row(*query);
    }
  }
  return Finish(query, !query->lastError().isValid());
}

#endif // METROVA_SQLCONNECTION_H
