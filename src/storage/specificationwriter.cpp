#include "specificationwriter.h"

#include "configurationnames.h"
#include "sqlconnection.h"
#include "standardcatalogue.h"

#include <algorithm>

namespace
{
const QString STATEMENT_INSERT =
    QStringLiteral("INSERT INTO specification "
                   "(make_id,model_id,option_id,standard_id,component_id,expression,source) "
                   "VALUES(?,?,?,?,?,?,?)");
const QString STATEMENT_DELETE_STANDARD =
    QStringLiteral("DELETE FROM specification WHERE make_id=? AND model_id=? AND "
                   "option_id=? AND standard_id=?");
const QString STATEMENT_DELETE_ESTIMATED = QStringLiteral(
    "DELETE FROM specification WHERE make_id=? AND model_id=? AND option_id=? AND source=?");

} // namespace

TSpecificationWriter::TSpecificationWriter(TSqlConnection *connection,
                                           TStandardCatalogue *catalogue,
                                           TConfigurationNames *names)
    : d_connection(connection), d_catalogue(catalogue), d_names(names)
{
}

bool TSpecificationWriter::Fail(const QString &text, bool fault)
{
  d_error = text;
  d_fault = fault;
  return false;
}

template <typename TSource>
bool TSpecificationWriter::Fail(const TSource &source)
{
  return Fail(source.Error(), source.Is_Fault());
}

bool TSpecificationWriter::Insert(const int *ids, int standard_id, int component_id,
                                  const QString &text, int source)
{
  if (!d_connection->Run_Statement(STATEMENT_INSERT,
                                   {ids[TConfigurationNames::MAKE], ids[TConfigurationNames::MODEL],
                                    ids[TConfigurationNames::OPTION], standard_id, component_id,
                                    text, source}))
  {
    return Fail(QStringLiteral("Cannot add data to table 'specification'.  Reason: %1")
                    .arg(d_connection->Error()),
                true);
  }
  return true;
}

bool TSpecificationWriter::Write_Rows(const TDatabaseItem &item)
{
  // Files and other programs reach this too: a value whose stored text would read back as
  // something else (or as nothing) is refused before anything is written.
  const int count = item.Specification_Item_Count();
  for (int index = 0; index < count; ++index)
  {
    const TSpecificationItem specification_item = item.Specification_Item(index);
    if (!specification_item.expression.Is_Storable())
    {
      return Fail(QStringLiteral("Component '%1': %2")
                      .arg(specification_item.name,
                           specification_item.expression.Expression_Type() ==
                                   TExpressionItem::EXPRESSION_UNDEFINED
                               ? QStringLiteral("the expression is not valid")
                               : QStringLiteral("the value cannot be stored, since its stored "
                                                "text '%1' would not read back as the same kind "
                                                "of expression")
                                     .arg(specification_item.expression.Expression_Text(
                                         TExpressionItem::UNITS_MM))),
                  false);
    }
  }
  const QString names[] = {item.Make(), item.Model(), item.Option()};
  int ids[3];
  for (int kind = TConfigurationNames::MAKE; kind <= TConfigurationNames::OPTION; ++kind)
  {
    ids[kind] = d_names->Added_Id(kind, names[kind]);
    if (ids[kind] < 0)
    {
      return Fail(*d_names);
    }
  }
  const int standard_id = d_catalogue->Standard_Type_Id(item.Standard());
  if (standard_id < 0)
  {
    return Fail(*d_catalogue);
  }

  if (!d_connection->Run_Statement(STATEMENT_DELETE_STANDARD,
                                   {ids[TConfigurationNames::MAKE], ids[TConfigurationNames::MODEL],
                                    ids[TConfigurationNames::OPTION], standard_id}))
  {
    return Fail(QStringLiteral("Cannot delete existing specification data.  Reason: %1")
                    .arg(d_connection->Error()),
                true);
  }

  for (int index = 0; index < count; ++index)
  {
    const TSpecificationItem specification_item = item.Specification_Item(index);
    const int component_id = d_catalogue->Component_Type_Id(standard_id, specification_item.name);
    if (component_id < 0)
    {
      // A read that failed is no missing component.
      return d_catalogue->Is_Fault() ? Fail(*d_catalogue)
                                     : Fail(QStringLiteral("Component type '%1' does not exist")
                                                .arg(specification_item.name),
                                            false);
    }
    if (!Insert(ids, standard_id, component_id,
                specification_item.expression.Expression_Text(TExpressionItem::UNITS_MM),
                specification_item.source))
    {
      return false;
    }
  }
  return true;
}

bool TSpecificationWriter::Store_Plan(const int *ids, const TEstimationPlanner::TPlan &plan)
{
  if (plan.delete_estimated &&
      !Delete_Estimated(ids[TConfigurationNames::MAKE], ids[TConfigurationNames::MODEL],
                        ids[TConfigurationNames::OPTION]))
  {
    return false;
  }
  for (const TSpecificationEstimation::TNewRow &row : plan.inserts)
  {
    if (!Insert(ids, row.standard_id, row.component_id, row.text, TDatabaseItem::SOURCE_ESTIMATED))
    {
      return false;
    }
  }
  return true;
}

bool TSpecificationWriter::Delete_Estimated(int make_id, int model_id, int option_id)
{
  if (!d_connection->Run_Statement(STATEMENT_DELETE_ESTIMATED,
                                   {make_id, model_id, option_id, TDatabaseItem::SOURCE_ESTIMATED}))
  {
    return Fail(
        QStringLiteral("Cannot delete specification entry.  Reason: %1").arg(d_connection->Error()),
        true);
  }
  return true;
}
