#ifndef METROVA_VERIFICATIONREPORT_H
#define METROVA_VERIFICATIONREPORT_H

#include "databaseitem.h"
#include "verificationrecord.h"

#include <QColor>
#include <QList>
#include <QString>

// The PDF report of one verification record: the machine, the record's fields, the decision rule
// in words with U, the verdict, the errors plotted over length with the MPE lines, every result
// with its MPE and zone, the R0 ranges, and the note that the verdict is the program's evaluation
// of the entered results. Written safely (TPdfOutput):
//
//   if (!TVerificationReport::Write(file_name, make, model, option, record, machine, &error))
//     show error as the details of the failure message
class TVerificationReport
{
public:
  // machine: the machine's records of every standard, as the judgement reads them.
  static bool Write(const QString &file_name, const QString &make, const QString &model,
                    const QString &option, const TVerificationRecord &record,
                    const QList<TDatabaseItem> &machine, QString *error_text);

  // The colours of the zones and verdicts wherever they are shown.
  static QColor Zone_Colour(int zone);
  static QColor Verdict_Colour(int verdict);
};

#endif // METROVA_VERIFICATIONREPORT_H
