#include "specificationsave.h"

#include "changehistory.h"
#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "transaction.h"
#include "verificationlog.h"

#include <QStringList>

#include <algorithm>

namespace
{
// Whether two readings of a machine's rows hold the same manufacturer values.
bool Same_Values(const QList<TEditorRow> &first, const QList<TEditorRow> &second)
{
  return std::equal(first.cbegin(), first.cend(), second.cbegin(), second.cend(),
                    [](const TEditorRow &one, const TEditorRow &other)
                    {
                      return one.standard == other.standard && one.component == other.component &&
                             one.expression == other.expression;
                    });
}

// What a save changed of the manufacturer's values, for the history: "10360 E0=1.6+3.3L/1000
// (was 1.5+3.3L/1000); 10360 R0 removed (was 2.2)"; empty when nothing changed.
QString Changes(const QList<TEditorRow> &before, const QList<TEditorRow> &after)
{
  QStringList changes;
  for (const TEditorRow &row : after)
  {
    const auto old = std::find_if(before.cbegin(), before.cend(),
                                  [&row](const TEditorRow &candidate) {
                                    return candidate.standard == row.standard &&
                                           candidate.component == row.component;
                                  });
    const QString was = old == before.cend() ? QString() : old->expression;
    if (was == row.expression)
    {
      continue;
    }
    const QString component = row.standard + QLatin1Char(' ') + row.component;
    const QString previous = was.isEmpty() ? QString() : QStringLiteral(" (was %1)").arg(was);
    changes.append(row.expression.isEmpty()
                       ? component + QStringLiteral(" removed") + previous
                       : component + QLatin1Char('=') + row.expression + previous);
  }
  return changes.join(QStringLiteral("; "));
}
} // namespace

bool TSpecificationSave::Read_Rows(TDatabase *database, const QString &make, const QString &model,
                                   const QString &option, QList<TEditorRow> *rows)
{
  rows->clear();
  // The rows of one state of the catalogue, read under one lock (and on a server in one round
  // of checks rather than one per standard).
  TReadTransaction one_state(database);
  one_state.Join();
  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    return false;
  }
  const bool machine_given = !make.isEmpty() && !model.isEmpty() && !option.isEmpty();
  // Every standard's record in one read, one per standard in their order. A read that failed
  // must not pass for a machine without values: saving those empty rows would delete what is
  // stored. A name the catalogue does not hold yet is a new machine.
  QList<TDatabaseItem> records;
  if (machine_given)
  {
    bool found = false;
    records = database->Read_Configuration(make, model, option, &found);
    if (!found && database->Database_Failed())
    {
      return false;
    }
  }

  for (int index = 0; index < standards.size(); ++index)
  {
    const QString &standard = standards.at(index);
    const TDatabaseItem record = records.value(index);
    bool components_valid = false;
    const QStringList components = database->Component_Types(standard, &components_valid);
    if (!components_valid)
    {
      rows->clear();
      return false;
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

bool TSpecificationSave::Keeps_Records_Reachable(TDatabase *database, const QString &make,
                                                 const QString &model, const QString &option,
                                                 const QList<TEditorRow> &rows, QString *reason)
{
  // A machine is there while it has a value; the estimates follow from the manufacturer's.
  if (std::any_of(rows.cbegin(), rows.cend(),
                  [](const TEditorRow &row) { return !row.expression.isEmpty(); }))
  {
    return true;
  }
  const int records = TVerificationLog(database).Record_Count(make, model, option);
  if (records < 0)
  {
    // The machine's name may be gone with its rows: a lookup that fails is no failed read.
    if (database->Database_Failed())
    {
      return false;
    }
    return true;
  }
  if (records == 0)
  {
    return true;
  }
  *reason =
      QStringLiteral("%1 %2 %3 has %4 verification record(s): removing its last value would "
                     "hide them. Keep a value, or delete the machine with its records (delete "
                     "--with-records).")
          .arg(make, model, option)
          .arg(records);
  return false;
}

bool TSpecificationSave::Save(TDatabase *database, const QString &make, const QString &model,
                              const QString &option, const QList<TEditorRow> &rows, QString *error,
                              const QList<TEditorRow> *read_rows)
{
  bool saved = false;
  const QStringList standards = database->Standard_Types(&saved);
  // The four standards and their estimates are saved as one unit: after a failure the database
  // holds the specification as it was, not a mixture of old and new standards.
  TTransaction transaction(database);
  saved = saved && transaction.Begin();
  if (!saved)
  {
    *error = database->Last_Error();
    return false;
  }
  // Read again under the write lock, which no other program can change until the save ends.
  QList<TEditorRow> stored;
  if (!Read_Rows(database, make, model, option, &stored) ||
      (read_rows && !Same_Values(stored, *read_rows)))
  {
    *error = stored.isEmpty() ? database->Last_Error()
                              : QStringLiteral("%1 %2 %3 was changed or deleted by another "
                                               "program since it was opened for editing; nothing "
                                               "was saved. Open it again to see what it holds now.")
                                    .arg(make, model, option);
    return false;
  }

  QString refused;
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
  // The history says what the values became as stored, and what they were.
  QList<TEditorRow> written;
  saved = saved && database->Estimate_Specifications(make, model, option) &&
          Keeps_Records_Reachable(database, make, model, option, rows, &refused) &&
          Read_Rows(database, make, model, option, &written);
  const QString changes = saved ? Changes(stored, written) : QString();
  saved = saved &&
          (changes.isEmpty() ||
           database->Record_Change(QLatin1String(TChangeHistory::CHANGE_SPECIFICATION),
                                   {make, model, option}, changes)) &&
          transaction.Commit();
  if (!saved)
  {
    // The reason of the failure, not that of the clean-up.
    transaction.Rollback();
    *error = refused.isEmpty() ? database->Last_Error() : refused;
  }
  return saved;
}
