#ifndef METROVA_SQLITEENGINE_H
#define METROVA_SQLITEENGINE_H

#include "sqlengine.h"

struct sqlite3;

// A catalogue in an SQLite file. A file that this user cannot change (the file, its folder or its
// medium refuse writes, or it is another user's) is opened read-only, and so is a file with more
// than one name (hard links): SQLite keeps its journal beside the name it was opened by, so a
// write through one name that is cut short would later undo, through the other, work committed
// meanwhile. A write unit takes the file's write lock at once (BEGIN IMMEDIATE); the schema
// version is PRAGMA user_version, the change counter PRAGMA data_version.
class TSqliteEngine : public TSqlEngine
{
public:
  QString Driver() const override;
  bool Open(const TCatalogueLocation &location, int busy_milliseconds, QSqlDatabase *connection,
            TOpening *opening, QSqlError *error) const override;
  QString Plain_Reason(const QSqlError &error) const override;
  int Error_Code(const QSqlError &error) const override;
  int Read_Only_Code() const override;
  int Busy_Code() const override;
  QString Failure_Cause(const TCatalogueLocation &location, int code) const override;

  QStringList Begin_Write() const override;
  QString Take_Snapshot() const override;
  TTransactionState Transaction_State(const QSqlDatabase &connection) const override;
  bool Location_Moved(const QSqlDatabase &connection) const override;

  QString Create_Table(int table) const override;
  QString Create_Index(int index) const override;
  QString Foreign_Schema_Reason() const override;
  QStringList Create_Log_Tables() const override;
  QStringList Upgrade_Log_Tables(int layout) const override;
  QString Read_Back_Name_Lookup(const QString &table, const QString &id_column) const override;
  QStringList Create_History_Table() const override;
  QString Change_Time() const override;
  bool Change_User(TSqlConnection *connection, QString *user) const override;
  bool List_Schema(TSqlConnection *connection, QStringList *tables,
                   QStringList *indexes) const override;
  bool Schema_Version(TSqlConnection *connection, int *version) const override;
  bool Set_Schema_Version(TSqlConnection *connection, int version) const override;
  bool Change_Counter(TSqlConnection *connection, qint64 *counter) const override;

  std::unique_ptr<TBulkSpecificationWriter> Bulk_Writer(TDatabase *database,
                                                        TSqlConnection *connection) const override;
  std::unique_ptr<TBulkSpecificationReader> Bulk_Reader(TDatabase *database,
                                                        TSqlConnection *connection) const override;
  TPlainRead Read_Plain_Rows(TSqlConnection *connection, const QString &statement,
                             const QVariantList &values,
                             const std::function<void(const TRow &)> &read_row, QString *error,
                             TReadSize size) const override;
  TPlainRead Write_Plain_Rows(TSqlConnection *connection, const QString &statement, int rows,
                              int columns,
                              const std::function<QByteArray(int row, int column)> &value,
                              QString *error) const override;

  // The words of a failure with SQLite's result code (TSqliteStatement's).
  static QString Plain_Reason(const QString &text, int code);
  // The reason for a file with several names; empty for a file with one or none.
  static QString Linked_File_Reason(const QString &file_name);
  // The SQLite handle under a Qt connection when Qt's driver runs on the SQLite linked here, for
  // statements of one's own (TSqliteStatement); null otherwise.
  static sqlite3 *Handle(const QSqlDatabase &connection);
  // The handle of an open connection, for the same statements; null when its calls may not be
  // made there.
  static sqlite3 *Handle(const TSqlConnection *connection);
};

#endif // METROVA_SQLITEENGINE_H
