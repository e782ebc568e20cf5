#include "sqlitestatement.h"

#include "sqliteengine.h"

#include <sqlite3.h>

namespace
{
QString Reason(sqlite3 *handle, int code)
{
  return TSqliteEngine::Plain_Reason(QString::fromUtf8(sqlite3_errmsg(handle)).trimmed(), code);
}
} // namespace

TSqliteStatement::~TSqliteStatement()
{
  sqlite3_finalize(d_statement);
}

bool TSqliteStatement::Prepare(sqlite3 *handle, const QString &statement)
{
  sqlite3_finalize(d_statement);
  d_statement = nullptr;
  d_handle = handle;
  const QByteArray text = statement.toUtf8();
  const int code =
      sqlite3_prepare_v2(handle, text.constData(), text.size() + 1, &d_statement, nullptr);
  if (code != SQLITE_OK)
  {
    d_error = Reason(handle, code);
    sqlite3_finalize(d_statement);
    d_statement = nullptr;
    return false;
  }
  return true;
}

void TSqliteStatement::Bind(int position, int value)
{
  sqlite3_bind_int(d_statement, position, value);
}

void TSqliteStatement::Bind(int position, const char *utf8, int size)
{
  sqlite3_bind_text(d_statement, position, utf8, size, SQLITE_STATIC);
}

TSqliteStatement::TStep TSqliteStatement::Step()
{
  const int code = sqlite3_step(d_statement);
  if (code == SQLITE_ROW)
  {
    return STEP_ROW;
  }
  if (code != SQLITE_DONE)
  {
    d_error = Reason(d_handle, sqlite3_extended_errcode(d_handle));
  }
  sqlite3_reset(d_statement);
  return code == SQLITE_DONE ? STEP_DONE : STEP_FAILED;
}

void TSqliteStatement::Reset()
{
  sqlite3_reset(d_statement);
}

bool TSqliteStatement::Is_Integer(int column) const
{
  return sqlite3_column_type(d_statement, column) == SQLITE_INTEGER;
}

bool TSqliteStatement::Is_Text(int column) const
{
  return sqlite3_column_type(d_statement, column) == SQLITE_TEXT;
}

bool TSqliteStatement::Is_Null(int column) const
{
  return sqlite3_column_type(d_statement, column) == SQLITE_NULL;
}

int TSqliteStatement::Integer(int column) const
{
  return sqlite3_column_int(d_statement, column);
}

double TSqliteStatement::Double(int column) const
{
  return sqlite3_column_double(d_statement, column);
}

qint64 TSqliteStatement::Long_Integer(int column) const
{
  return sqlite3_column_int64(d_statement, column);
}

const char *TSqliteStatement::Text(int column, int *size) const
{
  const char *text = reinterpret_cast<const char *>(sqlite3_column_text(d_statement, column));
  *size = sqlite3_column_bytes(d_statement, column);
  return text;
}
