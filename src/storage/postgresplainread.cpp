#include "postgresplainread.h"

#include "postgresengine.h"

#include <QLatin1String>
#include <QVariant>

#include <libpq-fe.h>

#include <memory>
#include <vector>

namespace
{
// Refusals of the server's that libpq gives no SQLSTATE for.
const char *const STATE_CONNECTION_LOST = "08006";
const QByteArray CURSOR_DECLARE =
    QByteArrayLiteral("DECLARE metrova_plain_read NO SCROLL CURSOR FOR ");
const char CURSOR_CLOSE[] = "CLOSE metrova_plain_read";

using TResult = std::unique_ptr<PGresult, decltype(&PQclear)>;

QString Failure(PGconn *handle, const PGresult *result)
{
  const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return TPostgresEngine::Plain_Reason(QLatin1String(state ? state : STATE_CONNECTION_LOST),
                                       QString::fromUtf8(PQerrorMessage(handle)).trimmed());
}

// The result of the statement sent last with every other result of it read, so that the
// connection takes the next statement; null, with the reason, unless it has the status expected.
TResult Sent_Result(PGconn *handle, ExecStatusType expected, QString *error)
{
  TResult kept(nullptr, &PQclear);
  while (PGresult *next = PQgetResult(handle))
  {
    TResult result(next, &PQclear);
    if (!kept)
    {
      kept = std::move(result);
    }
  }
  if (!kept || PQresultStatus(kept.get()) != expected)
  {
    *error = Failure(handle, kept.get());
    return TResult(nullptr, &PQclear);
  }
  return kept;
}

class TResultRow : public TSqlEngine::TRow
{
public:
  // Hands each row of a result on.
  void Read(const PGresult *result, const std::function<void(const TSqlEngine::TRow &)> &read_row)
  {
    d_result = result;
    const int rows = PQntuples(result);
    for (d_row = 0; d_row < rows; ++d_row)
    {
      read_row(*this);
    }
  }
  bool Is_Null(int column) const override { return PQgetisnull(d_result, d_row, column) != 0; }
  int Integer(int column) const override { return static_cast<int>(Long_Integer(column)); }
  // The server's shortest exact text of the number; read in the C locale, as Qt's driver does.
  double Double(int column) const override
  {
    return QByteArray::fromRawData(PQgetvalue(d_result, d_row, column),
                                   PQgetlength(d_result, d_row, column))
        .toDouble();
  }
  // The server's decimal text, read here: strtoll's locale and checks cost more than the rest of
  // a row.
  qint64 Long_Integer(int column) const override
  {
    const char *text = PQgetvalue(d_result, d_row, column);
    const bool negative = *text == '-';
    quint64 number = 0;
    for (text += negative ? 1 : 0; *text >= '0' && *text <= '9'; ++text)
    {
      number = number * 10 + static_cast<quint64>(*text - '0');
    }
    return static_cast<qint64>(negative ? 0 - number : number);
  }
  QString Text(int column) const override
  {
    return PQgetisnull(d_result, d_row, column)
               ? QString()
               : QString::fromUtf8(PQgetvalue(d_result, d_row, column),
                                   PQgetlength(d_result, d_row, column));
  }
  QByteArray Bytes(int column) const override
  {
    return QByteArray::fromRawData(PQgetvalue(d_result, d_row, column),
                                   PQgetlength(d_result, d_row, column));
  }

private:
  const PGresult *d_result = nullptr;
  int d_row = 0;
};
} // namespace

bool TPostgresPlainRead::Read(PGconn *handle, const QString &statement, const QVariantList &values,
                              const std::function<void(const TSqlEngine::TRow &)> &read_row,
                              QString *error, int chunk_rows)
{
  Q_ASSERT(chunk_rows >= 0);
  // libpq numbers its parameters: each ? outside a quoted text becomes $1, $2, ...
  const QByteArray utf8 = statement.toUtf8();
  QByteArray numbered;
  numbered.reserve(utf8.size() + 2 * values.size());
  bool quoted = false;
  int parameter = 0;
  for (const char character : utf8)
  {
    quoted = character == '\'' ? !quoted : quoted;
    if (character == '?' && !quoted)
    {
      numbered += '$' + QByteArray::number(++parameter);
    }
    else
    {
      numbered += character;
    }
  }
  // Texts as they are, numbers as text: the server takes each as its column's type.
  std::vector<QByteArray> texts;
  std::vector<const char *> bound;
  texts.reserve(static_cast<std::size_t>(values.size()));
  for (const QVariant &value : values)
  {
    texts.push_back(value.toString().toUtf8());
    bound.push_back(value.isNull() ? nullptr : texts.back().constData());
  }
  TResultRow row;
  // A cursor lives in a transaction only; a read outside one takes its rows at once.
  const bool chunked = chunk_rows > 0 && PQtransactionStatus(handle) == PQTRANS_INTRANS;
  const QByteArray sent = chunked ? CURSOR_DECLARE + numbered : numbered;
  const TResult result(PQexecParams(handle, sent.constData(), static_cast<int>(bound.size()),
                                    nullptr, bound.data(), nullptr, nullptr, 0),
                       &PQclear);
  if (!result || PQresultStatus(result.get()) != (chunked ? PGRES_COMMAND_OK : PGRES_TUPLES_OK))
  {
    *error = Failure(handle, result.get());
    return false;
  }
  if (!chunked)
  {
    row.Read(result.get(), read_row);
    return true;
  }
  // The next chunk is asked for before this one's rows are handed on.
  const QByteArray fetch =
      QByteArrayLiteral("FETCH ") + QByteArray::number(chunk_rows) + " FROM metrova_plain_read";
  bool more = true;
  bool sent_fetch = PQsendQuery(handle, fetch.constData()) == 1;
  while (sent_fetch && more)
  {
    const TResult chunk = Sent_Result(handle, PGRES_TUPLES_OK, error);
    if (!chunk)
    {
      return false;
    }
    more = PQntuples(chunk.get()) == chunk_rows;
    sent_fetch = !more || PQsendQuery(handle, fetch.constData()) == 1;
    row.Read(chunk.get(), read_row);
  }
  if (!sent_fetch)
  {
    *error = Failure(handle, nullptr);
    return false;
  }
  const TResult closed(PQexec(handle, CURSOR_CLOSE), &PQclear);
  if (!closed || PQresultStatus(closed.get()) != PGRES_COMMAND_OK)
  {
    *error = Failure(handle, closed.get());
    return false;
  }
  return true;
}
