#include "database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace
{
const char *const NOT_CONNECTED = "Not connected";

struct TTableDefinition
{
  const char *name;
  const char *statement;
  const char *failure;
};

// In the order of creation.
enum TTable
{
  TABLE_MAKE = 0,
  TABLE_MODEL_TYPES,
  TABLE_OPTION_TYPES,
  TABLE_STANDARD_TYPES,
  TABLE_COMPONENT_TYPES,
  TABLE_SPECIFICATION
};

const TTableDefinition TABLES[] = {

    {"make", "CREATE TABLE make(make_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)",
     "Cannot create table 'make(...)'"},
    {"model_types",
     "CREATE TABLE model_types(model_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)",
     "Cannot create table 'model_types(...)'"},
    {"option_types",
     "CREATE TABLE option_types(option_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)",
     "Cannot create table 'option_types(...)'"},
    {"standard_types",
     "CREATE TABLE standard_types(standard_type_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)",
     "Cannot create table 'standard_types(...)'"},
    {"component_types",
     "CREATE TABLE component_types(component_type_id INTEGER PRIMARY KEY AUTOINCREMENT,standard_id "
     "INTEGER,name TEXT,description TEXT,expression_types INTEGER)",
     "Cannot create table 'component_types(...)'"},
    {"specification",
     "CREATE TABLE specification(make_id INTEGER,model_id INTEGER,option_id INTEGER,standard_id "
     "INTEGER,component_id INTEGER,expression TEXT,source INTEGER)",
     "Cannot create table 'specification(...)'"}};

// Lookups by name and the per-machine queries would scan whole tables without these.
const char *const INDEX_STATEMENTS[] = {
    "CREATE INDEX IF NOT EXISTS make_name ON make(name)",
    "CREATE INDEX IF NOT EXISTS model_types_name ON model_types(name)",
    "CREATE INDEX IF NOT EXISTS option_types_name ON option_types(name)",
    "CREATE INDEX IF NOT EXISTS standard_types_name ON standard_types(name)",
    "CREATE INDEX IF NOT EXISTS component_types_standard_name ON component_types(standard_id,name)",
    "CREATE INDEX IF NOT EXISTS specification_configuration ON "
    "specification(make_id,model_id,option_id,standard_id,component_id)",
};

const char *const STANDARD_SEED[] = {"10360", "B89.4.1", "VDIVDE_2617", "CMMA"};

struct TComponentSeed
{
  const char *standard;
  const char *name;
  const char *description;
  int expression_types;
};

const TComponentSeed COMPONENT_SEED[] = {
    {"10360", "Pftu", "Maximum probe form error", 1},
    {"10360", "R0", "Maximum length variation for E0", 1},
    {"10360", "Rpt", "Maximum sphere position variation", 1},
    {"10360", "E0", "Maximum length error", 62},
    {"10360", "E150", "Maximum length error with probe offset", 62},
    {"10360", "Ts_Max", "Maximum volume temperature celsius", 64},
    {"10360", "Ts_Min", "Minimum volume temperature celsius", 64},
    {"B89.4.1", "Repeat", "Maximum sphere position variation", 1},
    {"B89.4.1", "Volume", "Maximum length variation of a ballbar", 62},
    {"B89.4.1", "Probe_Roll", "Maximum third axis ballbar length variation", 6},
    {"VDIVDE_2617", "U1", "Maximum length error in one axis", 44},
    {"VDIVDE_2617", "U2", "Maximum length error in two axis", 44},
    {"VDIVDE_2617", "U3", "Maximum length error in three axis", 44},
    {"VDIVDE_2617", "V1", "Maximum probe error in one axis", 1},
    {"VDIVDE_2617", "V2", "Maximum probe error in two axis", 1},
    {"VDIVDE_2617", "V3", "Maximum probe error in three axis", 1},
    {"CMMA", "G", "Maximum probe error", 1},
    {"CMMA", "M", "Maximum length measurement error", 44},
    {"CMMA", "Repeat", "Maximum length variation error", 1},
};

// A name that occurs twice (a file edited elsewhere) resolves to its first row.
const char *const MAKE_ID_STATEMENT =
    "SELECT make_id FROM make WHERE name=? ORDER BY make_id LIMIT 1";
const char *const MODEL_ID_STATEMENT =
    "SELECT model_id FROM model_types WHERE name=? ORDER BY model_id LIMIT 1";
const char *const OPTION_ID_STATEMENT =
    "SELECT option_id FROM option_types WHERE name=? ORDER BY option_id LIMIT 1";

// The condition on the specification rows (as s) of a make, of a make and model, or of a make,
// model and option given by names, resolved inside the statement as the look-ups above resolve
// them: a read by names is then one statement instead of one per name.
QString Rows_Of_Names(int name_count)
{
  const char *const columns[] = {"make_id", "model_id", "option_id"};
  const char *const look_ups[] = {MAKE_ID_STATEMENT, MODEL_ID_STATEMENT, OPTION_ID_STATEMENT};
  QStringList conditions;
  for (int index = 0; index < name_count; ++index)
  {
    conditions.append(QStringLiteral("s.%1=(%2)")
                          .arg(QLatin1String(columns[index]), QLatin1String(look_ups[index])));
  }
  return conditions.join(QLatin1String(" AND "));
}

// Savepoint names are identifiers, which cannot be bound: quote them as identifiers instead.
QString Quoted_Identifier(const QString &name)
{
  QString quoted = name;
  quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Runs its function when the scope ends, whichever way it ends.
template <typename TFunction>
class TScope_Exit
{
public:
  explicit TScope_Exit(TFunction function) : d_function(function) {}
  ~TScope_Exit() { d_function(); }
  TScope_Exit(const TScope_Exit &) = delete;
  TScope_Exit &operator=(const TScope_Exit &) = delete;

private:
  TFunction d_function;
};

const QString SAVEPOINT_WRITE_SPECIFICATION = QStringLiteral("metrova_write_specification");
const QString SAVEPOINT_REMOVE_MAKE = QStringLiteral("metrova_remove_make");
const QString SAVEPOINT_CLEAR = QStringLiteral("metrova_clear");
const QString SAVEPOINT_INITIALIZE = QStringLiteral("metrova_initialize");
} // namespace

TDatabase::TDatabase(const QString &connection_name) : d_connection_name(connection_name) {}

TDatabase::~TDatabase()
{
  Close();
}

QSqlQuery *TDatabase::Prepared_Query(const QString &statement)
{
  const auto found = d_prepared_queries.find(statement);
  if (found != d_prepared_queries.end())
  {
    return found->second.get();
  }
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return nullptr;
  }
  auto query = std::make_unique<QSqlQuery>(*d_connection);
  query->setForwardOnly(true);
  if (!query->prepare(statement))
  {
    d_last_error = query->lastError().text();
    return nullptr;
  }
  QSqlQuery *prepared = query.get();
  d_prepared_queries.emplace(statement, std::move(query));
  return prepared;
}

bool TDatabase::Run_Statement(const QString &statement, std::initializer_list<QVariant> values,
                              QString *error)
{
  const QString previous_error = d_last_error;
  QSqlQuery *query = Prepared_Query(statement);
  if (!query)
  {
    *error = d_last_error;
    d_last_error = previous_error;
    return false;
  }
  int position = 0;
  for (const QVariant &value : values)
  {
    query->bindValue(position++, value);
  }
  const bool executed = query->exec();
  if (!executed)
  {
    *error = query->lastError().text();
  }
  query->finish();
  return executed;
}

bool TDatabase::Select_Column(const QString &statement, std::initializer_list<QVariant> values,
                              QVariantList *column)
{
  const QString previous_error = d_last_error;
  QSqlQuery *query = Prepared_Query(statement);
  if (!query)
  {
    d_last_error = previous_error;
    return false;
  }
  int position = 0;
  for (const QVariant &value : values)
  {
    query->bindValue(position++, value);
  }
  if (!query->exec())
  {
    query->finish();
    return false;
  }
  while (query->next())
  {
    column->append(query->value(0));
  }
  const bool complete = !query->lastError().isValid();
  query->finish();
  return complete;
}

bool TDatabase::Select_Value(const QString &statement, std::initializer_list<QVariant> values,
                             QVariant *value)
{
  const QString previous_error = d_last_error;
  QSqlQuery *query = Prepared_Query(statement);
  if (!query)
  {
    d_last_error = previous_error;
    return false;
  }
  int position = 0;
  for (const QVariant &bound : values)
  {
    query->bindValue(position++, bound);
  }
  const bool found = query->exec() && query->next();
  if (found)
  {
    *value = query->value(0);
  }
  query->finish();
  return found;
}

bool TDatabase::Connect(const QString &file_name)
{
  const QString driver = QStringLiteral("QSQLITE");
  if (!QSqlDatabase::isDriverAvailable(driver))
  {
    d_last_error = QStringLiteral("Database driver 'QSQLITE' not available");
    return false;
  }
  Close();

  d_connection =
      std::make_unique<QSqlDatabase>(QSqlDatabase::contains(d_connection_name)
                                         ? QSqlDatabase::database(d_connection_name, false)
                                         : QSqlDatabase::addDatabase(driver, d_connection_name));
  if (d_connection->isOpen())
  {
    d_connection->close();
  }
  d_connection->setDatabaseName(file_name);
  // A second connection on the same file (the worker thread's) waits for a writer to finish.
  d_connection->setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));

  QSqlError error;
  bool usable = d_connection->open();
  if (!usable)
  {
    error = d_connection->lastError();
  }
  else
  {
    // SQLite opens any file; only a read tells whether it is a database at all.
    QSqlQuery probe(*d_connection);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !probe.next())
    {
      error = probe.lastError();
      usable = false;
    }
  }
  if (usable)
  {
    d_file_name = file_name;
    return true;
  }

  QString report = QStringLiteral("Cannot open database.\n\tDatabase Error: '%1'\n\tDriver "
                                  "Error: '%2'\n")
                       .arg(error.databaseText(), error.driverText());
  report += QStringLiteral("\t\tDatabase File Name: '%1'\n").arg(file_name);
  report += QStringLiteral("\tAvailable database drivers:\n");
  const QStringList drivers = QSqlDatabase::drivers();
  for (const QString &name : drivers)
  {
    report += QStringLiteral("\t\t%1\n").arg(name);
  }
  d_connection->close();
  d_connection.reset();
  QSqlDatabase::removeDatabase(d_connection_name);
  d_last_error = report;
  return false;
}

bool TDatabase::Is_Open() const
{
  return d_connection && d_connection->isOpen();
}

void TDatabase::Close()
{
  if (!d_connection)
  {
    return;
  }
  // Every statement must be gone before its connection is removed.
  d_prepared_queries.clear();
  d_savepoints.clear();
  d_reading = false;
  Invalidate_Catalogue_Cache();
  d_connection->close();
  d_connection.reset();
  if (QSqlDatabase::contains(d_connection_name))
  {
    QSqlDatabase::removeDatabase(d_connection_name);
  }
}

bool TDatabase::Savepoint(const QString &name)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  if (d_reading)
  {
    // Even a failing BEGIN IMMEDIATE would take the write lock for the read transaction.
    d_last_error = QStringLiteral("A read transaction is open");
    return false;
  }
  QString error;
  const bool outermost = d_savepoints.isEmpty();
  // Taking the write lock at once lets the busy timeout wait for another writer; a deferred
  // transaction that has read would fail at its first write instead.
  if (outermost && !Run_Statement(QStringLiteral("BEGIN IMMEDIATE"), {}, &error))
  {
    d_last_error = error;
    return false;
  }
  if (!Run_Statement(QStringLiteral("SAVEPOINT ") + Quoted_Identifier(name), {}, &error))
  {
    const QString failure = error;
    if (outermost)
    {
      Run_Statement(QStringLiteral("ROLLBACK"), {}, &error);
    }
    d_last_error = failure;
    return false;
  }
  d_savepoints.append(name);
  if (outermost)
  {
    d_catalogue_current = false;
    Validate_Catalogue_Cache();
  }
  return true;
}

bool TDatabase::Release_Savepoint(const QString &name)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  QString error;
  const int position = d_savepoints.lastIndexOf(name);
  if (!Run_Statement(QStringLiteral("RELEASE ") + Quoted_Identifier(name), {}, &error))
  {
    d_last_error = error;
    if (position == 0)
    {
      // The transaction is in an unknown state; end it rather than leave it open.
      Run_Statement(QStringLiteral("ROLLBACK"), {}, &error);
      d_savepoints.clear();
      Invalidate_Catalogue_Cache();
    }
    return false;
  }
  if (position >= 0)
  {
    d_savepoints.erase(d_savepoints.begin() + position, d_savepoints.end());
  }
  if (position == 0)
  {
    if (!Run_Statement(QStringLiteral("COMMIT"), {}, &error))
    {
      d_last_error = error;
      Run_Statement(QStringLiteral("ROLLBACK"), {}, &error);
      Invalidate_Catalogue_Cache();
      return false;
    }
  }
  return true;
}

bool TDatabase::Rollback_To_Savepoint(const QString &name)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  // Catalogue rows added since the savepoint disappear with it.
  Invalidate_Catalogue_Cache();
  QString error;
  if (!Run_Statement(QStringLiteral("ROLLBACK TO ") + Quoted_Identifier(name), {}, &error))
  {
    d_last_error = error;
    return false;
  }
  const int position = d_savepoints.lastIndexOf(name);
  if (position >= 0)
  {
    d_savepoints.erase(d_savepoints.begin() + position + 1, d_savepoints.end());
  }
  return true;
}

void TDatabase::Abandon_Savepoint(const QString &name)
{
  const QString failure = d_last_error;
  Rollback_To_Savepoint(name);
  Release_Savepoint(name);
  d_last_error = failure;
}

bool TDatabase::Begin_Read()
{
  if (!Is_Open() || !d_savepoints.isEmpty() || d_reading)
  {
    return false;
  }
  QString error;
  if (!Run_Statement(QStringLiteral("BEGIN"), {}, &error))
  {
    return false;
  }
  d_reading = true;
  d_catalogue_current = false;
  return true;
}

void TDatabase::End_Read(bool began)
{
  if (!began)
  {
    return;
  }
  QString error;
  if (!Run_Statement(QStringLiteral("COMMIT"), {}, &error))
  {
    Run_Statement(QStringLiteral("ROLLBACK"), {}, &error);
  }
  d_reading = false;
}

bool TDatabase::Begin_Read_Transaction()
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  if (!d_savepoints.isEmpty() || d_reading)
  {
    d_last_error = QStringLiteral("A transaction is already open");
    return false;
  }
  QString error;
  if (!Run_Statement(QStringLiteral("BEGIN"), {}, &error))
  {
    d_last_error = error;
    return false;
  }
  // A deferred transaction takes its snapshot at its first read: take it now, and fail now if
  // the file cannot be read.
  if (!Run_Statement(QStringLiteral("PRAGMA data_version"), {}, &error))
  {
    d_last_error = error;
    QString rollback_error;
    Run_Statement(QStringLiteral("ROLLBACK"), {}, &rollback_error);
    return false;
  }
  d_reading = true;
  d_catalogue_current = false;
  return true;
}

void TDatabase::End_Read_Transaction()
{
  End_Read(d_reading);
}

TExpressionItem TDatabase::Parsed_Expression(const QString &text)
{
  // Enough for the distinct texts of a large catalogue; beyond it the cache starts over.
  constexpr int MAXIMUM_PARSED_EXPRESSIONS = 16384;
  const auto cached = d_parsed_expressions.constFind(text);
  if (cached != d_parsed_expressions.constEnd())
  {
    return cached.value();
  }
  TExpressionItem expression;
  expression.Set_Expression(text, TExpressionItem::UNITS_MM);
  if (d_parsed_expressions.size() >= MAXIMUM_PARSED_EXPRESSIONS)
  {
    d_parsed_expressions.clear();
  }
  d_parsed_expressions.insert(text, expression);
  return expression;
}

bool TDatabase::Create_Table(const QStringList &tables, int table_index)
{
  const TTableDefinition &table = TABLES[table_index];
  if (tables.contains(QLatin1String(table.name), Qt::CaseInsensitive))
  {
    return true;
  }
  QString error;
  if (!Run_Once(QLatin1String(table.statement), &error))
  {
    d_last_error = QLatin1String(table.failure);
    return false;
  }
  return true;
}

bool TDatabase::Run_Once(const QString &statement, QString *error)
{
  QSqlQuery query(*d_connection);
  if (!query.exec(statement))
  {
    *error = query.lastError().text();
    return false;
  }
  return true;
}

bool TDatabase::Initialize()
{
  if (!Is_Open())
  {
    d_last_error = QStringLiteral("Database not open");
    return false;
  }
  Invalidate_Catalogue_Cache();
  // One transaction instead of a commit per statement; a failing step still keeps the work
  // done before it.
  if (!Savepoint(SAVEPOINT_INITIALIZE))
  {
    return false;
  }
  const QStringList tables = d_connection->tables(QSql::Tables);
  bool initialized = Create_Table(tables, TABLE_MAKE) && Create_Table(tables, TABLE_MODEL_TYPES) &&
                     Create_Table(tables, TABLE_OPTION_TYPES) &&
                     Create_Table(tables, TABLE_STANDARD_TYPES) && Create_Standard_Types() &&
                     Create_Table(tables, TABLE_COMPONENT_TYPES) && Create_Component_Types() &&
                     Create_Table(tables, TABLE_SPECIFICATION);
  if (initialized)
  {
    // A table of another shape lacks the indexed columns; it is still accepted.
    QString error;
    for (const char *statement : INDEX_STATEMENTS)
    {
      Run_Once(QLatin1String(statement), &error);
    }
  }
  const QString failure = d_last_error;
  if (!Release_Savepoint(SAVEPOINT_INITIALIZE))
  {
    initialized = false;
  }
  else if (!initialized)
  {
    d_last_error = failure;
  }
  Invalidate_Catalogue_Cache();
  return initialized;
}

void TDatabase::Clear()
{
  if (!Is_Open())
  {
    return;
  }
  Invalidate_Catalogue_Cache();
  if (!Savepoint(SAVEPOINT_CLEAR))
  {
    return;
  }
  static const char *const statements[] = {
      "DELETE FROM make",           "DELETE FROM model_types",     "DELETE FROM option_types",
      "DELETE FROM standard_types", "DELETE FROM component_types", "DELETE FROM specification"};
  bool cleared = true;
  QString error;
  for (const char *statement : statements)
  {
    if (!Run_Statement(QLatin1String(statement), {}, &error))
    {
      d_last_error = error;
      cleared = false;
      break;
    }
  }
  cleared = cleared && Create_Standard_Types() && Create_Component_Types();
  if (!cleared)
  {
    Abandon_Savepoint(SAVEPOINT_CLEAR);
  }
  else
  {
    Release_Savepoint(SAVEPOINT_CLEAR);
  }
  Invalidate_Catalogue_Cache();
}

QStringList TDatabase::Makes(bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return {};
  }
  QVariantList names;
  if (!Select_Column(QStringLiteral("SELECT name FROM make ORDER BY make_id"), {}, &names))
  {
    return {};
  }
  *valid = true;
  QStringList makes;
  makes.reserve(names.size());
  for (const QVariant &name : qAsConst(names))
  {
    makes.append(name.toString());
  }
  return makes;
}

// ---------------------------------------------------------------------------------------------
// Standard and component catalogue

void TDatabase::Invalidate_Catalogue_Cache()
{
  d_standard_ids.clear();
  d_standard_names.clear();
  d_component_ids.clear();
  d_components.clear();
  d_standard_list.clear();
  d_standard_list_cached = false;
  d_catalogue_version = -1;
}

void TDatabase::Validate_Catalogue_Cache()
{
  // Another connection may have rewritten the catalogue (Clear), which changes the file's data
  // version; within one transaction nobody else can change it, so one check suffices.
  const bool in_transaction = !d_savepoints.isEmpty() || d_reading;
  if (in_transaction && d_catalogue_current)
  {
    return;
  }
  d_catalogue_current = in_transaction;
  QVariant version;
  if (!Select_Value(QStringLiteral("PRAGMA data_version"), {}, &version))
  {
    Invalidate_Catalogue_Cache();
    return;
  }
  if (version.toLongLong() != d_catalogue_version)
  {
    Invalidate_Catalogue_Cache();
    d_catalogue_version = version.toLongLong();
  }
}

bool TDatabase::Add_Standard_Type(const QString &name)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  Invalidate_Catalogue_Cache();
  QString error;
  if (!Run_Statement(QStringLiteral("INSERT INTO standard_types (name) VALUES (?)"), {name},
                     &error))
  {
    d_last_error =
        QStringLiteral("Cannot add data to table 'standard_types'.  Reason: %1").arg(error);
    return false;
  }
  return true;
}

bool TDatabase::Add_Component_Type(int standard_id, const QString &name, const QString &description,
                                   int expression_types)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  Invalidate_Catalogue_Cache();
  QString error;
  if (!Run_Statement(QStringLiteral("INSERT INTO component_types "
                                    "(standard_id,name,description,expression_types) VALUES "
                                    "(?,?,?,?)"),
                     {standard_id, name, description, expression_types}, &error))
  {
    d_last_error =
        QStringLiteral("Cannot add data to table 'component_types'.  Reason: %1").arg(error);
    return false;
  }
  return true;
}

int TDatabase::Standard_Type_Id(const QString &name)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return -1;
  }
  Validate_Catalogue_Cache();
  const auto cached = d_standard_ids.constFind(name);
  if (cached != d_standard_ids.constEnd())
  {
    return cached.value();
  }
  QVariant id;
  if (!Select_Value(QStringLiteral("SELECT standard_type_id FROM standard_types WHERE name=? "
                                   "ORDER BY standard_type_id LIMIT 1"),
                    {name}, &id))
  {
    d_last_error = QStringLiteral("Standard Type not found.");
    return -1;
  }
  d_standard_ids.insert(name, id.toInt());
  return id.toInt();
}

QString TDatabase::Standard_Type_Name(int standard_id)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return {};
  }
  Validate_Catalogue_Cache();
  const auto cached = d_standard_names.constFind(standard_id);
  if (cached != d_standard_names.constEnd())
  {
    return cached.value();
  }
  QVariant name;
  if (!Select_Value(QStringLiteral("SELECT name FROM standard_types WHERE standard_type_id=?"),
                    {standard_id}, &name))
  {
    d_last_error = QStringLiteral("Standard Type not found.");
    return {};
  }
  d_standard_names.insert(standard_id, name.toString());
  return name.toString();
}

int TDatabase::Component_Type_Id(int standard_id, const QString &name)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return -1;
  }
  Validate_Catalogue_Cache();
  const auto key = qMakePair(standard_id, name);
  const auto cached = d_component_ids.constFind(key);
  if (cached != d_component_ids.constEnd())
  {
    return cached.value();
  }
  QVariant id;
  if (!Select_Value(QStringLiteral("SELECT component_type_id FROM component_types WHERE "
                                   "standard_id=? AND name=? ORDER BY component_type_id LIMIT 1"),
                    {standard_id, name}, &id))
  {
    d_last_error = QStringLiteral("Component Type not found.");
    return -1;
  }
  d_component_ids.insert(key, id.toInt());
  return id.toInt();
}

const TDatabase::TComponentType *TDatabase::Component_Type(int standard_id, int component_id)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return nullptr;
  }
  Validate_Catalogue_Cache();
  const auto key = qMakePair(standard_id, component_id);
  auto cached = d_components.constFind(key);
  if (cached != d_components.constEnd())
  {
    return &cached.value();
  }
  const QString previous_error = d_last_error;
  QSqlQuery *query =
      Prepared_Query(QStringLiteral("SELECT name,description,expression_types FROM "
                                    "component_types WHERE standard_id=? AND component_type_id=?"));
  d_last_error = previous_error;
  if (query)
  {
    query->bindValue(0, standard_id);
    query->bindValue(1, component_id);
    if (query->exec() && query->next())
    {
      TComponentType component;
      component.name = query->value(0).toString();
      component.description = query->value(1).toString();
      component.expression_types = query->value(2).toInt();
      query->finish();
      return &d_components.insert(key, component).value();
    }
    query->finish();
  }
  d_last_error = QStringLiteral("Component Type not found.");
  return nullptr;
}

QString TDatabase::Component_Type_Name(int standard_id, int component_id)
{
  const TComponentType *component = Component_Type(standard_id, component_id);
  return component ? component->name : QString();
}

QString TDatabase::Component_Type_Description(int standard_id, int component_id)
{
  const TComponentType *component = Component_Type(standard_id, component_id);
  return component ? component->description : QString();
}

QString TDatabase::Component_Type_Description(const QString &standard, const QString &component)
{
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return {};
  }
  const int component_id = Component_Type_Id(standard_id, component);
  if (component_id < 0)
  {
    return {};
  }
  return Component_Type_Description(standard_id, component_id);
}

int TDatabase::Component_Type_Expression_Types(int standard_id, int component_id)
{
  const TComponentType *component = Component_Type(standard_id, component_id);
  return component ? component->expression_types : 0;
}

int TDatabase::Component_Type_Expression_Types(const QString &standard, const QString &component)
{
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return 0;
  }
  const int component_id = Component_Type_Id(standard_id, component);
  if (component_id < 0)
  {
    return 0;
  }
  return Component_Type_Expression_Types(standard_id, component_id);
}

QStringList TDatabase::Standard_Types(bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return {};
  }
  Validate_Catalogue_Cache();
  if (d_standard_list_cached)
  {
    *valid = true;
    return d_standard_list;
  }
  QVariantList names;
  if (!Select_Column(QStringLiteral("SELECT name FROM standard_types ORDER BY standard_type_id"),
                     {}, &names))
  {
    return {};
  }
  *valid = true;
  QStringList standards;
  for (const QVariant &name : qAsConst(names))
  {
    standards.append(name.toString());
  }
  d_standard_list = standards;
  d_standard_list_cached = true;
  return standards;
}

QStringList TDatabase::Component_Types(const QString &standard, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return {};
  }
  QVariantList names;
  if (!Select_Column(QStringLiteral("SELECT name FROM component_types WHERE standard_id=? ORDER "
                                    "BY component_type_id"),
                     {standard_id}, &names))
  {
    return {};
  }
  *valid = true;
  QStringList components;
  for (const QVariant &name : qAsConst(names))
  {
    components.append(name.toString());
  }
  return components;
}

bool TDatabase::Create_Standard_Types()
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  for (const char *standard : STANDARD_SEED)
  {
    const QString name = QLatin1String(standard);
    if (Standard_Type_Id(name) < 0 && !Add_Standard_Type(name))
    {
      return false;
    }
  }
  return true;
}

bool TDatabase::Create_Component_Types()
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  QString standard;
  int standard_id = -1;
  for (const TComponentSeed &seed : COMPONENT_SEED)
  {
    if (standard != QLatin1String(seed.standard))
    {
      standard = QLatin1String(seed.standard);
      standard_id = Standard_Type_Id(standard);
    }
    if (standard_id < 0)
    {
      continue;
    }
    const QString name = QLatin1String(seed.name);
    if (Component_Type_Id(standard_id, name) < 0 &&
        !Add_Component_Type(standard_id, name, QLatin1String(seed.description),
                            seed.expression_types))
    {
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Makes, models, options and specification rows

int TDatabase::Lookup_Id(const QString &statement, const QString &name, const char *missing)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return -1;
  }
  QVariant id;
  if (!Select_Value(statement, {name}, &id))
  {
    d_last_error = QLatin1String(missing);
    return -1;
  }
  return id.toInt();
}

QString TDatabase::Lookup_Name(const QString &statement, int id, const char *missing)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return {};
  }
  QVariant name;
  if (!Select_Value(statement, {id}, &name))
  {
    d_last_error = QLatin1String(missing);
    return {};
  }
  return name.toString();
}

int TDatabase::Make_Id(const QString &make)
{
  return Lookup_Id(QLatin1String(MAKE_ID_STATEMENT), make, "CMM Make not found.");
}

int TDatabase::Model_Id(const QString &model)
{
  return Lookup_Id(QLatin1String(MODEL_ID_STATEMENT), model, "CMM Model not found.");
}

int TDatabase::Option_Id(const QString &option)
{
  return Lookup_Id(QLatin1String(OPTION_ID_STATEMENT), option, "CMM Option not found.");
}

QString TDatabase::Make_Name(int make_id)
{
  return Lookup_Name(QStringLiteral("SELECT name FROM make WHERE make_id=?"), make_id,
                     "CMM Make not found.");
}

QString TDatabase::Model_Name(int model_id)
{
  return Lookup_Name(QStringLiteral("SELECT name FROM model_types WHERE model_id=?"), model_id,
                     "CMM Model not found.");
}

QString TDatabase::Option_Name(int option_id)
{
  return Lookup_Name(QStringLiteral("SELECT name FROM option_types WHERE option_id=?"), option_id,
                     "CMM Option not found.");
}

bool TDatabase::Model_Type_Exists(const QString &model)
{
  QVariant id;
  return Is_Open() &&
         Select_Value(QStringLiteral("SELECT model_id FROM model_types WHERE name=? LIMIT 1"),
                      {model}, &id);
}

bool TDatabase::Option_Type_Exists(const QString &option)
{
  QVariant id;
  return Is_Open() &&
         Select_Value(QStringLiteral("SELECT option_id FROM option_types WHERE name=? LIMIT 1"),
                      {option}, &id);
}

bool TDatabase::Make_Exists(const QString &make)
{
  return Make_Id(make) >= 0;
}

bool TDatabase::Model_Exists(const QString &make, const QString &model)
{
  const int make_id = Make_Id(make);
  if (make_id < 0)
  {
    return false;
  }
  const int model_id = Model_Id(model);
  if (model_id < 0)
  {
    return false;
  }
  QVariant component_id;
  return Select_Value(QStringLiteral("SELECT component_id FROM specification WHERE make_id=? AND "
                                     "model_id=? LIMIT 1"),
                      {make_id, model_id}, &component_id);
}

bool TDatabase::Option_Exists(const QString &make, const QString &model, const QString &option)
{
  const int make_id = Make_Id(make);
  if (make_id < 0)
  {
    return false;
  }
  const int model_id = Model_Id(model);
  if (model_id < 0)
  {
    return false;
  }
  const int option_id = Option_Id(option);
  if (option_id < 0)
  {
    return false;
  }
  QVariant component_id;
  return Select_Value(QStringLiteral("SELECT component_id FROM specification WHERE make_id=? AND "
                                     "model_id=? AND option_id=? LIMIT 1"),
                      {make_id, model_id, option_id}, &component_id);
}

QStringList TDatabase::Models(const QString &make, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return {};
  }
  const bool began_read = Begin_Read();
  const TScope_Exit end_read([&]() { End_Read(began_read); });
  // Each model once, in the order of its first row.
  static const QString statement =
      QStringLiteral("SELECT m.name FROM specification AS s LEFT JOIN model_types AS m ON "
                     "m.model_id=s.model_id WHERE %1 GROUP BY s.model_id ORDER BY MIN(s.rowid)")
          .arg(Rows_Of_Names(1));
  QVariantList names;
  if (!Select_Column(statement, {make}, &names))
  {
    return {};
  }
  if (names.isEmpty())
  {
    Make_Id(make); // reports an unknown make
    return {};
  }
  *valid = true;
  QStringList models;
  for (const QVariant &name : qAsConst(names))
  {
    models.append(name.toString());
  }
  return models;
}

QStringList TDatabase::Options(const QString &make, const QString &model, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return {};
  }
  const bool began_read = Begin_Read();
  const TScope_Exit end_read([&]() { End_Read(began_read); });
  // Each option once, in the order of its first row.
  static const QString statement =
      QStringLiteral("SELECT o.name FROM specification AS s LEFT JOIN option_types AS o ON "
                     "o.option_id=s.option_id WHERE %1 GROUP BY s.option_id ORDER BY MIN(s.rowid)")
          .arg(Rows_Of_Names(2));
  QVariantList names;
  if (!Select_Column(statement, {make, model}, &names))
  {
    return {};
  }
  if (names.isEmpty())
  {
    // Reports an unknown make or model.
    if (Make_Id(make) >= 0)
    {
      Model_Id(model);
    }
    return {};
  }
  *valid = true;
  QStringList options;
  for (const QVariant &name : qAsConst(names))
  {
    options.append(name.toString());
  }
  return options;
}

bool TDatabase::Remove_Make(const QString &make)
{
  const int make_id = Make_Id(make);
  if (make_id < 0)
  {
    return false;
  }
  if (!Savepoint(SAVEPOINT_REMOVE_MAKE))
  {
    return false;
  }
  QString error;
  if (!Run_Statement(QStringLiteral("DELETE FROM make WHERE make_id=?"), {make_id}, &error))
  {
    d_last_error = QStringLiteral("Cannot delete make entry for '%1'").arg(make);
    Abandon_Savepoint(SAVEPOINT_REMOVE_MAKE);
    return false;
  }
  if (!Run_Statement(QStringLiteral("DELETE FROM specification WHERE make_id=?"), {make_id},
                     &error))
  {
    d_last_error = QStringLiteral("Cannot delete specification entry for '%1'").arg(make);
    Abandon_Savepoint(SAVEPOINT_REMOVE_MAKE);
    return false;
  }
  return Release_Savepoint(SAVEPOINT_REMOVE_MAKE);
}

bool TDatabase::Remove_Model(const QString &make, const QString &model)
{
  const int make_id = Make_Id(make);
  if (make_id < 0)
  {
    return false;
  }
  const int model_id = Model_Id(model);
  if (model_id < 0)
  {
    return false;
  }
  QString error;
  if (!Run_Statement(QStringLiteral("DELETE FROM specification WHERE make_id=? AND model_id=?"),
                     {make_id, model_id}, &error))
  {
    d_last_error =
        QStringLiteral("Cannot delete specification entry for '%1' and '%2'").arg(make, model);
    return false;
  }
  return true;
}

bool TDatabase::Remove_Option(const QString &make, const QString &model, const QString &option)
{
  const int make_id = Make_Id(make);
  if (make_id < 0)
  {
    return false;
  }
  const int model_id = Model_Id(model);
  if (model_id < 0)
  {
    return false;
  }
  const int option_id = Option_Id(option);
  if (option_id < 0)
  {
    return false;
  }
  QString error;
  if (!Run_Statement(QStringLiteral("DELETE FROM specification WHERE make_id=? AND model_id=? "
                                    "AND option_id=?"),
                     {make_id, model_id, option_id}, &error))
  {
    d_last_error = QStringLiteral("Cannot delete specification entry for '%1' and '%2' and '%3'")
                       .arg(make, model, option);
    return false;
  }
  return true;
}

bool TDatabase::Write_Specification(const TDatabaseItem &item)
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  // All or nothing: a failure must neither lose the stored rows nor leave new names behind.
  if (!Savepoint(SAVEPOINT_WRITE_SPECIFICATION))
  {
    return false;
  }
  if (!Write_Specification_Rows(item))
  {
    Abandon_Savepoint(SAVEPOINT_WRITE_SPECIFICATION);
    return false;
  }
  return Release_Savepoint(SAVEPOINT_WRITE_SPECIFICATION);
}

bool TDatabase::Write_Specification_Rows(const TDatabaseItem &item)
{
  QString error;
  int make_id = Make_Id(item.Make());
  if (make_id < 0)
  {
    if (!Run_Statement(QStringLiteral("INSERT INTO make (name) VALUES (?)"), {item.Make()}, &error))
    {
      d_last_error = QStringLiteral("Cannot add data to table 'make'.  Reason: %1").arg(error);
      return false;
    }
    make_id = Make_Id(item.Make());
    if (make_id < 0)
    {
      return false;
    }
  }

  // A known model or option name is resolved by one query; a new one is inserted, then resolved.
  QVariant id;
  int model_id = -1;
  if (Select_Value(QLatin1String(MODEL_ID_STATEMENT), {item.Model()}, &id))
  {
    model_id = id.toInt();
  }
  else
  {
    if (!Run_Statement(QStringLiteral("INSERT INTO model_types (name) VALUES (?)"), {item.Model()},
                       &error))
    {
      d_last_error =
          QStringLiteral("Cannot add data to table 'model_types'.  Reason: %1").arg(error);
      return false;
    }
    model_id = Model_Id(item.Model());
    if (model_id < 0)
    {
      return false;
    }
  }

  int option_id = -1;
  if (Select_Value(QLatin1String(OPTION_ID_STATEMENT), {item.Option()}, &id))
  {
    option_id = id.toInt();
  }
  else
  {
    if (!Run_Statement(QStringLiteral("INSERT INTO option_types (name) VALUES (?)"),
                       {item.Option()}, &error))
    {
      d_last_error =
          QStringLiteral("Cannot add data to table 'option_types'.  Reason: %1").arg(error);
      return false;
    }
    option_id = Option_Id(item.Option());
    if (option_id < 0)
    {
      return false;
    }
  }

  const int standard_id = Standard_Type_Id(item.Standard());
  if (standard_id < 0)
  {
    return false;
  }

  if (!Run_Statement(QStringLiteral("DELETE FROM specification WHERE make_id=? AND model_id=? AND "
                                    "option_id=? AND standard_id=?"),
                     {make_id, model_id, option_id, standard_id}, &error))
  {
    d_last_error =
        QStringLiteral("Cannot delete existing specification data.  Reason: %1").arg(error);
    return false;
  }

  const QString insert =
      QStringLiteral("INSERT INTO specification "
                     "(make_id,model_id,option_id,standard_id,component_id,expression,source) "
                     "VALUES(?,?,?,?,?,?,?)");
  const int count = item.Specification_Item_Count();
  for (int index = 0; index < count; ++index)
  {
    const TSpecificationItem specification_item = item.Specification_Item(index);
    const int component_id = Component_Type_Id(standard_id, specification_item.name);
    if (component_id < 0)
    {
      d_last_error =
          QStringLiteral("Component type '%1' does not exist").arg(specification_item.name);
      return false;
    }
    const QString expression =
        specification_item.expression.Expression_Text(TExpressionItem::UNITS_MM);
    if (!Run_Statement(insert,
                       {make_id, model_id, option_id, standard_id, component_id, expression,
                        specification_item.source},
                       &error))
    {
      d_last_error =
          QStringLiteral("Cannot add data to table 'specification'.  Reason: %1").arg(error);
      return false;
    }
  }
  return true;
}

TDatabaseItem TDatabase::Read_Specification(const QString &make, const QString &model,
                                            const QString &option, const QString &standard,
                                            bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  TDatabaseItem record;
  const bool began_read = Begin_Read();
  const TScope_Exit end_read([&]() { End_Read(began_read); });
  const int make_id = Make_Id(make);
  if (make_id < 0)
  {
    return record;
  }
  const int model_id = Model_Id(model);
  if (model_id < 0)
  {
    return record;
  }
  const int option_id = Option_Id(option);
  if (option_id < 0)
  {
    return record;
  }
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return record;
  }

  QSqlQuery *query = Prepared_Query(
      QStringLiteral("SELECT component_id,expression,source FROM specification WHERE make_id=? "
                     "AND model_id=? AND option_id=? AND standard_id=? ORDER BY rowid"));
  if (!query)
  {
    return record;
  }
  query->bindValue(0, make_id);
  query->bindValue(1, model_id);
  query->bindValue(2, option_id);
  query->bindValue(3, standard_id);
  if (!query->exec())
  {
    d_last_error = query->lastError().text();
    query->finish();
    return record;
  }
  struct TRow
  {
    int component_id;
    QString expression;
    int source;
  };
  std::vector<TRow> rows;
  while (query->next())
  {
    rows.push_back({query->value(0).toInt(), query->value(1).toString(), query->value(2).toInt()});
  }
  query->finish();
  *valid = true;
  if (rows.empty())
  {
    return record;
  }

  record.Set_Make(make);
  record.Set_Model(model);
  record.Set_Option(option);
  record.Set_Standard(standard);
  for (const TRow &row : rows)
  {
    TSpecificationItem specification_item;
    specification_item.name = Component_Type_Name(standard_id, row.component_id);
    specification_item.expression = Parsed_Expression(row.expression);
    specification_item.source = row.source;
    specification_item.description = Component_Type_Description(standard_id, row.component_id);
    specification_item.expression_types =
        Component_Type_Expression_Types(standard_id, row.component_id);
    record.Add_Specification_Item(specification_item);
  }
  return record;
}

QList<TDatabaseItem> TDatabase::Read_Configuration(const QString &make, const QString &model,
                                                   const QString &option, bool *valid,
                                                   bool manufacturer_only)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return {};
  }
  const bool began_read = Begin_Read();
  const TScope_Exit end_read([&]() { End_Read(began_read); });
  bool standards_valid = false;
  const QStringList standards = Standard_Types(&standards_valid);
  if (!standards_valid)
  {
    return {};
  }

  // The second form leaves out the rows that are surely estimated; the source as read decides
  // about the others.
  static const QString statement =
      QStringLiteral("SELECT s.standard_id,s.component_id,s.source,s.expression FROM "
                     "specification AS s WHERE %1 ORDER BY s.standard_id,s.rowid")
          .arg(Rows_Of_Names(3));
  static const QString manufacturer_statement =
      QStringLiteral("SELECT s.standard_id,s.component_id,s.source,s.expression FROM "
                     "specification AS s WHERE %1 AND s.source IS NOT ? ORDER BY "
                     "s.standard_id,s.rowid")
          .arg(Rows_Of_Names(3));
  QSqlQuery *query = Prepared_Query(manufacturer_only ? manufacturer_statement : statement);
  if (!query)
  {
    return {};
  }
  query->bindValue(0, make);
  query->bindValue(1, model);
  query->bindValue(2, option);
  if (manufacturer_only)
  {
    query->bindValue(3, TDatabaseItem::SOURCE_ESTIMATED);
  }
  if (!query->exec())
  {
    d_last_error = query->lastError().text();
    query->finish();
    return {};
  }
  struct TRow
  {
    int standard_id;
    int component_id;
    int source;
    QString expression;
  };
  std::vector<TRow> rows;
  while (query->next())
  {
    rows.push_back({query->value(0).toInt(), query->value(1).toInt(), query->value(2).toInt(),
                    query->value(3).toString()});
  }
  const bool complete = !query->lastError().isValid();
  if (!complete)
  {
    d_last_error = query->lastError().text();
  }
  query->finish();
  if (!complete)
  {
    return {};
  }
  // No rows at all may mean an unknown name, which the look-ups report as Read_Specification does.
  if (rows.empty() && (Make_Id(make) < 0 || Model_Id(model) < 0 || Option_Id(option) < 0))
  {
    return {};
  }

  QList<TDatabaseItem> records;
  records.reserve(standards.size());
  for (const QString &standard : standards)
  {
    const int standard_id = Standard_Type_Id(standard);
    if (standard_id < 0)
    {
      return {};
    }
    TDatabaseItem record;
    // The rows come grouped by standard, each group in storage order.
    auto row = std::find_if(rows.cbegin(), rows.cend(),
                            [standard_id](const TRow &candidate)
                            { return candidate.standard_id == standard_id; });
    for (; row != rows.cend() && row->standard_id == standard_id; ++row)
    {
      if (manufacturer_only && row->source != TDatabaseItem::SOURCE_MANUFACTURER)
      {
        continue;
      }
      if (record.Specification_Item_Count() == 0)
      {
        record.Set_Make(make);
        record.Set_Model(model);
        record.Set_Option(option);
        record.Set_Standard(standard);
      }
      TSpecificationItem item;
      if (const TComponentType *component = Component_Type(standard_id, row->component_id))
      {
        item.name = component->name;
        item.description = component->description;
        item.expression_types = component->expression_types;
      }
      item.expression = Parsed_Expression(row->expression);
      item.source = row->source;
      record.Add_Specification_Item(item);
    }
    records.append(record);
  }
  *valid = true;
  return records;
}
