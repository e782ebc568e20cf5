#include "testsupport.h"
#include "verificationjudgement.h"
#include "verificationlog.h"
#include "verificationresults.h"
#include "verificationrows.h"

#include <QtTest>

namespace
{
using J = TVerificationJudgement;
using R = TVerificationRecord;

// A record at 20 C of one length, with one result per error ("2.65 2.66"): repetitions of one
// position.
TVerificationRecord Check(double length, const QString &errors, double uncertainty, int rule)
{
  TVerificationRecord record;
  record.date = QDate(2024, 5, 6);
  record.uncertainty = uncertainty;
  record.rule = rule;
  for (const QString &error : errors.split(' '))
    record.results.append(
        {length, QStringLiteral("P1"), record.results.size() + 1, error.toDouble()});
  return record;
}
} // namespace

class TestVerification : public QObject
{
  Q_OBJECT

private slots:
  void judgement_data();
  void judgement();
  void results_file_data();
  void results_file();
  void schedule_data();
  void schedule();
  void log_in_catalogue();
};

void TestVerification::judgement_data()
{
  QTest::addColumn<QString>("machine");
  QTest::addColumn<double>("length");
  QTest::addColumn<QString>("errors");
  QTest::addColumn<double>("uncertainty");
  QTest::addColumn<int>("rule");
  QTest::addColumn<QString>("zones");
  QTest::addColumn<QString>("verdict");

  struct TCase
  {
    const char *name;
    const char *machine;
    double length;
    const char *errors;
    double uncertainty;
    int rule;
    const char *zones;
    const char *verdict;
  };
  // MPE 3.15 at 500 mm; with U = 0.5 the zones meet at 2.65, 3.15 and 3.65. A capped limit is 8
  // at 2000 mm. R0 = 2 judges the range of the repetitions after the results.
  const char *linear = "10360 E0=1.5+3.3L/1000";
  const char *capped = "10360 E0=2.5+3.3L/1000|8";
  // clang-format off
  const TCase cases[] = {
      {"MPE-U pass", linear, 500, "2.65 -2.65", 0.5, R::RULE_CONFORMANCE, "pass,pass", "conforms"},
      {"above MPE-U", linear, 500, "2.66", 0.5, R::RULE_CONFORMANCE, "conditional pass", "not proven"},
      {"MPE simple", linear, 500, "-3.15", 0.5, R::RULE_SIMPLE, "conditional pass", "conforms"},
      {"above MPE simple", linear, 500, "3.16", 0.5, R::RULE_SIMPLE, "conditional fail", "does not conform"},
      {"MPE+U nonconformance", linear, 500, "3.65", 0.5, R::RULE_NONCONFORMANCE, "conditional fail", "not proven"},
      {"above MPE+U nonconformance", linear, 500, "-3.66", 0.5, R::RULE_NONCONFORMANCE, "fail", "does not conform"},
      {"MPE at 300 mm, below 2.49 in binary", linear, 300, "2.49 -1.99", 0.5, R::RULE_NONCONFORMANCE, "conditional pass,pass", "conforms"},
      {"above MPE+U conformance", linear, 500, "3.66", 0.5, R::RULE_CONFORMANCE, "fail", "does not conform"},
      {"U 0", linear, 500, "3.15 3.151", 0, R::RULE_CONFORMANCE, "pass,fail", "does not conform"},
      {"cap MPE-U", capped, 2000, "7.5", 0.5, R::RULE_CONFORMANCE, "pass", "conforms"},
      {"cap MPE", capped, 2000, "8", 0.5, R::RULE_CONFORMANCE, "conditional pass", "not proven"},
      {"cap MPE+U", capped, 2000, "8.5", 0.5, R::RULE_SIMPLE, "conditional fail", "does not conform"},
      {"R0 edge", "10360 E0=1.5+3.3L/1000 R0=2", 500, "1 -1 0", 0, R::RULE_SIMPLE, "pass,pass,pass,pass", "conforms"},
      {"R0 over", "10360 E0=1.5+3.3L/1000 R0=2", 500, "1 -1.01", 0, R::RULE_SIMPLE, "pass,pass,fail", "does not conform"},
      {"R0 MPE+U", "10360 E0=1.5+3.3L/1000 R0=2", 500, "1.25 -1.25", 0.5, R::RULE_NONCONFORMANCE, "pass,pass,conditional fail", "not proven"},
      {"no limit", "10360 E0=5/500", 500, "0", 0, R::RULE_SIMPLE, "no limit", "not proven"},
      {"outside band", "10360 E0=1.5+3.3L/1000 Ts_Min=22C Ts_Max=26C", 500, "0", 0, R::RULE_SIMPLE, "pass", "not proven"},
  };
  // clang-format on
  for (const TCase &c : cases)
    QTest::newRow(c.name) << c.machine << c.length << c.errors << c.uncertainty << c.rule << c.zones
                          << c.verdict;
}

void TestVerification::judgement()
{
  QFETCH(QString, machine);
  QFETCH(double, length);
  QFETCH(QString, errors);
  QFETCH(double, uncertainty);
  QFETCH(int, rule);
  QFETCH(QString, zones);
  QFETCH(QString, verdict);

  const J::TJudgement judgement =
      J::Judge(Check(length, errors, uncertainty, rule),
               {TestSupport::Record("Make", "Model", "Option", machine)});
  QStringList judged;
  for (const J::TJudgedResult &result : judgement.results)
    judged.append(J::Zone_Name(result.zone));
  for (const J::TRange &range : judgement.ranges)
    judged.append(J::Zone_Name(range.zone));
  QCOMPARE(judged.join(','), zones);
  QCOMPARE(J::Verdict_Name(judgement.verdict), verdict);
}

void TestVerification::results_file_data()
{
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("read");

  // clang-format off
  const char *const cases[][2] = {
      {"\xef\xbb\xbfposition,error_um,repetition,LENGTH_MM\r\n\"P, 1\",1.5,,500\r\n\n\"P, 1\",-0.5,,500\n2,0.25,4,0\n",
       "500|P, 1|1|1.5 500|P, 1|2|-0.5 0|2|4|0.25"},
      {"length_mm,error_um\n500,1.2\nabc,1\n", "line 3: the length 'abc' is not a number of 0 or more"},
      {"length_mm,error_um\n-5,1.2\n", "line 2: the length '-5' is not a number of 0 or more"},
      {"length_mm,error_um\n5,1.2um\n", "line 2: the error '1.2um' is not a number"},
      {"error_um,length_mm,position\n1.2,500\n", "line 2: column 'position' is missing"},
      {"length_mm,error_um\n5,1,2\n", "line 2: more fields than the header names"},
      {"length_mm,error_um,repetition\n5,1,0\n", "line 2: the repetition '0' is not a whole number of 1 or more"},
      {"\nlength_mm,error_mm\n", "line 2: the header's column 'error_mm' is unknown"},
      {"length_mm,position\n", "line 1: the header names no column 'error_um'"},
      {"length_mm,error_um\n", "the file holds no results"},
      {"", "the file is empty"},
  };
  // clang-format on
  for (const auto &c : cases)
    QTest::newRow(c[1]) << QString::fromUtf8(c[0]) << QString::fromUtf8(c[1]);
}

void TestVerification::results_file()
{
  QFETCH(QString, text);
  QFETCH(QString, read);

  QList<TVerificationResult> results;
  QString error;
  if (TVerificationResults::Read_Csv(text, &results, &error))
  {
    QStringList found;
    for (const TVerificationResult &result : results)
      found.append(QStringLiteral("%1|%2|%3|%4")
                       .arg(result.length)
                       .arg(result.position)
                       .arg(result.repetition)
                       .arg(result.error));
    error = found.join(' ');
  }
  QVERIFY2(error.startsWith(read), qPrintable(error));
}

void TestVerification::schedule_data()
{
  QTest::addColumn<QString>("last");
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("interval");
  QTest::addColumn<QString>("on");
  QTest::addColumn<QString>("due");
  QTest::addColumn<QString>("status");

  // Months, or days for an interim check; the due status starts 14 days before the date.
  struct TCase
  {
    const char *last;
    int kind;
    int interval;
    const char *on;
    const char *due;
    const char *status;
  };
  // clang-format off
  const TCase cases[] = {
      {"2023-01-31", R::KIND_REVERIFICATION, 1, "2023-02-13", "2023-02-28", "ok"},
      {"2023-01-31", R::KIND_REVERIFICATION, 1, "2023-02-14", "2023-02-28", "due"},
      {"2024-01-31", R::KIND_REVERIFICATION, 1, "2024-02-29", "2024-02-29", "due"},
      {"2024-02-29", R::KIND_ACCEPTANCE, 12, "2025-03-01", "2025-02-28", "overdue"},
      {"2023-08-31", R::KIND_REVERIFICATION, 6, "2024-01-01", "2024-02-29", "ok"},
      {"2024-02-22", R::KIND_INTERIM, 7, "2024-03-01", "2024-02-29", "overdue"},
      {"", R::KIND_INTERIM, 7, "2024-03-01", "", "due"},
  };
  // clang-format on
  for (const TCase &c : cases)
    QTest::newRow(qPrintable(QStringLiteral("%1 %2 %3").arg(c.last, c.due, c.status)))
        << c.last << c.kind << c.interval << c.on << c.due << c.status;
}

void TestVerification::schedule()
{
  QFETCH(QString, last);
  QFETCH(int, kind);
  QFETCH(int, interval);
  QFETCH(QString, on);
  QFETCH(QString, due);
  QFETCH(QString, status);

  TVerificationRecord record;
  R::Parse_Date(last, &record.date);
  record.kind = kind;
  const TVerificationSchedule::TIntervals intervals{interval, interval};
  const QList<TVerificationRecord> records =
      last.isEmpty() ? QList<TVerificationRecord>() : QList<TVerificationRecord>{record};
  const TVerificationSchedule::TCheck check = TVerificationSchedule::Checks(
      TVerificationSchedule::Of_Records(intervals, records), QDate::fromString(on, Qt::ISODate),
      TVerificationSchedule::DUE_WITHIN_DAYS)[kind == R::KIND_INTERIM ? 1 : 0];
  QCOMPARE(R::Date_Text(check.due), due);
  QCOMPARE(TVerificationSchedule::Status_Name(check.status), status);
}

// The log's tables come with the first write, its numbers are never given twice, and deleting a
// machine or clearing the catalogue takes its records along.
void TestVerification::log_in_catalogue()
{
  TestSupport::TTestDatabase database;
  QVERIFY(database.Is_Valid());
  QVERIFY(database.Write("Acme", "X1", "Standard", {"10360 E0=1.5+3.3L/1000"}));
  QVERIFY(database.Write("Acme", "X1", "Long", {"10360 E0=2+3L/1000"}));
  TVerificationLog log(database.Get());
  const QString tables = "SELECT count(*) FROM sqlite_master WHERE name LIKE 'verification%'";
  bool valid = false;
  QVERIFY(log.Records("Acme", "X1", "Standard", &valid).isEmpty() && valid);
  QCOMPARE(log.Schedules(&valid).size(), 0);
  QCOMPARE(TestSupport::TOtherConnection(database.Path("catalogue.db")).Number(tables), 0);

  TVerificationRecord record = Check(500, "1.5 -2", 0.5, R::RULE_CONFORMANCE);
  record.notes = "it's 'quoted'";
  for (const char *option : {"Standard", "Standard", "Standard", "Long"})
    QVERIFY2(log.Add_Record("Acme", "X1", option, &record), qPrintable(database->Last_Error()));
  QVERIFY(log.Remove_Record("Acme", "X1", "Standard", 3));
  QVERIFY(log.Add_Record("Acme", "X1", "Standard", &record));
  QCOMPARE(record.number, 4);
  record.component = "R0";
  QVERIFY(!log.Add_Record("Acme", "X1", "Standard", &record));
  QCOMPARE(database->Last_Error(),
           QStringLiteral("10360:R0 has no limit that varies with length."));
  record.component = "E0";
  QVERIFY(!log.Add_Record("Acme", "X2", "Standard", &record));

  const QList<TVerificationRecord> stored = log.Records("Acme", "X1", "Standard", &valid);
  QCOMPARE(TVerificationRows::List_Rows(
               stored, {database->Read_Specification("Acme", "X1", "Standard", "10360", &valid)}),
           (QList<QStringList>{{"1", "2024-05-06", "acceptance", "10360:E0", "conformance", "0.5",
                                "2", "63.5", "conforms"},
                               {"2", "2024-05-06", "acceptance", "10360:E0", "conformance", "0.5",
                                "2", "63.5", "conforms"},
                               {"4", "2024-05-06", "acceptance", "10360:E0", "conformance", "0.5",
                                "2", "63.5", "conforms"}}));
  QCOMPARE(stored.last().notes, record.notes);
  QCOMPARE(stored.last().results.last().error, -2.0);

  QVERIFY(log.Set_Intervals("Acme", "X1", "Long", {12, 0}));
  QCOMPARE(log.Schedules(&valid).value(0).last_reverification, QDate(2024, 5, 6));
  QCOMPARE(log.Record_Count("Acme"), 4);
  QVERIFY(database->Remove_Option("Acme", "X1", "Standard"));
  QCOMPARE(log.Record_Count("Acme", "X1"), 1);

  // A catalogue with a log opens as one; a log of a newer layout is left alone.
  TestSupport::TOtherConnection other(database.Path("catalogue.db"));
  QCOMPARE(other.Number("PRAGMA user_version"), 1);
  QVERIFY(database->Initialize());
  QVERIFY(other.Execute("PRAGMA user_version=2"));
  QVERIFY(!log.Add_Record("Acme", "X1", "Long", &record));
  QVERIFY(database->Last_Error().contains("newer Metrova"));
  QVERIFY(other.Execute("PRAGMA user_version=1"));
  database->Clear();
  QCOMPARE(other.Number("SELECT count(*) FROM verification_record"), 0);
  QCOMPARE(log.Schedules(&valid).size(), 0);
}

QTEST_GUILESS_MAIN(TestVerification)
#include "tst_verification.moc"
