#ifndef METROVA_VERIFICATIONRECORD_H
#define METROVA_VERIFICATIONRECORD_H

#include <QDate>
#include <QList>
#include <QString>

// One measured length error of a check: lengths in millimetres, errors in micrometres.
struct TVerificationResult
{
  double length = 0.0;
  // Free text or a number, as the tester names the positions; may be empty.
  QString position;
  // From 1; a retest numbers its repetitions apart from the results it repeats.
  int repetition = 1;
  double error = 0.0;
  // A repeat of the set of results of this length and position: the set is judged by its retests
  // alone, and the results they repeat stay on the record.
  bool retest = false;
};

// One check of a machine against its specification (an acceptance test, a reverification or an
// interim check) with its results. Records of one machine are numbered from 1 in the order they
// were added; a number is never given twice, even after a record was deleted.
struct TVerificationRecord
{
  enum TKind
  {
    KIND_ACCEPTANCE = 0,
    KIND_REVERIFICATION,
    KIND_INTERIM,
    KIND_COUNT
  };

  // How U enters the verdict.
  enum TRule
  {
    // U ignored: the risk is shared.
    RULE_SIMPLE = 0,
    // Conformance must be proven beyond U (the supplier's side at acceptance).
    RULE_CONFORMANCE,
    // Nonconformance must be proven beyond U (the user's side when claiming a fault).
    RULE_NONCONFORMANCE,
    RULE_COUNT
  };

  // A measuring room's air lies between these, in degrees Celsius; a temperature outside them is
  // a typing error, not a condition a machine was checked in.
  static constexpr double MINIMUM_TEMPERATURE = -10.0;
  static constexpr double MAXIMUM_TEMPERATURE = 50.0;
  // Numbers beyond these are no measurement of a CMM (100 m, 10 mm): refused before they reach a
  // judgement, a plot or a report, where they would overflow the arithmetic or the page.
  static constexpr double MAXIMUM_LENGTH = 100000.0;
  static constexpr double MAXIMUM_ERROR = 10000.0;
  // The temperature an interim check is taken at when none is given.
  static constexpr double DEFAULT_TEMPERATURE = 20.0;

  // 0 until stored.
  int number = 0;
  QDate date;
  int kind = KIND_ACCEPTANCE;
  QString standard = QStringLiteral("10360");
  QString component = QStringLiteral("E0");
  // Air temperature in degrees Celsius.
  double temperature = DEFAULT_TEMPERATURE;
  // Expanded uncertainty U of the test in micrometres: a constant, or an expression of the length
  // written as the editor writes a limit ("0.3+0.4L/1000"); "0" when not given.
  QString uncertainty = QStringLiteral("0");
  // The expanded uncertainty of the ranges judged against R0, in micrometres: R0's own, not U.
  double r0_uncertainty = 0.0;
  int rule = RULE_SIMPLE;
  QString operator_name;
  QString artefact;
  QString notes;
  QList<TVerificationResult> results;

  // "10360:E0".
  QString Component_Text() const;
  // Whether the fields can be stored on the day given; *error says what is wrong. A date after
  // that day, a temperature outside the room's, numbers beyond the bounds, an uncertainty that is
  // no expression U takes and two results of one length, position, repetition and retest flag
  // are refused.
  bool Check(QString *error, const QDate &today = QDate::currentDate()) const;
  // U at a length in micrometres; NaN when the uncertainty is no expression U takes.
  double Uncertainty_At(double length) const;
  // Whether U is anything but 0.
  bool Has_Uncertainty() const;
  // Whether another record is this check entered again: same date, kind, component and results.
  bool Same_Check(const TVerificationRecord &other) const;

  // "acceptance", "reverification", "interim"; -1 from Kind_Of for another text.
  static QString Kind_Name(int kind);
  static int Kind_Of(const QString &name);
  // "simple", "conformance", "nonconformance".
  static QString Rule_Name(int rule);
  static int Rule_Of(const QString &name);
  // The rule in words with U (a number or an expression in micrometres), for the report and the
  // window.
  static QString Rule_Words(int rule, const QString &uncertainty);
  // "STANDARD:COMPONENT"; false unless both parts are given.
  static bool Parse_Component(const QString &text, QString *standard, QString *component);
  // YYYY-MM-DD of a day that exists; false for anything else (2023-02-29, 2024-13-01, 2024-1-5).
  static bool Parse_Date(const QString &text, QDate *date);
  static QString Date_Text(const QDate &date);
  // A length, error, U or MPE as the tables show it: up to four decimals, no trailing zeros.
  static QString Number_Text(double value);

  // The rules for typed fields, the same for the command line and the window; each false with
  // *error naming what is wrong.
  //
  // A temperature in degrees Celsius from MINIMUM_TEMPERATURE to MAXIMUM_TEMPERATURE. Empty is
  // DEFAULT_TEMPERATURE for an interim check; an acceptance or reverification needs one.
  static bool Read_Temperature(const QString &text, int kind, double *temperature, QString *error);
  // U in micrometres: a number of 0 or more, or A+BL/N (A+BL/N|M) as the editor writes a limit;
  // *uncertainty gets the text kept. Empty is 0.
  static bool Read_Uncertainty(const QString &text, QString *uncertainty, QString *error);
  // The first two results (indexes) of one length, position, repetition and retest flag; false
  // when there are none.
  static bool Find_Duplicate(const QList<TVerificationResult> &results, int *first, int *second);
};

#endif // METROVA_VERIFICATIONRECORD_H
