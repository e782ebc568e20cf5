// Times the import (with estimation) and the export of generated exchange files.
//
//   bench_exchange                      N = 1,000, 5,000 and 20,000
//   bench_exchange N...                 the given sizes
//   bench_exchange --generate N FILE    only write an exchange file of N configurations
//   bench_exchange --keep DIR [N...]    also copy each exported file to DIR/exported_N.csv, so
//                                       that two builds' exports can be compared byte for byte,
//                                       and the imported catalogue to DIR/catalogue_N.db
//   bench_exchange --server URI [N...]  the same on a PostgreSQL server: each size in a new schema
//                                       of the database URI names (its user may create schemas)
//
// Beside the import it times its ceiling: the rows that the import left in the catalogue, written
// beforehand one per line with their names, read back from that file and each parsed into the
// columns the catalogue stores, then inserted into a bare table with SQLite's own interface, one
// prepared statement, in one transaction. The ratio import / ceiling is printed by processor time
// (and by wall-clock time). On a server the ceiling is libpq's COPY of the same rows into a bare
// table of the same schema, over the same connection path, and the ratio is by wall-clock time
// (the server's work is another process's).

#include "database.h"
#include "exchangegenerator.h"
#include "importexportthread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace
{
struct TResult
{
  int configurations = 0;
  double import_seconds = 0.0;
  double import_cpu_seconds = 0.0;
  double export_seconds = 0.0;
  double export_cpu_seconds = 0.0;
  int rows = 0;
  double ceiling_seconds = 0.0;
  double ceiling_cpu_seconds = 0.0;
};

// Wall-clock and processor time of one piece of work.
class TStopwatch
{
public:
  TStopwatch() : d_cpu_start(std::clock()) { d_timer.start(); }
  void Stop(double *seconds, double *cpu_seconds) const
  {
    *seconds = d_timer.nsecsElapsed() / 1e9;
    *cpu_seconds = static_cast<double>(std::clock() - d_cpu_start) / CLOCKS_PER_SEC;
  }

private:
  QElapsedTimer d_timer;
  std::clock_t d_cpu_start;
};

const char *const ROWS_QUERY =
    "SELECT m.name,mt.name,o.name,st.name,c.name,s.expression,s.source FROM "
    "specification AS s JOIN make AS m ON m.make_id=s.make_id JOIN model_types AS mt "
    "ON mt.model_id=s.model_id JOIN option_types AS o ON o.option_id=s.option_id JOIN "
    "standard_types AS st ON st.standard_type_id=s.standard_id JOIN component_types "
    "AS c ON c.component_type_id=s.component_id ORDER BY s.rowid";

// The catalogue's rows as Write_Rows writes them, read through the catalogue's own connection to
// a server.
bool Write_Server_Rows(TDatabase *database, const QString &file_name, int *rows, QTextStream &err)
{
  QSqlQuery query(QSqlDatabase::database(database->Connection_Name(), false));
  query.setForwardOnly(true);
  if (!query.exec(QLatin1String(ROWS_QUERY)))
  {
    err << "  cannot read the catalogue's rows: " << query.lastError().text() << "\n";
    return false;
  }
  QByteArray text;
  *rows = 0;
  while (query.next())
  {
    for (int column = 0; column < 7; ++column)
    {
      if (column > 0)
      {
        text += ',';
      }
      text += query.value(column).toString().toUtf8();
    }
    text += '\n';
    ++*rows;
  }
  QFile file(file_name);
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
  {
    err << "  cannot write " << file_name << "\n";
    return false;
  }
  return true;
}

// The server's ceiling: the rows' file read and sent by COPY into a bare table, in one
// transaction, on a connection of libpq's own to the catalogue's schema.
bool Copy_Rows(const QString &rows_file, const QString &location, QTextStream &err)
{
  QFile file(rows_file);
  if (!file.open(QIODevice::ReadOnly))
  {
    err << "  cannot read " << rows_file << "\n";
    return false;
  }
  // COPY's text format separates columns by tabs; names and expressions hold neither.
  QByteArray bytes = file.readAll();
  bytes.replace(',', '\t');
  PGconn *connection = PQconnectdb(location.toUtf8().constData());
  const auto command = [connection](const char *statement, ExecStatusType expected)
  {
    PGresult *result = PQexec(connection, statement);
    const bool done = PQresultStatus(result) == expected;
    PQclear(result);
    return done;
  };
  bool done = PQstatus(connection) == CONNECTION_OK &&
              command("CREATE TABLE bare(make text,model text,option text,standard text,"
                      "component text,expression text,source integer)",
                      PGRES_COMMAND_OK) &&
              command("BEGIN", PGRES_COMMAND_OK) &&
              command("COPY bare FROM STDIN", PGRES_COPY_IN) &&
              PQputCopyData(connection, bytes.constData(), bytes.size()) == 1 &&
              PQputCopyEnd(connection, nullptr) == 1;
  if (done)
  {
    PGresult *result = nullptr;
    while ((result = PQgetResult(connection)) != nullptr)
    {
      done = done && PQresultStatus(result) == PGRES_COMMAND_OK;
      PQclear(result);
    }
  }
  done = done && command("COMMIT", PGRES_COMMAND_OK);
  if (!done)
  {
    err << "  ceiling failed: " << PQerrorMessage(connection) << "\n";
  }
  PQfinish(connection);
  return done;
}

// A new schema on the server for one size, and the catalogue's location in it.
bool New_Schema(const QString &server, int configurations, QString *location, QTextStream &err)
{
  const QString schema =
      QStringLiteral("bench_%1_%2").arg(configurations).arg(QCoreApplication::applicationPid());
  PGconn *connection = PQconnectdb(server.toUtf8().constData());
  PGresult *result =
      PQexec(connection, QStringLiteral("CREATE SCHEMA %1").arg(schema).toUtf8().constData());
  const bool made = PQresultStatus(result) == PGRES_COMMAND_OK;
  if (!made)
  {
    err << "  cannot create a schema: " << PQerrorMessage(connection) << "\n";
  }
  PQclear(result);
  PQfinish(connection);
  *location = server + (server.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) +
              QStringLiteral("options=-csearch_path%3D") + schema;
  return made;
}

// Every row of the catalogue with its names, one per line in storage order: make, model, option,
// standard, component, expression and source, separated by commas (names hold none).
bool Write_Rows(TDatabase *database, const QString &file_name, int *rows, QTextStream &err)
{
  sqlite3 *handle = nullptr;
  QByteArray text;
  sqlite3_stmt *statement = nullptr;
  bool read = sqlite3_open_v2(QFile::encodeName(database->File_Name()).constData(), &handle,
                              SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(handle, ROWS_QUERY, -1, &statement, nullptr) == SQLITE_OK;
  *rows = 0;
  int step = SQLITE_ROW;
  while (read && (step = sqlite3_step(statement)) == SQLITE_ROW)
  {
    for (int column = 0; column < 7; ++column)
    {
      if (column > 0)
      {
        text += ',';
      }
      text += reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    }
    text += '\n';
    ++*rows;
  }
  read = read && step == SQLITE_DONE;
  if (!read)
  {
    err << "  cannot read the catalogue's rows: " << sqlite3_errmsg(handle) << "\n";
  }
  sqlite3_finalize(statement);
  sqlite3_close(handle);
  QFile file(file_name);
  if (read && (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()))
  {
    err << "  cannot write " << file_name << "\n";
    return false;
  }
  return read;
}

// The ceiling: the rows' file read, parsed and inserted into a bare table of a new database.
bool Insert_Rows(const QString &rows_file, const QString &database_file, QTextStream &err)
{
  QFile file(rows_file);
  if (!file.open(QIODevice::ReadOnly))
  {
    err << "  cannot read " << rows_file << "\n";
    return false;
  }
  const QByteArray bytes = file.readAll();
  sqlite3 *handle = nullptr;
  sqlite3_stmt *insert = nullptr;
  bool done =
      sqlite3_open(QFile::encodeName(database_file).constData(), &handle) == SQLITE_OK &&
      sqlite3_exec(handle,
                   "CREATE TABLE bare(make TEXT,model TEXT,option TEXT,standard TEXT,component "
                   "TEXT,expression TEXT,source INTEGER)",
                   nullptr, nullptr, nullptr) == SQLITE_OK &&
      sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(handle, "INSERT INTO bare VALUES(?,?,?,?,?,?,?)", -1, &insert, nullptr) ==
          SQLITE_OK;
  const char *position = bytes.constData();
  const char *const end = position + bytes.size();
  while (done && position < end)
  {
    const char *line_end = static_cast<const char *>(std::memchr(position, '\n', end - position));
    if (!line_end)
    {
      line_end = end;
    }
    for (int column = 0; column < 7; ++column)
    {
      const char *field_end =
          column < 6 ? static_cast<const char *>(std::memchr(position, ',', line_end - position))
                     : line_end;
      if (!field_end)
      {
        field_end = line_end;
      }
      if (column < 6)
      {
        sqlite3_bind_text(insert, column + 1, position, static_cast<int>(field_end - position),
                          SQLITE_STATIC);
      }
      else
      {
        sqlite3_bind_int(insert, column + 1, std::atoi(position));
      }
      position = field_end < line_end ? field_end + 1 : line_end;
    }
    done = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    position = line_end + 1;
  }
  sqlite3_finalize(insert);
  done = done && sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!done)
  {
    err << "  ceiling failed: " << sqlite3_errmsg(handle) << "\n";
  }
  sqlite3_close(handle);
  return done;
}

// Wall-clock time, and the processor time of the whole process: on a machine shared with other
// work the second shows what the run itself costs.
bool Run(TImportExportThread *thread, double *seconds, double *cpu_seconds, QTextStream &err)
{
  const TStopwatch stopwatch;
  thread->start();
  thread->wait();
  stopwatch.Stop(seconds, cpu_seconds);
  if (thread->Has_Error())
  {
    err << "  failed: " << thread->Error_Text() << "\n";
    return false;
  }
  if (thread->Has_Warnings())
  {
    err << "  warnings:\n" << thread->Warning_Text() << "\n";
  }
  return true;
}

bool Measure(int configurations, const QString &keep_directory, const QString &server,
             TResult *result, QTextStream &err)
{
  QTemporaryDir directory;
  if (!directory.isValid())
  {
    err << "Cannot create a temporary folder\n";
    return false;
  }
  const QString source = directory.filePath(QStringLiteral("catalogue.csv"));
  QString error;
  if (!Write_Exchange_File(source, configurations, &error))
  {
    err << error << "\n";
    return false;
  }

  QString location = directory.filePath(QStringLiteral("catalogue.db"));
  if (!server.isEmpty() && !New_Schema(server, configurations, &location, err))
  {
    return false;
  }
  TDatabase database(QStringLiteral("bench_exchange"));
  if (!database.Connect(TCatalogueLocation(location)) || !database.Initialize())
  {
    err << database.Last_Error() << "\n";
    return false;
  }

  result->configurations = configurations;
  TImportExportThread thread;
  thread.Set_Database(&database);
  thread.Set_Mode(TImportExportThread::MODE_IMPORT);
  thread.Set_File_Name(source);
  if (!Run(&thread, &result->import_seconds, &result->import_cpu_seconds, err))
  {
    return false;
  }

  const QString rows_file = directory.filePath(QStringLiteral("rows.csv"));
  if (!(server.isEmpty() ? Write_Rows(&database, rows_file, &result->rows, err)
                         : Write_Server_Rows(&database, rows_file, &result->rows, err)))
  {
    return false;
  }
  const TStopwatch ceiling;
  if (!(server.isEmpty()
            ? Insert_Rows(rows_file, directory.filePath(QStringLiteral("bare.db")), err)
            : Copy_Rows(rows_file, location, err)))
  {
    return false;
  }
  ceiling.Stop(&result->ceiling_seconds, &result->ceiling_cpu_seconds);

  const QString target = directory.filePath(QStringLiteral("exported.csv"));
  thread.Set_Mode(TImportExportThread::MODE_EXPORT);
  thread.Set_File_Name(target);
  if (!Run(&thread, &result->export_seconds, &result->export_cpu_seconds, err))
  {
    return false;
  }

  if (!keep_directory.isEmpty() && server.isEmpty())
  {
    // The catalogue is idle here: no transaction is open on it.
    const QDir keep(keep_directory);
    const QString pairs[][2] = {
        {target, keep.filePath(QStringLiteral("exported_%1.csv").arg(configurations))},
        {database.File_Name(),
         keep.filePath(QStringLiteral("catalogue_%1.db").arg(configurations))}};
    for (const auto &pair : pairs)
    {
      QFile::remove(pair[1]);
      if (!QFile::copy(pair[0], pair[1]))
      {
        err << "  cannot copy " << pair[0] << " to " << pair[1] << "\n";
        return false;
      }
    }
  }

  // Every generated record line must come back: the export reads what the import stored.
  QFile in(source);
  QFile out(target);
  if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::ReadOnly))
  {
    const int generated = in.readAll().count('\n');
    const int exported = out.readAll().count('\n');
    if (generated != exported)
    {
      err << "  line count differs: generated " << generated << ", exported " << exported << "\n";
      return false;
    }
  }
  return true;
}
} // namespace

int main(int argc, char *argv[])
{
  QCoreApplication application(argc, argv);
  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  QTextStream out(stdout);
  QTextStream err(stderr);

  if (!arguments.isEmpty() && arguments.first() == QStringLiteral("--generate"))
  {
    bool number = false;
    const int configurations = arguments.value(1).toInt(&number);
    if (arguments.size() != 3 || !number || configurations < 0)
    {
      err << "usage: bench_exchange --generate N FILE\n";
      return 2;
    }
    QString error;
    if (!Write_Exchange_File(arguments.at(2), configurations, &error))
    {
      err << error << "\n";
      return 1;
    }
    return 0;
  }

  QString keep_directory;
  if (!arguments.isEmpty() && arguments.first() == QStringLiteral("--keep"))
  {
    if (arguments.size() < 2 || !QDir(arguments.at(1)).exists())
    {
      err << "usage: bench_exchange --keep DIR [N...]  (DIR must exist)\n";
      return 2;
    }
    keep_directory = arguments.at(1);
    arguments.erase(arguments.begin(), arguments.begin() + 2);
  }

  QString server;
  if (!arguments.isEmpty() && arguments.first() == QStringLiteral("--server"))
  {
    if (arguments.size() < 2)
    {
      err << "usage: bench_exchange --server URI [N...]\n";
      return 2;
    }
    server = arguments.at(1);
    arguments.erase(arguments.begin(), arguments.begin() + 2);
  }

  QList<int> sizes{1000, 5000, 20000};
  if (!arguments.isEmpty())
  {
    sizes.clear();
    for (const QString &argument : qAsConst(arguments))
    {
      bool number = false;
      const int size = argument.toInt(&number);
      if (!number || size <= 0)
      {
        err << "usage: bench_exchange [--keep DIR | --server URI] [N...] | --generate N FILE\n";
        return 2;
      }
      sizes.append(size);
    }
  }

  out << "configurations   import s (cpu)   import ms/conf (cpu)   export s (cpu)   export "
         "ms/conf (cpu)      rows  ceiling s (cpu)   ratio (cpu)\n";
  out.flush();
  QList<TResult> results;
  for (const int size : qAsConst(sizes))
  {
    TResult result;
    if (!Measure(size, keep_directory, server, &result, err))
    {
      err.flush();
      return 1;
    }
    results.append(result);
    const double count = result.configurations;
    out << QString::asprintf(
        "%14d %7.2f (%5.2f) %11.3f (%6.3f) %8.2f (%5.2f) %11.3f (%6.3f) %9d %8.3f (%5.3f) %5.2f "
        "(%5.2f)\n",
        result.configurations, result.import_seconds, result.import_cpu_seconds,
        1000.0 * result.import_seconds / count, 1000.0 * result.import_cpu_seconds / count,
        result.export_seconds, result.export_cpu_seconds, 1000.0 * result.export_seconds / count,
        1000.0 * result.export_cpu_seconds / count, result.rows, result.ceiling_seconds,
        result.ceiling_cpu_seconds, result.import_seconds / result.ceiling_seconds,
        result.import_cpu_seconds / result.ceiling_cpu_seconds);
    out.flush();
  }
  if (results.size() > 1)
  {
    const TResult &first = results.first();
    const TResult &last = results.last();
    out << QString::asprintf("import time per configuration at %d / at %d: %.2f (cpu %.2f)\n",
                             last.configurations, first.configurations,
                             (last.import_seconds / last.configurations) /
                                 (first.import_seconds / first.configurations),
                             (last.import_cpu_seconds / last.configurations) /
                                 (first.import_cpu_seconds / first.configurations));
  }
  return 0;
}
