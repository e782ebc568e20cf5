// Estimation of the components of the other standards from the rows stored for one make, model
// and option: conversion rules, the passes over the standards and the storage of the estimates.

#include "database.h"

#include <QLatin1String>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace
{
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

const char *const STATEMENT_DELETE_ESTIMATED =
    "DELETE FROM specification WHERE make_id=? AND model_id=? AND option_id=? AND source=?";
const char *const STATEMENT_EXISTS =
    "SELECT source FROM specification WHERE make_id=? AND model_id=? AND option_id=? AND "
    "standard_id=? AND component_id=? LIMIT 1";
// The names come with the rows so that a read costs one statement.
const char *const STATEMENT_READ_BY_ID =
    "SELECT s.expression,s.source,c.name,m.name,mt.name,o.name,st.name FROM specification AS s "
    "LEFT JOIN component_types AS c "
    "ON c.component_type_id=s.component_id AND c.standard_id=s.standard_id "
    "LEFT JOIN make AS m ON m.make_id=s.make_id "
    "LEFT JOIN model_types AS mt ON mt.model_id=s.model_id "
    "LEFT JOIN option_types AS o ON o.option_id=s.option_id "
    "LEFT JOIN standard_types AS st ON st.standard_type_id=s.standard_id "
    "WHERE s.make_id=? AND s.model_id=? AND s.option_id=? AND s.standard_id=? ORDER BY s.rowid";
// A pass reads the whole configuration once: its source rows and which components exist.
const char *const STATEMENT_READ_CONFIGURATION =
    "SELECT s.standard_id,s.component_id,s.expression,s.source,c.name FROM specification AS s "
    "LEFT JOIN component_types AS c "
    "ON c.component_type_id=s.component_id AND c.standard_id=s.standard_id "
    "WHERE s.make_id=? AND s.model_id=? AND s.option_id=? ORDER BY s.rowid";
const char *const STATEMENT_INSERT =
    "INSERT INTO specification (make_id,model_id,option_id,standard_id,component_id,expression,"
    "source) VALUES(?,?,?,?,?,?,?)";

const QString SAVEPOINT_ESTIMATION = QStringLiteral("estimate_specifications");
const QString SAVEPOINT_PASS = QStringLiteral("estimate_from_standard");

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

void Bind_Configuration(QSqlQuery *query, int make_id, int model_id, int option_id)
{
  query->addBindValue(make_id);
  query->addBindValue(model_id);
  query->addBindValue(option_id);
}

// One stored row of a configuration as the passes see it.
struct TStoredRow
{
  int standard_id;
  int component_id;
  TSpecificationItem item;
};

// All rows of one configuration in storage order: a pass's sources are the rows of its standard,
// and any row, manufacturer's or estimated, keeps an estimate of its component out.
using TConfiguration = std::vector<TStoredRow>;

bool Read_Stored_Rows(QSqlQuery *query, int make_id, int model_id, int option_id,
                      TConfiguration *rows, QString *error)
{
  Bind_Configuration(query, make_id, model_id, option_id);
  if (query->exec())
  {
    while (query->next())
    {
      TStoredRow row{query->value(0).toInt(), query->value(1).toInt(), TSpecificationItem()};
      row.item.name = query->value(4).toString();
      row.item.expression.Set_Expression(query->value(2).toString(), TExpressionItem::UNITS_MM);
      row.item.source = query->value(3).toInt();
      rows->push_back(row);
    }
  }
  const bool complete = !query->lastError().isValid();
  if (!complete)
  {
    *error = query->lastError().text();
  }
  query->finish();
  return complete;
}

bool Row_Exists(const TConfiguration &rows, int standard_id, int component_id)
{
  return std::any_of(rows.begin(), rows.end(),
                     [standard_id, component_id](const TStoredRow &row) {
                       return row.standard_id == standard_id && row.component_id == component_id;
                     });
}

// What the rows of one standard yield, in the order of the pending lists.
TPendingLists Derive_From_Standard(TTarget source_standard, int standard_id,
                                   const TConfiguration &rows)
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
                         int option_id, const TPendingLists &pending, TConfiguration *rows,
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
      Bind_Configuration(insert_query, make_id, model_id, option_id);
      insert_query->addBindValue(target_id);
      insert_query->addBindValue(component_id);
      insert_query->addBindValue(item.expression.Expression_Text(TExpressionItem::UNITS_MM));
      insert_query->addBindValue(item.source);
      const bool inserted = insert_query->exec();
      if (!inserted)
      {
        *error = QStringLiteral("Cannot add data to table 'specification'.  Reason: %1")
                     .arg(insert_query->lastError().text());
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

bool TDatabase::Delete_Estimated_Specifications(int make_id, int model_id, int option_id)
{
  if (!Is_Open())
  {
    d_last_error = QStringLiteral("Not connected");
    return false;
  }
  QSqlQuery *query = Prepared_Query(QLatin1String(STATEMENT_DELETE_ESTIMATED));
  bool deleted = false;
  if (query)
  {
    Bind_Configuration(query, make_id, model_id, option_id);
    query->addBindValue(TDatabaseItem::SOURCE_ESTIMATED);
    deleted = query->exec();
    query->finish();
  }
  if (!deleted)
  {
    d_last_error = QStringLiteral("Cannot delete specification entry");
  }
  return deleted;
}

bool TDatabase::Specification_Exists(int make_id, int model_id, int option_id, int standard_id,
                                     int component_id)
{
  if (!Is_Open())
  {
    d_last_error = QStringLiteral("Not connected");
    return false;
  }
  QSqlQuery *query = Prepared_Query(QLatin1String(STATEMENT_EXISTS));
  if (!query)
  {
    return false;
  }
  Bind_Configuration(query, make_id, model_id, option_id);
  query->addBindValue(standard_id);
  query->addBindValue(component_id);
  bool found = false;
  if (query->exec())
  {
    found = query->next();
  }
  if (query->lastError().isValid())
  {
    d_last_error = query->lastError().text();
    found = false;
  }
  query->finish();
  return found;
}

TDatabaseItem TDatabase::Read_Specification_By_Id(int make_id, int model_id, int option_id,
                                                  int standard_id, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  TDatabaseItem record;
  if (!Is_Open())
  {
    d_last_error = QStringLiteral("Not connected");
    return record;
  }
  QSqlQuery *query = Prepared_Query(QLatin1String(STATEMENT_READ_BY_ID));
  if (!query)
  {
    return record;
  }
  Bind_Configuration(query, make_id, model_id, option_id);
  query->addBindValue(standard_id);
  if (!query->exec())
  {
    d_last_error = query->lastError().text();
    query->finish();
    return record;
  }
  while (query->next())
  {
    if (record.Specification_Item_Count() == 0)
    {
      record.Set_Make(query->value(3).toString());
      record.Set_Model(query->value(4).toString());
      record.Set_Option(query->value(5).toString());
      record.Set_Standard(query->value(6).toString());
    }
    TSpecificationItem item;
    item.name = query->value(2).toString();
    item.expression = Parsed_Expression(query->value(0).toString());
    item.source = query->value(1).toInt();
    record.Add_Specification_Item(item);
  }
  if (query->lastError().isValid())
  {
    d_last_error = query->lastError().text();
    query->finish();
    return TDatabaseItem();
  }
  query->finish();
  *valid = true;
  return record;
}

bool TDatabase::Estimate_From_Standard(int make_id, int model_id, int option_id,
                                       const QString &standard)
{
  if (!Is_Open())
  {
    d_last_error = QStringLiteral("Not connected");
    return false;
  }
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return false;
  }
  QSqlQuery *read_query = Prepared_Query(QLatin1String(STATEMENT_READ_CONFIGURATION));
  if (!read_query)
  {
    return false;
  }
  TConfiguration rows;
  if (!Read_Stored_Rows(read_query, make_id, model_id, option_id, &rows, &d_last_error))
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
  QSqlQuery *insert_query = Prepared_Query(QLatin1String(STATEMENT_INSERT));
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
  if (!Is_Open())
  {
    d_last_error = QStringLiteral("Not connected");
    return false;
  }
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
  QSqlQuery *read_query = Prepared_Query(QLatin1String(STATEMENT_READ_CONFIGURATION));
  QSqlQuery *insert_query = Prepared_Query(QLatin1String(STATEMENT_INSERT));
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
  TConfiguration rows;
  bool estimated = Delete_Estimated_Specifications(make_id, model_id, option_id) &&
                   Read_Stored_Rows(read_query, make_id, model_id, option_id, &rows, &d_last_error);
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
