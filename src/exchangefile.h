#ifndef METROVA_EXCHANGEFILE_H
#define METROVA_EXCHANGEFILE_H

#include "warninglist.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class TCatalogueImport;
class TDatabase;
class TDatabaseItem;

// Receives the progress of a long exchange run: the worker thread turns it into signals, the
// command-line tool into a line on the terminal.
class TExchangeProgress
{
public:
  virtual ~TExchangeProgress() = default;
  virtual void Progress(int value, int maximum) = 0;
  virtual void Progress_Text(const QString &text) = 0;
};

// The CSV exchange file: writes the manufacturer's part of a catalogue, and reads such a file
// into a catalogue and estimates the other standards. Runs in the caller's thread on the
// database it is given, which it never shows to anything else.
class TExchangeFile
{
public:
  // Problems beyond this many lines, or beyond this much text, are only counted.
  static constexpr int MAXIMUM_WARNING_LINES = TWarningList::MAXIMUM_LINES;
  static constexpr int MAXIMUM_WARNING_BYTES = TWarningList::MAXIMUM_BYTES;

  explicit TExchangeFile(TDatabase *database, TExchangeProgress *progress = nullptr);

  // The given makes, or every make when none is given. The old file is kept after a failure;
  // a stored value that the file cannot carry is left out with a warning.
  bool Export(const QString &file_name, const QStringList &makes = {});
  // All or nothing: a line that is wrong is skipped with a warning, and any failure of the
  // database ends the import with nothing of it kept.
  bool Import(const QString &file_name);

  QString Error_Text() const { return d_error_text; }
  bool Has_Warnings() const { return !d_warnings.Is_Empty(); }
  QString Warning_Text() const { return d_warnings.Text(); }

  // The text of an exchange file's bytes: by its byte-order mark, else UTF-8 when the whole
  // file is UTF-8, else line by line, each line that is not UTF-8 as Latin-1.
  static QString Decode(const QByteArray &bytes);

private:
  bool Fail(const QString &text);
  void Report_Progress(int value, int maximum);
  // Fills the record from a record line, checked against the import's catalogue; the line's
  // problems, empty when it can be stored. *note gets what was dropped from a line that is
  // stored.
  QString Read_Record(const QString &line, const TCatalogueImport &import, TDatabaseItem *record,
                      QString *note) const;

  TDatabase *d_database;
  TExchangeProgress *d_progress;
  QString d_error_text;
  TWarningList d_warnings;
};

#endif // METROVA_EXCHANGEFILE_H
