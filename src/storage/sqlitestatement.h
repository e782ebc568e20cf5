#ifndef METROVA_SQLITESTATEMENT_H
#define METROVA_SQLITESTATEMENT_H

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// One statement prepared on an SQLite handle of its own, for work that runs it many thousand
// times (an import): values bound by position without QVariant, texts in UTF-8 without a copy.
// Finalised with the object, which must go before its connection is closed.
class TSqliteStatement
{
public:
  // What a step of the statement gave.
  enum TStep
  {
    STEP_FAILED = -1,
    STEP_DONE = 0,
    STEP_ROW = 1
  };

  TSqliteStatement() = default;
  ~TSqliteStatement();
  TSqliteStatement(const TSqliteStatement &) = delete;
  TSqliteStatement &operator=(const TSqliteStatement &) = delete;

  bool Prepare(sqlite3 *handle, const QString &statement);
  bool Is_Prepared() const { return d_statement != nullptr; }

  // Positions count from 1. A text must stay as it is until the statement is reset.
  void Bind(int position, int value);
  void Bind(int position, const char *utf8, int size);

  // The next row; after the last one, or a failure, the statement is reset and its bindings
  // kept. Error() says why it failed.
  TStep Step();
  // Runs a statement that gives no rows.
  bool Execute() { return Step() == STEP_DONE; }
  // Ends a read before its last row.
  void Reset();

  // The columns of the current row; Is_Integer and Is_Text tell the column's type.
  bool Is_Integer(int column) const;
  bool Is_Text(int column) const;
  bool Is_Null(int column) const;
  int Integer(int column) const;
  double Double(int column) const;
  qint64 Long_Integer(int column) const;
  const char *Text(int column, int *size) const;

  // The reason of the last failure, worded as TSqliteEngine words a failed statement's.
  QString Error() const { return d_error; }

private:
  sqlite3 *d_handle = nullptr;
  sqlite3_stmt *d_statement = nullptr;
  QString d_error;
};

#endif // METROVA_SQLITESTATEMENT_H
