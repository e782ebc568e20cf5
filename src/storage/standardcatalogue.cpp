#include "standardcatalogue.h"

#include "databaseschema.h"
#include "sqlconnection.h"

#include <QLatin1String>
#include <QSqlQuery>

#include <algorithm>

namespace
{
const QString STANDARD_NOT_FOUND = QStringLiteral("Standard Type not found.");
const QString COMPONENT_NOT_FOUND = QStringLiteral("Component Type not found.");

QString Insert_Failure(const char *table, const QString &reason)
{
  return QStringLiteral("Cannot add data to table '%1'.  Reason: %2")
      .arg(QLatin1String(table), reason);
}
} // namespace

TStandardCatalogue::TStandardCatalogue(TSqlConnection *connection) : d_connection(connection) {}

bool TStandardCatalogue::Fail(const QString &text, bool fault)
{
  d_error = text;
  d_fault = fault;
  return false;
}

void TStandardCatalogue::Fail_Lookup(const QString &missing, int found)
{
  // A read that failed must not pass for a row that is not there.
  if (found == TSqlConnection::SELECT_FAILED)
  {
    Fail(d_connection->Error(), true);
  }
  else
  {
    Fail(missing, false);
  }
}

void TStandardCatalogue::Invalidate()
{
  d_standard_ids.clear();
  d_standard_names.clear();
  d_component_ids.clear();
  d_components.clear();
  d_standard_list.clear();
  d_standard_list_cached = false;
  d_component_lists.clear();
  d_version = -1;
}

void TStandardCatalogue::Transaction_Begun()
{
  d_current = false;
}

void TStandardCatalogue::Validate()
{
  // Another connection may have rewritten the catalogue (Clear), which changes the file's data
  // version; within one transaction nobody else can change it, so one check suffices.
  const bool in_transaction = d_connection->Savepoint_Depth() > 0 || d_connection->Is_Reading();
  if (in_transaction && d_current)
  {
    return;
  }
  d_current = in_transaction;
  qint64 version = 0;
  const TSqlEngine *engine = d_connection->Engine();
  if (!engine || !engine->Change_Counter(d_connection, &version))
  {
    Invalidate();
    return;
  }
  if (version != d_version)
  {
    Invalidate();
    d_version = version;
  }
}

int TStandardCatalogue::Standard_Type_Id(const QString &name)
{
  Validate();
  const auto cached = d_standard_ids.constFind(name);
  if (cached != d_standard_ids.constEnd())
  {
    return cached.value();
  }
  QVariant id;
  const TSqlConnection::TSelect found = d_connection->Select_Value(
      QStringLiteral("SELECT standard_type_id FROM standard_types WHERE name=? "
                     "ORDER BY standard_type_id LIMIT 1"),
      {name}, &id);
  if (found != TSqlConnection::SELECT_FOUND)
  {
    Fail_Lookup(STANDARD_NOT_FOUND, found);
    return -1;
  }
  d_standard_ids.insert(name, id.toInt());
  return id.toInt();
}

QString TStandardCatalogue::Standard_Type_Name(int standard_id)
{
  Validate();
  const auto cached = d_standard_names.constFind(standard_id);
  if (cached != d_standard_names.constEnd())
  {
    return cached.value();
  }
  QVariant name;
  const TSqlConnection::TSelect found = d_connection->Select_Value(
      QStringLiteral("SELECT name FROM standard_types WHERE standard_type_id=?"), {standard_id},
      &name);
  if (found != TSqlConnection::SELECT_FOUND)
  {
    Fail_Lookup(STANDARD_NOT_FOUND, found);
    return {};
  }
  d_standard_names.insert(standard_id, name.toString());
  return name.toString();
}

int TStandardCatalogue::Component_Type_Id(int standard_id, const QString &name)
{
  Validate();
  const auto key = qMakePair(standard_id, name);
  const auto cached = d_component_ids.constFind(key);
  if (cached != d_component_ids.constEnd())
  {
    return cached.value();
  }
  QVariant id;
  const TSqlConnection::TSelect found = d_connection->Select_Value(
      QStringLiteral("SELECT component_type_id FROM component_types WHERE "
                     "standard_id=? AND name=? ORDER BY component_type_id LIMIT 1"),
      {standard_id, name}, &id);
  if (found != TSqlConnection::SELECT_FOUND)
  {
    Fail_Lookup(COMPONENT_NOT_FOUND, found);
    return -1;
  }
  d_component_ids.insert(key, id.toInt());
  return id.toInt();
}

const TStandardCatalogue::TComponentType *TStandardCatalogue::Component_Type(int standard_id,
                                                                             int component_id)
{
  Validate();
  const auto key = qMakePair(standard_id, component_id);
  auto cached = d_components.constFind(key);
  if (cached != d_components.constEnd())
  {
    return &cached.value();
  }
  TComponentType component;
  bool found = false;
  const auto read_row = [&component, &found](const QSqlQuery &row)
  {
    component.name = row.value(0).toString();
    component.description = row.value(1).toString();
    component.expression_types = row.value(2).toInt();
    found = true;
  };
  const bool read = d_connection->Read_Rows(
      d_connection->Prepared_Query(QStringLiteral("SELECT name,description,expression_types FROM "
                                                  "component_types WHERE standard_id=? AND "
                                                  "component_type_id=? LIMIT 1"),
                                   {standard_id, component_id}),
      read_row);
  if (!read || !found)
  {
    Fail_Lookup(COMPONENT_NOT_FOUND,
                read ? TSqlConnection::SELECT_NONE : TSqlConnection::SELECT_FAILED);
    return nullptr;
  }
  return &d_components.insert(key, component).value();
}

bool TStandardCatalogue::Standard_Types(QStringList *names)
{
  Validate();
  if (!d_standard_list_cached)
  {
    QStringList standards;
    if (!d_connection->Read_Rows(d_connection->Prepared_Query(QStringLiteral(
                                     "SELECT name FROM standard_types ORDER BY standard_type_id")),
                                 [&standards](const QSqlQuery &row)
                                 { standards.append(row.value(0).toString()); }))
    {
      return Fail(d_connection->Error(), true);
    }
    d_standard_list = standards;
    d_standard_list_cached = true;
  }
  *names = d_standard_list;
  return true;
}

bool TStandardCatalogue::Component_Types(int standard_id, QStringList *names)
{
  // Asked for every standard in turn whenever a machine's log is opened.
  Validate();
  const auto cached = d_component_lists.constFind(standard_id);
  if (cached != d_component_lists.constEnd())
  {
    *names = cached.value();
    return true;
  }
  QStringList components;
  if (!d_connection->Read_Rows(
          d_connection->Prepared_Query(QStringLiteral("SELECT name FROM component_types WHERE "
                                                      "standard_id=? ORDER BY component_type_id"),
                                       {standard_id}),
          [&components](const QSqlQuery &row) { components.append(row.value(0).toString()); }))
  {
    return Fail(d_connection->Error(), true);
  }
  d_component_lists.insert(standard_id, components);
  *names = components;
  return true;
}

bool TStandardCatalogue::Add_Standard_Type(const QString &name)
{
  Invalidate();
  if (!d_connection->Run_Statement(QStringLiteral("INSERT INTO standard_types (name) VALUES (?)"),
                                   {name}))
  {
    return Fail(Insert_Failure("standard_types", d_connection->Error()), true);
  }
  return true;
}

bool TStandardCatalogue::Add_Component_Type(int standard_id, const QString &name,
                                            const QString &description, int expression_types)
{
  Invalidate();
  if (!d_connection->Run_Statement(QStringLiteral("INSERT INTO component_types "
                                                  "(standard_id,name,description,expression_types)"
                                                  " VALUES (?,?,?,?)"),
                                   {standard_id, name, description, expression_types}))
  {
    return Fail(Insert_Failure("component_types", d_connection->Error()), true);
  }
  return true;
}

bool TStandardCatalogue::Is_Seeded()
{
  // Every standard and component in one read, kept for the look-ups to come: opening a
  // catalogue on a server would otherwise ask for each seeded name in turn.
  Validate();
  QHash<QString, int> standard_ids;
  QHash<QPair<int, QString>, int> component_ids;
  const auto read_row = [&](const TSqlEngine::TRow &row)
  {
    if (!row.Is_Null(1))
    {
      // The lowest id of a name, as the look-ups take it.
      const int standard_id = row.Integer(0);
      const QString name = row.Text(1);
      standard_ids.insert(name, std::min(standard_ids.value(name, standard_id), standard_id));
    }
    if (!row.Is_Null(2) && !row.Is_Null(3))
    {
      const auto key = qMakePair(row.Integer(0), row.Text(3));
      const int component_id = row.Integer(2);
      component_ids.insert(key, std::min(component_ids.value(key, component_id), component_id));
    }
  };
  // Once per opening: one round trip, not a statement prepared for later.
  if (!d_connection->Read_Plain_Rows(
          QStringLiteral(
              "SELECT s.standard_type_id,s.name,c.component_type_id,c.name FROM standard_types AS "
              "s LEFT JOIN component_types AS c ON c.standard_id=s.standard_type_id"),
          {}, read_row, TSqlEngine::READ_FEW))
  {
    return Fail(d_connection->Error(), true);
  }
  for (auto standard = standard_ids.constBegin(); standard != standard_ids.constEnd(); ++standard)
  {
    d_standard_ids.insert(standard.key(), standard.value());
  }
  for (auto component = component_ids.constBegin(); component != component_ids.constEnd();
       ++component)
  {
    d_component_ids.insert(component.key(), component.value());
  }
  for (const TDatabaseSchema::TComponentSeed &seed : TDatabaseSchema::COMPONENT_SEED)
  {
    const int standard_id = standard_ids.value(QLatin1String(seed.standard), -1);
    if (standard_id < 0 ||
        !component_ids.contains(qMakePair(standard_id, QString(QLatin1String(seed.name)))))
    {
      return Fail(standard_id < 0 ? STANDARD_NOT_FOUND : COMPONENT_NOT_FOUND, false);
    }
  }
  return true;
}

bool TStandardCatalogue::Create_Standard_Types()
{
  for (const char *standard : TDatabaseSchema::STANDARD_SEED)
  {
    const QString name = QLatin1String(standard);
    if (Standard_Type_Id(name) < 0 && (d_fault || !Add_Standard_Type(name)))
    {
      return false;
    }
  }
  return true;
}

bool TStandardCatalogue::Create_Component_Types()
{
  QString standard;
  int standard_id = -1;
  for (const TDatabaseSchema::TComponentSeed &seed : TDatabaseSchema::COMPONENT_SEED)
  {
    if (standard != QLatin1String(seed.standard))
    {
      standard = QLatin1String(seed.standard);
      standard_id = Standard_Type_Id(standard);
      if (standard_id < 0 && d_fault)
      {
        return false;
      }
    }
    if (standard_id < 0)
    {
      continue;
    }
    const QString name = QLatin1String(seed.name);
    if (Component_Type_Id(standard_id, name) < 0 &&
        (d_fault || !Add_Component_Type(standard_id, name, QLatin1String(seed.description),
                                        seed.expression_types)))
    {
      return false;
    }
  }
  return true;
}
