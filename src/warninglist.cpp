#include "warninglist.h"

void TWarningList::Add(int line_number, const QString &text)
{
  if (d_lines.size() < MAXIMUM_LINES)
  {
    d_lines.append(line_number > 0 ? QStringLiteral("line %1: %2").arg(line_number).arg(text)
                                   : text);
  }
  ++d_count;
}

void TWarningList::Clear()
{
  d_lines.clear();
  d_count = 0;
}

QString TWarningList::Text() const
{
  QStringList lines = d_lines;
  if (d_count > d_lines.size())
  {
    const int more = d_count - d_lines.size();
    lines.append(more == 1 ? QStringLiteral("... and 1 more problem")
                           : QStringLiteral("... and %1 more problems").arg(more));
  }
  return lines.join(QLatin1Char('\n'));
}
