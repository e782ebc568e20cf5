#include "verificationrecord.h"

#include <QLatin1Char>
#include <QLatin1String>

#include <cmath>

namespace
{
const char *const KIND_NAMES[TVerificationRecord::KIND_COUNT] = {"acceptance", "reverification",
                                                                 "interim"};
const char *const RULE_NAMES[TVerificationRecord::RULE_COUNT] = {"simple", "conformance",
                                                                 "nonconformance"};

template <int COUNT>
int Index_Of(const char *const (&names)[COUNT], const QString &name)
{
  for (int index = 0; index < COUNT; ++index)
  {
    if (name == QLatin1String(names[index]))
    {
      return index;
    }
  }
  return -1;
}
} // namespace

QString TVerificationRecord::Component_Text() const
{
  return standard + QLatin1Char(':') + component;
}

bool TVerificationRecord::Check(QString *error) const
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
  if (kind < 0 || kind >= KIND_COUNT || rule < 0 || rule >= RULE_COUNT)
  {
    return fail(QStringLiteral("The record's kind or decision rule is unknown."));
  }
  if (standard.isEmpty() || component.isEmpty())
  {
    return fail(QStringLiteral("The record names no component."));
  }
  if (!std::isfinite(temperature))
  {
    return fail(QStringLiteral("The temperature is not a number."));
  }
  if (!std::isfinite(uncertainty) || uncertainty < 0.0)
  {
    return fail(QStringLiteral("The uncertainty U must be a number of 0 or more."));
  }
  if (results.isEmpty())
  {
    return fail(QStringLiteral("The record has no results."));
  }
  for (int index = 0; index < results.size(); ++index)
  {
    const TVerificationResult &result = results.at(index);
    if (!std::isfinite(result.length) || result.length < 0.0 || !std::isfinite(result.error) ||
        result.repetition < 1)
    {
      return fail(QStringLiteral("Result %1 needs a length of 0 or more, an error and a "
                                 "repetition of 1 or more.")
                      .arg(index + 1));
    }
  }
  return true;
}

QString TVerificationRecord::Kind_Name(int kind)
{
  return kind >= 0 && kind < KIND_COUNT ? QLatin1String(KIND_NAMES[kind]) : QString();
}

int TVerificationRecord::Kind_Of(const QString &name)
{
  return Index_Of(KIND_NAMES, name);
}

QString TVerificationRecord::Rule_Name(int rule)
{
  return rule >= 0 && rule < RULE_COUNT ? QLatin1String(RULE_NAMES[rule]) : QString();
}

int TVerificationRecord::Rule_Of(const QString &name)
{
  return Index_Of(RULE_NAMES, name);
}

QString TVerificationRecord::Rule_Words(int rule, double uncertainty)
{
  const QString u = QStringLiteral("U = %1 \u00b5m").arg(Number_Text(uncertainty));
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
  return date.isValid() ? date.toString(Qt::ISODate) : QString();
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
