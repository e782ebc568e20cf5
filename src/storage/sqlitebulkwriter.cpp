#include "sqlitebulkwriter.h"

#include "configurationnames.h"
#include "specificationestimation.h"
#include "sqlitebulkcatalogue.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>

namespace
{
QString Insert_Failure(const char *table)
{
  return QStringLiteral("Cannot add data to table '%1'.  Reason: ").arg(QLatin1String(table));
}
} // namespace

TSqliteBulkWriter::TSqliteBulkWriter(TDatabase *database, sqlite3 *handle)
    : TBulkWriterBase(database), d_handle(handle)
{
}

TSqliteBulkWriter::~TSqliteBulkWriter() = default;

bool TSqliteBulkWriter::Fail(const QString &failure, const TSqliteStatement &statement)
{
  d_error = failure + statement.Error();
  return false;
}

bool TSqliteBulkWriter::Begin()
{
  sqlite3 *handle = d_handle;
  const QString statements[] = {
      QStringLiteral("DELETE FROM specification WHERE make_id=? AND model_id=? AND option_id=? "
                     "AND standard_id=?"),
      QStringLiteral(
          "DELETE FROM specification WHERE make_id=? AND model_id=? AND option_id=? AND source=?"),
      // Whether the deletion of estimated rows would delete a row is SQLite's to say.
      QStringLiteral("SELECT model_id,option_id,standard_id,component_id,expression,source=?2 "
                     "FROM specification WHERE make_id=?1 ORDER BY rowid")};
  TSqliteStatement *prepared[] = {&d_delete_standard, &d_delete_estimated, &d_read_make};
  for (int index = 0; index < 3; ++index)
  {
    if (!prepared[index]->Prepare(handle, statements[index]))
    {
      return Fail(QString(), *prepared[index]);
    }
  }
  for (int kind = TConfigurationNames::MAKE; kind <= TConfigurationNames::OPTION; ++kind)
  {
    if (!d_add_name[kind].Prepare(handle,
                                  QStringLiteral("INSERT INTO %1 (name) VALUES (?)")
                                      .arg(QLatin1String(TBulkCatalogue::Name_Table(kind)))))
    {
      return Fail(QString(), d_add_name[kind]);
    }
  }
  if (!TSqliteBulkCatalogue::Read(&d_catalogue, handle, &d_error))
  {
    return false;
  }
  Plan_Standards();
  return true;
}

int TSqliteBulkWriter::Added_Name_Id(int kind, const char *utf8, int size)
{
  const int known = d_catalogue.Name_Id(kind, utf8, size);
  if (known >= 0)
  {
    return known;
  }
  TSqliteStatement &insert = d_add_name[kind];
  insert.Bind(1, utf8, size);
  if (!insert.Execute())
  {
    Fail(Insert_Failure(TBulkCatalogue::Name_Table(kind)), insert);
    return -1;
  }
  // The name was nowhere before: its row is the first that has it.
  const int id = static_cast<int>(sqlite3_last_insert_rowid(d_handle));
  d_catalogue.Add_Name(kind, utf8, size, id);
  return id;
}

bool TSqliteBulkWriter::Insert(const int ids[], const TNewRow *rows, int count)
{
  // A statement of many rows runs much faster than as many statements of one.
  constexpr int MAXIMUM_ROWS = 32;
  for (int first = 0; first < count; first += MAXIMUM_ROWS)
  {
    const int size = std::min(MAXIMUM_ROWS, count - first);
    if (d_inserts.size() <= static_cast<std::size_t>(size))
    {
      d_inserts.resize(static_cast<std::size_t>(size) + 1);
    }
    std::unique_ptr<TSqliteStatement> &insert = d_inserts[static_cast<std::size_t>(size)];
    if (!insert)
    {
      QString statement = QStringLiteral("INSERT INTO specification "
                                         "(make_id,model_id,option_id,standard_id,component_id,"
                                         "expression,source) VALUES(?1,?2,?3,?,?,?,?)");
      statement += QStringLiteral(",(?1,?2,?3,?,?,?,?)").repeated(size - 1);
      insert = std::make_unique<TSqliteStatement>();
      if (!insert->Prepare(d_handle, statement))
      {
        return Fail(Insert_Failure("specification"), *insert);
      }
    }
    for (int position = 0; position < 3; ++position)
    {
      insert->Bind(position + 1, ids[position]);
    }
    for (int index = 0; index < size; ++index)
    {
      const TNewRow &row = rows[first + index];
      const int position = 4 + 4 * index;
      insert->Bind(position, row.standard_id);
      insert->Bind(position + 1, row.component_id);
      insert->Bind(position + 2, row.text, row.size);
      insert->Bind(position + 3, row.source);
    }
    if (!insert->Execute())
    {
      return Fail(Insert_Failure("specification"), *insert);
    }
  }
  return true;
}

bool TSqliteBulkWriter::Read_Highest_Make()
{
  // Read with the first write, which names its line when the read fails. A make id that is not
  // a whole number (SQLite takes any value) leaves every make to be read.
  d_highest_read = true;
  TSqliteStatement highest;
  if (!highest.Prepare(d_handle, QStringLiteral("SELECT max(make_id) FROM specification")) ||
      highest.Step() != TSqliteStatement::STEP_ROW)
  {
    return Fail(QStringLiteral("Cannot delete existing specification data.  Reason: "), highest);
  }
  if (highest.Is_Null(0) || highest.Is_Integer(0))
  {
    const qint64 make_id = highest.Is_Null(0) ? 0 : highest.Long_Integer(0);
    Set_Highest_Stored_Make(!highest.Is_Null(0),
                            static_cast<int>(std::clamp<qint64>(make_id, INT_MIN, INT_MAX)));
  }
  highest.Reset();
  return true;
}

bool TSqliteBulkWriter::Write_Rows(const int ids[], int standard_id, const TRow *rows, int count)
{
  if (!d_highest_read && !Read_Highest_Make())
  {
    return false;
  }
  for (int position = 0; position < 3; ++position)
  {
    d_delete_standard.Bind(position + 1, ids[position]);
  }
  d_delete_standard.Bind(4, standard_id);
  if (!Is_New_Place(ids, standard_id) && !d_delete_standard.Execute())
  {
    return Fail(QStringLiteral("Cannot delete existing specification data.  Reason: "),
                d_delete_standard);
  }
  Keep_Rows(ids, standard_id, rows, count);
  d_new_rows.clear();
  for (int index = 0; index < count; ++index)
  {
    d_new_rows.push_back(TNewRow{standard_id, rows[index].component_id, rows[index].text,
                                 rows[index].size, TDatabaseItem::SOURCE_MANUFACTURER});
  }
  return Insert(ids, d_new_rows.data(), count);
}

bool TSqliteBulkWriter::Delete_Estimated(const int ids[])
{
  for (int position = 0; position < 3; ++position)
  {
    d_delete_estimated.Bind(position + 1, ids[position]);
  }
  d_delete_estimated.Bind(4, TDatabaseItem::SOURCE_ESTIMATED);
  return d_delete_estimated.Execute() ||
         Fail(QStringLiteral("Cannot delete specification entry.  Reason: "), d_delete_estimated);
}

TSqliteBulkWriter::TMakeRead
TSqliteBulkWriter::Read_Make(int make_id, const std::function<bool(const TMakeRow &)> &read_row)
{
  d_read_make.Bind(1, make_id);
  d_read_make.Bind(2, TDatabaseItem::SOURCE_ESTIMATED);
  TSqliteStatement::TStep step;
  while ((step = d_read_make.Step()) == TSqliteStatement::STEP_ROW)
  {
    TMakeRow row{d_read_make.Is_Integer(0) && d_read_make.Is_Integer(1),
                 d_read_make.Integer(0),
                 d_read_make.Integer(1),
                 d_read_make.Is_Integer(5) && d_read_make.Integer(5) == 1,
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
      return MAKE_READ_ELSEWHERE;
    }
  }
  if (step == TSqliteStatement::STEP_FAILED)
  {
    Fail(QString(), d_read_make);
    return MAKE_READ_FAILED;
  }
  return MAKE_READ_DONE;
}
