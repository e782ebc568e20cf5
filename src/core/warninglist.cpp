#include "warninglist.h"

void TWarningList::Add(qint64 line_number, const QString &text)
{
  ++d_count;
  if (d_lines.size() >= MAXIMUM_LINES)
  {
    return;
  }
  const QString line =
      Cut(line_number > 0 ? QStringLiteral("line %1: %2").arg(line_number).arg(text) : text,
          MAXIMUM_LINE_LENGTH);
  const int bytes = line.toUtf8().size() + 1;
  if (d_bytes + bytes > MAXIMUM_BYTES)
  {
    // Full: the later warnings are only counted, so that the list keeps its order.
    d_bytes = MAXIMUM_BYTES;
    return;
  }
  d_lines.append(line);
  d_bytes += bytes;
}

void TWarningList::Clear()
{
  d_lines.clear();
  d_count = 0;
  d_bytes = 0;
}

QString TWarningList::Text() const
{
  QStringList lines = d_lines;
  if (d_count > d_lines.size())
  {
    const qint64 more = d_count - d_lines.size();
    lines.append(more == 1 ? QStringLiteral("... and 1 more problem")
                           : QStringLiteral("... and %1 more problems").arg(more));
  }
  return lines.join(QLatin1Char('\n'));
}

QString TWarningList::Cut(const QString &text, int length)
{
  if (text.size() <= length)
  {
    return text;
  }
  if (text.at(length - 1).isHighSurrogate())
  {
    --length;
  }
  return text.left(length) + QStringLiteral("...");
}

QString TWarningList::Quoted(const QString &value)
{
  QString shown = Cut(value, QUOTED_LENGTH);
  for (QChar &character : shown)
  {
    if (character.unicode() < 0x20 || character.unicode() == 0x7f)
    {
      character = QLatin1Char('?');
    }
  }
  return QLatin1Char('\'') + shown + QLatin1Char('\'');
}
