#include "postgresbulkwriter.h"

#include "configurationnames.h"
#include "databaseitem.h"
#include "postgresbulk.h"
#include "postgresengine.h"

#include <libpq-fe.h>

#include <algorithm>

namespace
{
// Rows held back, or sent into one COPY, up to about this size before they are stored.
constexpr int MAXIMUM_HELD_BYTES = 8 << 20;
// Rows sent as they come go in pieces of about this size.
constexpr int SEND_BYTES = 64 << 10;
const char *const COPY_ROWS = "COPY specification(make_id,model_id,option_id,standard_id,"
                              "component_id,expression,source) FROM STDIN";

QString Insert_Failure(const char *table)
{
  return QStringLiteral("Cannot add data to table '%1'.  Reason: ").arg(QLatin1String(table));
}

// A machine (ids: make, model, option) with a standard, or with -1 for its estimates.
TPostgresBulkWriter::TPlace Place(const int ids[], int standard_id)
{
  return {(quint64(quint32(ids[0])) << 32) | quint32(ids[1]),
          (quint64(quint32(ids[2])) << 32) | quint32(standard_id)};
}

// An array of the ids held as "1,2,", bound as "{1,2}".
QByteArray Array(const QByteArray &ids)
{
  return '{' + ids.left(ids.size() - 1) + '}';
}
} // namespace

TPostgresBulkWriter::TPostgresBulkWriter(TDatabase *database, PGconn *handle)
    : TBulkWriterBase(database), d_handle(handle)
{
}

TPostgresBulkWriter::~TPostgresBulkWriter()
{
  if (d_copying)
  {
    QString ignored;
    TPostgresBulk::Copy_End(d_handle, false, &ignored);
  }
}

bool TPostgresBulkWriter::Fail(const QString &failure, const QString &reason)
{
  d_error = failure + reason;
  return false;
}

bool TPostgresBulkWriter::Begin()
{
  QString reason;
  const TPostgresBulk::TResult sequences = TPostgresBulk::Execute(
      d_handle,
      "SELECT pg_get_serial_sequence('make','make_id'),pg_get_serial_sequence('model_types',"
      "'model_id'),pg_get_serial_sequence('option_types','option_id')",
      {}, &reason);
  if (!sequences || PQntuples(sequences.get()) != 1)
  {
    return Fail(QString(), reason);
  }
  for (int kind = 0; kind < 3; ++kind)
  {
    d_names[kind].sequence = QByteArray(PQgetvalue(sequences.get(), 0, kind));
  }
  if (!TPostgresBulk::Read(&d_catalogue, d_handle, &d_error))
  {
    return false;
  }
  Plan_Standards();
  const TPostgresBulk::TResult highest =
      TPostgresBulk::Execute(d_handle, "SELECT max(make_id) FROM specification", {}, &d_error);
  if (!highest || PQntuples(highest.get()) != 1)
  {
    return false;
  }
  int make_id = 0;
  const bool any = TPostgresBulk::Number(highest.get(), 0, 0, &make_id);
  Set_Highest_Stored_Make(any, make_id);
  return true;
}

int TPostgresBulkWriter::Added_Name_Id(int kind, const char *utf8, int size)
{
  const int known = d_catalogue.Name_Id(kind, utf8, size);
  if (known >= 0)
  {
    return known;
  }
  // The first new name takes its id from the sequence, those after it the ids that follow,
  // which Flush_Names takes from the sequence before it stores them: every writer holds the
  // catalogue's lock, so nobody else takes them meanwhile. The right to take ids (USAGE) is all
  // the role needs.
  TNames &names = d_names[kind];
  if (names.count == 0)
  {
    if (!End_Copy())
    {
      return -1;
    }
    QString reason;
    const TPostgresBulk::TResult first =
        TPostgresBulk::Execute(d_handle, "SELECT nextval($1::regclass)", {names.sequence}, &reason);
    if (!first)
    {
      Fail(Insert_Failure(TBulkCatalogue::Name_Table(kind)), reason);
      return -1;
    }
    names.first = std::strtoll(PQgetvalue(first.get(), 0, 0), nullptr, 10);
  }
  const int id = static_cast<int>(names.first + names.count++);
  TPostgresBulk::Append_Number(&names.rows, id, '\t');
  TPostgresBulk::Append_Text(&names.rows, utf8, size, '\n');
  d_catalogue.Add_Name(kind, utf8, size, id);
  return id;
}

void TPostgresBulkWriter::Append_Ids(QByteArray *arrays, const int ids[], int count)
{
  for (int column = 0; column < count; ++column)
  {
    TPostgresBulk::Append_Number(&arrays[column], ids[column], ',');
  }
}

bool TPostgresBulkWriter::Write_Rows(const int ids[], int standard_id, const TRow *rows, int count)
{
  // A deletion runs before the rows after it: the COPY open ends first, and one that would reach
  // rows not yet stored stores them first.
  if (!Is_New_Place(ids, standard_id))
  {
    if (d_copying ? !End_Copy()
                  : d_held_standards.contains(Place(ids, standard_id)) && !Store_Rows())
    {
      return false;
    }
    const int place[] = {ids[0], ids[1], ids[2], standard_id};
    Append_Ids(d_deletions, place, 4);
  }
  Keep_Rows(ids, standard_id, rows, count);
  d_held_makes.insert(ids[0]);
  d_origins.push_back(TOrigin{d_row_count + 1, d_writes++, {ids[0], ids[1], ids[2]}});
  std::vector<TNewRow> new_rows;
  new_rows.reserve(static_cast<std::size_t>(count));
  for (int index = 0; index < count; ++index)
  {
    new_rows.push_back(TNewRow{standard_id, rows[index].component_id, rows[index].text,
                               rows[index].size, TDatabaseItem::SOURCE_MANUFACTURER});
  }
  return Insert(ids, new_rows.data(), count);
}

bool TPostgresBulkWriter::Delete_Estimated(const int ids[])
{
  if (d_copying ? !End_Copy() : d_held_estimates.contains(Place(ids, -1)) && !Store_Rows())
  {
    return false;
  }
  Append_Ids(d_estimated_deletions, ids, 3);
  d_held_makes.insert(ids[0]);
  return true;
}

bool TPostgresBulkWriter::Insert(const int ids[], const TNewRow *rows, int count)
{
  if (count > 0 && rows[0].source == TDatabaseItem::SOURCE_ESTIMATED)
  {
    d_origins.push_back(TOrigin{d_row_count + 1, -1, {ids[0], ids[1], ids[2]}});
  }
  d_row_count += count;
  for (int index = 0; index < count; ++index)
  {
    const TNewRow &row = rows[index];
    for (int column = 0; column < 3; ++column)
    {
      TPostgresBulk::Append_Number(&d_rows, ids[column], '\t');
    }
    TPostgresBulk::Append_Number(&d_rows, row.standard_id, '\t');
    TPostgresBulk::Append_Number(&d_rows, row.component_id, '\t');
    TPostgresBulk::Append_Text(&d_rows, row.text, row.size, '\t');
    TPostgresBulk::Append_Number(&d_rows, row.source, '\n');
    // The rows of a machine come by standard.
    if (index == 0 || row.standard_id != rows[index - 1].standard_id)
    {
      d_held_standards.insert(Place(ids, row.standard_id));
    }
  }
  if (count > 0 && rows[0].source == TDatabaseItem::SOURCE_ESTIMATED)
  {
    d_held_estimates.insert(Place(ids, -1));
  }
  if (count > 0)
  {
    d_held_makes.insert(ids[0]);
  }
  // Rows with no deletion before them go as they come.
  if (Has_Deletions())
  {
    return d_rows.size() < MAXIMUM_HELD_BYTES || Store_Rows();
  }
  return d_rows.size() < SEND_BYTES || Send_Rows();
}

bool TPostgresBulkWriter::Has_Deletions() const
{
  return !d_deletions[0].isEmpty() || !d_estimated_deletions[0].isEmpty();
}

bool TPostgresBulkWriter::Send_Rows()
{
  if (!d_copying)
  {
    QString reason;
    if (!TPostgresBulk::Copy_Begin(d_handle, COPY_ROWS, &reason))
    {
      return Fail(Insert_Failure("specification"), reason);
    }
    d_copying = true;
    d_copied_bytes = 0;
  }
  if (!TPostgresBulk::Copy_Send(d_handle, d_rows.constData(), d_rows.size()))
  {
    d_copying = false;
    QString reason;
    TPostgresBulk::Copy_End(d_handle, false, &reason);
    return Fail(Insert_Failure("specification"), reason);
  }
  d_copied_bytes += d_rows.size();
  d_rows.clear();
  return d_copied_bytes < MAXIMUM_HELD_BYTES || End_Copy();
}

bool TPostgresBulkWriter::End_Copy()
{
  if (!d_copying)
  {
    return true;
  }
  const bool sent = TPostgresBulk::Copy_Send(d_handle, d_rows.constData(), d_rows.size());
  d_copying = false;
  QString reason;
  int failed_row = 0;
  if (!TPostgresBulk::Copy_End(d_handle, sent, &reason, &failed_row))
  {
    Find_Failure(failed_row);
    return Fail(Insert_Failure("specification"), reason);
  }
  // No deletion waits while a COPY is open: every row is stored.
  Clear_Held();
  return true;
}

void TPostgresBulkWriter::Find_Failure(int failed_row)
{
  // The last write or estimation that began at or before the row that failed.
  const int row = failed_row > 0 ? d_first_unstored_row + failed_row - 1 : 0;
  const auto origin = std::upper_bound(d_origins.begin(), d_origins.end(), row,
                                       [](int number, const TOrigin &candidate)
                                       { return number < candidate.first_row; });
  if (row > 0 && origin != d_origins.begin())
  {
    const TOrigin &failed = *(origin - 1);
    d_failure.write = failed.write;
    if (failed.write < 0)
    {
      std::copy(failed.ids, failed.ids + 3, d_failure.ids);
    }
  }
}

void TPostgresBulkWriter::Clear_Held()
{
  for (QByteArray &ids : d_deletions)
  {
    ids.clear();
  }
  for (QByteArray &ids : d_estimated_deletions)
  {
    ids.clear();
  }
  d_rows.clear();
  d_first_unstored_row = d_row_count + 1;
  d_origins.clear();
  d_held_standards.clear();
  d_held_estimates.clear();
  d_held_makes.clear();
}

bool TPostgresBulkWriter::Flush_Names(int kind)
{
  TNames &names = d_names[kind];
  if (names.count == 0)
  {
    return true;
  }
  const char *const table = TBulkCatalogue::Name_Table(kind);
  QString reason;
  if (names.count > 1)
  {
    const TPostgresBulk::TResult taken = TPostgresBulk::Execute(
        d_handle, "SELECT max(nextval($1::regclass)) FROM generate_series(2,$2)",
        {names.sequence, QByteArray::number(names.count)}, &reason);
    if (!taken)
    {
      return Fail(Insert_Failure(table), reason);
    }
    // Ids taken by a program that does not hold the lock.
    if (std::strtoll(PQgetvalue(taken.get(), 0, 0), nullptr, 10) != names.first + names.count - 1)
    {
      return Fail(Insert_Failure(table),
                  TPostgresEngine::Plain_Reason(QStringLiteral("55P03"), QString()));
    }
  }
  if (!TPostgresBulk::Copy(
          d_handle,
          QStringLiteral("COPY %1(%2,name) FROM STDIN")
              .arg(QLatin1String(table), QLatin1String(TBulkCatalogue::Id_Column(kind)))
              .toLatin1(),
          names.rows, &reason))
  {
    return Fail(Insert_Failure(table), reason);
  }
  names.rows.clear();
  names.count = 0;
  return true;
}

bool TPostgresBulkWriter::Store_Held()
{
  if (!Store_Rows())
  {
    return false;
  }
  for (int kind = 0; kind < 3; ++kind)
  {
    if (!Flush_Names(kind))
    {
      return false;
    }
  }
  return true;
}

bool TPostgresBulkWriter::Store_Rows()
{
  if (d_copying)
  {
    return End_Copy();
  }
  QString reason;
  if (!d_deletions[0].isEmpty() &&
      !TPostgresBulk::Execute(
          d_handle,
          "DELETE FROM specification AS s USING unnest($1::int[],$2::int[],$3::int[],$4::int[]) "
          "AS d(make_id,model_id,option_id,standard_id) WHERE s.make_id=d.make_id AND "
          "s.model_id=d.model_id AND s.option_id=d.option_id AND s.standard_id=d.standard_id",
          {Array(d_deletions[0]), Array(d_deletions[1]), Array(d_deletions[2]),
           Array(d_deletions[3])},
          &reason))
  {
    return Fail(QStringLiteral("Cannot delete existing specification data.  Reason: "), reason);
  }
  if (!d_estimated_deletions[0].isEmpty() &&
      !TPostgresBulk::Execute(
          d_handle,
          "DELETE FROM specification AS s USING unnest($1::int[],$2::int[],$3::int[]) AS "
          "d(make_id,model_id,option_id) WHERE s.make_id=d.make_id AND s.model_id=d.model_id AND "
          "s.option_id=d.option_id AND s.source=$4",
          {Array(d_estimated_deletions[0]), Array(d_estimated_deletions[1]),
           Array(d_estimated_deletions[2]), QByteArray::number(TDatabaseItem::SOURCE_ESTIMATED)},
          &reason))
  {
    return Fail(QStringLiteral("Cannot delete specification entry.  Reason: "), reason);
  }
  int failed_row = 0;
  if (!d_rows.isEmpty() && !TPostgresBulk::Copy(d_handle, COPY_ROWS, d_rows, &reason, &failed_row))
  {
    Find_Failure(failed_row);
    return Fail(Insert_Failure("specification"), reason);
  }
  Clear_Held();
  return true;
}

TPostgresBulkWriter::TEstimate TPostgresBulkWriter::Estimate_Make(int make_id, QStringList *failed)
{
  // A make estimated from the rows kept is not read.
  if (!Knows_Make(make_id) && (d_held_makes.contains(make_id) ? !Store_Rows() : !End_Copy()))
  {
    return ESTIMATE_FAILED;
  }
  return TBulkWriterBase::Estimate_Make(make_id, failed);
}

TPostgresBulkWriter::TMakeRead
TPostgresBulkWriter::Read_Make(int make_id, const std::function<bool(const TMakeRow &)> &read_row)
{
  // Whether the deletion of estimated rows would delete a row is the server's to say.
  const TPostgresBulk::TResult rows = TPostgresBulk::Execute(
      d_handle,
      "SELECT model_id,option_id,standard_id,component_id,expression,source=$2 FROM "
      "specification WHERE make_id=$1 ORDER BY rowid",
      {QByteArray::number(make_id), QByteArray::number(TDatabaseItem::SOURCE_ESTIMATED)}, &d_error);
  if (!rows)
  {
    return MAKE_READ_FAILED;
  }
  const PGresult *result = rows.get();
  const int count = PQntuples(result);
  for (int index = 0; index < count; ++index)
  {
    TMakeRow row{};
    row.configuration_read = TPostgresBulk::Number(result, index, 0, &row.model_id) &&
                             TPostgresBulk::Number(result, index, 1, &row.option_id);
    row.estimated = !PQgetisnull(result, index, 5) && *PQgetvalue(result, index, 5) == 't';
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
      return MAKE_READ_ELSEWHERE;
    }
  }
  return MAKE_READ_DONE;
}
