#ifndef METROVA_POSTGRESENGINE_H
#define METROVA_POSTGRESENGINE_H

#include "sqlengine.h"

typedef struct pg_conn PGconn;

// A catalogue in a database on a PostgreSQL server, named by a libpq URI. Qt's driver runs the
// ordinary statements; the bulk writer and reader use libpq's COPY on the same connection, and
// the plain reads libpq's rows without a QVariant per value.
//
// What the server's roles may do decides: a role that may only read the catalogue's tables opens
// it read-only, one that may not read them is refused with a sentence. A write unit takes a
// transaction-level advisory lock of the catalogue's schema at once, the match of SQLite's
// database-wide write lock: units end as if run one after another. A read transaction is
// REPEATABLE READ, so that all its reads see one state. The schema version and the change counter
// are one row of a table of the engine's own (metrova_schema); every write unit counts itself in
// it before it commits. Statements are limited in time (connect 10 s, a statement 30 s, a lock
// wait as long as SQLite's busy timeout, a transaction left idle 60 s) unless the URI, the role
// or the server set limits of their own.
class TPostgresEngine : public TSqlEngine
{
public:
  // The engine's own table: the schema version and the change counter.
  static const char *const ENGINE_TABLE;

  QString Driver() const override;
  bool Open(const TCatalogueLocation &location, int busy_milliseconds, QSqlDatabase *connection,
            TOpening *opening, QSqlError *error) const override;
  QString Plain_Reason(const QSqlError &error) const override;
  int Error_Code(const QSqlError &error) const override;
  int Read_Only_Code() const override;
  int Busy_Code() const override;
  QString Failure_Cause(const TCatalogueLocation &location, int code) const override;
  bool Needs_Password(int code) const override;

  QStringList Begin_Write() const override;
  QString Begin_Read() const override;
  QString Take_Snapshot() const override;
  bool Prepares_Control() const override;
  bool Reads_Forward_Only() const override;
  TTransactionState Transaction_State(const QSqlDatabase &connection) const override;
  bool Connection_Lost(const QSqlDatabase &connection) const override;
  TPlainRead Read_Plain_Rows(TSqlConnection *connection, const QString &statement,
                             const QVariantList &values,
                             const std::function<void(const TRow &)> &read_row, QString *error,
                             TReadSize size) const override;

  QString Create_Table(int table) const override;
  QString Create_Index(int index) const override;
  QString Foreign_Schema_Reason() const override;
  QStringList Create_Engine_Tables() const override;
  bool Has_Engine_Tables() const override;
  bool Creates_Log_With_Catalogue() const override;
  QStringList Create_Log_Tables() const override;
  QStringList Upgrade_Log_Tables(int layout) const override;
  QStringList Create_History_Table() const override;
  QString Change_Time() const override;
  bool Change_User(TSqlConnection *connection, QString *user) const override;
  bool Grant_Statements(TSqlConnection *connection, QStringList *statements) const override;
  bool List_Schema(TSqlConnection *connection, QStringList *tables,
                   QStringList *indexes) const override;
  bool Schema_Version(TSqlConnection *connection, int *version) const override;
  bool Set_Schema_Version(TSqlConnection *connection, int version) const override;
  bool Change_Counter(TSqlConnection *connection, qint64 *counter) const override;
  bool Count_Change(TSqlConnection *connection) const override;
  bool Copies_Texts() const override;
  bool Copy_Texts(TSqlConnection *connection, const QString &table, const QStringList &columns,
                  const QList<QStringList> &rows, QString *error) const override;
  std::unique_ptr<TBulkSpecificationWriter> Bulk_Writer(TDatabase *database,
                                                        TSqlConnection *connection) const override;
  std::unique_ptr<TBulkSpecificationReader> Bulk_Reader(TDatabase *database,
                                                        TSqlConnection *connection) const override;

  // A SQLSTATE ("40001") as the number Error_Code gives, and back.
  static int Code(const QString &state);
  static QString State(int code);
  // The plain reason of a failure with a SQLSTATE (empty when none) and the server's words.
  static QString Plain_Reason(const QString &state, const QString &text);
  // libpq's connection under a Qt connection of Qt's PostgreSQL driver; null otherwise.
  static PGconn *Handle(const QSqlDatabase &connection);
  static PGconn *Handle(const TSqlConnection *connection);

private:
  // What the opening learned, for later statements on the same connection.
  mutable const QSqlDatabase *d_connection = nullptr;
  mutable qint64 d_schema = 0;
  mutable bool d_has_engine_table = false;
};

#endif // METROVA_POSTGRESENGINE_H
