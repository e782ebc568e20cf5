#include "postgresbulk.h"

#include "bulkcatalogue.h"
#include "postgresengine.h"

#include <QRegularExpression>

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>

namespace
{
// COPY's data goes to the server in pieces of this size.
constexpr int COPY_PIECE_BYTES = 1 << 20;
// What libpq says when the connection went without a SQLSTATE.
const char *const STATE_CONNECTION_LOST = "08006";
} // namespace

void TPostgresBulk::TClear::operator()(PGresult *result) const
{
  PQclear(result);
}

QString TPostgresBulk::Failure(PGconn *handle, const PGresult *result)
{
  const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  QString code = QString::fromLatin1(state ? state : "");
  if (code.isEmpty() && PQstatus(handle) == CONNECTION_BAD)
  {
    code = QLatin1String(STATE_CONNECTION_LOST);
  }
  const char *message = result ? PQresultErrorMessage(result) : "";
  if (!message || !*message)
  {
    message = PQerrorMessage(handle);
  }
  return TPostgresEngine::Plain_Reason(code, QString::fromUtf8(message));
}

TPostgresBulk::TResult TPostgresBulk::Execute(PGconn *handle, const char *statement,
                                              const std::vector<QByteArray> &values, QString *error)
{
  std::vector<const char *> texts;
  texts.reserve(values.size());
  for (const QByteArray &value : values)
  {
    texts.push_back(value.constData());
  }
  TResult result(PQexecParams(handle, statement, static_cast<int>(texts.size()), nullptr,
                              texts.data(), nullptr, nullptr, 0));
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
  {
    *error = Failure(handle, result.get());
    return nullptr;
  }
  return result;
}

bool TPostgresBulk::Copy(PGconn *handle, const QByteArray &statement, const QByteArray &rows,
                         QString *error, int *failed_row)
{
  if (failed_row)
  {
    *failed_row = 0;
  }
  return Copy_Begin(handle, statement, error) &&
         Copy_End(handle, Copy_Send(handle, rows.constData(), rows.size()), error, failed_row);
}

bool TPostgresBulk::Copy_Begin(PGconn *handle, const QByteArray &statement, QString *error)
{
  TResult started(PQexec(handle, statement.constData()));
  if (!started || PQresultStatus(started.get()) != PGRES_COPY_IN)
  {
    *error = Failure(handle, started.get());
    return false;
  }
  return true;
}

bool TPostgresBulk::Copy_Send(PGconn *handle, const char *rows, int size)
{
  bool sent = true;
  for (int first = 0; sent && first < size; first += COPY_PIECE_BYTES)
  {
    sent = PQputCopyData(handle, rows + first, std::min(COPY_PIECE_BYTES, size - first)) == 1;
  }
  return sent;
}

bool TPostgresBulk::Copy_End(PGconn *handle, bool sent, QString *error, int *failed_row)
{
  if (failed_row)
  {
    *failed_row = 0;
  }
  // A COPY that could not send its rows, or whose rows are not to be kept, is ended as failed,
  // so that the connection leaves it.
  const int ended = PQputCopyEnd(handle, sent ? nullptr : "the rows could not be sent");
  QString failure;
  if (!sent || ended != 1)
  {
    failure = Failure(handle, nullptr);
  }
  // Every result of the COPY is read, whatever it says, before the connection takes another
  // statement; one that is still copying means the connection is gone.
  while (TResult result{PQgetResult(handle)})
  {
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && failure.isEmpty())
    {
      failure = Failure(handle, result.get());
      // The server names the row in its context: "COPY table, line 3: ...".
      const char *context = PQresultErrorField(result.get(), PG_DIAG_CONTEXT);
      const QRegularExpressionMatch row =
          QRegularExpression(QStringLiteral("COPY \\S+, line (\\d+)"))
              .match(QString::fromUtf8(context ? context : ""));
      if (failed_row && row.hasMatch())
      {
        *failed_row = row.captured(1).toInt();
      }
    }
    if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT)
    {
      break;
    }
  }
  if (!failure.isEmpty())
  {
    *error = failure;
    return false;
  }
  return true;
}

void TPostgresBulk::Append_Text(QByteArray *row, const char *text, int size, char end)
{
  const char *const stop = text + size;
  const char *plain = text;
  for (const char *next = text; next < stop; ++next)
  {
    const char character = *next;
    const char *escape = character == '\\'   ? "\\\\"
                         : character == '\t' ? "\\t"
                         : character == '\n' ? "\\n"
                         : character == '\r' ? "\\r"
                                             : nullptr;
    if (escape)
    {
      row->append(plain, static_cast<int>(next - plain));
      row->append(escape, 2);
      plain = next + 1;
    }
  }
  row->append(plain, static_cast<int>(stop - plain));
  row->append(end);
}

void TPostgresBulk::Append_Number(QByteArray *row, qint64 number, char end)
{
  char digits[24];
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, number);
  row->append(digits, static_cast<int>(written.ptr - digits));
  row->append(end);
}

bool TPostgresBulk::Number(const PGresult *result, int row, int column, int *number)
{
  if (PQgetisnull(result, row, column))
  {
    return false;
  }
  *number = static_cast<int>(std::strtol(PQgetvalue(result, row, column), nullptr, 10));
  return true;
}

bool TPostgresBulk::Read(TBulkCatalogue *catalogue, PGconn *handle, QString *error)
{
  for (int kind = 0; kind < 3; ++kind)
  {
    const QByteArray statement = QStringLiteral("SELECT %1,name FROM %2 ORDER BY %1")
                                     .arg(QLatin1String(TBulkCatalogue::Id_Column(kind)),
                                          QLatin1String(TBulkCatalogue::Name_Table(kind)))
                                     .toLatin1();
    const TResult names = Execute(handle, statement.constData(), {}, error);
    if (!names)
    {
      return false;
    }
    const int count = PQntuples(names.get());
    for (int row = 0; row < count; ++row)
    {
      // A look-up by name compares texts and takes the first row.
      int id = 0;
      if (Number(names.get(), row, 0, &id) && !PQgetisnull(names.get(), row, 1))
      {
        catalogue->Add_Name(kind, PQgetvalue(names.get(), row, 1), PQgetlength(names.get(), row, 1),
                            id);
      }
    }
  }
  if (!catalogue->Read_Standards())
  {
    *error = catalogue->Error();
    return false;
  }
  return true;
}
