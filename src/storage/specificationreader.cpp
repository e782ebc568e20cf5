#include "specificationreader.h"

#include "configurationnames.h"
#include "databaseschema.h"
#include "sqlconnection.h"
#include "standardcatalogue.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace
{
using TStoredRow = TSpecificationEstimation::TStoredRow;
using TStoredRows = TSpecificationEstimation::TStoredRows;

// The rows that make records: read with their columns in this order, standard_id, component_id,
// source and expression, they build their items in one way (Read_Stored_Rows).
const QString STATEMENT_READ_STANDARD = QStringLiteral(
    "SELECT standard_id,component_id,source,expression FROM specification WHERE make_id=? AND "
    "model_id=? AND option_id=? AND standard_id=? ORDER BY rowid");
const QString STATEMENT_READ_CONFIGURATION = QStringLiteral(
    "SELECT standard_id,component_id,source,expression FROM specification WHERE make_id=? AND "
    "model_id=? AND option_id=? ORDER BY rowid");
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

// A ranking reads the component and the 10360 temperature band: their types, then their rows by
// those ids (a comparison of ids per row costs the engine far less than a subquery would), in
// whatever order the engine finds them: a server would otherwise sort them all, and their order
// is set here. Names are neither joined to each row nor sorted with it: each kind is read once in
// the engine's order of names (NAME_ORDER), whose places then order the machines.
const QString STATEMENT_READ_COMPONENT_TYPES = QStringLiteral(
    "SELECT c.standard_id,c.component_type_id,st.name,c.name FROM component_types AS c JOIN "
    "standard_types AS st ON st.standard_type_id=c.standard_id WHERE (st.name=? AND c.name=?) OR "
    "(st.name=? AND c.name IN (?,?))");
const QString STATEMENT_READ_COMPONENT =
    QStringLiteral("SELECT make_id,model_id,option_id,standard_id,component_id,source,expression,"
                   "rowid FROM specification WHERE %1");
// The components of one standard: a row's component is compared first, the cheaper test for most
// rows of a scan.
const QString COMPONENT_TYPES = QStringLiteral("((%1) AND standard_id=?)");
const QString COMPONENT_TYPE = QStringLiteral("component_id=?");
const QString NAME_ORDER[] = {
    QStringLiteral("SELECT make_id,name FROM make ORDER BY name"),
    QStringLiteral("SELECT model_id,name FROM model_types ORDER BY name"),
    QStringLiteral("SELECT option_id,name FROM option_types ORDER BY name")};

// An id of a name and the place of its name among the names of its kind; equal names share a
// place, as they would share a machine when rows were joined to them.
struct TPlacedId
{
  int id;
  int place;

  bool operator<(const TPlacedId &other) const { return id < other.id; }
};

// The rows of configurations whose names are all there, in the order of the machines (the
// places of their names), each machine's by standard id, each record's in storage order. A row
// holds the place of its parsed text, not the text, and its order as two numbers before the
// rowid: rows stay small and quick to sort.
struct TPlacedRow
{
  // The places of the make and the model.
  quint64 names;
  // The place of the option and the standard id.
  quint64 option_standard;
  qint64 rowid;
  int component_id;
  int source;
  int expression;

  int Place(int kind) const
  {
    const quint64 both = kind < 2 ? names : option_standard;
    return static_cast<int>(kind == 1 ? both & 0xffffffffu : both >> 32);
  }
  int Standard_Id() const { return static_cast<int>(static_cast<quint32>(option_standard) ^ SIGN); }
  bool operator<(const TPlacedRow &other) const
  {
    return names != other.names                       ? names < other.names
           : option_standard != other.option_standard ? option_standard < other.option_standard
                                                      : rowid < other.rowid;
  }
  // Places are not negative; an id's sign bit is flipped so that ids keep their order.
  static constexpr quint32 SIGN = 0x80000000u;
};

// Two numbers as one key.
qint64 Key(int first, int second)
{
  return (static_cast<qint64>(first) << 32) | static_cast<quint32>(second);
}

void Name_Record(TDatabaseItem *record, const QString &make, const QString &model,
                 const QString &option, const QString &standard)
{
  record->Set_Make(make);
  record->Set_Model(model);
  record->Set_Option(option);
  record->Set_Standard(standard);
}
} // namespace

TSpecificationReader::TSpecificationReader(TSqlConnection *connection,
                                           TStandardCatalogue *catalogue,
                                           TConfigurationNames *names)
    : d_connection(connection), d_catalogue(catalogue), d_names(names)
{
}

bool TSpecificationReader::Fail(const QString &text, bool fault)
{
  d_error = text;
  d_fault = fault;
  return false;
}

template <typename TSource>
bool TSpecificationReader::Fail(const TSource &source)
{
  return Fail(source.Error(), source.Is_Fault());
}

void TSpecificationReader::Bound_Parsed_Expressions()
{
  // Enough for the distinct texts of a large catalogue; beyond it the cache starts over.
  constexpr int MAXIMUM_PARSED_EXPRESSIONS = 16384;
  if (d_parsed_indexes.size() >= MAXIMUM_PARSED_EXPRESSIONS)
  {
    d_parsed_indexes.clear();
    d_parsed_expressions.clear();
  }
}

TExpressionItem TSpecificationReader::Parsed_Expression(const QString &text)
{
  Bound_Parsed_Expressions();
  return d_parsed_expressions[static_cast<std::size_t>(Parsed_Index(text.toUtf8()))];
}

int TSpecificationReader::Parsed_Index(const QByteArray &utf8)
{
  const auto cached = d_parsed_indexes.constFind(utf8);
  if (cached != d_parsed_indexes.constEnd())
  {
    return cached.value();
  }
  TExpressionItem expression;
  expression.Set_Expression(utf8.constData(), utf8.size(), TExpressionItem::UNITS_MM);
  d_parsed_expressions.push_back(expression);
  const int index = static_cast<int>(d_parsed_expressions.size()) - 1;
  // The key may be a row's own bytes, which go with the row.
  d_parsed_indexes.insert(QByteArray(utf8.constData(), utf8.size()), index);
  return index;
}

bool TSpecificationReader::Read_Stored_Rows(QSqlQuery *query, TStoredRows *rows)
{
  bool catalogue_failed = false;
  const auto read_row = [this, rows, &catalogue_failed](const QSqlQuery &row)
  {
    rows->push_back({row.value(0).toInt(), row.value(1).toInt(), {}});
    TStoredRow &stored = rows->back();
    // A component the catalogue does not name (a file edited elsewhere) stays without a name;
    // a catalogue that cannot be read fails the read.
    if (const TStandardCatalogue::TComponentType *component =
            d_catalogue->Component_Type(stored.standard_id, stored.component_id))
    {
      stored.item.name = component->name;
      stored.item.description = component->description;
      stored.item.expression_types = component->expression_types;
    }
    else if (d_catalogue->Is_Fault())
    {
      catalogue_failed = true;
    }
    stored.item.source = row.value(2).toInt();
    stored.item.expression = Parsed_Expression(row.value(3).toString());
  };
  // A configuration has a row per component at the most.
  rows->reserve(rows->size() + TDatabaseSchema::COMPONENT_COUNT);
  if (!d_connection->Read_Rows(query, read_row))
  {
    return Fail(*d_connection);
  }
  return !catalogue_failed || Fail(*d_catalogue);
}

bool TSpecificationReader::Read_Rows(int make_id, int model_id, int option_id, TStoredRows *rows)
{
  return Read_Stored_Rows(
      d_connection->Prepared_Query(STATEMENT_READ_CONFIGURATION, {make_id, model_id, option_id}),
      rows);
}

bool TSpecificationReader::Read_Specification(const QString &make, const QString &model,
                                              const QString &option, const QString &standard,
                                              TDatabaseItem *record)
{
  int ids[3];
  if (!d_names->Ids({make, model, option}, ids))
  {
    return Fail(*d_names);
  }
  const int standard_id = d_catalogue->Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return Fail(*d_catalogue);
  }
  TStoredRows rows;
  if (!Read_Stored_Rows(d_connection->Prepared_Query(STATEMENT_READ_STANDARD,
                                                     {ids[0], ids[1], ids[2], standard_id}),
                        &rows))
  {
    return false;
  }
  if (!rows.empty())
  {
    Name_Record(record, make, model, option, standard);
  }
  for (const TStoredRow &row : rows)
  {
    record->Add_Specification_Item(row.item);
  }
  return true;
}

bool TSpecificationReader::Read_Configuration(const QString &make, const QString &model,
                                              const QString &option, bool manufacturer_only,
                                              QList<TDatabaseItem> *records)
{
  QStringList standards;
  if (!d_catalogue->Standard_Types(&standards))
  {
    return Fail(*d_catalogue);
  }
  // The second form leaves out the rows that are surely estimated; the source as read decides
  // about the others.
  static const QString statement =
      QStringLiteral("SELECT s.standard_id,s.component_id,s.source,s.expression FROM "
                     "specification AS s WHERE %1 ORDER BY s.standard_id,s.rowid")
          .arg(TConfigurationNames::Rows_Of_Names(3));
  static const QString manufacturer_statement =
      QStringLiteral("SELECT s.standard_id,s.component_id,s.source,s.expression FROM "
                     "specification AS s WHERE %1 AND (s.source IS NULL OR s.source<>?) ORDER BY "
                     "s.standard_id,s.rowid")
          .arg(TConfigurationNames::Rows_Of_Names(3));
  const auto query = [&](const QStringList &names)
  {
    return manufacturer_only
               ? d_connection->Prepared_Query(
                     manufacturer_statement,
                     {names.at(0), names.at(1), names.at(2), TDatabaseItem::SOURCE_ESTIMATED})
               : d_connection->Prepared_Query(statement, {names.at(0), names.at(1), names.at(2)});
  };
  TStoredRows rows;
  QStringList stored;
  // Once more for names stored otherwise than they read back.
  if (!Read_Stored_Rows(query({make, model, option}), &rows) ||
      (rows.empty() && d_names->Stored_Names({make, model, option}, &stored) &&
       !Read_Stored_Rows(query(stored), &rows)))
  {
    return false;
  }
  // No rows at all may mean an unknown name, which the look-ups report as Read_Specification does.
  int ids[3];
  if (rows.empty() && !d_names->Ids({make, model, option}, ids))
  {
    return Fail(*d_names);
  }

  records->reserve(standards.size());
  for (const QString &standard : standards)
  {
    const int standard_id = d_catalogue->Standard_Type_Id(standard);
    if (standard_id < 0)
    {
      return Fail(*d_catalogue);
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
    records->append(record);
  }
  return true;
}

bool TSpecificationReader::Read_Specification_By_Id(int make_id, int model_id, int option_id,
                                                    int standard_id, TDatabaseItem *record)
{
  const auto read_row = [this, record](const QSqlQuery &row)
  {
    if (record->Specification_Item_Count() == 0)
    {
      Name_Record(record, row.value(3).toString(), row.value(4).toString(), row.value(5).toString(),
                  row.value(6).toString());
    }
    TSpecificationItem item;
    item.name = row.value(2).toString();
    item.expression = Parsed_Expression(row.value(0).toString());
    item.source = row.value(1).toInt();
    record->Add_Specification_Item(item);
  };
  return d_connection->Read_Rows(
             d_connection->Prepared_Query(STATEMENT_READ_BY_ID,
                                          {make_id, model_id, option_id, standard_id}),
             read_row) ||
         Fail(*d_connection);
}

bool TSpecificationReader::Read_Component_Machines(const QString &standard,
                                                   const QString &component,
                                                   QList<TCapability::TMachine> *machines)
{
  QHash<int, QString> standards;
  QHash<qint64, QString> components;
  QList<QPair<int, int>> types;
  if (!d_connection->Read_Rows(
          d_connection->Prepared_Query(STATEMENT_READ_COMPONENT_TYPES,
                                       {standard, component, QStringLiteral("10360"),
                                        QStringLiteral("Ts_Min"), QStringLiteral("Ts_Max")}),
          [&](const QSqlQuery &row)
          {
            const int standard_id = row.value(0).toInt();
            const int component_id = row.value(1).toInt();
            types.append({standard_id, component_id});
            standards.insert(standard_id, row.value(2).toString());
            components.insert(Key(standard_id, component_id), row.value(3).toString());
          }))
  {
    return Fail(*d_connection);
  }
  if (types.isEmpty())
  {
    return true;
  }
  // Each kind's ids by id, and its names by place.
  std::vector<TPlacedId> placed[3];
  std::vector<QString> names[3];
  for (int kind = 0; kind < 3; ++kind)
  {
    const auto read_name = [&](const TSqlEngine::TRow &row)
    {
      const QString name = row.Text(1);
      if (names[kind].empty() || name != names[kind].back())
      {
        names[kind].push_back(name);
      }
      placed[kind].push_back({row.Integer(0), static_cast<int>(names[kind].size()) - 1});
    };
    if (!d_connection->Read_Plain_Rows(NAME_ORDER[kind], {}, read_name))
    {
      return Fail(*d_connection);
    }
    std::sort(placed[kind].begin(), placed[kind].end());
  }

  Bound_Parsed_Expressions();
  std::vector<TPlacedRow> rows;
  // A configuration's rows mostly come one after the other: its places are then known.
  int last_ids[3] = {0, 0, 0};
  int last_places[3] = {0, 0, 0};
  int last_known = -1;
  const auto read_row = [&](const TSqlEngine::TRow &row)
  {
    const int ids[3] = {row.Integer(0), row.Integer(1), row.Integer(2)};
    if (last_known < 0 || !std::equal(ids, ids + 3, last_ids))
    {
      std::copy(ids, ids + 3, last_ids);
      last_known = 1;
      for (int kind = 0; kind < 3 && last_known; ++kind)
      {
        const auto name =
            std::lower_bound(placed[kind].cbegin(), placed[kind].cend(), TPlacedId{ids[kind], 0});
        last_known = name != placed[kind].cend() && name->id == ids[kind];
        last_places[kind] = last_known ? name->place : 0;
      }
    }
    if (last_known == 0)
    {
      return;
    }
    rows.push_back(
        {(static_cast<quint64>(last_places[0]) << 32) | static_cast<quint32>(last_places[1]),
         (static_cast<quint64>(last_places[2]) << 32) |
             (static_cast<quint32>(row.Integer(3)) ^ TPlacedRow::SIGN),
         row.Long_Integer(7), row.Integer(4), row.Integer(5), Parsed_Index(row.Bytes(6))});
  };
  QStringList conditions;
  QVariantList ids;
  for (const int standard_id : standards.keys())
  {
    QStringList components_of_standard;
    for (const QPair<int, int> &type : qAsConst(types))
    {
      if (type.first == standard_id)
      {
        components_of_standard.append(COMPONENT_TYPE);
        ids << type.second;
      }
    }
    conditions.append(COMPONENT_TYPES.arg(components_of_standard.join(QStringLiteral(" OR "))));
    ids << standard_id;
  }
  if (!d_connection->Read_Plain_Rows(
          STATEMENT_READ_COMPONENT.arg(conditions.join(QStringLiteral(" OR "))), ids, read_row))
  {
    return Fail(*d_connection);
  }

  std::sort(rows.begin(), rows.end());
  // Configurations whose names are equal share a machine, as they would when rows were joined to
  // their names.
  const TPlacedRow *previous = nullptr;
  for (const TPlacedRow &row : rows)
  {
    const bool machine =
        !previous || row.names != previous->names || row.Place(2) != previous->Place(2);
    if (machine)
    {
      machines->append({names[0][static_cast<std::size_t>(row.Place(0))],
                        names[1][static_cast<std::size_t>(row.Place(1))],
                        names[2][static_cast<std::size_t>(row.Place(2))],
                        {}});
    }
    TCapability::TMachine &built = machines->last();
    const int standard_id = row.Standard_Id();
    if (machine || standard_id != previous->Standard_Id())
    {
      TDatabaseItem record;
      Name_Record(&record, built.make, built.model, built.option, standards.value(standard_id));
      built.records.append(record);
    }
    TSpecificationItem item;
    item.name = components.value(Key(standard_id, row.component_id));
    item.source = row.source;
    item.expression = d_parsed_expressions[static_cast<std::size_t>(row.expression)];
    built.records.last().Add_Specification_Item(item);
    previous = &row;
  }
  return true;
}
