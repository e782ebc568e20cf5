#ifndef METROVA_POSTGRESBULK_H
#define METROVA_POSTGRESBULK_H

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class TBulkCatalogue;
typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

// The PostgreSQL bulk writer's and reader's part of libpq, on Qt's connection and inside its
// transaction: statements with bound values, COPY of rows in its text form, and the catalogue's
// names read at once. Failures are worded as the engine words them elsewhere.
class TPostgresBulk
{
public:
  struct TClear
  {
    void operator()(PGresult *result) const;
  };
  using TResult = std::unique_ptr<PGresult, TClear>;

  // Runs a statement with its values bound as texts; null with the reason in *error when it
  // failed.
  static TResult Execute(PGconn *handle, const char *statement,
                         const std::vector<QByteArray> &values, QString *error);
  // Runs "COPY ... FROM STDIN" with the rows given in COPY's text form; false with the reason,
  // and the row that failed (from 1) in *failed_row when the server names it, else 0.
  static bool Copy(PGconn *handle, const QByteArray &statement, const QByteArray &rows,
                   QString *error, int *failed_row = nullptr);
  // The same in steps, for rows sent as they come: the COPY begun, rows sent (any number of
  // times), the COPY ended, sent false when sending failed or the rows are not to be kept; no
  // other statement runs on the connection in between.
  static bool Copy_Begin(PGconn *handle, const QByteArray &statement, QString *error);
  static bool Copy_Send(PGconn *handle, const char *rows, int size);
  static bool Copy_End(PGconn *handle, bool sent, QString *error, int *failed_row = nullptr);
  // Appends a field to a row in COPY's text form: a text as it is, with the characters COPY
  // reads as separators or escapes escaped, or a whole number; then a tab or, ending the row, a
  // newline.
  static void Append_Text(QByteArray *row, const char *text, int size, char end);
  static void Append_Number(QByteArray *row, qint64 number, char end);
  // A whole number of a result's field; false when it is none (NULL).
  static bool Number(const PGresult *result, int row, int column, int *number);

  // Reads the make, model and option names and the standards; false with the reason in *error.
  static bool Read(TBulkCatalogue *catalogue, PGconn *handle, QString *error);

private:
  static QString Failure(PGconn *handle, const PGresult *result);
};

#endif // METROVA_POSTGRESBULK_H
