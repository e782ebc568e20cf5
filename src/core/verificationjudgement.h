#ifndef METROVA_VERIFICATIONJUDGEMENT_H
#define METROVA_VERIFICATIONJUDGEMENT_H

#include "databaseitem.h"
#include "temperatureband.h"
#include "verificationrecord.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QVector>

// Judges a check's results against the machine's stored limit: the MPE of each result at its
// length and the record's temperature (through the limits evaluation), its zone after ILAC-G8,
// the ranges of repeated lengths against R0, and the record's verdict by its decision rule.
class TVerificationJudgement
{
public:
  enum TZone
  {
    // |E| <= MPE - U
    ZONE_PASS = 0,
    // MPE - U < |E| <= MPE
    ZONE_CONDITIONAL_PASS,
    // MPE < |E| <= MPE + U
    ZONE_CONDITIONAL_FAIL,
    // |E| > MPE + U
    ZONE_FAIL,
    // The limit gives no number here: the record cannot conform.
    ZONE_NO_LIMIT,
    ZONE_COUNT
  };

  enum TVerdict
  {
    VERDICT_CONFORMS = 0,
    VERDICT_DOES_NOT_CONFORM,
    VERDICT_NOT_PROVEN,
    VERDICT_COUNT
  };

  static const char TEMPERATURE_FLAG[];
  static const char EVALUATION_NOTE[];

  struct TJudgedResult
  {
    TVerificationResult result;
    bool has_limit = false;
    double mpe = 0.0;
    int zone = ZONE_NO_LIMIT;
  };

  // The repetitions of one length in one position.
  struct TRange
  {
    double length = 0.0;
    QString position;
    int count = 0;
    double range = 0.0;
    double r0 = 0.0;
    int zone = ZONE_PASS;
  };

  struct TJudgement
  {
    QList<TJudgedResult> results;
    // Judged only when the machine states a 10360 R0 and the record checks a 10360 component.
    QList<TRange> ranges;
    TTemperatureBand band;
    bool in_band = true;
    // max |E| / MPE in percent, over the results whose MPE is above 0.
    bool has_share = false;
    double largest_share = 0.0;
    QVector<int> zone_counts = QVector<int>(ZONE_COUNT, 0);
    int verdict = VERDICT_NOT_PROVEN;
  };

  // The MPE curve and the two curves U inside and outside it, over lengths from 0 to a maximum
  // (micrometres over millimetres); the plots mirror them below zero.
  struct TLimitLines
  {
    QVector<QPointF> mpe;
    QVector<QPointF> inner;
    QVector<QPointF> outer;
  };

  static int Zone(double error, double mpe, double uncertainty);
  // The verdict of a rule over zones (ZONE_NO_LIMIT among them keeps it from conforming);
  // can_conform false (a temperature outside the band, no results) does as well.
  static int Verdict(int rule, const QVector<int> &zones, bool can_conform);
  static TJudgement Judge(const TVerificationRecord &record, const QList<TDatabaseItem> &machine);
  static TLimitLines Limit_Lines(const TVerificationRecord &record,
                                 const QList<TDatabaseItem> &machine, double maximum_length);
  // A length axis that shows every result: a round length a little beyond the longest, at least
  // 100 mm.
  static double Plot_Length(const TVerificationRecord &record);

  // "pass", "conditional pass", "conditional fail", "fail", "no limit".
  static QString Zone_Name(int zone);
  // "conforms", "does not conform", "not proven".
  static QString Verdict_Name(int verdict);
  // 0, 3 and 4: the command line's exit status for a verdict.
  static int Exit_Status(int verdict);
};

#endif // METROVA_VERIFICATIONJUDGEMENT_H
