#include "cataloguecopy.h"
#include "testsupport.h"
#include "transaction.h"
#include "verificationjudgement.h"
#include "verificationlog.h"
#include "verificationresults.h"
#include "verificationrows.h"
#include "verificationworkflow.h"

#include <QBuffer>
#include <QtTest>

#include <cmath>

namespace
{
using J = TVerificationJudgement;
using R = TVerificationRecord;

// A record at 20 C of one component (10360 E0 unless "standard:component" is given before a
// space), one length, one result per error: "2.65 -2.65" are repetitions in position P1;
// "1@2" is in position 2, "1@" in none, "1r" a retest.
TVerificationRecord Check(double length, const QString &errors, const QString &uncertainty,
                          int rule)
{
  TVerificationRecord record;
  record.date = QDate(2024, 5, 6);
  record.uncertainty = uncertainty;
  record.rule = rule;
  for (QString error : errors.split(' '))
  {
    if (error.contains(':'))
    {
      R::Parse_Component(error, &record.standard, &record.component);
      continue;
    }
    TVerificationResult result{length, QStringLiteral("P1"), 0, 0.0};
    result.retest = error.endsWith('r');
    error.remove('r');
    if (error.contains('@'))
      result.position = error.section('@', 1);
    result.error = error.section('@', 0, 0).toDouble();
    record.results.append(result);
  }
  TVerificationResults::Number_Repetitions(&record.results);
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
  void inputs_data();
  void inputs();
  void schedule_data();
  void schedule();
  void log_in_catalogue();
  void frozen_records();
};

void TestVerification::judgement_data()
{
  QTest::addColumn<QString>("machine");
  QTest::addColumn<double>("length");
  QTest::addColumn<QString>("errors");
  QTest::addColumn<QString>("uncertainty");
  QTest::addColumn<int>("rule");
  QTest::addColumn<QString>("zones");
  QTest::addColumn<QString>("verdict");

  struct TCase
  {
    const char *name;
    const char *machine;
    double length;
    const char *errors;
    const char *uncertainty;
    int rule;
    const char *zones;
    const char *verdict;
  };
  // MPE 3.15 at 500 mm; with U = 0.5 the zones meet at 2.65, 3.15 and 3.65. A capped limit is 8
  // at 2000 mm. R0 = 2 judges the range of the repetitions of a position after the results.
  const char *linear = "10360 E0=1.5+3.3L/1000";
  const char *capped = "10360 E0=2.5+3.3L/1000|8";
  const char *r0 = "10360 E0=1.5+3.3L/1000 E150=1.5+3.3L/1000 R0=2";
  // clang-format off
  const TCase cases[] = {
      {"MPE-U pass", linear, 500, "2.65 -2.65", "0.5", R::RULE_CONFORMANCE, "pass,pass", "conforms"},
      {"above MPE-U", linear, 500, "2.66", "0.5", R::RULE_CONFORMANCE, "conditional pass", "conformance not proven"},
      {"MPE simple", linear, 500, "-3.15", "0.5", R::RULE_SIMPLE, "conditional pass", "conforms"},
      {"above MPE simple", linear, 500, "3.16", "0.5", R::RULE_SIMPLE, "conditional fail", "does not conform"},
      {"MPE+U nonconformance", linear, 500, "3.65", "0.5", R::RULE_NONCONFORMANCE, "conditional fail", "nonconformance not proven"},
      {"above MPE+U nonconformance", linear, 500, "-3.66", "0.5", R::RULE_NONCONFORMANCE, "fail", "does not conform"},
      {"MPE at 300 mm, below 2.49 in binary", linear, 300, "2.49 -1.99", "0.5", R::RULE_NONCONFORMANCE, "conditional pass,pass", "conforms"},
      {"above MPE+U conformance", linear, 500, "3.66", "0.5", R::RULE_CONFORMANCE, "fail", "does not conform"},
      {"U 0", linear, 500, "3.15 3.151", "0", R::RULE_CONFORMANCE, "pass,fail", "does not conform"},
      {"U(L) at 500 mm is 0.5", linear, 500, "2.65 2.66", "0.3+0.4L/1000", R::RULE_CONFORMANCE, "pass,conditional pass", "conformance not proven"},
      {"U(L) capped at 0.5", linear, 500, "2.65 2.66", "0.3+0.8L/1000|0.5", R::RULE_CONFORMANCE, "pass,conditional pass", "conformance not proven"},
      {"cap MPE-U", capped, 2000, "7.5", "0.5", R::RULE_CONFORMANCE, "pass", "conforms"},
      {"cap MPE", capped, 2000, "8", "0.5", R::RULE_CONFORMANCE, "conditional pass", "conformance not proven"},
      {"cap MPE+U", capped, 2000, "8.5", "0.5", R::RULE_SIMPLE, "conditional fail", "does not conform"},
      {"R0 edge", r0, 500, "1 -1 0", "0", R::RULE_SIMPLE, "pass,pass,pass,pass", "conforms"},
      {"R0 over", r0, 500, "1 -1.01", "0", R::RULE_SIMPLE, "pass,pass,fail", "does not conform"},
      {"R0 without E0's U", r0, 500, "1.25 -1.25", "0.5", R::RULE_NONCONFORMANCE, "pass,pass,fail", "does not conform"},
      {"R0 not without positions", r0, 500, "1@ -1.5@", "0", R::RULE_SIMPLE, "pass,pass,no positions", "conforms"},
      {"R0 not for E150", r0, 500, "10360:E150 1 -1.5", "0", R::RULE_SIMPLE, "pass,pass", "conforms"},
      {"R0 estimated", "10360 E0=1.5+3.3L/1000 R0=2#1", 500, "1 -1.5", "0", R::RULE_SIMPLE, "pass,pass,R0 estimated", "conforms"},
      {"retest replaces its set", r0, 500, "3.9 1 2 1r 1.5r 0.5r", "0", R::RULE_SIMPLE, "fail,pass,pass,pass,pass,pass,pass", "conforms"},
      {"no limit", "10360 E0=5/500", 500, "0", "0", R::RULE_SIMPLE, "no limit", "not judged: no limit at a length"},
      {"ranges without a limit", "10360 E0=1.5+3.3L/1000 R0=5/500", 500, "1 -1", "0", R::RULE_SIMPLE, "pass,pass,no limit", "not judged: no limit at a length"},
      {"outside band", "10360 E0=1.5+3.3L/1000 Ts_Min=22C Ts_Max=26C", 500, "0", "0", R::RULE_SIMPLE, "pass", "not judged: outside the rated temperature"},
      {"estimated limit", "10360 E0=1.5+3.3L/1000#1", 500, "0", "0", R::RULE_SIMPLE, "pass", "not judged: estimated limit"},
      {"Volume as a range", "B89.4.1 Volume=5/500", 500, "B89.4.1:Volume 4@1 -4@2", "0", R::RULE_SIMPLE, "fail,fail,fail", "does not conform"},
      {"Volume range within", "B89.4.1 Volume=5/500", 500, "B89.4.1:Volume 4@1 -0.9@2", "0", R::RULE_SIMPLE, "pass,pass,pass", "conforms"},
      {"Pftu without a length", "10360 Pftu=1.7", 0, "10360:Pftu 1.2@1 1.8@2", "0", R::RULE_SIMPLE, "pass,fail", "does not conform"},
      {"U equal to the MPE: no pass zone", linear, 500, "1", "3.15", R::RULE_CONFORMANCE, "conditional pass,empty pass zone", "conformance not proven"},
      {"six retested sets", linear, 500, "1@1 1@1r 1@2 1@2r 1@3 1@3r 1@4 1@4r 1@5 1@5r 1@6 1@6r", "0", R::RULE_SIMPLE, "pass,pass,pass,pass,pass,pass,pass,pass,pass,pass,pass,pass,many retests", "conforms"},
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
  QFETCH(QString, uncertainty);
  QFETCH(int, rule);
  QFETCH(QString, zones);
  QFETCH(QString, verdict);

  const TVerificationRecord record = Check(length, errors, uncertainty, rule);
  const J::TJudgement judgement =
      J::Judge(record, {TestSupport::Record("Make", "Model", "Option", machine)});
  QStringList judged;
  for (const J::TJudgedResult &result : judgement.results)
    judged.append(J::Zone_Name(result.zone));
  for (const J::TRange &range : judgement.ranges)
    judged.append(J::Zone_Name(range.zone));
  if (judgement.r0_without_positions || judgement.r0_estimated)
    judged.append(judgement.r0_estimated ? "R0 estimated" : "no positions");
  // The warnings an auditor must not miss: an empty pass zone, more retests than a test allows.
  const QString notes = TVerificationRows::Notes(judgement).join('\n');
  if (notes.contains("the pass zone is empty"))
    judged.append("empty pass zone");
  if (notes.contains("sets were retested"))
    judged.append("many retests");
  QCOMPARE(judged.join(','), zones);
  QCOMPARE(J::State_Text(judgement.verdict, judgement.reason), verdict);
  // Read back, a stored judgement is completed as a new one is.
  J::TJudgement stored = judgement;
  stored.zone_counts.fill(7);
  J::Complete(record, &stored);
  QCOMPARE(stored.zone_counts, judgement.zone_counts);
  // Stored in a catalogue, it reads back as judged, limits missing included, on either engine.
  TestSupport::TTestDatabase database;
  QVERIFY(database.Write("Make", "Model", "Option", {machine}));
  TVerificationLog log(database.Get());
  TVerificationRecord saved = record;
  QVERIFY2(log.Add_Record("Make", "Model", "Option", &saved), qPrintable(database->Last_Error()));
  bool valid = false;
  QList<J::TJudgement> read;
  QVERIFY(log.Records("Make", "Model", "Option", &valid, &read).size() == 1 && valid);
  QCOMPARE(TVerificationRows::Show_Rows(read.value(0)), TVerificationRows::Show_Rows(judgement));
  QCOMPARE(TVerificationRows::Range_Rows(read.value(0)), TVerificationRows::Range_Rows(judgement));
}

void TestVerification::results_file_data()
{
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("read");

  // clang-format off
  const char *const cases[][2] = {
      {"\xef\xbb\xbfposition,error_um,repetition,LENGTH_MM,retest\r\n\"P, 1\",1.5,,500,\r\n\n\"P, 1\",-0.5,,500,no\n2,0.25,4,0,\n\"P, 1\",1,,500,Yes\n",
       "500|P, 1|1|1.5 500|P, 1|2|-0.5 0|2|4|0.25 500|P, 1|1|1r"},
      {"length_mm,error_um\n500,1.2\nabc,1\n", "line 3: the length 'abc' is not a number of 0 or more"},
      {"length_mm,error_um\n-5,1.2\n", "line 2: the length '-5' is not a number of 0 or more"},
      {"length_mm,error_um\n1e6,1.2\n", "line 2: the length '1e6' is beyond 100000 mm"},
      {"length_mm,error_um\n5,1.2um\n", "line 2: the error '1.2um' is not a number"},
      {"length_mm,error_um\n5,1e300\n", "line 2: the error '1e300' is beyond"},
      {"length_mm,error_um,retest\n5,1,maybe\n", "line 2: the retest 'maybe' is not yes or no"},
      {"error_um,length_mm,position\n1.2,500\n", "line 2: column 'position' is missing"},
      {"length_mm,error_um\n5,1,2\n", "line 2: more fields than the header names"},
      {"length_mm,error_um,repetition\n5,1,0\n", "line 2: the repetition '0' is not a whole number of 1 or more"},
      {"length_mm,position,repetition,error_um\n500,P1,1,1\n500,P2,1,1\n\n500,P1,,2\n500,P1,1,3\n", "lines 2 and 6 are both repetition 1 at 500 mm, position 'P1'"},
      {"length_mm,position,error_um\n500,P\xe9""1,1\n", "line 2: bytes that are not UTF-8 text"},
      {"\nlength_mm,error_mm\n", "line 2: the header's column 'error_mm' is unknown"},
      {"length_mm,position\n", "line 1: the header names no column 'error_um'"},
      {"length_mm,error_um\n", "the file holds no results"},
      {"", "the file is empty"},
  };
  // clang-format on
  for (const auto &c : cases)
    QTest::newRow(c[1]) << QByteArray(c[0]) << QString::fromUtf8(c[1]);
  // A file beyond any check is refused at its bound, not read to its end.
  QTest::newRow("long line") << "length_mm,error_um\n" + QByteArray(5000, '1')
                             << "line 2: longer than 4096 bytes";
  QTest::newRow("many results") << "length_mm,error_um\n" + QByteArray("5,1\n").repeated(10001)
                                << "line 10002: more than 10000 results";
  QTest::newRow("many lines") << QByteArray(100001, '\n') << "more than 100000 lines";
}

void TestVerification::results_file()
{
  QFETCH(QByteArray, bytes);
  QFETCH(QString, read);

  QBuffer buffer(&bytes);
  QVERIFY(buffer.open(QIODevice::ReadOnly));
  QList<TVerificationResult> results;
  QString error;
  if (TVerificationResults::Read_Device(&buffer, &results, &error))
  {
    QStringList found;
    for (const TVerificationResult &result : results)
      found.append(QStringLiteral("%1|%2|%3|%4%5")
                       .arg(result.length)
                       .arg(result.position)
                       .arg(result.repetition)
                       .arg(result.error)
                       .arg(result.retest ? "r" : ""));
    error = found.join(' ');
  }
  QVERIFY2(error.startsWith(read), qPrintable(error));
}

void TestVerification::inputs_data()
{
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("read");

  const auto row = [](const char *field, const char *text, int kind, const char *read)
  { QTest::addRow("%s %s", field, text) << field << text << kind << QString::fromUtf8(read); };
  // What a typed temperature and U become, or why they are refused.
  row("temperature", "", R::KIND_ACCEPTANCE, "the temperature is required");
  row("temperature", " ", R::KIND_INTERIM, "20");
  row("temperature", "-10", R::KIND_REVERIFICATION, "-10");
  row("temperature", "50.1", R::KIND_INTERIM, "the temperature 50.1 \u00b0C lies outside");
  row("temperature", "-1e308", R::KIND_INTERIM, "the temperature -1e308 \u00b0C lies outside");
  row("temperature", "nan", R::KIND_INTERIM, "the temperature 'nan' is not a number");
  row("uncertainty", "", 0, "0");
  row("uncertainty", "0.3+0.4L/1000", 0, "0.3+0.4L/1000");
  row("uncertainty", "1+2L/5", 0, "the uncertainty '1+2L/5' is not a number");
  row("uncertainty", "-0.5", 0, "the uncertainty '-0.5' is not a number");
  row("uncertainty", "2e4", 0, "the uncertainty '2e4' is beyond");
  // A record with one field spoilt, as another program could store it.
  row("record", "date", 0, "The date 2024-05-07 is after today, 2024-05-06");
  row("record", "temperature", 0, "The temperature must lie from -10 \u00b0C to 50 \u00b0C.");
  row("record", "length", 0, "Result 1 needs a length from 0 to 100000 mm");
  row("record", "duplicate", 0, "Results 1 and 2 are both repetition 1 at 500 mm");
}

void TestVerification::inputs()
{
  QFETCH(QString, field);
  QFETCH(QString, text);
  QFETCH(int, kind);
  QFETCH(QString, read);

  QString result;
  if (field == "temperature")
  {
    double temperature = 0.0;
    if (R::Read_Temperature(text, kind, &temperature, &result))
      result = R::Number_Text(temperature);
  }
  else if (field == "uncertainty")
  {
    R::Read_Uncertainty(text, &result, &result);
  }
  else
  {
    TVerificationRecord record = Check(500, "1 2", "0", R::RULE_SIMPLE);
    record.date = text == "date" ? QDate(2024, 5, 7) : record.date;
    record.temperature = text == "temperature" ? std::nan("") : record.temperature;
    record.results[0].length = text == "length" ? 1e300 : 500.0;
    record.results[1].repetition = text == "duplicate" ? 1 : 2;
    QVERIFY(!record.Check(&result, QDate(2024, 5, 6)));
  }
  QVERIFY2(result.startsWith(read), qPrintable(result));
}

void TestVerification::schedule_data()
{
  QTest::addColumn<QString>("last");
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("interval");
  QTest::addColumn<QString>("on");
  QTest::addColumn<QString>("due");
  QTest::addColumn<QString>("status");
  QTest::addColumn<int>("verdict");

  // Months, or days for an interim check; the due status starts 14 days before the date. A check
  // that did not conform is due again from its own date, interval or none.
  struct TCase
  {
    const char *last;
    int kind;
    int interval;
    const char *on;
    const char *due;
    const char *status;
    int verdict = J::VERDICT_CONFORMS;
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
      {"2024-02-22", R::KIND_INTERIM, 0, "2024-02-23", "2024-02-22", "re-test due", J::VERDICT_NOT_JUDGED},
      {"2024-01-31", R::KIND_ACCEPTANCE, 12, "2024-02-01", "2024-01-31", "re-test due", J::VERDICT_NONCONFORMANCE_NOT_PROVEN},
  };
  // clang-format on
  for (const TCase &c : cases)
    QTest::newRow(qPrintable(QStringLiteral("%1 %2 %3").arg(c.last, c.due, c.status)))
        << c.last << c.kind << c.interval << c.on << c.due << c.status << c.verdict;
}

void TestVerification::schedule()
{
  QFETCH(QString, last);
  QFETCH(int, kind);
  QFETCH(int, interval);
  QFETCH(QString, on);
  QFETCH(QString, due);
  QFETCH(QString, status);
  QFETCH(int, verdict);

  TVerificationRecord record;
  R::Parse_Date(last, &record.date);
  record.kind = kind;
  const TVerificationSchedule::TIntervals intervals{interval, interval};
  const QList<TVerificationRecord> records =
      last.isEmpty() ? QList<TVerificationRecord>() : QList<TVerificationRecord>{record};
  const TVerificationSchedule::TCheck check = TVerificationSchedule::Checks(
      TVerificationSchedule::Of_Records(intervals, records, {verdict}),
      QDate::fromString(on, Qt::ISODate),
      TVerificationSchedule::DUE_WITHIN_DAYS)[kind == R::KIND_INTERIM ? 1 : 0];
  QCOMPARE(R::Date_Text(check.due), due);
  QCOMPARE(TVerificationSchedule::Status_Name(check.status), status);
}

// The log's tables come with the first write, its numbers are never given twice, the same check
// is not stored twice unless asked, and deleting a machine or clearing the catalogue takes its
// records along only when asked.
void TestVerification::log_in_catalogue()
{
  TestSupport::TTestDatabase database;
  QVERIFY(database.Is_Valid());
  QVERIFY(database.Write("Acme", "X1", "Standard", {"10360 E0=1.5+3.3L/1000"}));
  QVERIFY(database.Write("Acme", "X1", "Long", {"10360 E0=2+3L/1000"}));
  TVerificationLog log(database.Get());
  // A file's log is made by its first write, a server's with the catalogue (a writer there need
  // not be allowed to create tables); the schema version is the engine's.
  const bool file = TestSupport::Engine_Has_Files();
  const QString tables =
      file ? "SELECT count(*) FROM sqlite_master WHERE type='table' AND name LIKE 'verification%'"
           : "SELECT count(*) FROM pg_tables WHERE schemaname=current_schema() AND tablename LIKE "
             "'verification%'";
  const QString version = file ? "PRAGMA user_version" : "SELECT version FROM metrova_schema";
  const QString set_version =
      file ? "PRAGMA user_version=%1" : "UPDATE metrova_schema SET version=%1";
  bool valid = false;
  QVERIFY(log.Records("Acme", "X1", "Standard", &valid).isEmpty() && valid);
  QCOMPARE(log.Schedules(&valid).size(), 0);
  QCOMPARE(TestSupport::TOtherConnection(database->Location().Text()).Number(tables), file ? 0 : 4);

  TVerificationRecord record = Check(500, "1.5 -2", "0.5", R::RULE_CONFORMANCE);
  record.notes = "it's 'quoted'";
  for (const char *option : {"Standard", "Standard", "Standard", "Long"})
    QVERIFY2(log.Add_Record("Acme", "X1", option, &record, nullptr, true),
             qPrintable(database->Last_Error()));
  int same = 0;
  QVERIFY(!log.Add_Record("Acme", "X1", "Standard", &record, nullptr, false, &same));
  QCOMPARE(same, 1);
  QVERIFY(log.Remove_Record("Acme", "X1", "Standard", 3));
  QVERIFY(log.Add_Record("Acme", "X1", "Standard", &record, nullptr, true));
  QCOMPARE(record.number, 4);
  record.component = "R0";
  QVERIFY(!log.Add_Record("Acme", "X1", "Standard", &record));
  QCOMPARE(database->Last_Error(), QStringLiteral("10360:R0 has no limit that varies with length, "
                                                  "and is no probing error (10360:Pftu)."));
  record.component = "E0";
  QVERIFY(!log.Add_Record("Acme", "X2", "Standard", &record));

  QList<J::TJudgement> judgements;
  const QList<TVerificationRecord> stored =
      log.Records("Acme", "X1", "Standard", &valid, &judgements);
  QCOMPARE(stored.size(), 3);
  for (const int index : {0, 2})
    QCOMPARE(TVerificationRows::List_Row(stored.at(index), judgements.at(index)),
             QStringList({QString::number(index + (index ? 2 : 1)), "2024-05-06", "acceptance",
                          "10360:E0", "conformance", "0.5", "2", "63.5", "conforms",
                          "1.5+3.3L/1000", "MFG", "20", "0", "frozen at save"}));
  QCOMPARE(stored.last().notes, record.notes);
  QCOMPARE(stored.last().results.last().error, -2.0);

  // The log's list reads no results, yet shows what a full read does; a record's results are read
  // when it is shown, and one deleted meanwhile by another program is refused, not shown empty.
  TVerificationRecord retested = Check(500, "3 1r 2r 4@P2", "0.5", R::RULE_CONFORMANCE);
  QVERIFY(log.Add_Record("Acme", "X1", "Standard", &retested));
  TVerificationWorkflow listed(database.Get());
  TVerificationWorkflow full(database.Get());
  QVERIFY(listed.Load("Acme", "X1", "Standard", false) && full.Load("Acme", "X1", "Standard"));
  // A check is judged against a length error or a probing error.
  QCOMPARE(listed.Judged_Components(), (QList<QStringList>{{"10360", "Pftu"},
                                                           {"10360", "E0"},
                                                           {"10360", "E150"},
                                                           {"B89.4.1", "Volume"},
                                                           {"B89.4.1", "Probe_Roll"},
                                                           {"VDIVDE_2617", "U1"},
                                                           {"VDIVDE_2617", "U2"},
                                                           {"VDIVDE_2617", "U3"},
                                                           {"CMMA", "M"}}));
  for (int index = 0; index < 4; ++index)
  {
    const TVerificationWorkflow::TEntry &entry = listed.Entries().at(index);
    QCOMPARE(TVerificationRows::List_Row(entry.record, entry.judgement, entry.result_count),
             TVerificationRows::List_Row(full.Entries().at(index).record,
                                         full.Entries().at(index).judgement));
  }
  QVERIFY(listed.Read_Results(retested.number));
  QCOMPARE(TVerificationRows::Show_Rows(listed.Entry(retested.number)->judgement),
           TVerificationRows::Show_Rows(full.Entry(retested.number)->judgement));
  QVERIFY(listed.Load("Acme", "X1", "Standard", false));
  QVERIFY(log.Remove_Record("Acme", "X1", "Standard", retested.number));
  QVERIFY(!listed.Read_Results(retested.number) &&
          listed.Error().startsWith(QStringLiteral("Record %1 is no longer").arg(retested.number)));

  QVERIFY(log.Set_Intervals("Acme", "X1", "Long", {12, 0}));
  QCOMPARE(log.Schedules(&valid).value(0).last_reverification, QDate(2024, 5, 6));
  QCOMPARE(log.Record_Count("Acme"), 4);
  QVERIFY(!database->Remove_Option("Acme", "X1", "Standard"));
  QVERIFY(database->Last_Error().contains("has 3 verification record(s)"));
  QVERIFY(database->Remove_Option("Acme", "X1", "Standard", true));
  QCOMPARE(log.Record_Count("Acme", "X1"), 1);

  // A catalogue with a log opens as one; a log of a newer layout is left alone.
  TestSupport::TOtherConnection other(database->Location().Text());
  QCOMPARE(other.Number(version), 3);
  // A log made before its newer index gets it from a write, where writers make the log.
  const QString index =
      file ? "SELECT count(*) FROM sqlite_master WHERE name='verification_result_retest'"
           : "SELECT count(*) FROM pg_indexes WHERE schemaname=current_schema() AND "
             "indexname='verification_result_retest'";
  QCOMPARE(other.Number(index), 1);
  QVERIFY(other.Execute("DROP INDEX verification_result_retest"));
  QVERIFY(log.Set_Intervals("Acme", "X1", "Long", {6, 0}));
  QCOMPARE(other.Number(index), file ? 1 : 0);
  QVERIFY(database->Initialize());
  QVERIFY(!log.Records("Acme", "X1", "Long", &valid).isEmpty() && valid);
  QVERIFY(other.Execute(set_version.arg(4)));
  // Another program's change is seen by the next read, as by the next opening and write.
  QVERIFY(log.Records("Acme", "X1", "Long", &valid).isEmpty() && !valid);
  QVERIFY(database->Last_Error().contains("newer Metrova"));
  QVERIFY(database->Initialize() && !log.Add_Record("Acme", "X1", "Long", &record));
  QVERIFY(database->Last_Error().contains("newer Metrova"));
  // A log of layout 2 kept no latest dates of each kind: read as it is, then given them by the
  // opening for writing, its records frozen as they were.
  for (const char *column : {"latest_reverification", "latest_interim"})
    QVERIFY(other.Execute(QStringLiteral("ALTER TABLE verification_machine DROP COLUMN %1")
                              .arg(QLatin1String(column))));
  QVERIFY(other.Execute(set_version.arg(2)));
  for (const bool upgraded : {false, true})
  {
    QVERIFY(!upgraded || database->Initialize());
    QCOMPARE(other.Number(version), upgraded ? 3 : 2);
    // A copy of the log as it is keeps them too.
    TestSupport::TTestDatabase copied;
    TTransaction unit(copied.Get());
    TCatalogueCopy copy(database.Get(), copied.Get());
    QVERIFY2(unit.Begin() && copy.Copy() && unit.Commit(), qPrintable(copy.Error()));
    for (TDatabase *catalogue : {database.Get(), copied.Get()})
    {
      const TVerificationSchedule::TMachine machine =
          TVerificationLog(catalogue).Schedules(&valid).value(0);
      QCOMPARE(machine.last_reverification, QDate(2024, 5, 6));
      QVERIFY(!machine.last_interim.isValid());
    }
  }
  log.Records("Acme", "X1", "Long", &valid, &judgements);
  QCOMPARE(judgements.value(0).frozen, int(J::FROZEN_AT_SAVE));
  database->Clear();
  QCOMPARE(other.Number("SELECT count(*) FROM verification_range"), 0);
  QCOMPARE(log.Schedules(&valid).size(), 0);
}

// A record keeps the figures it was judged by, whatever the catalogue holds later; a log of the
// first layout is judged as it is until the catalogue is opened for writing, then frozen once.
void TestVerification::frozen_records()
{
  if (!TestSupport::Engine_Has_Files())
    QSKIP("a log of the first layout is in files only: a server's catalogue began with the second");
  TestSupport::TTestDatabase database;
  QVERIFY(database.Write("Acme", "X1", "Standard", {"10360 E0=1.5+3.3L/1000 R0=2"}));
  TestSupport::TOtherConnection other(database.Path("catalogue.db"));
  // Layout 1 as the earlier version wrote it: a record of 2.6 um at 500 mm, no figures.
  for (const char *statement :
       {"CREATE TABLE verification_machine(make_id INTEGER NOT NULL,model_id INTEGER NOT NULL,"
        "option_id INTEGER NOT NULL,reverification_months INTEGER NOT NULL DEFAULT 0,interim_days "
        "INTEGER NOT NULL DEFAULT 0,last_number INTEGER NOT NULL DEFAULT 0,PRIMARY "
        "KEY(make_id,model_id,option_id))",
        "CREATE TABLE verification_record(record_id INTEGER PRIMARY KEY AUTOINCREMENT,make_id "
        "INTEGER NOT NULL,model_id INTEGER NOT NULL,option_id INTEGER NOT NULL,number INTEGER NOT "
        "NULL,date TEXT NOT NULL,kind TEXT NOT NULL,standard TEXT NOT NULL,component TEXT NOT "
        "NULL,temperature REAL NOT NULL,uncertainty REAL NOT NULL,rule TEXT NOT NULL,operator "
        "TEXT,artefact TEXT,notes TEXT,UNIQUE(make_id,model_id,option_id,number))",
        "CREATE TABLE verification_result(record_id INTEGER NOT NULL,sequence INTEGER NOT NULL,"
        "length REAL NOT NULL,position TEXT,repetition INTEGER NOT NULL,error REAL NOT NULL,"
        "PRIMARY KEY(record_id,sequence))",
        "INSERT INTO verification_machine VALUES (1,1,1,0,0,1)",
        "INSERT INTO verification_record VALUES (1,1,1,1,1,'2024-05-06','interim','10360','E0',"
        "20,0,'simple','','','')",
        "INSERT INTO verification_result VALUES (1,1,500,'P1',1,2.6)", "PRAGMA user_version=1"})
    QVERIFY2(other.Execute(statement), statement);

  TVerificationWorkflow log(database.Get());
  QVERIFY(log.Load("Acme", "X1", "Standard"));
  QCOMPARE(log.Entries().value(0).judgement.frozen, int(J::FROZEN_NO));
  QVERIFY(database.Write("Acme", "X1", "Standard", {"10360 E0=1+2L/1000 R0=2"}));
  QVERIFY(log.Load("Acme", "X1", "Standard"));
  QCOMPARE(log.Entries().value(0).judgement.verdict, int(J::VERDICT_DOES_NOT_CONFORM));
  QVERIFY(database->Initialize());
  QCOMPARE(other.Number("PRAGMA user_version"), 3);
  QCOMPARE(other.Number("SELECT count(*) FROM verification_result WHERE mpe=2"), 1);

  // Frozen at save with the limit of that moment; a tighter limit later changes no verdict.
  TVerificationRecord record = Check(500, "1.9 0.5", "0", R::RULE_SIMPLE);
  QVERIFY2(log.Save(&record), qPrintable(log.Error()));
  QVERIFY(database.Write("Acme", "X1", "Standard", {"10360 E0=0.5+L/1000 R0=1"}));
  QVERIFY(database->Initialize() && log.Load("Acme", "X1", "Standard"));
  QStringList states;
  for (const TVerificationWorkflow::TEntry &entry : log.Entries())
    states.append(QStringLiteral("%1 %2 %3 %4")
                      .arg(J::Frozen_Name(entry.judgement.frozen),
                           J::State_Text(entry.judgement.verdict, entry.judgement.reason),
                           TVerificationRows::Show_Rows(entry.judgement).value(0).value(4))
                      .arg(entry.changes.join(", ")));
  QCOMPARE(states,
           QStringList({"frozen on upgrade does not conform 2 the catalogue's E0 is now "
                        "0.5+1.0L/1000 \u00b5m, stated by the manufacturer, the catalogue's R0 is "
                        "now 1.0 \u00b5m, stated by the manufacturer",
                        "frozen at save conforms 2 the catalogue's E0 is now 0.5+1.0L/1000 "
                        "\u00b5m, stated by the manufacturer, the catalogue's R0 is now 1.0 "
                        "\u00b5m, stated by the manufacturer"}));
  QCOMPARE(log.Entries().value(1).judgement.ranges.value(0).limit, 2.0);
  // The latest record conforms: no re-test is due; a later one that does not asks for one.
  bool valid = false;
  QVERIFY(TVerificationLog(database.Get()).Schedules(&valid).isEmpty() && valid);
  record.date = record.date.addDays(1);
  QVERIFY(log.Save(&record) && log.Entries().last().judgement.verdict != J::VERDICT_CONFORMS);
  QCOMPARE(TVerificationLog(database.Get()).Schedules(&valid).value(0).retest_since, record.date);
}

QTEST_GUILESS_MAIN(TestVerification)
#include "tst_verification.moc"
