#ifndef METROVA_EXCHANGEFILE_H
#define METROVA_EXCHANGEFILE_H

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

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

// The CSV exchange file: writes the manufacturer's part of a catalogue, and reads such a file
// into a catalogue and estimates the other standards. Runs in the caller's thread on the
// database it is given, which it never shows to anything else.
class TExchangeFile
{
public:
  // Problems beyond this many are only counted in the warning text.
  static constexpr int MAXIMUM_WARNING_LINES = 200;

  explicit TExchangeFile(TDatabase *database, TExchangeProgress *progress = nullptr);

  // The given makes, or every make when none is given. The old file is kept after a failure.
  bool Export(const QString &file_name, const QStringList &makes = {});
  // All or nothing: lines that cannot be stored are skipped with a warning.
  bool Import(const QString &file_name);

  QString Error_Text() const { return d_error_text; }
  bool Has_Warnings() const { return d_warning_count > 0; }
  QString Warning_Text() const;

private:
  bool Fail(const QString &text);
  void Add_Warning(int line_number, const QString &text);
  void Report_Progress(int value, int maximum);
  void Report_Progress_Text(const QString &text);
  static QString Decode(const QByteArray &bytes);
  // The mask of kinds a component accepts, 0 when the standard or component is unknown.
  int Expression_Types(const QString &standard, const QString &component);

  TDatabase *d_database;
  TExchangeProgress *d_progress;
  QString d_error_text;
  QStringList d_warnings;
  int d_warning_count;
  QHash<QString, int> d_expression_types;
};

#endif // METROVA_EXCHANGEFILE_H
