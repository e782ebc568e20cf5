#ifndef METROVA_CATALOGUEEXCHANGE_H
#define METROVA_CATALOGUEEXCHANGE_H

#include "warninglist.h"

#include <QString>
#include <QStringList>

#include <memory>

class TDatabase;

// Receives the progress of a long exchange run: the worker thread turns it into signals, the
// command-line tool into a line on the terminal.
class TExchangeProgress
{
public:
  virtual ~TExchangeProgress() = default;
  virtual void Progress(int value, int maximum) = 0;
  virtual void Progress_Text(const QString &text) = 0;
};

// A file format the catalogue is exchanged in. Each runs in the caller's thread on the database
// it is given, which it never shows to anything else, and keeps what it could not carry as
// warnings.
class TCatalogueExchange
{
public:
  enum TFormat
  {
    // Metrova's own CSV exchange file.
    FORMAT_CSV,
    // A QIF 3 measurement resources document.
    FORMAT_QIF
  };

  TCatalogueExchange(TDatabase *database, TExchangeProgress *progress);
  virtual ~TCatalogueExchange() = default;
  TCatalogueExchange(const TCatalogueExchange &) = delete;
  TCatalogueExchange &operator=(const TCatalogueExchange &) = delete;

  static std::unique_ptr<TCatalogueExchange> Create(TFormat format, TDatabase *database,
                                                    TExchangeProgress *progress = nullptr);
  // The format a file's extension names (".qif" or ".csv", in any case); otherwise fallback.
  static TFormat Format_Of(const QString &file_name, TFormat fallback = FORMAT_CSV);

  // The given makes, or every make when none is given. The old file is kept after a failure;
  // a stored value that the format cannot carry is left out with a warning.
  virtual bool Export(const QString &file_name, const QStringList &makes = {}) = 0;
  // All or nothing: a record that is wrong is skipped with a warning, and any failure of the
  // database ends the import with nothing of it kept.
  virtual bool Import(const QString &file_name) = 0;

  QString Error_Text() const { return d_error_text; }
  bool Has_Warnings() const { return !d_warnings.Is_Empty(); }
  QString Warning_Text() const { return d_warnings.Text(); }

protected:
  bool Fail(const QString &text);
  void Report_Progress(int value, int maximum);

  TDatabase *d_database;
  TExchangeProgress *d_progress;
  QString d_error_text;
  TWarningList d_warnings;
};

#endif // METROVA_CATALOGUEEXCHANGE_H
