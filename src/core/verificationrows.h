#ifndef METROVA_VERIFICATIONROWS_H
#define METROVA_VERIFICATIONROWS_H

#include "databaseitem.h"
#include "verificationjudgement.h"
#include "verificationrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// The verification log as rows of cells, the same for the command line, the window and the
// report: the records of a machine, the results of one record and their R0 ranges.
class TVerificationRows
{
public:
  // number,date,kind,component,rule,uncertainty_um,results,largest_share_percent,verdict
  static QStringList List_Header();
  static QStringList List_Row(const TVerificationRecord &record,
                              const TVerificationJudgement::TJudgement &judgement);
  // Each record judged against the machine's stored records.
  static QList<QStringList> List_Rows(const QList<TVerificationRecord> &records,
                                      const QList<TDatabaseItem> &machine);
  // length_mm,position,repetition,error_um,mpe_um,zone (mpe_um empty where there is no limit)
  static QStringList Show_Header();
  static QList<QStringList> Show_Rows(const TVerificationJudgement::TJudgement &judgement);
  // length_mm,position,repetitions,range_um,r0_um,zone
  static QStringList Range_Header();
  static QList<QStringList> Range_Rows(const TVerificationJudgement::TJudgement &judgement);
  // "record 3: does not conform"
  static QString Verdict_Line(int number, int verdict);
  // What keeps a record from conforming besides its results: the temperature outside the
  // stated range, results without a limit. One line each.
  static QStringList Notes(const TVerificationJudgement::TJudgement &judgement);
  // The zones counted, the R0 ranges' too, and the largest share, in a sentence or three.
  static QString Summary(const TVerificationJudgement::TJudgement &judgement);
  // "84.1", empty without a share.
  static QString Share_Text(const TVerificationJudgement::TJudgement &judgement);
};

#endif // METROVA_VERIFICATIONROWS_H
