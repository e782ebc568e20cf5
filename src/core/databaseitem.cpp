#include "databaseitem.h"

#include <QVector>
#include <QtGlobal>
#include <algorithm>
#include <iterator>

namespace
{
// Apostrophe, quote and percent break SQL texts; comma and colon are the exchange file's
// separators; the rest are kept out of names as a precaution.
const QChar SANITIZED_CHARACTERS[] = {QLatin1Char('\''), QLatin1Char('"'),  QLatin1Char('%'),
                                      QLatin1Char('*'),  QLatin1Char('['),  QLatin1Char(']'),
                                      QLatin1Char('^'),  QLatin1Char('\\'), QLatin1Char('/'),
                                      QLatin1Char(','),  QLatin1Char(':')};
} // namespace

void TDatabaseItem::Set_Make(const QString &make)
{
  if (make != d_make)
  {
    d_specification_items.clear();
  }
  d_make = make;
}

void TDatabaseItem::Set_Model(const QString &model)
{
  if (model != d_model)
  {
    d_specification_items.clear();
  }
  d_model = model;
}

void TDatabaseItem::Set_Option(const QString &option)
{
  if (option != d_option)
  {
    d_specification_items.clear();
  }
  d_option = option;
}

void TDatabaseItem::Set_Standard(const QString &standard)
{
  if (standard != d_standard)
  {
    d_specification_items.clear();
  }
  d_standard = standard;
}

const TSpecificationItem &TDatabaseItem::Specification_Item(int index) const
{
  Q_ASSERT(static_cast<unsigned int>(index) < d_specification_items.size());

  return d_specification_items[static_cast<std::size_t>(index)];
}

void TDatabaseItem::Add_Specification_Item(const TSpecificationItem &item)
{
  d_specification_items.push_back(item);
}

void TDatabaseItem::Remove_Estimated_Items()
{
  d_specification_items.erase(std::remove_if(d_specification_items.begin(),
                                             d_specification_items.end(),
                                             [](const TSpecificationItem &item)
                                             { return item.source != SOURCE_MANUFACTURER; }),
                              d_specification_items.end());
}

QString TDatabaseItem::Expression_Text(const QString &component, int units) const
{
  for (const TSpecificationItem &item : d_specification_items)
  {
    if (item.name == component)
    {
      return item.expression.Expression_Text(units);
    }
  }
  return QString();
}

int TDatabaseItem::Source(const QString &component) const
{
  for (const TSpecificationItem &item : d_specification_items)
  {
    if (item.name == component)
    {
      return item.source;
    }
  }
  return SOURCE_MANUFACTURER;
}

QString TDatabaseItem::Source_Name(int source)
{
  switch (source)
  {
  case SOURCE_MANUFACTURER:
    return QStringLiteral("MFG");
  case SOURCE_ESTIMATED:
    return QStringLiteral("EST");
  default:
    return QString();
  }
}

void TDatabaseItem::Sanitize_Names()
{
  Sanitize(&d_make);
  Sanitize(&d_model);
  Sanitize(&d_option);
  Sanitize(&d_standard);
}

QString TDatabaseItem::Sanitize(const QString &text)
{
  QString cleaned(text);
  Sanitize(&cleaned);
  return cleaned;
}

void TDatabaseItem::Sanitize(QString *str)
{
  Q_ASSERT(str);

  for (const QChar character : SANITIZED_CHARACTERS)
  {
    str->remove(character);
  }
}

namespace
{
QString Without_Noncharacters(const QString &text)
{
  // Names are read by the hundred thousand on import: most hold no candidate at all.
  if (std::none_of(text.cbegin(), text.cend(),
                   [](QChar character)
                   { return character.unicode() >= 0xFDD0 || character.isSurrogate(); }))
  {
    return text;
  }
  const QVector<uint> characters = text.toUcs4();
  QVector<uint> kept;
  kept.reserve(characters.size());
  for (const uint character : characters)
  {
    if (!(character >= 0xFDD0 && character <= 0xFDEF) && (character & 0xFFFE) != 0xFFFE)
    {
      kept.append(character);
    }
  }
  return kept.size() == characters.size() ? text : QString::fromUcs4(kept.constData(), kept.size());
}
} // namespace

bool TDatabaseItem::Is_Clean_Name(const char *bytes, int size)
{
  if (size == 0 || bytes[0] == ' ' || bytes[size - 1] == ' ')
  {
    return false;
  }
  for (int index = 0; index < size; ++index)
  {
    const char character = bytes[index];
    if (character < 0x20 || character > 0x7e || (character == ' ' && bytes[index + 1] == ' ') ||
        std::find(std::begin(SANITIZED_CHARACTERS), std::end(SANITIZED_CHARACTERS),
                  QLatin1Char(character)) != std::end(SANITIZED_CHARACTERS))
    {
      return false;
    }
  }
  return true;
}

QString TDatabaseItem::Name_Length_Problem(const QString &kind, const QString &name)
{
  if (name.size() <= MAXIMUM_NAME_LENGTH)
  {
    return QString();
  }
  // Characters, not UTF-16 code units.
  const int length = name.toUcs4().size();
  if (length <= MAXIMUM_NAME_LENGTH)
  {
    return QString();
  }
  return QStringLiteral("the %1 name is %2 characters long; a new name may have at most %3")
      .arg(kind)
      .arg(length)
      .arg(MAXIMUM_NAME_LENGTH);
}

QString TDatabaseItem::Cleaned_Name(const QString &name)
{
  // Cleaned first: a removed character may leave two blanks side by side. Noncharacters are for
  // a program's own use, not for text it exchanges; SQLite reads U+FFFE and U+FFFF back as U+FFFD,
  // which would leave the name unreachable.
  QString cleaned = Without_Noncharacters(Sanitize(name)).simplified();
  // SQLite takes a text that starts with U+FEFF for a byte order mark and would store the name
  // without it.
  while (cleaned.startsWith(QChar(0xFEFF)))
  {
    cleaned = cleaned.mid(1).trimmed();
  }
  const bool control = std::any_of(
      cleaned.cbegin(), cleaned.cend(),
      [](QChar character) { return character.unicode() < 0x20 || character.unicode() == 0x7f; });
  return control ? QString() : cleaned;
}
