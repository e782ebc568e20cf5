#ifndef METROVA_TERMINALPROGRESS_H
#define METROVA_TERMINALPROGRESS_H

#include "catalogueexchange.h"

#include <QString>

class QTextStream;

// Shows an exchange run's progress on a terminal, one line rewritten in place.
class TTerminalProgress : public TExchangeProgress
{
public:
  explicit TTerminalProgress(QTextStream *err) : d_err(err) {}
  ~TTerminalProgress() override { Finish(); }
  TTerminalProgress(const TTerminalProgress &) = delete;
  TTerminalProgress &operator=(const TTerminalProgress &) = delete;

  void Progress(int value, int maximum) override;
  void Progress_Text(const QString &text) override;
  // Ends the line, so that what follows starts on a line of its own.
  void Finish();

private:
  void Draw();

  QTextStream *d_err;
  QString d_text;
  int d_percent = -1;
  bool d_drawn = false;
};

#endif // METROVA_TERMINALPROGRESS_H
