#include "postgresbulkreader.h"

#include "postgresbulk.h"

#include <libpq-fe.h>

TPostgresBulkReader::TPostgresBulkReader(TDatabase *database, PGconn *handle)
    : TBulkReaderBase(database), d_handle(handle)
{
}

bool TPostgresBulkReader::Begin()
{
  return TPostgresBulk::Read(&d_catalogue, d_handle, &d_error);
}

TPostgresBulkReader::TRowsRead
TPostgresBulkReader::Read_Rows(int make_id, const std::function<bool(const TMakeRow &)> &read_row)
{
  const TPostgresBulk::TResult rows = TPostgresBulk::Execute(
      d_handle,
      "SELECT model_id,option_id,standard_id,component_id,expression,source FROM specification "
      "WHERE make_id=$1 ORDER BY rowid",
      {QByteArray::number(make_id)}, &d_error);
  if (!rows)
  {
    return ROWS_READ_FAILED;
  }
  const PGresult *result = rows.get();
  const int count = PQntuples(result);
  for (int index = 0; index < count; ++index)
  {
    TMakeRow row{};
    row.ids_read = TPostgresBulk::Number(result, index, 0, &row.model_id) &&
                   TPostgresBulk::Number(result, index, 1, &row.option_id) &&
                   TPostgresBulk::Number(result, index, 5, &row.source);
    row.row_read = TPostgresBulk::Number(result, index, 2, &row.standard_id) &&
                   TPostgresBulk::Number(result, index, 3, &row.component_id) &&
                   !PQgetisnull(result, index, 4);
    if (row.row_read)
    {
      row.text = PQgetvalue(result, index, 4);
      row.size = PQgetlength(result, index, 4);
    }
    if (!read_row(row))
    {
      return ROWS_READ_ELSEWHERE;
    }
  }
  return ROWS_READ_DONE;
}
