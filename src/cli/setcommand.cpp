#include "setcommand.h"

#include "database.h"
#include "specificationsave.h"
#include "transaction.h"

#include <algorithm>

namespace
{

TCommand::TDescription Command_Description(TSetCommand::TChange change)
{
  if (change == TSetCommand::CHANGE_SET)
  {
    return {QStringLiteral("set"),
            QStringLiteral("DATABASE MAKE MODEL OPTION STANDARD COMPONENT=EXPRESSION..."),
            6,
            -1,
            QStringLiteral("Set manufacturer values of one standard, in micrometres as in the "
                           "editor (for\nexample E0=1.5+3.3L/1000 or Ts_Min=18), keep its other "
                           "values, and estimate the\nother standards again, all in one "
                           "transaction. Creates the machine if it is new."),
            QStringLiteral("Each expression is checked against the kinds its component accepts; "
                           "a plain\ntemperature gets \"C\" appended. An invalid expression "
                           "changes nothing."),
            {}};
  }
  return {QStringLiteral("unset"),
          QStringLiteral("DATABASE MAKE MODEL OPTION STANDARD COMPONENT..."),
          6,
          -1,
          QStringLiteral("Remove manufacturer values of one standard and estimate the other "
                         "standards\nagain, all in one transaction."),
          QString(),
          {}};
}
} // namespace

TSetCommand::TSetCommand(TChange change)
    : TDatabaseCommand(Command_Description(change)), d_change(change)
{
}

int TSetCommand::Run()
{
  const int status = Open(3, MACHINE_MAY_BE_NEW);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  const QString failure = QStringLiteral("cannot save the specifications of %1 %2 %3: %4");
  // Read, checked and written under the write lock, which another program waits for: what it
  // writes meanwhile is read before this change, never overwritten by it.
  TTransaction transaction(Database());
  if (!transaction.Begin())
  {
    return Failure(failure.arg(names.at(0), names.at(1), names.at(2), Database()->Last_Error()));
  }
  const int changed = Change();
  if (changed != STATUS_SUCCESS)
  {
    return changed;
  }
  if (!transaction.Commit())
  {
    return Failure(failure.arg(names.at(0), names.at(1), names.at(2), Database()->Last_Error()));
  }
  return STATUS_SUCCESS;
}

int TSetCommand::Change()
{
  int status = d_change == CHANGE_SET ? STATUS_SUCCESS : Find_Machine(3);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  QString problem;
  if (d_change == CHANGE_SET && !Database()->New_Name_Problem(names, &problem))
  {
    return Failure(QStringLiteral("cannot read the names: %1").arg(Database()->Last_Error()));
  }
  if (!problem.isEmpty())
  {
    // The name itself may be far too long to repeat.
    return Failure(QStringLiteral("cannot save the specifications: %1").arg(problem));
  }
  QList<TEditorRow> rows;
  if (!TSpecificationSave::Read_Rows(Database(), names.at(0), names.at(1), names.at(2), &rows))
  {
    return Failure(
        QStringLiteral("cannot read the specifications: %1").arg(Database()->Last_Error()));
  }
  status = Check_Standard(rows);
  for (int index = 5; index < Argument_Count() && status == STATUS_SUCCESS; ++index)
  {
    status = d_change == CHANGE_SET ? Set(Argument(index), &rows) : Unset(Argument(index), &rows);
  }
  if (status != STATUS_SUCCESS)
  {
    return status;
  }

  QString error;
  if (!TSpecificationSave::Save(Database(), names.at(0), names.at(1), names.at(2), rows, &error))
  {
    return Failure(QStringLiteral("cannot save the specifications of %1 %2 %3: %4")
                       .arg(names.at(0), names.at(1), names.at(2), error));
  }
  return STATUS_SUCCESS;
}

int TSetCommand::Check_Standard(const QList<TEditorRow> &rows)
{
  const QString standard = Argument(4);
  QStringList standards;
  for (const TEditorRow &row : rows)
  {
    if (row.standard == standard)
    {
      return STATUS_SUCCESS;
    }
    if (!standards.contains(row.standard))
    {
      standards.append(row.standard);
    }
  }
  return Failure(QStringLiteral("no standard '%1'; the standards are %2")
                     .arg(standard, standards.join(QStringLiteral(", "))));
}

int TSetCommand::Find_Row(const QString &component, QList<TEditorRow> *rows, TEditorRow **row)
{
  const QString standard = Argument(4);
  QStringList components;
  for (TEditorRow &candidate : *rows)
  {
    if (candidate.standard == standard)
    {
      components.append(candidate.component);
      if (candidate.component == component)
      {
        *row = &candidate;
        return STATUS_SUCCESS;
      }
    }
  }
  return Failure(QStringLiteral("no component '%1' in standard %2; its components are %3")
                     .arg(component, standard, components.join(QStringLiteral(", "))));
}

int TSetCommand::Set(const QString &argument, QList<TEditorRow> *rows)
{
  const QString component = argument.section(QLatin1Char('='), 0, 0);
  const QString text = argument.section(QLatin1Char('='), 1).trimmed();
  if (!argument.contains(QLatin1Char('=')) || text.isEmpty())
  {
    return Usage_Error(QStringLiteral("'%1' is not COMPONENT=EXPRESSION").arg(argument));
  }
  TEditorRow *row = nullptr;
  const int status = Find_Row(component, rows, &row);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QString completed = TSpecificationEdit::Completed_Text(text, row->expression_types);
  if (!TSpecificationEdit::Accepts(completed, row->expression_types))
  {
    return Failure(QStringLiteral("invalid expression for %1 %2: '%3': %4")
                       .arg(row->standard, component, text,
                            TSpecificationEdit::Rejection_Hint(text, row->expression_types)));
  }
  row->expression = completed;
  return STATUS_SUCCESS;
}

int TSetCommand::Unset(const QString &argument, QList<TEditorRow> *rows)
{
  TEditorRow *row = nullptr;
  const int status = Find_Row(argument, rows, &row);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  if (row->expression.isEmpty())
  {
    Note(QStringLiteral("%1 %2 has no manufacturer value").arg(row->standard, argument));
  }
  row->expression.clear();
  return STATUS_SUCCESS;
}
