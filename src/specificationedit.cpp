#include "specificationedit.h"

#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"

#include <QStringList>

namespace
{
const QString SAVEPOINT_EDIT_SPECIFICATION = QStringLiteral("edit_specification");
} // namespace

bool TSpecificationEdit::Read_Rows(TDatabase *database, const QString &make, const QString &model,
                                   const QString &option, QList<TEditorRow> *rows)
{
  rows->clear();
  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    return false;
  }
  const bool machine_given = !make.isEmpty() && !model.isEmpty() && !option.isEmpty();

  TDatabaseItem record;
  for (const QString &standard : standards)
  {
    if (machine_given)
    {
      bool found = false;
      record = database->Read_Specification(make, model, option, standard, &found);
    }

    bool components_valid = false;
    const QStringList components = database->Component_Types(standard, &components_valid);
    if (!components_valid)
    {
      continue;
    }
    for (const QString &component : components)
    {
      TEditorRow row;
      row.standard = standard;
      row.component = component;
      // Estimated values are derived again after a save; only the manufacturer's are edited.
      if (record.Source(component) != TDatabaseItem::SOURCE_ESTIMATED)
      {
        row.expression = record.Expression_Text(component, TExpressionItem::UNITS_UM);
      }
      row.description = database->Component_Type_Description(standard, component);
      row.expression_types = database->Component_Type_Expression_Types(standard, component);
      rows->append(row);
    }
  }
  return true;
}

bool TSpecificationEdit::Accepts(const QString &text, int expression_types)
{
  TExpressionItem expression;
  expression.Set_Expression(text, TExpressionItem::UNITS_UM);
  return (expression.Expression_Type() & expression_types) != 0;
}

QString TSpecificationEdit::Completed_Text(const QString &text, int expression_types)
{
  // A Fahrenheit text is complete as it is: "68FC" would be no temperature at all.
  if ((expression_types & TExpressionItem::EXPRESSION_TEMPERATURE) &&
      !text.endsWith(QLatin1Char('C'), Qt::CaseInsensitive) &&
      !text.endsWith(QLatin1Char('F'), Qt::CaseInsensitive))
  {
    return text + QLatin1Char('C');
  }
  return text;
}

bool TSpecificationEdit::Save(TDatabase *database, const QString &make, const QString &model,
                              const QString &option, const QList<TEditorRow> &rows, QString *error)
{
  bool saved = false;
  const QStringList standards = database->Standard_Types(&saved);
  // The four standards and their estimates are saved as one unit: after a failure the database
  // holds the specification as it was, not a mixture of old and new standards.
  saved = saved && database->Savepoint(SAVEPOINT_EDIT_SPECIFICATION);
  if (!saved)
  {
    *error = database->Last_Error();
    return false;
  }

  TDatabaseItem record;
  record.Set_Make(make);
  record.Set_Model(model);
  record.Set_Option(option);
  for (int index = 0; saved && index < standards.size(); ++index)
  {
    const QString &standard = standards.at(index);
    record.Clear_Specification_Items();
    record.Set_Standard(standard);
    for (const TEditorRow &row : rows)
    {
      if (row.standard != standard || row.expression.isEmpty())
      {
        continue;
      }
      TSpecificationItem item;
      item.name = row.component;
      item.expression.Set_Expression(row.expression, TExpressionItem::UNITS_UM);
      item.source = TDatabaseItem::SOURCE_MANUFACTURER;
      record.Add_Specification_Item(item);
    }
    saved = database->Write_Specification(record);
  }
  saved = saved && database->Estimate_Specifications(make, model, option) &&
          database->Release_Savepoint(SAVEPOINT_EDIT_SPECIFICATION);

  if (!saved)
  {
    // The reason of the failure, not that of the clean-up.
    *error = database->Last_Error();
    if (database->Rollback_To_Savepoint(SAVEPOINT_EDIT_SPECIFICATION))
    {
      database->Release_Savepoint(SAVEPOINT_EDIT_SPECIFICATION);
    }
  }
  return saved;
}
