#ifndef METROVA_NAMETABLE_H
#define METROVA_NAMETABLE_H

#include <QLatin1String>
#include <QString>

// The words of an enumeration kept as a table of texts, indexed by its values: the kinds, rules,
// zones, states and reasons of the verification log are written and read by them.
namespace TNameTable
{
// The text of a value; empty for a value outside the table.
template <int COUNT>
QString Name(const char *const (&names)[COUNT], int index)
{
  return index >= 0 && index < COUNT ? QLatin1String(names[index]) : QString();
}

// The value of a text; -1 for a text the table does not hold.
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
} // namespace TNameTable

#endif // METROVA_NAMETABLE_H
