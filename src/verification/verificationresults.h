#ifndef METROVA_VERIFICATIONRESULTS_H
#define METROVA_VERIFICATIONRESULTS_H

#include "verificationrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

// Reads a check's results as typed or pasted cells and as a CSV file. The file's header names
// the columns length_mm and error_um and, if it likes, position, repetition and retest, in any
// order. One bad line refuses the whole file, naming the line: nothing half read is ever stored.
// A file is read as a stream, line by line, within bounds: a device without end or a file far
// larger than any check is refused at once, not read into memory.
class TVerificationResults
{
public:
  enum TColumn
  {
    COLUMN_LENGTH = 0,
    COLUMN_POSITION,
    COLUMN_REPETITION,
    COLUMN_ERROR,
    // "yes" (or 1) for a result that repeats the set of its length and position; empty or "no"
    // (0) for a first result.
    COLUMN_RETEST,
    COLUMN_COUNT
  };

  // No results file of a check comes near these.
  static constexpr int MAXIMUM_LINE_BYTES = 4096;
  static constexpr int MAXIMUM_RESULTS = 10000;
  static constexpr int MAXIMUM_LINES = 100000;

  // "length_mm", "position", "repetition", "error_um", "retest".
  static QString Column_Name(int column);
  // One result from its cells in TColumn order (missing cells are empty). An empty repetition is
  // 0, for Number_Repetitions; without needs_length an empty length is 0 (a probing result).
  // False with *reason for a length that is no number from 0 to the maximum, an error that is no
  // number within the maximum, a repetition that is no whole number of 1 or more, a retest that is
  // neither yes nor no.
  static bool Read_Cells(const QStringList &cells, TVerificationResult *result, QString *reason,
                         bool needs_length = true);
  // Gives each result without a repetition (0) the next number of its length, position and
  // retest flag.
  static void Number_Repetitions(QList<TVerificationResult> *results);
  // Without needs_length the header need not name length_mm (a probing test).
  static bool Read_Csv(const QString &text, QList<TVerificationResult> *results, QString *error,
                       bool needs_length = true);
  // Bytes that are not UTF-8 are refused, naming the line.
  static bool Read_Device(QIODevice *device, QList<TVerificationResult> *results, QString *error,
                          bool needs_length = true);
  static bool Read_File(const QString &file_name, QList<TVerificationResult> *results,
                        QString *error, bool needs_length = true);
  // A spreadsheet's copy: one row per line, cells split at tabs.
  static QList<QStringList> Tabbed_Rows(const QString &text);
};

#endif // METROVA_VERIFICATIONRESULTS_H
