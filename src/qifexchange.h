#ifndef METROVA_QIFEXCHANGE_H
#define METROVA_QIFEXCHANGE_H

#include "warninglist.h"

#include <QString>
#include <QStringList>

class TDatabase;
class TExchangeProgress;

// The catalogue as a QIF 3 measurement resources document, for planning and execution software
// and from a plant's own resources files. Runs in the caller's thread on the database it is
// given, like the CSV exchange file.
class TQifExchange
{
public:
  explicit TQifExchange(TDatabase *database, TExchangeProgress *progress = nullptr);

  // The given makes, or every make when none is given. The old file is kept after a failure.
  bool Export(const QString &file_name, const QStringList &makes = {});

  QString Error_Text() const { return d_error_text; }
  bool Has_Warnings() const { return !d_warnings.Is_Empty(); }
  QString Warning_Text() const { return d_warnings.Text(); }

private:
  bool Fail(const QString &text);

  TDatabase *d_database;
  TExchangeProgress *d_progress;
  QString d_error_text;
  TWarningList d_warnings;
};

#endif // METROVA_QIFEXCHANGE_H
