#include "sqliteengine.h"

#include "cataloguelocation.h"
#include "databaseschema.h"
#include "sqlconnection.h"
#include "sqlitebulkreader.h"
#include "sqlitebulkwriter.h"
#include "sqlitestatement.h"

#include <QFile>
#include <QFileInfo>
#include <QLatin1String>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
// The catalogue's tables in TDatabaseSchema::TTable order.
const char *const TABLES[TDatabaseSchema::TABLE_COUNT] = {
    "CREATE TABLE make(make_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)",
    "CREATE TABLE model_types(model_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)",
    "CREATE TABLE option_types(option_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)",
    "CREATE TABLE standard_types(standard_type_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)",
    "CREATE TABLE component_types(component_type_id INTEGER PRIMARY KEY AUTOINCREMENT,standard_id "
    "INTEGER,name TEXT,description TEXT,expression_types INTEGER)",
    "CREATE TABLE specification(make_id INTEGER,model_id INTEGER,option_id INTEGER,standard_id "
    "INTEGER,component_id INTEGER,expression TEXT,source INTEGER)"};

// Lookups by name and the per-machine queries would scan whole tables without these.
const char *const INDEXES[TDatabaseSchema::INDEX_COUNT] = {
    "CREATE INDEX IF NOT EXISTS make_name ON make(name)",
    "CREATE INDEX IF NOT EXISTS model_types_name ON model_types(name)",
    "CREATE INDEX IF NOT EXISTS option_types_name ON option_types(name)",
    "CREATE INDEX IF NOT EXISTS standard_types_name ON standard_types(name)",
    "CREATE INDEX IF NOT EXISTS component_types_standard_name ON component_types(standard_id,name)",
    ("CREATE INDEX IF NOT EXISTS specification_configuration ON "
     "specification(make_id,model_id,option_id,standard_id,component_id)")};

// The verification log's layout 1: the records' fields and results as entered.
const char *const LOG_TABLES[] = {
    ("CREATE TABLE IF NOT EXISTS verification_machine(make_id INTEGER NOT NULL,model_id INTEGER "
     "NOT NULL,option_id INTEGER NOT NULL,reverification_months INTEGER NOT NULL DEFAULT 0,"
     "interim_days INTEGER NOT NULL DEFAULT 0,last_number INTEGER NOT NULL DEFAULT 0,PRIMARY "
     "KEY(make_id,model_id,option_id))"),
    ("CREATE TABLE IF NOT EXISTS verification_record(record_id INTEGER PRIMARY KEY AUTOINCREMENT,"
     "make_id INTEGER NOT NULL,model_id INTEGER NOT NULL,option_id INTEGER NOT NULL,number "
     "INTEGER NOT NULL,date TEXT NOT NULL,kind TEXT NOT NULL,standard TEXT NOT NULL,component "
     "TEXT NOT NULL,temperature REAL NOT NULL,uncertainty REAL NOT NULL,rule TEXT NOT NULL,"
     "operator TEXT,artefact TEXT,notes TEXT,UNIQUE(make_id,model_id,option_id,number))"),
    ("CREATE TABLE IF NOT EXISTS verification_result(record_id INTEGER NOT NULL,sequence INTEGER "
     "NOT NULL,length REAL NOT NULL,position TEXT,repetition INTEGER NOT NULL,error REAL NOT "
     "NULL,PRIMARY KEY(record_id,sequence))"),
    // The latest date of each kind of every machine comes from this index alone.
    ("CREATE INDEX IF NOT EXISTS verification_record_kind_date ON "
     "verification_record(make_id,model_id,option_id,kind,date)")};

// Layout 2: what each verdict rests on, stored with the record (frozen is null until then), the
// figures of each result and the ranges. Added to layout 1 as it stands: a new log is made the
// same way.
const char *const LOG_UPGRADE[] = {
    "ALTER TABLE verification_record ADD COLUMN uncertainty_expression TEXT",
    "ALTER TABLE verification_record ADD COLUMN r0_uncertainty REAL NOT NULL DEFAULT 0",
    "ALTER TABLE verification_record ADD COLUMN limit_expression TEXT",
    "ALTER TABLE verification_record ADD COLUMN limit_source INTEGER",
    "ALTER TABLE verification_record ADD COLUMN r0_expression TEXT",
    "ALTER TABLE verification_record ADD COLUMN r0_source INTEGER",
    "ALTER TABLE verification_record ADD COLUMN ts_min TEXT",
    "ALTER TABLE verification_record ADD COLUMN ts_max TEXT",
    "ALTER TABLE verification_record ADD COLUMN verdict TEXT",
    "ALTER TABLE verification_record ADD COLUMN reason TEXT",
    "ALTER TABLE verification_record ADD COLUMN largest_share REAL",
    "ALTER TABLE verification_record ADD COLUMN frozen TEXT",
    "ALTER TABLE verification_result ADD COLUMN retest INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE verification_result ADD COLUMN mpe REAL",
    "ALTER TABLE verification_result ADD COLUMN uncertainty REAL",
    "ALTER TABLE verification_result ADD COLUMN zone TEXT",
    "ALTER TABLE verification_result ADD COLUMN superseded INTEGER NOT NULL DEFAULT 0",
    ("CREATE TABLE IF NOT EXISTS verification_range(record_id INTEGER NOT NULL,sequence INTEGER "
     "NOT NULL,length REAL NOT NULL,position TEXT,results INTEGER NOT NULL,spread REAL NOT NULL,"
     "limit_value REAL,uncertainty REAL NOT NULL,zone TEXT NOT NULL,PRIMARY "
     "KEY(record_id,sequence))"),
    // The latest record of each machine (by date, then number), whose state says whether a
    // re-test is due: kept with the machine by each write, so that the checks due of every
    // machine are one read of this table.
    "ALTER TABLE verification_machine ADD COLUMN latest_date TEXT",
    "ALTER TABLE verification_machine ADD COLUMN latest_kind TEXT",
    "ALTER TABLE verification_machine ADD COLUMN latest_verdict TEXT",
    ("CREATE INDEX IF NOT EXISTS verification_record_date ON "
     "verification_record(make_id,model_id,option_id,date,number)")};

// Layout 3: each machine's latest reverification (an acceptance counts) and interim check, kept
// with it by each write, so that the checks due of every machine need no look-up of its records.
const char *const LOG_UPGRADE_3[] = {
    "ALTER TABLE verification_machine ADD COLUMN latest_reverification TEXT",
    "ALTER TABLE verification_machine ADD COLUMN latest_interim TEXT"};

// Who changed what: kept by name, so that the entries of a machine outlive its rows.
const char *const HISTORY_TABLE[] = {
    ("CREATE TABLE IF NOT EXISTS change_history(entry_id INTEGER PRIMARY KEY AUTOINCREMENT,"
     "changed_at TEXT NOT NULL,changed_by TEXT NOT NULL,change TEXT NOT NULL,make TEXT NOT NULL,"
     "model TEXT NOT NULL,option_name TEXT NOT NULL,details TEXT NOT NULL)"),
    "CREATE INDEX IF NOT EXISTS change_history_machine ON change_history(make,model,option_name)"};

QStringList Statements(const char *const *statements, std::size_t count)
{
  QStringList list;
  for (std::size_t index = 0; index < count; ++index)
  {
    list.append(QLatin1String(statements[index]));
  }
  return list;
}

// The first value of a statement that gives one number.
bool Number(TSqlConnection *connection, const QString &statement, qint64 *number)
{
  QVariant value;
  if (connection->Select_Value(statement, {}, &value) != TSqlConnection::SELECT_FOUND)
  {
    return false;
  }
  *number = value.toLongLong();
  return true;
}
} // namespace

QString TSqliteEngine::Driver() const
{
  return QStringLiteral("QSQLITE");
}

sqlite3 *TSqliteEngine::Handle(const QSqlDatabase &connection)
{
  const QVariant handle = connection.driver() ? connection.driver()->handle() : QVariant();
  if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
  {
    return nullptr;
  }
  return *static_cast<sqlite3 *const *>(handle.constData());
}

sqlite3 *TSqliteEngine::Handle(const TSqlConnection *connection)
{
  return connection->Is_Open() && connection->Opening().can_check_transaction
             ? Handle(*connection->Qt_Connection())
             : nullptr;
}

QString TSqliteEngine::Linked_File_Reason(const QString &file_name)
{
  struct stat status;
  if (stat(QFile::encodeName(file_name).constData(), &status) != 0 || status.st_nlink <= 1)
  {
    return QString();
  }
  return QStringLiteral("A catalogue file with %1 names (hard links) is opened read-only: a "
                        "write cut short through one name could undo, through another, work "
                        "committed meanwhile. To change it, copy the file, or remove the other "
                        "link.")
      .arg(status.st_nlink);
}

bool TSqliteEngine::Open(const TCatalogueLocation &location, int busy_milliseconds,
                         QSqlDatabase *connection, TOpening *opening, QSqlError *error) const
{
  const QString file_name = location.File_Name();
  connection->setDatabaseName(file_name);
  // Every write to a file that cannot take it would fail, some only once SQLite writes its
  // journal beside the file: such a file is opened for reading only.
  const QFileInfo file(file_name);
  opening->read_only_reason = Linked_File_Reason(file_name);
  opening->read_only =
      !opening->read_only_reason.isEmpty() ||
      (file.exists() && (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable()));
  // A second connection on the same file (the worker thread's) waits for a writer to finish.
  connection->setConnectOptions(
      QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
          .arg(busy_milliseconds)
          .arg(opening->read_only ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
  if (!connection->open())
  {
    *error = connection->lastError();
    return false;
  }
  // SQLite opens any file; only a read tells whether it is a database at all. The version tells
  // whether the driver's SQLite is the one linked here, whose calls may take its handle.
  QSqlQuery probe(*connection);
  if (!probe.exec(QStringLiteral("SELECT count(*),sqlite_version() FROM sqlite_master")) ||
      !probe.next())
  {
    *error = probe.lastError();
    return false;
  }
  opening->can_check_transaction = Handle(*connection) != nullptr &&
                                   probe.value(1).toString() == QLatin1String(sqlite3_libversion());
  return true;
}

QString TSqliteEngine::Plain_Reason(const QString &text, int code)
{
  // SQLITE_BUSY and SQLITE_LOCKED, also as extended codes: the busy timeout has passed.
  if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
  {
    return QStringLiteral("another program is writing to the catalogue; try again when it has "
                          "finished");
  }
  return text;
}

QString TSqliteEngine::Plain_Reason(const QSqlError &error) const
{
  bool number = false;
  const int code = error.nativeErrorCode().toInt(&number);
  // SQLite's own words; the driver's ("Unable to fetch row") say nothing to a user.
  const QString text = error.databaseText().trimmed();
  return Plain_Reason(text.isEmpty() ? error.text().trimmed() : text, number ? code : 0);
}

int TSqliteEngine::Error_Code(const QSqlError &error) const
{
  // Primary result codes: Qt's driver leaves SQLite's extended codes off.
  return error.nativeErrorCode().toInt() & 0xff;
}

int TSqliteEngine::Read_Only_Code() const
{
  return SQLITE_READONLY;
}

int TSqliteEngine::Busy_Code() const
{
  return SQLITE_BUSY;
}

QString TSqliteEngine::Failure_Cause(const TCatalogueLocation &location, int code) const
{
  const QString file_name = location.File_Name();
  const QFileInfo file(file_name);
  const QFileInfo folder(file.absolutePath());
  if (!folder.isDir())
  {
    return QStringLiteral("The folder does not exist.");
  }
  // A journal left beside one of its names cannot be rolled back read-only.
  const QString linked = Linked_File_Reason(file_name);
  if (!linked.isEmpty())
  {
    return linked;
  }
  switch (code)
  {
  case SQLITE_FULL:
    return QStringLiteral("The disk is full.");
  case SQLITE_NOTADB:
    return QStringLiteral("The file is not a database.");
  case SQLITE_CORRUPT:
    return QStringLiteral("The file is damaged.");
  case SQLITE_READONLY:
    return QStringLiteral("The file cannot be written.");
  case SQLITE_BUSY:
  case SQLITE_LOCKED:
    return QStringLiteral("Another program is using the file.");
  case SQLITE_IOERR:
    return QStringLiteral("The disk could not be read or written; it may be full.");
  case SQLITE_PERM:
  case SQLITE_AUTH:
  case SQLITE_CANTOPEN:
    break;
  default:
    return QString();
  }
  if (file.isDir())
  {
    return QStringLiteral("The name is that of a folder.");
  }
  if (file.exists() ? !file.isReadable() : !folder.isWritable())
  {
    return QStringLiteral("Permission denied.");
  }
  return QStringLiteral("The file cannot be opened.");
}

QStringList TSqliteEngine::Begin_Write() const
{
  // Taking the write lock at once lets the busy timeout wait for another writer; a deferred
  // transaction that has read would fail at its first write instead.
  return {QStringLiteral("BEGIN IMMEDIATE")};
}

QString TSqliteEngine::Take_Snapshot() const
{
  // A deferred transaction takes its snapshot at its first read.
  return QStringLiteral("PRAGMA data_version");
}

TSqlEngine::TTransactionState TSqliteEngine::Transaction_State(const QSqlDatabase &connection) const
{
  sqlite3 *handle = Handle(connection);
  if (!handle)
  {
    return TRANSACTION_UNKNOWN;
  }
  // sqlite3_get_autocommit is true when no transaction is open any more.
  return sqlite3_get_autocommit(handle) != 0 ? TRANSACTION_ENDED : TRANSACTION_OPEN;
}

bool TSqliteEngine::Location_Moved(const QSqlDatabase &connection) const
{
  sqlite3 *handle = Handle(connection);
  int moved = 0;
  return handle &&
         sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
         moved != 0;
}

QString TSqliteEngine::Create_Table(int table) const
{
  return QLatin1String(TABLES[table]);
}

QString TSqliteEngine::Create_Index(int index) const
{
  return QLatin1String(INDEXES[index]);
}

QString TSqliteEngine::Foreign_Schema_Reason() const
{
  return QStringLiteral("The file is an SQLite database of another program: it holds tables of "
                        "its own and none of the catalogue's, so it was left as it is.");
}

QStringList TSqliteEngine::Create_Log_Tables() const
{
  return Statements(LOG_TABLES, sizeof LOG_TABLES / sizeof *LOG_TABLES);
}

QStringList TSqliteEngine::Upgrade_Log_Tables(int layout) const
{
  switch (layout)
  {
  case 1:
    return Statements(LOG_UPGRADE, sizeof LOG_UPGRADE / sizeof *LOG_UPGRADE);
  case 2:
    return Statements(LOG_UPGRADE_3, sizeof LOG_UPGRADE_3 / sizeof *LOG_UPGRADE_3);
  default:
    return {};
  }
}

QString TSqliteEngine::Read_Back_Name_Lookup(const QString &table, const QString &id_column) const
{
  // SQLite reads those characters back as U+FFFD.
  return QStringLiteral("SELECT %2,CAST(name AS BLOB) FROM %1 WHERE replace(replace(name,"
                        "char(65534),char(65533)),char(65535),char(65533))=? ORDER BY %2 LIMIT 1")
      .arg(table, id_column);
}

QStringList TSqliteEngine::Create_History_Table() const
{
  return Statements(HISTORY_TABLE, sizeof HISTORY_TABLE / sizeof *HISTORY_TABLE);
}

QString TSqliteEngine::Change_Time() const
{
  return QStringLiteral("strftime('%Y-%m-%dT%H:%M:%SZ','now')");
}

bool TSqliteEngine::Change_User(TSqlConnection *, QString *user) const
{
  // A file knows no users: whoever the system let write it did. The account, not what the
  // environment claims.
  // The worker thread may ask at the same time as the window.
  passwd entry;
  passwd *account = nullptr;
  char buffer[4096];
  *user = getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &account) == 0 && account
              ? QString::fromLocal8Bit(account->pw_name)
              : qEnvironmentVariable("USER");
  if (user->isEmpty())
  {
    *user = QStringLiteral("uid %1").arg(geteuid());
  }
  return true;
}

bool TSqliteEngine::List_Schema(TSqlConnection *connection, QStringList *tables,
                                QStringList *indexes) const
{
  const auto read_row = [&](const QSqlQuery &row)
  {
    const QString name = row.value(1).toString();
    if (name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
    {
      return; // SQLite's own, such as the AUTOINCREMENT counters
    }
    if (row.value(0).toString() == QLatin1String("table"))
    {
      tables->append(name);
    }
    else if (indexes && row.value(0).toString() == QLatin1String("index"))
    {
      indexes->append(name);
    }
  };
  return connection->Read_Rows(
      connection->Prepared_Query(QStringLiteral("SELECT type,name FROM sqlite_master")), read_row);
}

bool TSqliteEngine::Schema_Version(TSqlConnection *connection, int *version) const
{
  qint64 number = 0;
  if (!Number(connection, QStringLiteral("PRAGMA user_version"), &number))
  {
    return false;
  }
  *version = static_cast<int>(number);
  return true;
}

bool TSqliteEngine::Set_Schema_Version(TSqlConnection *connection, int version) const
{
  // A pragma takes no bound value; the version is this program's constant.
  return connection->Run_Once(QStringLiteral("PRAGMA user_version=%1").arg(version));
}

bool TSqliteEngine::Change_Counter(TSqlConnection *connection, qint64 *counter) const
{
  return Number(connection, QStringLiteral("PRAGMA data_version"), counter);
}

std::unique_ptr<TBulkSpecificationWriter>
TSqliteEngine::Bulk_Writer(TDatabase *database, TSqlConnection *connection) const
{
  sqlite3 *handle = Handle(connection);
  return handle ? std::make_unique<TSqliteBulkWriter>(database, handle) : nullptr;
}

std::unique_ptr<TBulkSpecificationReader>
TSqliteEngine::Bulk_Reader(TDatabase *database, TSqlConnection *connection) const
{
  sqlite3 *handle = Handle(connection);
  return handle ? std::make_unique<TSqliteBulkReader>(database, handle) : nullptr;
}

TSqlEngine::TPlainRead TSqliteEngine::Read_Plain_Rows(
    TSqlConnection *connection, const QString &statement, const QVariantList &values,
    const std::function<void(const TRow &)> &read_row, QString *error, TReadSize) const
{
  sqlite3 *handle = Handle(connection);
  if (!handle)
  {
    return PLAIN_READ_ELSEWHERE;
  }
  TSqliteStatement query;
  if (!query.Prepare(handle, statement))
  {
    *error = query.Error();
    return PLAIN_READ_FAILED;
  }
  // The texts bound stay as they are until the statement goes.
  std::vector<QByteArray> texts;
  texts.reserve(static_cast<std::size_t>(values.size()));
  for (int index = 0; index < values.size(); ++index)
  {
    const QVariant &value = values.at(index);
    if (value.type() == QVariant::String)
    {
      texts.push_back(value.toString().toUtf8());
      query.Bind(index + 1, texts.back().constData(), texts.back().size());
    }
    else
    {
      query.Bind(index + 1, value.toInt());
    }
  }
  class TStatementRow : public TRow
  {
  public:
    explicit TStatementRow(const TSqliteStatement &query) : d_query(query) {}
    bool Is_Null(int column) const override { return d_query.Is_Null(column); }
    int Integer(int column) const override { return d_query.Integer(column); }
    double Double(int column) const override { return d_query.Double(column); }
    qint64 Long_Integer(int column) const override { return d_query.Long_Integer(column); }
    QString Text(int column) const override
    {
      int size = 0;
      const char *text = d_query.Text(column, &size);
      return QString::fromUtf8(text, size);
    }
    QByteArray Bytes(int column) const override
    {
      int size = 0;
      const char *text = d_query.Text(column, &size);
      return QByteArray::fromRawData(text ? text : "", size);
    }

  private:
    const TSqliteStatement &d_query;
  };
  const TStatementRow row(query);
  TSqliteStatement::TStep step = TSqliteStatement::STEP_FAILED;
  while ((step = query.Step()) == TSqliteStatement::STEP_ROW)
  {
    read_row(row);
  }
  if (step == TSqliteStatement::STEP_FAILED)
  {
    *error = query.Error();
    return PLAIN_READ_FAILED;
  }
  return PLAIN_READ_DONE;
}

TSqlEngine::TPlainRead
TSqliteEngine::Write_Plain_Rows(TSqlConnection *connection, const QString &statement, int rows,
                                int columns, const std::function<QByteArray(int, int)> &value,
                                QString *error) const
{
  sqlite3 *handle = Handle(connection);
  if (!handle)
  {
    return PLAIN_READ_ELSEWHERE;
  }
  TSqliteStatement insert;
  if (!insert.Prepare(handle, statement))
  {
    *error = insert.Error();
    return PLAIN_READ_FAILED;
  }
  // A row's texts stay as they are until its step.
  std::vector<QByteArray> texts(static_cast<std::size_t>(columns));
  for (int row = 0; row < rows; ++row)
  {
    for (int column = 0; column < columns; ++column)
    {
      QByteArray &text = texts[static_cast<std::size_t>(column)];
      text = value(row, column);
      insert.Bind(column + 1, text.constData(), text.size());
    }
    if (!insert.Execute())
    {
      *error = insert.Error();
      return PLAIN_READ_FAILED;
    }
  }
  return PLAIN_READ_DONE;
}
