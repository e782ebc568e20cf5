#ifndef METROVA_ROWINSERTER_H
#define METROVA_ROWINSERTER_H

#include <QString>
#include <QVariant>
#include <QVector>

class TSqlConnection;

// Inserts many rows into one table a batch at a time: one statement binds the values of up to
// ROWS_PER_STATEMENT rows, so that a server is asked once per batch rather than once per row. Works
// inside the caller's transaction; Finish writes the rows still held.
//
//   TRowInserter rows(connection, "INSERT INTO t (a,b) VALUES ", "(?,?)", 2);
//   rows.Add({1, "x"}) && rows.Add({2, "y"}) && rows.Finish();
class TRowInserter
{
public:
  // Few enough parameters for every engine (SQLite's oldest limit is 999).
  static constexpr int MAXIMUM_PARAMETERS = 999;
  static constexpr int ROWS_PER_STATEMENT = 100;

  // head: the statement up to its rows; row: one row's values with parameters = their count of
  // '?' (the other values are expressions of the statement's own).
  TRowInserter(TSqlConnection *connection, const QString &head, const QString &row, int parameters);

  // False with the connection's Error() when a batch failed.
  bool Add(const QVector<QVariant> &values);
  bool Finish();

private:
  bool Write();

  TSqlConnection *d_connection;
  QString d_head;
  QString d_row;
  int d_parameters;
  int d_batch;
  QVector<QVariant> d_values;
};

#endif // METROVA_ROWINSERTER_H
