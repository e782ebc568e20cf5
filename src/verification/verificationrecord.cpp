#include "verificationrecord.h"

#include "expressionitem.h"
#include "nametable.h"
#include "specificationlimits.h"

#include <QHash>
#include <QLatin1Char>
#include <QLatin1String>

#include <algorithm>
#include <cmath>

namespace
{
const char *const KIND_NAMES[TVerificationRecord::KIND_COUNT] = {"acceptance", "reverification",
                                                                 "interim"};
const char *const RULE_NAMES[TVerificationRecord::RULE_COUNT] = {"simple", "conformance",
                                                                 "nonconformance"};

// U at a length from its text, a number or a form that grows with the length as a limit does;
// NaN when the text is neither.
double Uncertainty_Value(const QString &text, double length)
{
  double number = 0.0;
  if (TSpecificationLimits::To_Number(text, &number))
  {
    return number >= 0.0 ? number : std::nan("");
  }
  constexpr int kinds =
      TExpressionItem::EXPRESSION_LINEAR | TExpressionItem::EXPRESSION_LINEAR_MAXIMUM;
  TExpressionItem expression;
  expression.Set_Expression(text.trimmed(), TExpressionItem::UNITS_UM);
  const TSpecificationLimits::TValue value =
      (expression.Expression_Type() & kinds) != 0
          ? TSpecificationLimits::Expression_Value(expression, kinds, length, 0.0)
          : TSpecificationLimits::TValue();
  return value.Has_Value() ? value.value : std::nan("");
}
} // namespace

QString TVerificationRecord::Component_Text() const
{
  return standard + QLatin1Char(':') + component;
}

bool TVerificationRecord::Check(QString *error, const QDate &today) const
{
  const auto fail = [error](const QString &text)
  {
    *error = text;
    return false;
  };
  if (!date.isValid())
  {
    return fail(QStringLiteral("The record has no valid date."));
  }
  // A record dated ahead would hide a check that falls due before that date.
  if (date > today)
  {
    return fail(QStringLiteral("The date %1 is after today, %2: a record is of a check made.")
                    .arg(Date_Text(date), Date_Text(today)));
  }
  if (kind < 0 || kind >= KIND_COUNT || rule < 0 || rule >= RULE_COUNT)
  {
    return fail(QStringLiteral("The record's kind or decision rule is unknown."));
  }
  if (standard.isEmpty() || component.isEmpty())
  {
    return fail(QStringLiteral("The record names no component."));
  }
  if (!(temperature >= MINIMUM_TEMPERATURE && temperature <= MAXIMUM_TEMPERATURE))
  {
    return fail(QStringLiteral("The temperature must lie from %1 \u00b0C to %2 \u00b0C.")
                    .arg(MINIMUM_TEMPERATURE)
                    .arg(MAXIMUM_TEMPERATURE));
  }
  if (std::isnan(Uncertainty_At(0.0)))
  {
    return fail(QStringLiteral("The uncertainty U '%1' is not a number of 0 or more, nor an "
                               "expression such as 0.3+0.4L/1000.")
                    .arg(uncertainty));
  }
  if (!(r0_uncertainty >= 0.0 && r0_uncertainty <= MAXIMUM_ERROR))
  {
    return fail(QStringLiteral("The uncertainty of R0 must be a number from 0 to %1 \u00b5m.")
                    .arg(MAXIMUM_ERROR));
  }
  if (results.isEmpty())
  {
    return fail(QStringLiteral("The record has no results."));
  }
  for (int index = 0; index < results.size(); ++index)
  {
    const TVerificationResult &result = results.at(index);
    if (!(result.length >= 0.0 && result.length <= MAXIMUM_LENGTH) ||
        !(std::fabs(result.error) <= MAXIMUM_ERROR) || result.repetition < 1)
    {
      return fail(QStringLiteral("Result %1 needs a length from 0 to %2 mm, an error within "
                                 "\u00b1%3 \u00b5m and a repetition of 1 or more.")
                      .arg(index + 1)
                      .arg(MAXIMUM_LENGTH)
                      .arg(MAXIMUM_ERROR));
    }
    if (!(Uncertainty_At(result.length) <= MAXIMUM_ERROR))
    {
      return fail(QStringLiteral("The uncertainty U at %1 mm is beyond %2 \u00b5m.")
                      .arg(Number_Text(result.length))
                      .arg(MAXIMUM_ERROR));
    }
  }
  int first = 0;
  int second = 0;
  if (Find_Duplicate(results, &first, &second))
  {
    const TVerificationResult &result = results.at(first);
    return fail(QStringLiteral("Results %1 and %2 are both %3repetition %4 at %5 mm, position "
                               "'%6'.")
                    .arg(first + 1)
                    .arg(second + 1)
                    .arg(result.retest ? QStringLiteral("the retest's ") : QString())
                    .arg(result.repetition)
                    .arg(Number_Text(result.length), result.position));
  }
  return true;
}

double TVerificationRecord::Uncertainty_At(double length) const
{
  return Uncertainty_Value(uncertainty, length);
}

bool TVerificationRecord::Has_Uncertainty() const
{
  // A linear form is zero everywhere only when it is at both ends. A U that cannot be read has no
  // value to draw limits with: it is no U.
  return Uncertainty_At(0.0) > 0.0 || Uncertainty_At(MAXIMUM_LENGTH) > 0.0;
}

bool TVerificationRecord::Same_Check(const TVerificationRecord &other) const
{
  const auto same = [](const TVerificationResult &one, const TVerificationResult &two)
  {
    return one.length == two.length && one.position == two.position &&
           one.repetition == two.repetition && one.error == two.error && one.retest == two.retest;
  };
  return date == other.date && kind == other.kind && standard == other.standard &&
         component == other.component &&
         std::equal(results.cbegin(), results.cend(), other.results.cbegin(), other.results.cend(),
                    same);
}

QString TVerificationRecord::Kind_Name(int kind)
{
  return TNameTable::Name(KIND_NAMES, kind);
}

int TVerificationRecord::Kind_Of(const QString &name)
{
  return TNameTable::Index_Of(KIND_NAMES, name);
}

QString TVerificationRecord::Rule_Name(int rule)
{
  return TNameTable::Name(RULE_NAMES, rule);
}

int TVerificationRecord::Rule_Of(const QString &name)
{
  return TNameTable::Index_Of(RULE_NAMES, name);
}

QString TVerificationRecord::Rule_Words(int rule, const QString &uncertainty)
{
  const QString u = QStringLiteral("U = %1 \u00b5m").arg(uncertainty);
  switch (rule)
  {
  case RULE_SIMPLE:
    return QStringLiteral("Simple acceptance, shared risk: the machine conforms when every |E| "
                          "\u2264 MPE, else it does not conform; %1 is not taken into account.")
        .arg(u);
  case RULE_CONFORMANCE:
    return QStringLiteral("Proof of conformance (ISO 14253-1), %1: the machine conforms when "
                          "every |E| \u2264 MPE \u2212 U, does not conform when any |E| > MPE + "
                          "U, and otherwise conformance is not proven.")
        .arg(u);
  case RULE_NONCONFORMANCE:
    return QStringLiteral("Proof of nonconformance (ISO 14253-1), %1: the machine does not "
                          "conform when any |E| > MPE + U, nonconformance is not proven when any "
                          "|E| > MPE, and otherwise it conforms.")
        .arg(u);
  default:
    return QString();
  }
}

bool TVerificationRecord::Parse_Component(const QString &text, QString *standard,
                                          QString *component)
{
  const int colon = text.lastIndexOf(QLatin1Char(':'));
  if (colon <= 0 || colon == text.size() - 1)
  {
    return false;
  }
  *standard = text.left(colon);
  *component = text.mid(colon + 1);
  return true;
}

bool TVerificationRecord::Parse_Date(const QString &text, QDate *date)
{
  // By hand: the due dates of a whole catalogue are read through here, and Qt's parsing by
  // format costs microseconds a date.
  if (text.size() != 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
  {
    return false;
  }
  int fields[3] = {0, 0, 0};
  const int starts[3] = {0, 5, 8};
  const int ends[3] = {4, 7, 10};
  for (int field = 0; field < 3; ++field)
  {
    for (int index = starts[field]; index < ends[field]; ++index)
    {
      const int digit = text.at(index).digitValue();
      if (digit < 0 || text.at(index).unicode() > 0x7f)
      {
        return false;
      }
      fields[field] = 10 * fields[field] + digit;
    }
  }
  const QDate parsed(fields[0], fields[1], fields[2]);
  if (!parsed.isValid())
  {
    return false;
  }
  *date = parsed;
  return true;
}

QString TVerificationRecord::Date_Text(const QDate &date)
{
  int year = 0;
  int month = 0;
  int day = 0;
  date.getDate(&year, &month, &day);
  if (!date.isValid() || year < 0 || year > 9999)
  {
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
  }
  // Qt's ISO form, written directly: the checks due of thousands of machines write two each.
  const char text[] = {char('0' + year / 1000),
                       char('0' + year / 100 % 10),
                       char('0' + year / 10 % 10),
                       char('0' + year % 10),
                       '-',
                       char('0' + month / 10),
                       char('0' + month % 10),
                       '-',
                       char('0' + day / 10),
                       char('0' + day % 10)};
  return QString::fromLatin1(text, sizeof text);
}

QString TVerificationRecord::Number_Text(double value)
{
  if (!std::isfinite(value))
  {
    return QString();
  }
  QString text = QString::number(value, 'f', 4);
  while (text.endsWith(QLatin1Char('0')))
  {
    text.chop(1);
  }
  if (text.endsWith(QLatin1Char('.')))
  {
    text.chop(1);
  }
  return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

bool TVerificationRecord::Read_Temperature(const QString &text, int kind, double *temperature,
                                           QString *error)
{
  const QString typed = text.trimmed();
  if (typed.isEmpty())
  {
    // A record judged at a silent 20 C could hide that the room was out of its band.
    if (kind != KIND_INTERIM)
    {
      *error = QStringLiteral("the temperature is required for an acceptance or reverification");
      return false;
    }
    *temperature = DEFAULT_TEMPERATURE;
    return true;
  }
  double value = 0.0;
  if (!TSpecificationLimits::To_Number(typed, &value))
  {
    *error = QStringLiteral("the temperature '%1' is not a number").arg(typed);
    return false;
  }
  if (!(value >= MINIMUM_TEMPERATURE && value <= MAXIMUM_TEMPERATURE))
  {
    *error = QStringLiteral("the temperature %1 \u00b0C lies outside %2 \u00b0C to %3 \u00b0C")
                 .arg(typed)
                 .arg(MINIMUM_TEMPERATURE)
                 .arg(MAXIMUM_TEMPERATURE);
    return false;
  }
  *temperature = value;
  return true;
}

bool TVerificationRecord::Read_Uncertainty(const QString &text, QString *uncertainty,
                                           QString *error)
{
  const QString typed = text.trimmed().isEmpty() ? QStringLiteral("0") : text.trimmed();
  const double at_zero = Uncertainty_Value(typed, 0.0);
  if (std::isnan(at_zero))
  {
    *error = QStringLiteral("the uncertainty '%1' is not a number of 0 or more, nor an expression "
                            "in \u00b5m such as 0.3+0.4L/1000")
                 .arg(typed);
    return false;
  }
  if (!(at_zero <= MAXIMUM_ERROR))
  {
    *error =
        QStringLiteral("the uncertainty '%1' is beyond %2 \u00b5m").arg(typed).arg(MAXIMUM_ERROR);
    return false;
  }
  *uncertainty = typed;
  return true;
}

bool TVerificationRecord::Find_Duplicate(const QList<TVerificationResult> &results, int *first,
                                         int *second)
{
  QHash<QString, int> seen;
  for (int index = 0; index < results.size(); ++index)
  {
    const TVerificationResult &result = results.at(index);
    // + 0.0 makes -0 the key of 0.
    const QString key = QStringLiteral("%1\n%2\n%3\n%4")
                            .arg(result.length + 0.0, 0, 'g', 17)
                            .arg(result.repetition)
                            .arg(result.retest ? 1 : 0)
                            .arg(result.position);
    const auto found = seen.constFind(key);
    if (found != seen.constEnd())
    {
      *first = found.value();
      *second = index;
      return true;
    }
    seen.insert(key, index);
  }
  return false;
}
