#include "bulkspecificationwriter.h"

#include "configurationnames.h"
#include "database.h"
#include "specificationestimation.h"
#include "sqlconnection.h"

#include <QAtomicInt>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace
{
using TStoredRow = TSpecificationEstimation::TStoredRow;
using TStoredRows = TSpecificationEstimation::TStoredRows;

QAtomicInt enabled(1);

// The name tables by kind, as TConfigurationNames has them.
const char *const NAME_TABLES[] = {"make", "model_types", "option_types"};
const char *const NAME_IDS[] = {"make_id", "model_id", "option_id"};

QString Insert_Failure(const char *table)
{
  return QStringLiteral("Cannot add data to table '%1'.  Reason: ").arg(QLatin1String(table));
}
} // namespace

TBulkSpecificationWriter::TBulkSpecificationWriter(TDatabase *database)
    : d_database(database),
      d_places(TSpecificationEstimation::PLACE_COUNT, QPair<int, int>(PLACE_UNKNOWN, PLACE_UNKNOWN))
{
}

TBulkSpecificationWriter::~TBulkSpecificationWriter() = default;

bool TBulkSpecificationWriter::Fail(const QString &failure, const TSqliteStatement &statement)
{
  d_error = failure + statement.Error();
  return false;
}

bool TBulkSpecificationWriter::Is_Plain(const QString &name)
{
  return std::all_of(name.cbegin(), name.cend(),
                     [](QChar character)
                     {
                       return character.unicode() < 0xD800 ||
                              (character.unicode() >= 0xE000 && character.unicode() < 0xFEFF);
                     });
}

void TBulkSpecificationWriter::Set_Enabled(bool enable)
{
  enabled.storeRelaxed(enable ? 1 : 0);
}

bool TBulkSpecificationWriter::Begin()
{
  sqlite3 *handle = d_database->d_sql->Native_Handle();
  if (!handle || enabled.loadRelaxed() == 0)
  {
    return false;
  }
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
    if (!d_add_name[kind].Prepare(handle, QStringLiteral("INSERT INTO %1 (name) VALUES (?)")
                                              .arg(QLatin1String(NAME_TABLES[kind]))))
    {
      return Fail(QString(), d_add_name[kind]);
    }
    if (!Read_Names(kind))
    {
      return false;
    }
  }
  return Read_Catalogue();
}

bool TBulkSpecificationWriter::Read_Names(int kind)
{
  TSqliteStatement read;
  if (!read.Prepare(d_database->d_sql->Native_Handle(),
                    QStringLiteral("SELECT %1,name FROM %2 ORDER BY %1")
                        .arg(QLatin1String(NAME_IDS[kind]), QLatin1String(NAME_TABLES[kind]))))
  {
    return Fail(QString(), read);
  }
  QHash<QByteArray, int> &names = d_names[kind];
  TSqliteStatement::TStep step;
  while ((step = read.Step()) == TSqliteStatement::STEP_ROW)
  {
    // A lookup by name compares texts and takes the first row.
    if (read.Is_Integer(0) && read.Is_Text(1))
    {
      int size = 0;
      const char *name = read.Text(1, &size);
      const QByteArray key(name, size);
      if (!names.contains(key))
      {
        names.insert(key, read.Integer(0));
      }
      d_id_names[kind].insert(read.Integer(0), key);
    }
  }
  return step == TSqliteStatement::STEP_DONE || Fail(QString(), read);
}

bool TBulkSpecificationWriter::Read_Catalogue()
{
  TDatabase *database = d_database;
  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    d_error = database->Last_Error();
    return false;
  }
  for (const QString &name : standards)
  {
    const int standard_id = database->Standard_Type_Id(name);
    const QStringList components = database->Component_Types(name, &valid);
    if (standard_id < 0 || !valid)
    {
      d_error = database->Last_Error();
      return false;
    }
    TStandard standard{standard_id, name, name.toUtf8(), {}};
    for (const QString &component : components)
    {
      const int component_id = database->Component_Type_Id(standard_id, component);
      const TStandardCatalogue::TComponentType *type =
          component_id < 0 ? nullptr : database->Component_Type(standard_id, component_id);
      if (!type)
      {
        d_error = database->Last_Error();
        return false;
      }
      standard.components.push_back(TComponent{component_id, type->name, type->name.toUtf8(),
                                               type->description, type->expression_types});
    }
    d_standards.push_back(standard);
  }
  return true;
}

const TBulkSpecificationWriter::TStandard *TBulkSpecificationWriter::Standard(int standard_id) const
{
  for (const TStandard &standard : d_standards)
  {
    if (standard.id == standard_id)
    {
      return &standard;
    }
  }
  return nullptr;
}

int TBulkSpecificationWriter::Standard_Id(const QString &name) const
{
  for (const TStandard &standard : d_standards)
  {
    if (standard.name == name)
    {
      return standard.id;
    }
  }
  return -1;
}

const TBulkSpecificationWriter::TComponent *
TBulkSpecificationWriter::Component(int standard_id, const QString &name) const
{
  const TStandard *standard = Standard(standard_id);
  if (standard)
  {
    for (const TComponent &component : standard->components)
    {
      if (component.name == name)
      {
        return &component;
      }
    }
  }
  return nullptr;
}

const TBulkSpecificationWriter::TComponent *
TBulkSpecificationWriter::Component_By_Id(int standard_id, int component_id) const
{
  const TStandard *standard = Standard(standard_id);
  if (standard)
  {
    for (const TComponent &component : standard->components)
    {
      if (component.id == component_id)
      {
        return &component;
      }
    }
  }
  return nullptr;
}

int TBulkSpecificationWriter::Standard_Id(const char *utf8, int size) const
{
  for (const TStandard &standard : d_standards)
  {
    if (standard.utf8.size() == size && std::memcmp(standard.utf8.constData(), utf8, size) == 0)
    {
      return standard.id;
    }
  }
  return -1;
}

const TBulkSpecificationWriter::TComponent *
TBulkSpecificationWriter::Component(int standard_id, const char *utf8, int size) const
{
  const TStandard *standard = Standard(standard_id);
  if (!standard)
  {
    return nullptr;
  }
  for (const TComponent &component : standard->components)
  {
    if (component.utf8.size() == size && std::memcmp(component.utf8.constData(), utf8, size) == 0)
    {
      return &component;
    }
  }
  return nullptr;
}

int TBulkSpecificationWriter::Name_Id(int kind, const char *utf8, int size, bool add)
{
  QHash<QByteArray, int> &names = d_names[kind];
  const auto found = names.constFind(QByteArray::fromRawData(utf8, size));
  if (found != names.constEnd())
  {
    return found.value();
  }
  if (!add)
  {
    return -1;
  }
  TSqliteStatement &insert = d_add_name[kind];
  insert.Bind(1, utf8, size);
  if (!insert.Execute())
  {
    Fail(Insert_Failure(NAME_TABLES[kind]), insert);
    return -1;
  }
  // The name was nowhere before: its row is the first that has it.
  const int id = static_cast<int>(sqlite3_last_insert_rowid(d_database->d_sql->Native_Handle()));
  const QByteArray key(utf8, size);
  names.insert(key, id);
  d_id_names[kind].insert(id, key);
  return id;
}

bool TBulkSpecificationWriter::Insert(const int ids[], const TNewRow *rows, int count)
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
      if (!insert->Prepare(d_database->d_sql->Native_Handle(), statement))
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

bool TBulkSpecificationWriter::Write_Rows(const int ids[], int standard_id, const TRow *rows,
                                          int count)
{
  for (int position = 0; position < 3; ++position)
  {
    d_delete_standard.Bind(position + 1, ids[position]);
  }
  d_delete_standard.Bind(4, standard_id);
  if (!d_delete_standard.Execute())
  {
    return Fail(QStringLiteral("Cannot delete existing specification data.  Reason: "),
                d_delete_standard);
  }
  d_new_rows.clear();
  for (int index = 0; index < count; ++index)
  {
    d_new_rows.push_back(TNewRow{standard_id, rows[index].component_id, rows[index].text,
                                 rows[index].size, TDatabaseItem::SOURCE_MANUFACTURER});
  }
  return Insert(ids, d_new_rows.data(), count);
}

bool TBulkSpecificationWriter::Read_Row(const TSqliteStatement &statement, int column,
                                        TStoredRows *rows) const
{
  const TComponent *component =
      statement.Is_Integer(column) && statement.Is_Integer(column + 1) &&
              statement.Is_Text(column + 2)
          ? Component_By_Id(statement.Integer(column), statement.Integer(column + 1))
          : nullptr;
  if (!component)
  {
    return false;
  }
  rows->push_back(TStoredRow{statement.Integer(column), component->id, {}});
  TSpecificationItem &item = rows->back().item;
  item.name = component->name;
  item.description = component->description;
  item.expression_types = component->expression_types;
  int size = 0;
  const char *text = statement.Text(column + 2, &size);
  item.expression.Set_Expression(text, size, TExpressionItem::UNITS_MM);
  return true;
}

bool TBulkSpecificationWriter::Delete_Estimated(const int ids[])
{
  for (int position = 0; position < 3; ++position)
  {
    d_delete_estimated.Bind(position + 1, ids[position]);
  }
  d_delete_estimated.Bind(4, TDatabaseItem::SOURCE_ESTIMATED);
  return d_delete_estimated.Execute() ||
         Fail(QStringLiteral("Cannot delete specification entry.  Reason: "), d_delete_estimated);
}

bool TBulkSpecificationWriter::Store_Estimates(const int ids[], TStoredRows *rows)
{
  // Each place is looked up once.
  const auto place = [this](const TSpecificationEstimation::TDerivedItem &derived, int *standard_id,
                            int *component_id)
  {
    QPair<int, int> &known = d_places[static_cast<std::size_t>(derived.place)];
    if (known.first == PLACE_UNKNOWN)
    {
      known.first = Standard_Id(derived.standard);
      const TComponent *component = Component(known.first, derived.item.name);
      known.second = component ? component->id : -1;
    }
    *standard_id = known.first;
    *component_id = known.second;
    return true;
  };
  // The first pass that derives a component stores it; later passes find the row.
  std::vector<TSpecificationEstimation::TNewRow> chosen;
  for (const TStandard &standard : d_standards)
  {
    TSpecificationEstimation::Choose_New_Rows(
        TSpecificationEstimation::Derive(standard.name, standard.id, *rows), place, rows, &chosen);
  }
  std::vector<QByteArray> texts;
  texts.reserve(chosen.size());
  d_new_rows.clear();
  for (const TSpecificationEstimation::TNewRow &row : chosen)
  {
    texts.push_back(row.text.toUtf8());
    d_new_rows.push_back(TNewRow{row.standard_id, row.component_id, texts.back().constData(),
                                 texts.back().size(), TDatabaseItem::SOURCE_ESTIMATED});
  }
  return Insert(ids, d_new_rows.data(), static_cast<int>(d_new_rows.size()));
}

bool TBulkSpecificationWriter::Is_Plain_Name(int kind, int id) const
{
  // The name as a look-up by name finds it: a plain name whose first row is this one.
  const auto name = d_id_names[kind].constFind(id);
  if (name == d_id_names[kind].constEnd() || d_names[kind].value(name.value(), -1) != id)
  {
    return false;
  }
  const QByteArray &utf8 = name.value();
  if (std::all_of(utf8.cbegin(), utf8.cend(), [](char byte) { return byte >= 0; }))
  {
    return true;
  }
  const QString text = QString::fromUtf8(utf8);
  return Is_Plain(text) && text.toUtf8() == utf8;
}

QString TBulkSpecificationWriter::Name(int kind, int id) const
{
  return QString::fromUtf8(d_id_names[kind].value(id));
}

TBulkSpecificationWriter::TEstimate
TBulkSpecificationWriter::Estimate_Make(int make_id, QString *model, QString *option)
{
  // Every row of the make in one read, in storage order: its configurations come in the order of
  // their first rows, each with its rows in order. A row flagged as the deletion of estimated rows
  // would delete it is left out, as that deletion would leave it out.
  struct TConfiguration
  {
    int ids[3];
    bool has_estimated;
    TStoredRows rows;
  };
  std::vector<TConfiguration> configurations;
  QHash<QPair<int, int>, int> positions;
  d_read_make.Bind(1, make_id);
  d_read_make.Bind(2, TDatabaseItem::SOURCE_ESTIMATED);
  TSqliteStatement::TStep step;
  while ((step = d_read_make.Step()) == TSqliteStatement::STEP_ROW)
  {
    if (!d_read_make.Is_Integer(0) || !d_read_make.Is_Integer(1))
    {
      d_read_make.Reset();
      return ESTIMATE_ELSEWHERE;
    }
    const QPair<int, int> key(d_read_make.Integer(0), d_read_make.Integer(1));
    auto position = positions.constFind(key);
    if (position == positions.constEnd())
    {
      if (!Is_Plain_Name(TConfigurationNames::MODEL, key.first) ||
          !Is_Plain_Name(TConfigurationNames::OPTION, key.second))
      {
        d_read_make.Reset();
        return ESTIMATE_ELSEWHERE;
      }
      position = positions.insert(key, static_cast<int>(configurations.size()));
      configurations.push_back(TConfiguration{{make_id, key.first, key.second}, false, {}});
    }
    TConfiguration &configuration = configurations[static_cast<std::size_t>(position.value())];
    if (d_read_make.Is_Integer(5) && d_read_make.Integer(5) == 1)
    {
      configuration.has_estimated = true;
    }
    else if (!Read_Row(d_read_make, 2, &configuration.rows))
    {
      d_read_make.Reset();
      return ESTIMATE_ELSEWHERE;
    }
  }
  if (step == TSqliteStatement::STEP_FAILED)
  {
    Fail(QString(), d_read_make);
    return ESTIMATE_FAILED;
  }
  for (TConfiguration &configuration : configurations)
  {
    if ((configuration.has_estimated && !Delete_Estimated(configuration.ids)) ||
        !Store_Estimates(configuration.ids, &configuration.rows))
    {
      *model = Name(TConfigurationNames::MODEL, configuration.ids[1]);
      *option = Name(TConfigurationNames::OPTION, configuration.ids[2]);
      return ESTIMATE_FAILED;
    }
  }
  return ESTIMATE_DONE;
}
