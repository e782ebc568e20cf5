#include "specificationedit.h"

#include "databaseitem.h"
#include "expressionitem.h"
#include "specificationlimits.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <functional>

namespace
{

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

} // namespace

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
