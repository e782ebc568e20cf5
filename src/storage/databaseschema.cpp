#include "databaseschema.h"

#include "sqlconnection.h"
#include "standardcatalogue.h"
#include "transaction.h"

#include <QLatin1String>

// Their statements are the engine's (TSqlEngine::Create_Table and Create_Index).
const TDatabaseSchema::TTableDefinition TDatabaseSchema::TABLES[TABLE_COUNT] = {
    {"make", "Cannot create table 'make(...)'"},
    {"model_types", "Cannot create table 'model_types(...)'"},
    {"option_types", "Cannot create table 'option_types(...)'"},
    {"standard_types", "Cannot create table 'standard_types(...)'"},
    {"component_types", "Cannot create table 'component_types(...)'"},
    {"specification", "Cannot create table 'specification(...)'"}};

const TDatabaseSchema::TIndexDefinition TDatabaseSchema::INDEXES[INDEX_COUNT] = {
    {"make_name"},
    {"model_types_name"},
    {"option_types_name"},
    {"standard_types_name"},
    {"component_types_standard_name"},
    {"specification_configuration"},
};

const char *const TDatabaseSchema::STANDARD_SEED[STANDARD_COUNT] = {"10360", "B89.4.1",
                                                                    "VDIVDE_2617", "CMMA"};

const TDatabaseSchema::TComponentSeed TDatabaseSchema::COMPONENT_SEED[COMPONENT_COUNT] = {
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

TDatabaseSchema::TDatabaseSchema(TSqlConnection *connection, TStandardCatalogue *catalogue)
    : d_connection(connection), d_catalogue(catalogue)
{
}

bool TDatabaseSchema::Create_Table(const QStringList &tables, int table_index)
{
  const TTableDefinition &table = TABLES[table_index];
  if (tables.contains(QLatin1String(table.name), Qt::CaseInsensitive))
  {
    return true;
  }
  if (!d_connection->Run_Once(d_connection->Engine()->Create_Table(table_index)))
  {
    d_error = QLatin1String(table.failure);
    return false;
  }
  return true;
}

bool TDatabaseSchema::Read_Schema(QStringList *tables, QStringList *indexes, bool *foreign)
{
  if (!d_connection->Engine()->List_Schema(d_connection, tables, indexes))
  {
    d_error = d_connection->Error();
    return false;
  }
  bool catalogue_table = false;
  for (const TTableDefinition &table : TABLES)
  {
    catalogue_table =
        catalogue_table || tables->contains(QLatin1String(table.name), Qt::CaseInsensitive);
  }
  // Another program's file has tables of its own; views or the like alone do not make it one.
  *foreign = !catalogue_table && !tables->isEmpty();
  return true;
}

bool TDatabaseSchema::Is_Complete(const QStringList &tables, const QStringList &indexes)
{
  for (const TTableDefinition &table : TABLES)
  {
    if (!tables.contains(QLatin1String(table.name), Qt::CaseInsensitive))
    {
      return false;
    }
  }
  for (const TIndexDefinition &index : INDEXES)
  {
    if (!indexes.contains(QLatin1String(index.name), Qt::CaseInsensitive))
    {
      return false;
    }
  }
  return d_connection->Engine()->Has_Engine_Tables() && d_catalogue->Is_Seeded();
}

bool TDatabaseSchema::Initialize()
{
  d_catalogue->Invalidate();
  // Checked first and written only where something is missing: opening a complete catalogue
  // takes no write lock, so it works while another program writes, or on a file that cannot
  // be written.
  QStringList tables;
  QStringList indexes;
  bool foreign = false;
  bool read = false;
  bool complete = false;
  {
    TReadTransaction read_schema(d_connection);
    read_schema.Join();
    read = Read_Schema(&tables, &indexes, &foreign);
    complete = read && !foreign && Is_Complete(tables, indexes);
  }
  d_catalogue->Invalidate();
  if (!read)
  {
    return false;
  }
  if (foreign)
  {
    d_error = d_connection->Engine()->Foreign_Schema_Reason();
    return false;
  }
  if (complete)
  {
    return true;
  }
  // One transaction instead of a commit per statement; a failing step still keeps the work
  // done before it. The schema is read again under the write lock.
  tables.clear();
  indexes.clear();
  TTransaction transaction(d_connection);
  if (!transaction.Begin())
  {
    d_error = d_connection->Error();
    return false;
  }
  if (!Read_Schema(&tables, &indexes, &foreign))
  {
    return false;
  }
  const auto seed = [this](bool seeded)
  {
    if (!seeded)
    {
      d_error = d_catalogue->Error();
    }
    return seeded;
  };
  const TSqlEngine *engine = d_connection->Engine();
  bool initialized = true;
  if (!engine->Has_Engine_Tables())
  {
    const QStringList statements = engine->Create_Engine_Tables();
    for (int index = 0; initialized && index < statements.size(); ++index)
    {
      initialized = d_connection->Run_Once(statements.at(index));
    }
    if (!initialized)
    {
      d_error = QStringLiteral("Cannot create the catalogue's tables.  Reason: %1")
                    .arg(d_connection->Error());
    }
  }
  initialized =
      initialized && Create_Table(tables, TABLE_MAKE) && Create_Table(tables, TABLE_MODEL_TYPES) &&
      Create_Table(tables, TABLE_OPTION_TYPES) && Create_Table(tables, TABLE_STANDARD_TYPES) &&
      seed(d_catalogue->Create_Standard_Types()) && Create_Table(tables, TABLE_COMPONENT_TYPES) &&
      seed(d_catalogue->Create_Component_Types()) && Create_Table(tables, TABLE_SPECIFICATION);
  if (initialized)
  {
    // A table of another shape lacks the indexed columns; it is still accepted. Each index is a
    // unit of its own: an engine may refuse every statement after a failed one until then.
    for (int index = 0; index < INDEX_COUNT; ++index)
    {
      TTransaction create_index(d_connection);
      if (create_index.Begin() && d_connection->Run_Once(engine->Create_Index(index)))
      {
        create_index.Commit();
      }
    }
    if (d_new_tables)
    {
      initialized = d_new_tables(&d_error);
    }
  }
  if (!transaction.Commit())
  {
    d_error = d_connection->Error();
    initialized = false;
  }
  d_catalogue->Invalidate();
  return initialized;
}

bool TDatabaseSchema::Clear()
{
  d_catalogue->Invalidate();
  TTransaction transaction(d_connection);
  if (!transaction.Begin())
  {
    d_error = d_connection->Error();
    return false;
  }
  bool cleared = true;
  for (const TTableDefinition &table : TABLES)
  {
    if (!d_connection->Run_Statement(QStringLiteral("DELETE FROM ") + QLatin1String(table.name)))
    {
      d_error = d_connection->Error();
      cleared = false;
      break;
    }
  }
  if (cleared && !(d_catalogue->Create_Standard_Types() && d_catalogue->Create_Component_Types()))
  {
    d_error = d_catalogue->Error();
    cleared = false;
  }
  if (!cleared)
  {
    transaction.Rollback();
  }
  else if (!transaction.Commit())
  {
    d_error = d_connection->Error();
    cleared = false;
  }
  d_catalogue->Invalidate();
  return cleared;
}
