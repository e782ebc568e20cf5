#ifndef METROVA_VERIFICATIONJUDGEMENT_H
#define METROVA_VERIFICATIONJUDGEMENT_H

#include "databaseitem.h"
#include "temperatureband.h"
#include "verificationbasis.h"
#include "verificationrecord.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QVector>

// Judges a check's results against the machine's limit: the MPE and U of each result at its
// length and the record's temperature (through the limits evaluation), its zone after ILAC-G8,
// the ranges that the standard judges as ranges (the repetitions of an E0 record in one position
// against R0, the ballbar readings of a B89.4.1 Volume record), and the record's state by its
// decision rule. A set of one length and position that was retested is judged by its retests.
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
    // The limit gives no number here.
    ZONE_NO_LIMIT,
    ZONE_COUNT
  };

  // The record's state; each asks for its own action, and the command line exits with its own
  // status (Exit_Status).
  enum TVerdict
  {
    VERDICT_CONFORMS = 0,
    VERDICT_DOES_NOT_CONFORM,
    // Proof of conformance asked for and not given: do not accept.
    VERDICT_CONFORMANCE_NOT_PROVEN,
    // Proof of nonconformance asked for and not given: accept.
    VERDICT_NONCONFORMANCE_NOT_PROVEN,
    // No verdict can be given; the reason says why.
    VERDICT_NOT_JUDGED,
    VERDICT_COUNT
  };

  // Why a record is not judged.
  enum TReason
  {
    REASON_NONE = 0,
    // The record's temperature lies outside the machine's rated band: the limit does not apply.
    REASON_OUTSIDE_TEMPERATURE,
    // The limit was estimated from another standard: it proves nothing either way.
    REASON_ESTIMATED_LIMIT,
    // A result's length has no limit, and no result proves a nonconformance.
    REASON_NO_LIMIT,
    REASON_COUNT
  };

  // Where a judgement comes from.
  enum TFrozen
  {
    // Judged now against the catalogue: a new record, or one stored before figures were stored
    // with records, read from a catalogue that cannot be written.
    FROZEN_NO = 0,
    // The figures stored when the record was saved.
    FROZEN_AT_SAVE,
    // The figures of the catalogue when the log was first opened for writing by a version that
    // stores them, for a record stored before.
    FROZEN_ON_UPGRADE,
    FROZEN_COUNT
  };

  // Which ranges a record's component judges.
  enum TRanges
  {
    RANGES_NONE = 0,
    // The repetitions of each length in each position of an E0 record, against R0.
    RANGES_R0,
    // The readings at each ballbar length of a B89.4.1 Volume record, against Volume.
    RANGES_VOLUME
  };

  // More retested sets than this in one record are named in a warning.
  static constexpr int MAXIMUM_RETESTED_SETS = 5;

  static const char EVALUATION_NOTE[];

  struct TJudgedResult
  {
    TVerificationResult result;
    bool has_limit = false;
    double mpe = 0.0;
    // U at the result's length.
    double uncertainty = 0.0;
    int zone = ZONE_NO_LIMIT;
    // A result of a set that was retested: shown, not judged.
    bool superseded = false;
  };

  // The results of one length (and position, for R0) judged as a range.
  struct TRange
  {
    double length = 0.0;
    QString position;
    int count = 0;
    double range = 0.0;
    double limit = 0.0;
    double uncertainty = 0.0;
    int zone = ZONE_PASS;
  };

  struct TJudgement
  {
    QList<TJudgedResult> results;
    int range_kind = RANGES_NONE;
    QList<TRange> ranges;
    TVerificationBasis basis;
    TTemperatureBand band;
    bool in_band = true;
    // max |E| / MPE (or range / limit) in percent, over the judged results whose limit is above 0.
    bool has_share = false;
    double largest_share = 0.0;
    // The judged results by zone (ranges apart).
    QVector<int> zone_counts = QVector<int>(ZONE_COUNT, 0);
    int verdict = VERDICT_NOT_JUDGED;
    int reason = REASON_NONE;
    // The sets of one length and position that were retested.
    int retested_sets = 0;
    // The machine states an R0 for the E0 record, but its results name no positions: the ranges
    // are not judged.
    bool r0_without_positions = false;
    // The machine's R0 is estimated: the ranges are not judged against it.
    bool r0_estimated = false;
    // The lengths where U is not smaller than the MPE: the pass zone is empty there.
    QList<double> empty_pass_zones;
    int frozen = FROZEN_NO;
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
  // The verdict of a rule over zones, ZONE_NO_LIMIT left out: one of the first four.
  static int Verdict(int rule, const QVector<int> &zones);
  // Against the machine's rows of every standard, or against a basis (a stored record's).
  static TJudgement Judge(const TVerificationRecord &record, const QList<TDatabaseItem> &machine);
  static TJudgement Judge(const TVerificationRecord &record, const TVerificationBasis &basis);
  // The parts of a judgement that follow from its results' figures, ranges and basis: the band,
  // the range kind, the zone counts, the retested sets and what the notes name. A stored
  // judgement read back is completed by it as a new one is.
  static void Complete(const TVerificationRecord &record, TJudgement *judgement);
  // The sets of one length and position among these results that were retested.
  static int Retested_Sets(const QList<TVerificationResult> &results);
  // Whether a component is a probing error, judged against its constant without lengths.
  static bool Is_Probing(const QString &standard, const QString &component);
  // Which ranges a component judges.
  static int Range_Kind(const QString &standard, const QString &component);
  static TLimitLines Limit_Lines(const TVerificationRecord &record,
                                 const QList<TDatabaseItem> &machine, double maximum_length);
  static TLimitLines Limit_Lines(const TVerificationRecord &record, const TVerificationBasis &basis,
                                 double maximum_length);
  // A length axis that shows every result: a round length a little beyond the longest, at least
  // 100 mm.
  static double Plot_Length(const TVerificationRecord &record);

  // "pass", "conditional pass", "conditional fail", "fail", "no limit"; -1 from Zone_Of for
  // another text.
  static QString Zone_Name(int zone);
  static int Zone_Of(const QString &name);
  // "conforms", "does not conform", "conformance not proven", "nonconformance not proven", "not
  // judged"; -1 from Verdict_Of for another text.
  static QString Verdict_Name(int verdict);
  static int Verdict_Of(const QString &name);
  // "outside the rated temperature", "estimated limit", "no limit at a length"; empty for none.
  static QString Reason_Name(int reason);
  static int Reason_Of(const QString &name);
  // The verdict with its reason: "not judged: estimated limit".
  static QString State_Text(int verdict, int reason);
  // "frozen at save", "frozen on upgrade", "not frozen"; -1 from Frozen_Of for another text.
  static QString Frozen_Name(int frozen);
  static int Frozen_Of(const QString &name);
  // The command line's exit status: 0 conforms, 3 does not conform, 4 either not proven, 5 not
  // judged.
  static int Exit_Status(int verdict);
  // Whether the machine may be used on this state until its next scheduled check: only a record
  // that conforms counts as a check done.
  static bool Is_Check_Done(int verdict) { return verdict == VERDICT_CONFORMS; }
};

#endif // METROVA_VERIFICATIONJUDGEMENT_H
