#ifndef METROVA_SQLENGINE_H
#define METROVA_SQLENGINE_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>

class QSqlDatabase;
class QSqlError;
class TBulkSpecificationReader;
class TBulkSpecificationWriter;
class TCatalogueLocation;
class TDatabase;
class TSqlConnection;

// Everything that differs between the database engines a catalogue lives on, side by side behind
// one interface: how a location is opened and whether it takes writes, how a write unit begins,
// whether a transaction survived an error, the words for a failure, the schema's statements,
// the schema version, the change counter and the bulk writer and reader. Statements that are the
// same on every engine stay where they are used. One engine object per connection
// (TSqlConnection), made for its location by For.
class TSqlEngine
{
public:
  // What Open found out about the location.
  struct TOpening
  {
    // The location takes no writes; every write unit fails (with the reason, when there is one).
    bool read_only = false;
    // Why, in sentences for the user, when it is more than a lack of permission.
    QString read_only_reason;
    // Why every write unit is refused before it begins, where the location takes no writes for
    // a reason the engine words (a role's rights) and the user is not told at opening.
    QString write_refusal;
    // The engine can be asked whether a transaction is still open after an error.
    bool can_check_transaction = false;
  };
  // Whether a transaction is open after a failed statement: open, open but refusing every
  // statement until a rollback to a savepoint (PostgreSQL), or ended.
  enum TTransactionState
  {
    TRANSACTION_OPEN,
    TRANSACTION_ABORTED,
    TRANSACTION_ENDED,
    TRANSACTION_UNKNOWN
  };

  // A row of a plain read (Read_Plain_Rows): its numbers and texts by column from 0.
  class TRow
  {
  public:
    virtual ~TRow() = default;
    // Whether the column holds null: its number reads 0, its text empty.
    virtual bool Is_Null(int column) const = 0;
    virtual int Integer(int column) const = 0;
    virtual double Double(int column) const = 0;
    // One past the range of int (a rowid).
    virtual qint64 Long_Integer(int column) const = 0;
    virtual QString Text(int column) const = 0;
    // The text's UTF-8, good until the next row: no copy where the engine can give its own.
    virtual QByteArray Bytes(int column) const = 0;
  };
  // What a plain read or write did.
  enum TPlainRead
  {
    PLAIN_READ_FAILED,
    PLAIN_READ_DONE,
    PLAIN_READ_ELSEWHERE
  };

  virtual ~TSqlEngine() = default;

  // The engine of a location; null when this program has none for it, with the reason.
  static std::unique_ptr<TSqlEngine> For(const TCatalogueLocation &location, QString *reason);

  // Qt's driver.
  virtual QString Driver() const = 0;
  // Sets the connection up for the location and opens it; false with the error, the connection
  // closed again. busy_milliseconds: how long a statement waits for another writer.
  virtual bool Open(const TCatalogueLocation &location, int busy_milliseconds,
                    QSqlDatabase *connection, TOpening *opening, QSqlError *error) const = 0;
  // The plain reason of a failed statement for the user, and the engine's code for it (0 when
  // it gives none), which only Failure_Cause reads.
  virtual QString Plain_Reason(const QSqlError &error) const = 0;
  virtual int Error_Code(const QSqlError &error) const = 0;
  // The codes of a write refused since the location takes none, and of one that another
  // connection kept from running.
  virtual int Read_Only_Code() const = 0;
  virtual int Busy_Code() const = 0;
  // The cause of a failure of the catalogue as a whole (it cannot be opened, created or written)
  // in one plain sentence; empty when it is not known.
  virtual QString Failure_Cause(const TCatalogueLocation &location, int code) const = 0;
  // Whether a failure to open with that code would be cured by a password: the window asks for
  // one then. A file never needs one.
  virtual bool Needs_Password(int code) const;

  // The statements that begin a write unit: they take what makes the unit run as if alone.
  virtual QStringList Begin_Write() const = 0;
  // The statement that begins a read transaction, whose reads all see one state.
  virtual QString Begin_Read() const;
  // A statement that fixes a read transaction's view at once.
  virtual QString Take_Snapshot() const = 0;
  // Whether the statements that begin and end transactions and savepoints may be prepared.
  virtual bool Prepares_Control() const;
  // Whether a query's rows may be read one at a time: false where the driver then loses the
  // rows not yet read when another statement runs on the connection (reads nest here).
  virtual bool Reads_Forward_Only() const;
  virtual TTransactionState Transaction_State(const QSqlDatabase &connection) const = 0;
  // Whether the connection is gone (a server that went away): it is opened anew before the next
  // unit of work.
  virtual bool Connection_Lost(const QSqlDatabase &connection) const;
  // Whether the open location has gone since it was opened (a file removed or renamed), so that
  // a write would reach nobody.
  virtual bool Location_Moved(const QSqlDatabase &connection) const;

  // The catalogue's tables in TDatabaseSchema::TTable order, and its indexes in the order of
  // TDatabaseSchema::INDEXES.
  virtual QString Create_Table(int table) const = 0;
  virtual QString Create_Index(int index) const = 0;
  // Why a location that holds tables of its own and none of the catalogue's is left alone.
  virtual QString Foreign_Schema_Reason() const = 0;
  // Tables of the engine's own that a catalogue needs (the schema version and change counter),
  // created with the catalogue, and whether the open one has them.
  virtual QStringList Create_Engine_Tables() const;
  virtual bool Has_Engine_Tables() const;
  // Whether the verification log's tables are made with the catalogue rather than by the first
  // write to the log: where a user who may write need not be one who may create tables.
  virtual bool Creates_Log_With_Catalogue() const;
  // The verification log's tables of its first layout, and what brings a log of a layout to the
  // next one (none past the last).
  virtual QStringList Create_Log_Tables() const = 0;
  virtual QStringList Upgrade_Log_Tables(int layout) const = 0;
  // The log's indexes beyond its layout, each made only where it is missing: with a new or
  // upgraded log, and where writers make the log (not Creates_Log_With_Catalogue) by a write.
  virtual QStringList Log_Indexes() const;
  // The look-up of a name as read (with U+FFFD) that finds a row stored, by an older version,
  // with U+FFFE or U+FFFF in its place, giving the id and the stored bytes; empty where the
  // engine never held such names.
  virtual QString Read_Back_Name_Lookup(const QString &table, const QString &id_column) const;
  // The change history's table and index (TChangeHistory), in the order of their creation.
  virtual QStringList Create_History_Table() const = 0;
  // An expression for the time of a change, by the database's clock: now, in UTC, as ISO 8601
  // ("2026-01-05T10:22:31Z").
  virtual QString Change_Time() const = 0;
  // Who changes the catalogue through this connection: the database user, or for a file the
  // login name.
  virtual bool Change_User(TSqlConnection *connection, QString *user) const = 0;
  // The statements an administrator runs, as psql's input with the roles' names in its variables
  // reader and writer, so that one role may read the open catalogue and another change it; none
  // where the engine has no roles (a file's readers and writers are the file system's).
  virtual bool Grant_Statements(TSqlConnection *connection, QStringList *statements) const;
  // The tables and indexes of the catalogue's own (the engine's are left out).
  virtual bool List_Schema(TSqlConnection *connection, QStringList *tables,
                           QStringList *indexes) const = 0;
  // The catalogue's schema version: one number for the whole catalogue, 0 when none was set.
  virtual bool Schema_Version(TSqlConnection *connection, int *version) const = 0;
  virtual bool Set_Schema_Version(TSqlConnection *connection, int version) const = 0;
  // A number that changes whenever another connection has committed a change, and what a write
  // unit does before it commits so that it changes (SQLite counts by itself).
  virtual bool Change_Counter(TSqlConnection *connection, qint64 *counter) const = 0;
  virtual bool Count_Change(TSqlConnection *connection) const;

  // The bulk writer and reader of whole catalogues on this connection; null when it has none
  // (the catalogue's own operations then do the work).
  virtual std::unique_ptr<TBulkSpecificationWriter> Bulk_Writer(TDatabase *database,
                                                                TSqlConnection *connection) const;
  virtual std::unique_ptr<TBulkSpecificationReader> Bulk_Reader(TDatabase *database,
                                                                TSqlConnection *connection) const;
  // Whether the engine adds many rows of texts to a table at once in a way of its own
  // (Copy_Texts), inside the open transaction; false with the reason in *error.
  virtual bool Copies_Texts() const;
  virtual bool Copy_Texts(TSqlConnection *connection, const QString &table,
                          const QStringList &columns, const QList<QStringList> &rows,
                          QString *error) const;
  // The rows a plain read expects: a few come in one answer; many may come in pieces, so that the
  // engine's scan overlaps the caller's work.
  enum TReadSize
  {
    READ_MANY,
    READ_FEW
  };
  // Reads the rows of a statement of numbers and texts, with whole numbers and texts bound in
  // order, on the engine's own path, without a QVariant per value: PLAIN_READ_ELSEWHERE where it
  // has none (TSqlConnection::Read_Plain_Rows then reads through Qt), PLAIN_READ_FAILED with the
  // reason in *error.
  virtual TPlainRead Read_Plain_Rows(TSqlConnection *connection, const QString &statement,
                                     const QVariantList &values,
                                     const std::function<void(const TRow &)> &read_row,
                                     QString *error, TReadSize size) const;
  // Runs a statement of texts bound in order once per row, prepared once, on the engine's own
  // path: value gives a row's text of a column in UTF-8. PLAIN_READ_ELSEWHERE where it has none,
  // PLAIN_READ_FAILED with the reason in *error.
  virtual TPlainRead Write_Plain_Rows(TSqlConnection *connection, const QString &statement,
                                      int rows, int columns,
                                      const std::function<QByteArray(int row, int column)> &value,
                                      QString *error) const;
};

#endif // METROVA_SQLENGINE_H
