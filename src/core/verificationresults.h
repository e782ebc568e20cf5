#ifndef METROVA_VERIFICATIONRESULTS_H
#define METROVA_VERIFICATIONRESULTS_H

#include "verificationrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// Reads a check's results as typed or pasted cells and as a CSV file. The file's header names
// the columns length_mm and error_um and, if it likes, position and repetition, in any order.
// One bad line refuses the whole file, naming the line: nothing half read is ever stored.
class TVerificationResults
{
public:
  enum TColumn
  {
    COLUMN_LENGTH = 0,
    COLUMN_POSITION,
    COLUMN_REPETITION,
    COLUMN_ERROR,
    COLUMN_COUNT
  };

  // "length_mm", "position", "repetition", "error_um".
  static QString Column_Name(int column);
  // One result from its cells in TColumn order. An empty repetition is 0, for Number_Repetitions;
  // false with *reason for a length that is no number of 0 or more, an error that is no number, a
  // repetition that is no whole number of 1 or more.
  static bool Read_Cells(const QStringList &cells, TVerificationResult *result, QString *reason);
  // Gives each result without a repetition (0) the next number of its length and position.
  static void Number_Repetitions(QList<TVerificationResult> *results);
  static bool Read_Csv(const QString &text, QList<TVerificationResult> *results, QString *error);
  static bool Read_File(const QString &file_name, QList<TVerificationResult> *results,
                        QString *error);
  // A spreadsheet's copy: one row per line, cells split at tabs.
  static QList<QStringList> Tabbed_Rows(const QString &text);
};

#endif // METROVA_VERIFICATIONRESULTS_H
