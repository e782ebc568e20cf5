#ifndef METROVA_VERIFICATIONREPORT_H
#define METROVA_VERIFICATIONREPORT_H

#include "verificationjudgement.h"
#include "verificationrecord.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

// The PDF report of one verification record: the machine, the record's fields, what the verdict
// rests on (the limit's expression and source, U or U(L), the rule, the temperature), the decision
// rule in words, the stored verdict with its reason, the errors plotted over length with the MPE
// lines, every result with its MPE, U and zone (a retest beside the results it repeats), the
// ranges, what today's catalogue states otherwise, and the note that the verdict is the program's
// evaluation of the entered results. Written safely (TPdfOutput):
//
//   if (!TVerificationReport::Write(file_name, make, model, option, record, judgement, changes,
//                                   &error))
//     show error as the details of the failure message
class TVerificationReport
{
public:
  // judgement: the record's stored one (TVerificationWorkflow::TEntry); changes: the lines that
  // say where today's catalogue differs from it.
  static bool Write(const QString &file_name, const QString &make, const QString &model,
                    const QString &option, const TVerificationRecord &record,
                    const TVerificationJudgement::TJudgement &judgement, const QStringList &changes,
                    QString *error_text);

  // The colours of the zones and verdicts wherever they are shown.
  static QColor Zone_Colour(int zone);
  static QColor Verdict_Colour(int verdict);
};

#endif // METROVA_VERIFICATIONREPORT_H
