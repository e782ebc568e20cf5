#ifndef METROVA_VERIFICATIONROWS_H
#define METROVA_VERIFICATIONROWS_H

#include "databaseitem.h"
#include "verificationjudgement.h"
#include "verificationrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// The verification log as rows of cells, the same for the command line, the window and the
// report: the records of a machine, the results of one record and their ranges, and the lines
// that say what a verdict rests on.
class TVerificationRows
{
public:
  // number,date,kind,component,rule,uncertainty_um,results,largest_share_percent,verdict, then
  // limit_um,limit_source,temperature_c,retested_sets,frozen: the verdict with its reason
  // ("not judged: estimated limit"), the limit's expression and source as stored with it.
  static QStringList List_Header();
  // The results counted as result_count when they are not read (-1: those of the record).
  static QStringList List_Row(const TVerificationRecord &record,
                              const TVerificationJudgement::TJudgement &judgement,
                              int result_count = -1);
  // length_mm,position,repetition,error_um,mpe_um,zone,u_um,retest (mpe_um empty where there is
  // no limit; retest "retest" for a retest, "replaced by retest" for a result it repeats).
  static QStringList Show_Header();
  static QList<QStringList> Show_Rows(const TVerificationJudgement::TJudgement &judgement);
  // length_mm,position,repetitions,range_um,limit_um,zone,u_um (the limit R0 or Volume).
  static QStringList Range_Header();
  static QList<QStringList> Range_Rows(const TVerificationJudgement::TJudgement &judgement);
  // "record 3: does not conform", "record 3: not judged: estimated limit"
  static QString Verdict_Line(int number, const TVerificationJudgement::TJudgement &judgement);
  // What the verdict rests on, one line each: the limit with its source, U, the rule, the
  // temperature, and how the figures were kept.
  static QStringList Basis_Lines(const TVerificationRecord &record,
                                 const TVerificationJudgement::TJudgement &judgement);
  // What keeps a record from a verdict, or weakens one: the temperature outside the rated band,
  // an estimated limit, results without a limit, U not below the MPE, ranges not judged, more
  // retests than the standard allows. One line each.
  static QStringList Notes(const TVerificationJudgement::TJudgement &judgement);
  // The zones counted, the ranges' too, and the largest share, in a sentence or three.
  static QString Summary(const TVerificationJudgement::TJudgement &judgement);
  // "84.1", empty without a share.
  static QString Share_Text(const TVerificationJudgement::TJudgement &judgement);
};

#endif // METROVA_VERIFICATIONROWS_H
