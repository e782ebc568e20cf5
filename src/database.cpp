#include "database.h"

#include <QLatin1String>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <iterator>
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

// The tables of the names of a configuration, in the order of its names: make, model, option.
struct TNameTable
{
  QString table;
  QString id_column;
  // A name that occurs twice (a file edited elsewhere) resolves to its first row.
  QString id_statement;
  QString name_statement;
  QString insert_statement;
  QString missing;
};

const TNameTable NAME_TABLES[] = {
    {QStringLiteral("make"), QStringLiteral("make_id"),
     QStringLiteral("SELECT make_id FROM make WHERE name=? ORDER BY make_id LIMIT 1"),
     QStringLiteral("SELECT name FROM make WHERE make_id=?"),
     QStringLiteral("INSERT INTO make (name) VALUES (?)"), QStringLiteral("CMM Make not found.")},
    {QStringLiteral("model_types"), QStringLiteral("model_id"),
     QStringLiteral("SELECT model_id FROM model_types WHERE name=? ORDER BY model_id LIMIT 1"),
     QStringLiteral("SELECT name FROM model_types WHERE model_id=?"),
     QStringLiteral("INSERT INTO model_types (name) VALUES (?)"),
     QStringLiteral("CMM Model not found.")},
    {QStringLiteral("option_types"), QStringLiteral("option_id"),
     QStringLiteral("SELECT option_id FROM option_types WHERE name=? ORDER BY option_id LIMIT 1"),
     QStringLiteral("SELECT name FROM option_types WHERE option_id=?"),
     QStringLiteral("INSERT INTO option_types (name) VALUES (?)"),
     QStringLiteral("CMM Option not found.")},
};

enum TNameKind
{
  NAME_MAKE = 0,
  NAME_MODEL,
  NAME_OPTION
};

// The condition on the specification rows (as s) of a make, of a make and model, or of a make,
// model and option given by names, resolved inside the statement as the look-ups by name resolve
// them: a read by names is then one statement instead of one per name.
QString Rows_Of_Names(int name_count)
{
  QStringList conditions;
  for (int kind = 0; kind < name_count; ++kind)
  {
    conditions.append(QStringLiteral("s.%1=(%2)")
                          .arg(NAME_TABLES[kind].id_column, NAME_TABLES[kind].id_statement));
  }
  return conditions.join(QLatin1String(" AND "));
}

// The rows that make records: read with their columns in this order, standard_id, component_id,
// source and expression, they build their items in one way (TDatabase::Read_Stored_Rows).
const QString STATEMENT_READ_STANDARD = QStringLiteral(
    "SELECT standard_id,component_id,source,expression FROM specification WHERE make_id=? AND "
    "model_id=? AND option_id=? AND standard_id=? ORDER BY rowid");
// A pass of the estimation reads the whole configuration once.
const QString STATEMENT_READ_CONFIGURATION = QStringLiteral(
    "SELECT standard_id,component_id,source,expression FROM specification WHERE make_id=? AND "
    "model_id=? AND option_id=? ORDER BY rowid");
const QString STATEMENT_INSERT =
    QStringLiteral("INSERT INTO specification "
                   "(make_id,model_id,option_id,standard_id,component_id,expression,source) "
                   "VALUES(?,?,?,?,?,?,?)");
const QString STATEMENT_DELETE_ESTIMATED = QStringLiteral(
    "DELETE FROM specification WHERE make_id=? AND model_id=? AND option_id=? AND source=?");
const QString STATEMENT_EXISTS = QStringLiteral(
    "SELECT source FROM specification WHERE make_id=? AND model_id=? AND option_id=? AND "
    "standard_id=? AND component_id=? LIMIT 1");
// The names come with the rows so that a read costs one statement.
const QString STATEMENT_READ_BY_ID = QStringLiteral(
    "SELECT s.expression,s.source,c.name,m.name,mt.name,o.name,st.name FROM specification AS s "
    "LEFT JOIN component_types AS c "
    "ON c.component_type_id=s.component_id AND c.standard_id=s.standard_id "
    "LEFT JOIN make AS m ON m.make_id=s.make_id "
    "LEFT JOIN model_types AS mt ON mt.model_id=s.model_id "
    "LEFT JOIN option_types AS o ON o.option_id=s.option_id "
    "LEFT JOIN standard_types AS st ON st.standard_type_id=s.standard_id "
    "WHERE s.make_id=? AND s.model_id=? AND s.option_id=? AND s.standard_id=? ORDER BY s.rowid");

QString Insert_Failure(const QString &table, const QString &reason)
{
  return QStringLiteral("Cannot add data to table '%1'.  Reason: %2").arg(table, reason);
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

template <typename TValue>
void Bind_Values(QSqlQuery *query, std::initializer_list<TValue> values)
{
  int position = 0;
  for (const TValue &value : values)
  {
    query->bindValue(position++, value);
  }
}

// Runs a prepared and bound statement and hands each row to read_row. False, with the reason in
// *error where one is given, when the statement fails at once or midway. The statement is
// finished either way, so that no read lock outlives the call.
template <typename TReadRow>
bool Read_Rows(QSqlQuery *query, QString *error, TReadRow read_row)
{
  if (query->exec())
  {
    while (query->next())
    {
      read_row(*query);
    }
  }
  const bool complete = !query->lastError().isValid();
  if (!complete && error)
  {
    *error = query->lastError().text();
  }
  query->finish();
  return complete;
}

// The first column of every row as text; false for a statement that could not be prepared.
bool Read_Names(QSqlQuery *query, QStringList *names)
{
  return query &&
         Read_Rows(query, nullptr,
                   [names](const QSqlQuery &row) { names->append(row.value(0).toString()); });
}

// A stored row with its item. The estimation keeps all rows of one configuration in storage
// order: a pass's sources are the rows of its standard, and any row, manufacturer's or estimated,
// keeps an estimate of its component out.
struct TStoredRow
{
  int standard_id;
  int component_id;
  TSpecificationItem item;
};

using TStoredRows = std::vector<TStoredRow>;

void Name_Record(TDatabaseItem *record, const QString &make, const QString &model,
                 const QString &option, const QString &standard)
{
  record->Set_Make(make);
  record->Set_Model(model);
  record->Set_Option(option);
  record->Set_Standard(standard);
}

const QString SAVEPOINT_WRITE_SPECIFICATION = QStringLiteral("metrova_write_specification");
const QString SAVEPOINT_REMOVE_MAKE = QStringLiteral("metrova_remove_make");
const QString SAVEPOINT_CLEAR = QStringLiteral("metrova_clear");
const QString SAVEPOINT_INITIALIZE = QStringLiteral("metrova_initialize");
const QString SAVEPOINT_ESTIMATION = QStringLiteral("estimate_specifications");
const QString SAVEPOINT_PASS = QStringLiteral("estimate_from_standard");

// ---------------------------------------------------------------------------------------------
// Estimation of the components of the other standards from the rows stored for one make, model
// and option: conversion rules, the passes over the standards and the storage of the estimates.

// Derived items wait in one list per target standard and are stored list by list in this order.
enum TTarget
{
  TARGET_B89 = 0,
  TARGET_10360,
  TARGET_VDIVDE_2617,
  TARGET_CMMA,
  TARGET_COUNT
};

const char *const TARGET_STANDARDS[TARGET_COUNT] = {"B89.4.1", "10360", "VDIVDE_2617", "CMMA"};

// A copy of its source item under the target's name, and the text of its expression; the text
// is parsed only when the item is about to be stored, since most derivations find their row.
struct TDerivedItem
{
  TSpecificationItem item;
  QString text;
};

using TPendingLists = std::array<std::vector<TDerivedItem>, TARGET_COUNT>;

// The components that hold one and the same length error. "Volume" of "B89.4.1" holds twice it.
struct TLengthErrorComponent
{
  TTarget target;
  const char *component;
};

const TLengthErrorComponent LENGTH_ERROR_COMPONENTS[] = {
    {TARGET_10360, "E0"}, {TARGET_10360, "E150"}, {TARGET_VDIVDE_2617, "U3"}, {TARGET_CMMA, "M"}};

// Constant-to-constant rules of the repeatability and probing components.
struct TConstantTarget
{
  TTarget target;
  const char *component;
  double factor;
};

struct TConstantRule
{
  TTarget source;
  const char *component;
  int target_count;
  TConstantTarget targets[3];
};

const TConstantRule CONSTANT_RULES[] = {
    {TARGET_10360, "R0", 2, {{TARGET_B89, "Repeat", 0.5}, {TARGET_CMMA, "Repeat", 1.0}}},
    {TARGET_10360, "Rpt", 2, {{TARGET_B89, "Repeat", 1.0}, {TARGET_CMMA, "Repeat", 2.0}}},
    {TARGET_B89,
     "Repeat",
     3,
     {{TARGET_10360, "Rpt", 1.0}, {TARGET_CMMA, "Repeat", 2.0}, {TARGET_10360, "R0", 2.0}}},
    {TARGET_CMMA,
     "Repeat",
     3,
     {{TARGET_B89, "Repeat", 0.5}, {TARGET_10360, "Rpt", 0.5}, {TARGET_10360, "R0", 1.0}}},
    {TARGET_10360, "Pftu", 1, {{TARGET_VDIVDE_2617, "V3", 1.0}}},
    {TARGET_VDIVDE_2617, "V3", 1, {{TARGET_10360, "Pftu", 1.0}}},
};

// The number formats of millimetre texts: error values, Td coefficients and divisors.
QString Fixed_4(double value)
{
  return QString::number(value, 'f', 4);
}
QString Fixed_5(double value)
{
  return QString::number(value, 'f', 5);
}
QString General(double value)
{
  return QString::number(value, 'g', 6);
}

QString Linear_Text(double a, double b, double n)
{
  return QStringLiteral("%1+%2L/%3").arg(Fixed_4(a), Fixed_4(b), General(n));
}

QString Linear_Maximum_Text(double a, double b, double n, double m)
{
  return QStringLiteral("%1+%2L/%3|%4").arg(Fixed_4(a), Fixed_4(b), General(n), Fixed_4(m));
}

QString Temperature_Text(double a, double b, double c, double d, double n)
{
  return QStringLiteral("%1+%2Td+(%3+%4Td)L/%5")
      .arg(Fixed_4(a), Fixed_5(b), Fixed_4(c), Fixed_5(d), General(n));
}

// A length error of kind 4, 8 or 32 with its error values scaled; Td coefficients never scale.
// Empty for any other kind.
QString Scaled_Length_Error_Text(const TExpressionItem &expression, double scale,
                                 double maximum_scale)
{
  const auto value = [&expression](int index)
  { return expression.Component(index, TExpressionItem::UNITS_MM); };

  switch (expression.Expression_Type())
  {
  case TExpressionItem::EXPRESSION_LINEAR:
    return Linear_Text(scale * value(0), scale * value(1), value(2));
  case TExpressionItem::EXPRESSION_LINEAR_MAXIMUM:
    return Linear_Maximum_Text(scale * value(0), scale * value(1), value(2),
                               maximum_scale * value(3));
  case TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE:
    return Temperature_Text(scale * value(0), value(1), scale * value(2), value(3), value(4));
  default:
    return QString();
  }
}

// The repeatability R of a "B89.4.1" record, read from its "Repeat" text as stored.
struct TRepeatability
{
  bool available = false;
  double value = 0.0;
};

void Add_Derived_Item(TPendingLists *pending, TTarget target, const TSpecificationItem &source,
                      const char *component, const QString &text)
{
  TDerivedItem derived{source, text};
  derived.item.name = QLatin1String(component);
  derived.item.source = TDatabaseItem::SOURCE_ESTIMATED;
  (*pending)[target].push_back(derived);
}

// Appends to the pending lists what one item of the source standard yields.
void Derive_Items(TTarget source_standard, const TSpecificationItem &item,
                  const TRepeatability &repeatability, TPendingLists *pending)
{
  const TExpressionItem &expression = item.expression;
  const int kind = expression.Expression_Type();

  for (const TLengthErrorComponent &source : LENGTH_ERROR_COMPONENTS)
  {
    if (source.target != source_standard || item.name != QLatin1String(source.component))
    {
      continue;
    }
    const QString volume_text = Scaled_Length_Error_Text(expression, 2.0, 2.0);
    if (volume_text.isEmpty())
    {
      return;
    }
    Add_Derived_Item(pending, TARGET_B89, item, "Volume", volume_text);
    const QString text = Scaled_Length_Error_Text(expression, 1.0, 1.0);
    for (const TLengthErrorComponent &target : LENGTH_ERROR_COMPONENTS)
    {
      if (&target != &source)
      {
        Add_Derived_Item(pending, target.target, item, target.component, text);
      }
    }
    return;
  }

  if (source_standard == TARGET_B89 && item.name == QLatin1String("Volume"))
  {
    const auto value = [&expression](int index)
    { return expression.Component(index, TExpressionItem::UNITS_MM); };

    QString text;
    if (kind == TExpressionItem::EXPRESSION_FIXED_LENGTH)
    {
      // The value stated for length N becomes the length-dependent part.
      if (repeatability.available)
      {
        text = Linear_Text(repeatability.value, value(0) / 2.0, value(1));
      }
    }
    else if (kind == TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE)
    {
      if (repeatability.available)
      {
        text = QStringLiteral("%1+0.00000Td+(%2+%3Td)L/%4")
                   .arg(Fixed_4(repeatability.value), Fixed_4(value(0) / 2.0), Fixed_5(value(1)),
                        General(value(2)));
      }
    }
    else
    {
      // The maximum of a ballbar length variation is kept as it is.
      text = Scaled_Length_Error_Text(expression, 0.5, 1.0);
    }
    if (!text.isEmpty())
    {
      for (const TLengthErrorComponent &target : LENGTH_ERROR_COMPONENTS)
      {
        Add_Derived_Item(pending, target.target, item, target.component, text);
      }
    }
    return;
  }

  if (kind != TExpressionItem::EXPRESSION_CONSTANT)
  {
    return;
  }
  const double a = expression.Component(0, TExpressionItem::UNITS_MM);
  for (const TConstantRule &rule : CONSTANT_RULES)
  {
    if (rule.source != source_standard || item.name != QLatin1String(rule.component))
    {
      continue;
    }
    for (int index = 0; index < rule.target_count; ++index)
    {
      const TConstantTarget &target = rule.targets[index];
      Add_Derived_Item(pending, target.target, item, target.component, Fixed_4(target.factor * a));
    }
    return;
  }
}

int Target_Of(const QString &standard)
{
  for (int target = 0; target < TARGET_COUNT; ++target)
  {
    if (standard == QLatin1String(TARGET_STANDARDS[target]))
    {
      return target;
    }
  }
  return -1;
}

bool Row_Exists(const TStoredRows &rows, int standard_id, int component_id)
{
  return std::any_of(rows.begin(), rows.end(),
                     [standard_id, component_id](const TStoredRow &row) {
                       return row.standard_id == standard_id && row.component_id == component_id;
                     });
}

// What the rows of one standard yield, in the order of the pending lists.
TPendingLists Derive_From_Standard(TTarget source_standard, int standard_id,
                                   const TStoredRows &rows)
{
  TRepeatability repeatability;
  if (source_standard == TARGET_B89)
  {
    // R as stored, that is rounded to the text's four decimals.
    const auto repeat = std::find_if(rows.begin(), rows.end(),
                                     [standard_id](const TStoredRow &row) {
                                       return row.standard_id == standard_id &&
                                              row.item.name == QLatin1String("Repeat");
                                     });
    if (repeat != rows.end())
    {
      repeatability.available = true;
      repeatability.value =
          repeat->item.expression.Expression_Text(TExpressionItem::UNITS_MM).toDouble();
    }
  }
  TPendingLists pending;
  for (const TStoredRow &row : rows)
  {
    if (row.standard_id == standard_id)
    {
      Derive_Items(source_standard, row.item, repeatability, &pending);
    }
  }
  return pending;
}

// Inserts the derived items whose component has no row yet, list by list; the first derivation
// of a component wins. Stored rows are appended to the configuration.
bool Store_Derived_Items(TDatabase *database, QSqlQuery *insert_query, int make_id, int model_id,
                         int option_id, const TPendingLists &pending, TStoredRows *rows,
                         QString *error)
{
  for (int target = 0; target < TARGET_COUNT; ++target)
  {
    if (pending[target].empty())
    {
      continue;
    }
    const int target_id = database->Standard_Type_Id(QLatin1String(TARGET_STANDARDS[target]));
    if (target_id < 0)
    {
      continue; // a catalogue without that standard has nowhere to put its estimates
    }
    for (const TDerivedItem &derived : pending[target])
    {
      const int component_id = database->Component_Type_Id(target_id, derived.item.name);
      if (component_id < 0 || Row_Exists(*rows, target_id, component_id))
      {
        continue;
      }
      TSpecificationItem item = derived.item;
      // A value too large for the text forms parses to nothing; "0.0000" would be a made-up zero.
      if (item.expression.Set_Expression(derived.text, TExpressionItem::UNITS_MM) ==
          TExpressionItem::EXPRESSION_UNDEFINED)
      {
        continue;
      }
      Bind_Values<QVariant>(
          insert_query, {make_id, model_id, option_id, target_id, component_id,
                         item.expression.Expression_Text(TExpressionItem::UNITS_MM), item.source});
      const bool inserted = insert_query->exec();
      if (!inserted)
      {
        *error = Insert_Failure(QStringLiteral("specification"), insert_query->lastError().text());
      }
      insert_query->finish();
      if (!inserted)
      {
        return false;
      }
      rows->push_back(TStoredRow{target_id, component_id, item});
    }
  }
  return true;
}

bool Anything_Derived(const TPendingLists &pending)
{
  return std::any_of(pending.begin(), pending.end(),
                     [](const std::vector<TDerivedItem> &list) { return !list.empty(); });
}

} // namespace

TDatabase::TDatabase(const QString &connection_name) : d_connection_name(connection_name) {}

TDatabase::~TDatabase()
{
  Close();
}

bool TDatabase::Require_Open()
{
  if (!Is_Open())
  {
    d_last_error = QLatin1String(NOT_CONNECTED);
    return false;
  }
  return true;
}

QSqlQuery *TDatabase::Prepared_Query(const QString &statement,
                                     std::initializer_list<QVariant> values)
{
  QSqlQuery *prepared = nullptr;
  const auto found = d_prepared_queries.find(statement);
  if (found != d_prepared_queries.end())
  {
    prepared = found->second.get();
  }
  else
  {
    if (!Require_Open())
    {
      return nullptr;
    }
    auto query = std::make_unique<QSqlQuery>(*d_connection);
    query->setForwardOnly(true);
    if (!query->prepare(statement))
    {
      d_last_error = query->lastError().text();
      return nullptr;
    }
    prepared = query.get();
    d_prepared_queries.emplace(statement, std::move(query));
  }
  Bind_Values(prepared, values);
  return prepared;
}

QSqlQuery *TDatabase::Quiet_Query(const QString &statement, std::initializer_list<QVariant> values,
                                  QString *error)
{
  const QString previous_error = d_last_error;
  QSqlQuery *query = Prepared_Query(statement, values);
  if (!query)
  {
    if (error)
    {
      *error = d_last_error;
    }
    d_last_error = previous_error;
  }
  return query;
}

bool TDatabase::Run_Statement(const QString &statement, std::initializer_list<QVariant> values,
                              QString *error)
{
  QSqlQuery *query = Quiet_Query(statement, values, error);
  if (!query)
  {
    return false;
  }
  const bool executed = query->exec();
  if (!executed)
  {
    *error = query->lastError().text();
  }
  query->finish();
  return executed;
}

bool TDatabase::Select_Value(const QString &statement, std::initializer_list<QVariant> values,
                             QVariant *value)
{
  QSqlQuery *query = Quiet_Query(statement, values);
  if (!query)
  {
    return false;
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
    return {};
  }
  QStringList makes;
  if (!Read_Names(Quiet_Query(QStringLiteral("SELECT name FROM make ORDER BY make_id"), {}),
                  &makes))
  {
    return {};
  }
  *valid = true;
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
    return nullptr;
  }
  Validate_Catalogue_Cache();
  const auto key = qMakePair(standard_id, component_id);
  auto cached = d_components.constFind(key);
  if (cached != d_components.constEnd())
  {
    return &cached.value();
  }
  QSqlQuery *query =
      Quiet_Query(QStringLiteral("SELECT name,description,expression_types FROM "
                                 "component_types WHERE standard_id=? AND component_type_id=?"),
                  {standard_id, component_id});
  if (query)
  {
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
  if (!Require_Open())
  {
    return {};
  }
  Validate_Catalogue_Cache();
  if (d_standard_list_cached)
  {
    *valid = true;
    return d_standard_list;
  }
  QStringList standards;
  if (!Read_Names(
          Quiet_Query(QStringLiteral("SELECT name FROM standard_types ORDER BY standard_type_id"),
                      {}),
          &standards))
  {
    return {};
  }
  *valid = true;
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
  QStringList components;
  if (!Read_Names(Quiet_Query(QStringLiteral("SELECT name FROM component_types WHERE "
                                             "standard_id=? ORDER BY component_type_id"),
                              {standard_id}),
                  &components))
  {
    return {};
  }
  *valid = true;
  return components;
}

bool TDatabase::Create_Standard_Types()
{
  if (!Require_Open())
  {
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
  if (!Require_Open())
  {
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

int TDatabase::Lookup_Id(int kind, const QString &name)
{
  if (!Require_Open())
  {
    return -1;
  }
  QVariant id;
  if (!Select_Value(NAME_TABLES[kind].id_statement, {name}, &id))
  {
    d_last_error = NAME_TABLES[kind].missing;
    return -1;
  }
  return id.toInt();
}

QString TDatabase::Lookup_Name(int kind, int id)
{
  if (!Require_Open())
  {
    return {};
  }
  QVariant name;
  if (!Select_Value(NAME_TABLES[kind].name_statement, {id}, &name))
  {
    d_last_error = NAME_TABLES[kind].missing;
    return {};
  }
  return name.toString();
}

bool TDatabase::Lookup_Ids(std::initializer_list<QString> names, int *ids)
{
  int kind = NAME_MAKE;
  for (const QString &name : names)
  {
    ids[kind] = Lookup_Id(kind, name);
    if (ids[kind] < 0)
    {
      return false;
    }
    ++kind;
  }
  return true;
}

int TDatabase::Added_Name_Id(int kind, const QString &name)
{
  QVariant id;
  if (Select_Value(NAME_TABLES[kind].id_statement, {name}, &id))
  {
    return id.toInt();
  }
  QString error;
  if (!Run_Statement(NAME_TABLES[kind].insert_statement, {name}, &error))
  {
    d_last_error = Insert_Failure(NAME_TABLES[kind].table, error);
    return -1;
  }
  return Lookup_Id(kind, name);
}

int TDatabase::Make_Id(const QString &make)
{
  return Lookup_Id(NAME_MAKE, make);
}

int TDatabase::Model_Id(const QString &model)
{
  return Lookup_Id(NAME_MODEL, model);
}

int TDatabase::Option_Id(const QString &option)
{
  return Lookup_Id(NAME_OPTION, option);
}

QString TDatabase::Make_Name(int make_id)
{
  return Lookup_Name(NAME_MAKE, make_id);
}

QString TDatabase::Model_Name(int model_id)
{
  return Lookup_Name(NAME_MODEL, model_id);
}

QString TDatabase::Option_Name(int option_id)
{
  return Lookup_Name(NAME_OPTION, option_id);
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
  int ids[2];
  QVariant component_id;
  return Lookup_Ids({make, model}, ids) &&
         Select_Value(QStringLiteral("SELECT component_id FROM specification WHERE make_id=? AND "
                                     "model_id=? LIMIT 1"),
                      {ids[NAME_MAKE], ids[NAME_MODEL]}, &component_id);
}

bool TDatabase::Option_Exists(const QString &make, const QString &model, const QString &option)
{
  int ids[3];
  QVariant component_id;
  return Lookup_Ids({make, model, option}, ids) &&
         Select_Value(QStringLiteral("SELECT component_id FROM specification WHERE make_id=? AND "
                                     "model_id=? AND option_id=? LIMIT 1"),
                      {ids[NAME_MAKE], ids[NAME_MODEL], ids[NAME_OPTION]}, &component_id);
}

QStringList TDatabase::Configuration_Names(const QString &statement,
                                           std::initializer_list<QString> names, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
    return {};
  }
  const bool began_read = Begin_Read();
  const TScope_Exit end_read([&]() { End_Read(began_read); });
  QSqlQuery *query = Quiet_Query(statement, {});
  if (query)
  {
    Bind_Values(query, names);
  }
  QStringList found;
  if (!Read_Names(query, &found))
  {
    return {};
  }
  if (found.isEmpty())
  {
    int ids[3];
    Lookup_Ids(names, ids); // reports the unknown name
    return {};
  }
  *valid = true;
  return found;
}

QStringList TDatabase::Models(const QString &make, bool *valid)
{
  // Each model once, in the order of its first row.
  static const QString statement =
      QStringLiteral("SELECT m.name FROM specification AS s LEFT JOIN model_types AS m ON "
                     "m.model_id=s.model_id WHERE %1 GROUP BY s.model_id ORDER BY MIN(s.rowid)")
          .arg(Rows_Of_Names(1));
  return Configuration_Names(statement, {make}, valid);
}

QStringList TDatabase::Options(const QString &make, const QString &model, bool *valid)
{
  // Each option once, in the order of its first row.
  static const QString statement =
      QStringLiteral("SELECT o.name FROM specification AS s LEFT JOIN option_types AS o ON "
                     "o.option_id=s.option_id WHERE %1 GROUP BY s.option_id ORDER BY MIN(s.rowid)")
          .arg(Rows_Of_Names(2));
  return Configuration_Names(statement, {make, model}, valid);
}

QList<QPair<QString, QString>> TDatabase::Configurations(const QString &make, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
    return {};
  }
  // Each pair once, in the order of its first row.
  static const QString statement =
      QStringLiteral("SELECT mt.name,o.name FROM specification AS s "
                     "LEFT JOIN model_types AS mt ON mt.model_id=s.model_id "
                     "LEFT JOIN option_types AS o ON o.option_id=s.option_id "
                     "WHERE %1 GROUP BY s.model_id,s.option_id ORDER BY MIN(s.rowid)")
          .arg(Rows_Of_Names(1));
  QList<QPair<QString, QString>> configurations;
  QSqlQuery *query = Prepared_Query(statement, {make});
  if (!query ||
      !Read_Rows(query, &d_last_error,
                 [&configurations](const QSqlQuery &row) {
                   configurations.append({row.value(0).toString(), row.value(1).toString()});
                 }))
  {
    return {};
  }
  *valid = true;
  return configurations;
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
  int ids[2];
  if (!Lookup_Ids({make, model}, ids))
  {
    return false;
  }
  QString error;
  if (!Run_Statement(QStringLiteral("DELETE FROM specification WHERE make_id=? AND model_id=?"),
                     {ids[NAME_MAKE], ids[NAME_MODEL]}, &error))
  {
    d_last_error =
        QStringLiteral("Cannot delete specification entry for '%1' and '%2'").arg(make, model);
    return false;
  }
  return true;
}

bool TDatabase::Remove_Option(const QString &make, const QString &model, const QString &option)
{
  int ids[3];
  if (!Lookup_Ids({make, model, option}, ids))
  {
    return false;
  }
  QString error;
  if (!Run_Statement(QStringLiteral("DELETE FROM specification WHERE make_id=? AND model_id=? "
                                    "AND option_id=?"),
                     {ids[NAME_MAKE], ids[NAME_MODEL], ids[NAME_OPTION]}, &error))
  {
    d_last_error = QStringLiteral("Cannot delete specification entry for '%1' and '%2' and '%3'")
                       .arg(make, model, option);
    return false;
  }
  return true;
}

bool TDatabase::Write_Specification(const TDatabaseItem &item)
{
  if (!Require_Open())
  {
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
  const QString names[] = {item.Make(), item.Model(), item.Option()};
  int ids[3];
  for (int kind = NAME_MAKE; kind <= NAME_OPTION; ++kind)
  {
    ids[kind] = Added_Name_Id(kind, names[kind]);
    if (ids[kind] < 0)
    {
      return false;
    }
  }
  const int standard_id = Standard_Type_Id(item.Standard());
  if (standard_id < 0)
  {
    return false;
  }

  QString error;
  if (!Run_Statement(QStringLiteral("DELETE FROM specification WHERE make_id=? AND model_id=? AND "
                                    "option_id=? AND standard_id=?"),
                     {ids[NAME_MAKE], ids[NAME_MODEL], ids[NAME_OPTION], standard_id}, &error))
  {
    d_last_error =
        QStringLiteral("Cannot delete existing specification data.  Reason: %1").arg(error);
    return false;
  }

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
    if (!Run_Statement(STATEMENT_INSERT,
                       {ids[NAME_MAKE], ids[NAME_MODEL], ids[NAME_OPTION], standard_id,
                        component_id,
                        specification_item.expression.Expression_Text(TExpressionItem::UNITS_MM),
                        specification_item.source},
                       &error))
    {
      d_last_error = Insert_Failure(QStringLiteral("specification"), error);
      return false;
    }
  }
  return true;
}

template <typename TRows>
bool TDatabase::Read_Stored_Rows(QSqlQuery *query, TRows *rows)
{
  const auto read_row = [this, rows](const QSqlQuery &row)
  {
    rows->push_back({row.value(0).toInt(), row.value(1).toInt(), {}});
    TStoredRow &stored = rows->back();
    if (const TComponentType *component = Component_Type(stored.standard_id, stored.component_id))
    {
      stored.item.name = component->name;
      stored.item.description = component->description;
      stored.item.expression_types = component->expression_types;
    }
    stored.item.source = row.value(2).toInt();
    stored.item.expression = Parsed_Expression(row.value(3).toString());
  };
  // A configuration has a row per component at the most.
  rows->reserve(rows->size() + std::size(COMPONENT_SEED));
  return query && Read_Rows(query, &d_last_error, read_row);
}

TDatabaseItem TDatabase::Read_Specification(const QString &make, const QString &model,
                                            const QString &option, const QString &standard,
                                            bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  const bool began_read = Begin_Read();
  const TScope_Exit end_read([&]() { End_Read(began_read); });
  int ids[3];
  if (!Lookup_Ids({make, model, option}, ids))
  {
    return {};
  }
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return {};
  }
  TStoredRows rows;
  if (!Read_Stored_Rows(Prepared_Query(STATEMENT_READ_STANDARD, {ids[NAME_MAKE], ids[NAME_MODEL],
                                                                 ids[NAME_OPTION], standard_id}),
                        &rows))
  {
    return {};
  }
  *valid = true;
  TDatabaseItem record;
  if (!rows.empty())
  {
    Name_Record(&record, make, model, option, standard);
  }
  for (const TStoredRow &row : rows)
  {
    record.Add_Specification_Item(row.item);
  }
  return record;
}

QList<TDatabaseItem> TDatabase::Read_Configuration(const QString &make, const QString &model,
                                                   const QString &option, bool *valid,
                                                   bool manufacturer_only)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
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
  QSqlQuery *query = manufacturer_only
                         ? Prepared_Query(manufacturer_statement,
                                          {make, model, option, TDatabaseItem::SOURCE_ESTIMATED})
                         : Prepared_Query(statement, {make, model, option});
  TStoredRows rows;
  if (!Read_Stored_Rows(query, &rows))
  {
    return {};
  }
  // No rows at all may mean an unknown name, which the look-ups report as Read_Specification does.
  int ids[3];
  if (rows.empty() && !Lookup_Ids({make, model, option}, ids))
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
                            [standard_id](const TStoredRow &candidate)
                            { return candidate.standard_id == standard_id; });
    for (; row != rows.cend() && row->standard_id == standard_id; ++row)
    {
      if (manufacturer_only && row->item.source != TDatabaseItem::SOURCE_MANUFACTURER)
      {
        continue;
      }
      if (record.Specification_Item_Count() == 0)
      {
        Name_Record(&record, make, model, option, standard);
      }
      record.Add_Specification_Item(row->item);
    }
    records.append(record);
  }
  *valid = true;
  return records;
}

// ---------------------------------------------------------------------------------------------
// Estimation of the other standards' components

bool TDatabase::Delete_Estimated_Specifications(int make_id, int model_id, int option_id)
{
  if (!Require_Open())
  {
    return false;
  }
  QString error;
  if (!Run_Statement(STATEMENT_DELETE_ESTIMATED,
                     {make_id, model_id, option_id, TDatabaseItem::SOURCE_ESTIMATED}, &error))
  {
    d_last_error = QStringLiteral("Cannot delete specification entry");
    return false;
  }
  return true;
}

bool TDatabase::Specification_Exists(int make_id, int model_id, int option_id, int standard_id,
                                     int component_id)
{
  if (!Require_Open())
  {
    return false;
  }
  QSqlQuery *query =
      Prepared_Query(STATEMENT_EXISTS, {make_id, model_id, option_id, standard_id, component_id});
  bool found = false;
  return query && Read_Rows(query, &d_last_error, [&found](const QSqlQuery &) { found = true; }) &&
         found;
}

TDatabaseItem TDatabase::Read_Specification_By_Id(int make_id, int model_id, int option_id,
                                                  int standard_id, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
    return {};
  }
  QSqlQuery *query =
      Prepared_Query(STATEMENT_READ_BY_ID, {make_id, model_id, option_id, standard_id});
  TDatabaseItem record;
  const auto read_row = [this, &record](const QSqlQuery &row)
  {
    if (record.Specification_Item_Count() == 0)
    {
      Name_Record(&record, row.value(3).toString(), row.value(4).toString(),
                  row.value(5).toString(), row.value(6).toString());
    }
    TSpecificationItem item;
    item.name = row.value(2).toString();
    item.expression = Parsed_Expression(row.value(0).toString());
    item.source = row.value(1).toInt();
    record.Add_Specification_Item(item);
  };
  if (!query || !Read_Rows(query, &d_last_error, read_row))
  {
    return {};
  }
  *valid = true;
  return record;
}

bool TDatabase::Estimate_From_Standard(int make_id, int model_id, int option_id,
                                       const QString &standard)
{
  if (!Require_Open())
  {
    return false;
  }
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return false;
  }
  TStoredRows rows;
  if (!Read_Stored_Rows(
          Prepared_Query(STATEMENT_READ_CONFIGURATION, {make_id, model_id, option_id}), &rows))
  {
    return false;
  }
  // A standard outside the four has no rules, and so nothing to derive.
  const int source_standard = Target_Of(standard);
  if (source_standard < 0)
  {
    return true;
  }
  const TPendingLists pending =
      Derive_From_Standard(static_cast<TTarget>(source_standard), standard_id, rows);
  if (!Anything_Derived(pending))
  {
    return true;
  }
  QSqlQuery *insert_query = Prepared_Query(STATEMENT_INSERT);
  if (!insert_query || !Savepoint(SAVEPOINT_PASS))
  {
    return false;
  }
  if (!Store_Derived_Items(this, insert_query, make_id, model_id, option_id, pending, &rows,
                           &d_last_error))
  {
    Abandon_Savepoint(SAVEPOINT_PASS);
    return false;
  }
  return Release_Savepoint(SAVEPOINT_PASS);
}

bool TDatabase::Estimate_Specifications(const QString &make, const QString &model,
                                        const QString &option)
{
  if (!Require_Open())
  {
    return false;
  }
  int ids[3];
  if (!Lookup_Ids({make, model, option}, ids))
  {
    return false;
  }
  const int make_id = ids[NAME_MAKE];
  const int model_id = ids[NAME_MODEL];
  const int option_id = ids[NAME_OPTION];
  QSqlQuery *read_query =
      Prepared_Query(STATEMENT_READ_CONFIGURATION, {make_id, model_id, option_id});
  QSqlQuery *insert_query = Prepared_Query(STATEMENT_INSERT);
  if (!read_query || !insert_query)
  {
    return false;
  }

  // The delete and all passes are one unit: a configuration never keeps half its estimates.
  if (!Savepoint(SAVEPOINT_ESTIMATION))
  {
    return false;
  }
  // The configuration is read once; each pass works on it as the passes before it left it.
  TStoredRows rows;
  bool estimated = Delete_Estimated_Specifications(make_id, model_id, option_id) &&
                   Read_Stored_Rows(read_query, &rows);
  QStringList standards;
  if (estimated)
  {
    standards = Standard_Types(&estimated);
  }
  // The first pass that derives a component stores it; later passes find the row.
  for (int index = 0; estimated && index < standards.size(); ++index)
  {
    const int standard_id = Standard_Type_Id(standards.at(index));
    const int source_standard = Target_Of(standards.at(index));
    estimated = standard_id >= 0;
    if (estimated && source_standard >= 0)
    {
      estimated = Store_Derived_Items(
          this, insert_query, make_id, model_id, option_id,
          Derive_From_Standard(static_cast<TTarget>(source_standard), standard_id, rows), &rows,
          &d_last_error);
    }
  }
  if (!estimated)
  {
    Abandon_Savepoint(SAVEPOINT_ESTIMATION);
    return false;
  }
  return Release_Savepoint(SAVEPOINT_ESTIMATION);
}
