#include "specificationreader.h"

#include "configurationnames.h"
#include "databaseschema.h"
#include "sqlconnection.h"
#include "standardcatalogue.h"

#include <QStringList>

#include <algorithm>

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

// Ranking a whole catalogue is this one statement: the names come with the rows, and a
// configuration's rows come one after the other.
const QString STATEMENT_READ_COMPONENT = QStringLiteral(
    "SELECT m.name,mt.name,o.name,st.name,c.name,s.source,s.expression FROM specification AS s "
    "JOIN standard_types AS st ON st.standard_type_id=s.standard_id "
    "JOIN component_types AS c "
    "ON c.component_type_id=s.component_id AND c.standard_id=s.standard_id "
    "JOIN make AS m ON m.make_id=s.make_id "
    "JOIN model_types AS mt ON mt.model_id=s.model_id "
    "JOIN option_types AS o ON o.option_id=s.option_id "
    "WHERE (st.name=? AND c.name=?) OR (st.name=? AND c.name IN (?,?)) "
    "ORDER BY m.name,mt.name,o.name,s.standard_id,s.rowid");

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

TExpressionItem TSpecificationReader::Parsed_Expression(const QString &text)
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

bool TSpecificationReader::Read_Component_Rows(const QString &standard, const QString &component,
                                               QList<TDatabaseItem> *records)
{
  const auto read_row = [this, records](const QSqlQuery &row)
  {
    const QString names[] = {row.value(0).toString(), row.value(1).toString(),
                             row.value(2).toString(), row.value(3).toString()};
    if (records->isEmpty() || records->last().Make() != names[0] ||
        records->last().Model() != names[1] || records->last().Option() != names[2] ||
        records->last().Standard() != names[3])
    {
      records->append(TDatabaseItem());
      Name_Record(&records->last(), names[0], names[1], names[2], names[3]);
    }
    TSpecificationItem item;
    item.name = row.value(4).toString();
    item.source = row.value(5).toInt();
    item.expression = Parsed_Expression(row.value(6).toString());
    records->last().Add_Specification_Item(item);
  };
  return d_connection->Read_Rows(
             d_connection->Prepared_Query(STATEMENT_READ_COMPONENT,
                                          {standard, component, QStringLiteral("10360"),
                                           QStringLiteral("Ts_Min"), QStringLiteral("Ts_Max")}),
             read_row) ||
         Fail(*d_connection);
}
