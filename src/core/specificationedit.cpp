#include "specificationedit.h"

#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "specificationlimits.h"
#include "verificationlog.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <functional>

namespace
{
const QString SAVEPOINT_EDIT_SPECIFICATION = QStringLiteral("edit_specification");

// A row takes what it would store: the text completed as the editor completes it.
bool Row_Takes(const QString &text, int expression_types)
{
  return TSpecificationEdit::Accepts(TSpecificationEdit::Completed_Text(text, expression_types),
                                     expression_types);
}

// Forms that engineers type every day, each with the change that makes it a written form.
struct TCorrection
{
  const char *hint;
  QString (*corrected)(QString text);
};

const TCorrection CORRECTIONS[] = {
    {"use a decimal point",
     [](QString text) { return text.replace(QLatin1Char(','), QLatin1Char('.')); }},
    {"write a temperature as 18C",
     [](QString text) { return text.remove(QChar(0x00B0)).remove(QChar(0x00BA)); }},
    {"leave out the \u00B1: a value is a limit",
     [](QString text) {
       return text.remove(QChar(0x00B1)).remove(QStringLiteral("+/-")).remove(QStringLiteral("+-"));
     }},
    {"leave out the unit: values are typed in \u00B5m",
     [](QString text)
     {
       static const QRegularExpression unit(QStringLiteral("\\s*[\\x{00B5}\\x{03BC}u]m\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
       return text.remove(unit);
     }},
    {"write Td with a capital T", [](QString text)
     { return text.replace(QStringLiteral("td"), QStringLiteral("Td"), Qt::CaseInsensitive); }},
    {"leave out the minus: values are never negative",
     [](QString text) { return text.remove(QLatin1Char('-')); }},
};

// The hint of the one correction that makes the text taken, else of all those needed together;
// empty when they do not make it taken.
QString Correction_Hint(const QString &text, const std::function<bool(const QString &)> &takes)
{
  QString corrected = text;
  QStringList hints;
  for (const TCorrection &correction : CORRECTIONS)
  {
    if (takes(correction.corrected(text)))
    {
      return QString::fromUtf8(correction.hint);
    }
    const QString next = correction.corrected(corrected);
    if (next != corrected)
    {
      hints.append(QString::fromUtf8(correction.hint));
    }
    corrected = next;
  }
  return takes(corrected) ? hints.join(QStringLiteral("; ")) : QString();
}

struct TFormName
{
  int kind;
  const char *name;
};

const TFormName FORM_NAMES[] = {
    {TExpressionItem::EXPRESSION_CONSTANT, "a constant"},
    {TExpressionItem::EXPRESSION_FIXED_LENGTH, "A/N"},
    {TExpressionItem::EXPRESSION_LINEAR, "A+BL/N"},
    {TExpressionItem::EXPRESSION_LINEAR_MAXIMUM, "A+BL/N|M"},
    {TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE, "(A+BTd)/N"},
    {TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE, "A+BTd+(C+DTd)L/N"},
    {TExpressionItem::EXPRESSION_TEMPERATURE, "a temperature above 10C and below 40C"},
};

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
    // A read that failed must not pass for a machine without values: saving those empty rows
    // would delete what is stored. A name the catalogue does not hold yet is a new machine.
    if (machine_given)
    {
      bool found = false;
      record = database->Read_Specification(make, model, option, standard, &found);
      if (!found && database->Database_Failed())
      {
        rows->clear();
        return false;
      }
    }

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

bool TSpecificationEdit::Accepts(const QString &text, int expression_types)
{
  TExpressionItem expression;
  expression.Set_Expression(text, TExpressionItem::UNITS_UM);
  return (expression.Expression_Type() & expression_types) != 0 && expression.Is_Storable() &&
         !Is_Zero_Limit(expression);
}

bool TSpecificationEdit::Is_Zero_Limit(const TExpressionItem &expression)
{
  // The numbers of the value itself, by kind: divisors and a temperature are none.
  const int kind = expression.Expression_Type();
  QList<int> values;
  switch (kind)
  {
  case TExpressionItem::EXPRESSION_CONSTANT:
  case TExpressionItem::EXPRESSION_FIXED_LENGTH:
    values = {0};
    break;
  case TExpressionItem::EXPRESSION_LINEAR:
  case TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE:
    values = {0, 1};
    break;
  case TExpressionItem::EXPRESSION_LINEAR_MAXIMUM:
    // A cap of zero holds the limit at zero whatever the rest says.
    if (expression.Component(3, TExpressionItem::UNITS_UM) == 0.0)
    {
      return true;
    }
    values = {0, 1};
    break;
  case TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE:
    values = {0, 1, 2, 3};
    break;
  default:
    return false;
  }
  return std::all_of(values.cbegin(), values.cend(),
                     [&expression](int index)
                     { return expression.Component(index, TExpressionItem::UNITS_UM) == 0.0; });
}

QString TSpecificationEdit::Rejection_Hint(const QString &text, int expression_types)
{
  if (Row_Takes(text, expression_types))
    return QString();
  TExpressionItem typed;
  typed.Set_Expression(Completed_Text(text, expression_types), TExpressionItem::UNITS_UM);
  if ((typed.Expression_Type() & expression_types) != 0 && Is_Zero_Limit(typed))
    return QStringLiteral("a limit of zero permits no error at all");
  // "2.5+3.3L/1000|": the form is right but for its last number.
  if (text.trimmed().endsWith(QLatin1Char('|')) &&
      Row_Takes(text.trimmed() + QLatin1Char('1'), expression_types))
    return QStringLiteral("the maximum after the | is missing");

  // One correction that makes the text a written form, else all of those needed together.
  const QString hint = Correction_Hint(text, [expression_types](const QString &corrected)
                                       { return Row_Takes(corrected, expression_types); });
  if (!hint.isEmpty())
  {
    return hint;
  }

  const QString forms =
      QStringLiteral("this component accepts: ") + Accepted_Forms(expression_types);
  TExpressionItem expression;
  expression.Set_Expression(Completed_Text(text, expression_types), TExpressionItem::UNITS_UM);
  if (expression.Expression_Type() & expression_types)
  {
    // A kind the component takes, but not kept as typed.
    if (expression.Expression_Type() == TExpressionItem::EXPRESSION_TEMPERATURE)
      return QStringLiteral("rounds to %1; %2")
          .arg(expression.Expression_Text(TExpressionItem::UNITS_MM), forms);
    return QStringLiteral("a number longer than the stored form can hold");
  }

  static const QRegularExpression divided_by_zero(QStringLiteral("/0+(?=[|]|$)"));
  if (text.contains(divided_by_zero) &&
      Row_Takes(QString(text).replace(divided_by_zero, QStringLiteral("/1")), expression_types))
    return QStringLiteral("a divisor of zero: give the length in millimetres after '/'");
  static const QRegularExpression number(QStringLiteral("[0-9.]+"));
  if (Row_Takes(QString(text).replace(number, QStringLiteral("1")), expression_types))
    return QStringLiteral("a number is too long or malformed");
  return forms;
}

QString TSpecificationEdit::Number_Hint(const QString &text)
{
  double number = 0.0;
  if (TSpecificationLimits::To_Number(text, &number))
  {
    return QString();
  }
  return Correction_Hint(text, [&number](const QString &corrected)
                         { return TSpecificationLimits::To_Number(corrected, &number); });
}

QString TSpecificationEdit::Accepted_Forms(int expression_types)
{
  QStringList forms;
  for (const TFormName &form : FORM_NAMES)
  {
    if (expression_types & form.kind)
      forms.append(QLatin1String(form.name));
  }
  return forms.join(QStringLiteral(", "));
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

bool TSpecificationEdit::Keeps_Records_Reachable(TDatabase *database, const QString &make,
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

bool TSpecificationEdit::Save(TDatabase *database, const QString &make, const QString &model,
                              const QString &option, const QList<TEditorRow> &rows, QString *error,
                              const QList<TEditorRow> *read_rows)
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
  // Read again under the write lock, which no other program can change until the save ends.
  QList<TEditorRow> stored;
  if (read_rows &&
      !(Read_Rows(database, make, model, option, &stored) && Same_Values(stored, *read_rows)))
  {
    *error = stored.isEmpty() ? database->Last_Error()
                              : QStringLiteral("%1 %2 %3 was changed or deleted by another "
                                               "program since it was opened for editing; nothing "
                                               "was saved. Open it again to see what it holds now.")
                                    .arg(make, model, option);
    database->Rollback_To_Savepoint(SAVEPOINT_EDIT_SPECIFICATION);
    database->Release_Savepoint(SAVEPOINT_EDIT_SPECIFICATION);
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
  saved = saved && database->Estimate_Specifications(make, model, option) &&
          Keeps_Records_Reachable(database, make, model, option, rows, &refused) &&
          database->Release_Savepoint(SAVEPOINT_EDIT_SPECIFICATION);

  if (!saved)
  {
    // The reason of the failure, not that of the clean-up.
    *error = refused.isEmpty() ? database->Last_Error() : refused;
    if (database->Rollback_To_Savepoint(SAVEPOINT_EDIT_SPECIFICATION))
    {
      database->Release_Savepoint(SAVEPOINT_EDIT_SPECIFICATION);
    }
  }
  return saved;
}
