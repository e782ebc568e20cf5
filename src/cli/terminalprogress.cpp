#include "terminalprogress.h"

#include <QTextStream>

void TTerminalProgress::Progress(int value, int maximum)
{
  const int percent =
      maximum > 0 ? static_cast<int>(qBound<qint64>(0, qint64(value) * 100 / maximum, 100)) : 0;
  if (percent != d_percent)
  {
    d_percent = percent;
    Draw();
  }
}

void TTerminalProgress::Progress_Text(const QString &text)
{
  d_text = text;
  d_percent = -1;
  Draw();
}

void TTerminalProgress::Finish()
{
  if (d_drawn)
  {
    *d_err << '\n';
    d_err->flush();
    d_drawn = false;
  }
}

void TTerminalProgress::Draw()
{
  *d_err << '\r' << d_text;
  if (d_percent >= 0)
  {
    *d_err << ' ' << d_percent << '%';
  }
  // Clears what a longer earlier text left on the line.
  *d_err << "\x1b[K";
  d_err->flush();
  d_drawn = true;
}
