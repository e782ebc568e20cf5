#include "sqlitebulkreader.h"

#include "sqlitebulkcatalogue.h"

TSqliteBulkReader::TSqliteBulkReader(TDatabase *database, sqlite3 *handle)
    : TBulkReaderBase(database), d_handle(handle)
{
}

bool TSqliteBulkReader::Begin()
{
  if (!d_read_make.Prepare(d_handle,
                           QStringLiteral("SELECT model_id,option_id,standard_id,component_id,"
                                          "expression,source FROM specification WHERE make_id=? "
                                          "ORDER BY rowid")))
  {
    d_error = d_read_make.Error();
    return false;
  }
  return TSqliteBulkCatalogue::Read(&d_catalogue, d_handle, &d_error);
}

TSqliteBulkReader::TRowsRead
TSqliteBulkReader::Read_Rows(int make_id, const std::function<bool(const TMakeRow &)> &read_row)
{
  d_read_make.Bind(1, make_id);
  TSqliteStatement::TStep step;
  while ((step = d_read_make.Step()) == TSqliteStatement::STEP_ROW)
  {
    TMakeRow row{d_read_make.Is_Integer(0) && d_read_make.Is_Integer(1) &&
                     d_read_make.Is_Integer(5),
                 d_read_make.Integer(0),
                 d_read_make.Integer(1),
                 d_read_make.Integer(5),
                 d_read_make.Is_Integer(2) && d_read_make.Is_Integer(3) && d_read_make.Is_Text(4),
                 d_read_make.Integer(2),
                 d_read_make.Integer(3),
                 nullptr,
                 0};
    if (row.row_read)
    {
      row.text = d_read_make.Text(4, &row.size);
    }
    if (!read_row(row))
    {
      d_read_make.Reset();
      return ROWS_READ_ELSEWHERE;
    }
  }
  if (step == TSqliteStatement::STEP_FAILED)
  {
    d_error = d_read_make.Error();
    return ROWS_READ_FAILED;
  }
  return ROWS_READ_DONE;
}
