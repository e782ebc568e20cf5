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
  // From 1.
  int repetition = 1;
  double error = 0.0;
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

  // 0 until stored.
  int number = 0;
  QDate date;
  int kind = KIND_ACCEPTANCE;
  QString standard = QStringLiteral("10360");
  QString component = QStringLiteral("E0");
  // Air temperature in degrees Celsius.
  double temperature = 20.0;
  // Expanded uncertainty U of the test in micrometres; 0 when not given.
  double uncertainty = 0.0;
  int rule = RULE_SIMPLE;
  QString operator_name;
  QString artefact;
  QString notes;
  QList<TVerificationResult> results;

  // "10360:E0".
  QString Component_Text() const;
  // Whether the fields can be stored; *error says what is wrong.
  bool Check(QString *error) const;

  // "acceptance", "reverification", "interim"; -1 from Kind_Of for another text.
  static QString Kind_Name(int kind);
  static int Kind_Of(const QString &name);
  // "simple", "conformance", "nonconformance".
  static QString Rule_Name(int rule);
  static int Rule_Of(const QString &name);
  // The rule in words with U, for the report and the window.
  static QString Rule_Words(int rule, double uncertainty);
  // "STANDARD:COMPONENT"; false unless both parts are given.
  static bool Parse_Component(const QString &text, QString *standard, QString *component);
  // YYYY-MM-DD of a day that exists; false for anything else (2023-02-29, 2024-13-01, 2024-1-5).
  static bool Parse_Date(const QString &text, QDate *date);
  static QString Date_Text(const QDate &date);
  // A length, error, U or MPE as the tables show it: up to four decimals, no trailing zeros.
  static QString Number_Text(double value);
};

#endif // METROVA_VERIFICATIONRECORD_H
