#include "capability.h"
#include "comparison.h"
#include "specificationlimits.h"
#include "testsupport.h"

#include <QtTest>

namespace
{
using L = TSpecificationLimits;

// A standard's record from compact text, "10360 E0=2.5+3.3L/1000|8", expressions in um.
TDatabaseItem Record(const QString &text)
{
  return TestSupport::Record(QString(), QString(), QString(), text);
}

// All rows empty but the one given.
QStringList Rows(int row = -1, const QString &text = QString())
{
  QStringList rows = QVector<QString>(L::ROW_COUNT).toList();
  if (row >= 0)
    rows[row] = text;
  return rows;
}
} // namespace

class TestSpecificationLimits : public QObject
{
  Q_OBJECT

private slots:
  void single_row_data();
  void single_row();
  void all_rows_data();
  void all_rows();
  void temperature_deviation_data();
  void temperature_deviation();
  void capability_data();
  void capability();
  void rank_catalogue();
  void comparison_csv_data();
  void comparison_csv();
};

void TestSpecificationLimits::single_row_data()
{
  QTest::addColumn<QString>("record");
  QTest::addColumn<QString>("length");
  QTest::addColumn<QString>("temperature");
  QTest::addColumn<int>("row");
  QTest::addColumn<QString>("text");

  struct TCase
  {
    const char *record;
    const char *length;
    const char *temperature;
    int row;
    const char *text;
  };
  // clang-format off
  const TCase cases[] = {
      {"CMMA M=1.5+3.3L/1000", "1000", "20", L::ROW_CMMA_M, "+/- 4.8 um"},
      {"CMMA M=1.5+3.3L/1000", " -1000\t", "20", L::ROW_CMMA_M, "+/- 4.8 um"},
      {"10360 E0=2.5+3.3L/1000|8", "2000", "20", L::ROW_10360_E0, "+/- 8.0 um"},
      {"10360 E0=2.5+3.3L/1000|8", "1000", "20", L::ROW_10360_E0, "+/- 5.8 um"},
      {"10360 E150=1+0.1Td+(2+0.2Td)L/1000", "500", "25", L::ROW_10360_E150, "+/- 3.0 um"},
      // Divisors of 10 mm or less are not trusted.
      {"VDIVDE_2617 U3=1+2L/11", "1000", "20", L::ROW_VDIVDE_U3, "+/- 182.8 um"},
      {"VDIVDE_2617 U3=1+2L/10", "1000", "20", L::ROW_VDIVDE_U3, ""},
      {"10360 E150=1+0.1Td+(2+0.2Td)L/10", "500", "25", L::ROW_10360_E150, ""},
      // A ballbar value stated for one length is a single number only near that length.
      {"B89.4.1 Volume=5/500", "450", "20", L::ROW_B89_BALLBAR, "5.0 um"},
      {"B89.4.1 Volume=5/500", "400", "20", L::ROW_B89_BALLBAR, "5.0/500 um"},
      {"B89.4.1 Volume=5/500", "600", "20", L::ROW_B89_BALLBAR, "5.0/500 um"},
      {"B89.4.1 Volume=5/11", "10", "20", L::ROW_B89_BALLBAR, "5.0/11 um"},
      {"B89.4.1 Volume=5/11", "10.5", "20", L::ROW_B89_BALLBAR, "5.0 um"},
      {"B89.4.1 Volume=5/10", "10.5", "20", L::ROW_B89_BALLBAR, "5.0/10 um"},
      {"B89.4.1 Volume=(2+0.5Td)/300", "300", "25", L::ROW_B89_BALLBAR, "4.5 um"},
      {"B89.4.1 Volume=(2+0.5Td)/300", "1000", "25", L::ROW_B89_BALLBAR, "(2.0+0.50Td)/300 um"},
      {"B89.4.1 Volume=1.5+3.3L/1000", "1000", "20", L::ROW_B89_BALLBAR, "4.8 um"},
      {"B89.4.1 Repeat=2", "-3", "31", L::ROW_B89_REPEAT, "2.0 um"},
      // Kinds a row does not take, mistyped numbers and names that are not exactly a row's.
      {"B89.4.1 Repeat=1.5+3.3L/1000", "1000", "20", L::ROW_B89_REPEAT, ""},
      {"10360 E0=5/500", "500", "20", L::ROW_10360_E0, ""},
      {"CMMA M=1..5+3.3L/1000", "1000", "20", L::ROW_CMMA_M, ""},
      {"CMMA m=1.5+3.3L/1000", "1000", "20", L::ROW_CMMA_M, ""},
      {"10360 Pftu=1.9 Ts_Max=30C", "1000", "20", L::ROW_10360_R0, ""},
      // The last value written wins; an item that gives no value keeps the earlier one.
      {"CMMA M=1+1L/1000 M=2+1L/1000", "1000", "20", L::ROW_CMMA_M, "+/- 3.0 um"},
      {"CMMA M=1+1L/1000 M=4", "1000", "20", L::ROW_CMMA_M, "+/- 2.0 um"},
      {"CMMA M=1+1L/1000 M=9+9L/10", "1000", "20", L::ROW_CMMA_M, "+/- 2.0 um"},
  };
  // clang-format on
  for (const TCase &c : cases)
  {
    QTest::addRow("%s L=%s T=%s", c.record, c.length, c.temperature)
        << c.record << c.length << c.temperature << c.row << c.text;
  }
}

void TestSpecificationLimits::single_row()
{
  QFETCH(QString, record);
  QFETCH(QString, length);
  QFETCH(QString, temperature);
  QFETCH(int, row);
  QFETCH(QString, text);

  const double deviation = L::Temperature_Deviation(temperature, 0.0);
  QCOMPARE(L::Calculate({Record(record)}, length, deviation), Rows(row, text));

  // The row as a number: the text's single value, NaN where it shows a form or nothing.
  const double value = L::Values({Record(record)}, length.toDouble(), deviation).at(row);
  const QString number =
      QString(text).remove(QStringLiteral("+/- ")).chopped(text.isEmpty() ? 0 : 3);
  bool single = false;
  number.toDouble(&single);
  QCOMPARE(std::isnan(value) ? QString() : QString::number(value, 'f', 1),
           single ? number : QString());
}

void TestSpecificationLimits::all_rows_data()
{
  QTest::addColumn<QString>("length");
  QTest::addColumn<QStringList>("rows");

  QTest::newRow("1000") << "1000"
                        << QStringList{"2.0 um", "5.0/500 um", "1.2 um", "+/- 5.7 um", "+/- 4.9 um",
                                       "0.9 um", "+/- 4.0 um", "1.1 um", "+/- 2.5 um"};
  QTest::newRow("500") << "500"
                       << QStringList{"2.0 um", "5.0 um",     "1.2 um", "+/- 4.1 um", "+/- 3.2 um",
                                      "0.9 um", "+/- 3.0 um", "1.1 um", "+/- 2.5 um"};
  for (const char *length : {"1000,0", "nan", "inf"})
  {
    QTest::addRow("'%s'", length) << length << Rows();
  }
}

void TestSpecificationLimits::all_rows()
{
  QFETCH(QString, length);
  QFETCH(QStringList, rows);

  const QList<TDatabaseItem> records = {
      Record("CMMA Repeat=1.1 M=1.5+2L/1000|2.5"),
      Record("B89.4.1 Repeat=2 Volume=5/500 Probe_Roll=3"),
      Record("VDIVDE_2617 V3=0.9 U3=2+2L/1000"),
      Record("10360 Ts_Min=18C E0=2.5+3.2L/1000|8 E150=1.5+3.4L/1000 R0=1.2"),
  };
  QCOMPARE(L::Calculate(records, length, 5.0), rows);
}

void TestSpecificationLimits::temperature_deviation_data()
{
  QTest::addColumn<QString>("temperature");
  QTest::addColumn<double>("previous");
  QTest::addColumn<double>("deviation");

  QTest::newRow("above") << "25" << 0.0 << 5.0;
  QTest::newRow("reference") << "20.00" << 3.0 << 0.0;
  QTest::newRow("negative") << "-5" << 0.0 << 25.0;
  QTest::newRow("white space") << " 22.5\n" << 0.0 << 2.5;
  for (const char *text : {"22,5", "nan", "-inf"})
  {
    QTest::addRow("'%s' keeps previous", text) << text << 1.5 << 1.5;
  }
}

void TestSpecificationLimits::temperature_deviation()
{
  QFETCH(QString, temperature);
  QFETCH(double, previous);
  QFETCH(double, deviation);

  // Numbers never follow the user's locale.
  const QLocale locale;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const double result = L::Temperature_Deviation(temperature, previous);
  QLocale::setDefault(locale);
  QCOMPARE(result, deviation);
}

void TestSpecificationLimits::capability_data()
{
  QTest::addColumn<QString>("records");
  QTest::addColumn<QString>("request");
  QTest::addColumn<QString>("result");
  QTest::addColumn<QString>("warning");

  // request: standard:component L span ratio temperature; result: E(L) ratio source verdict.
  const QString band = "18.00 C to 22.00 C: its limits do not apply";
  QTest::newRow("stated") << "10360 E0=1.5+3.3L/1000"
                          << "10360:E0 400 30 4 20"
                          << "2.8 5.32 MFG Capable"
                          << "";
  QTest::newRow("estimated only, ratio met exactly") << "10360 E0=2+2L/1000#1"
                                                     << "10360:E0 1000 32 4 20"
                                                     << "4.0 4.00 EST Capable"
                                                     << "";
  QTest::newRow("met but for rounding") << "10360 E0=0.1+0.2L/1000"
                                        << "10360:E0 1000 2.4 4 20"
                                        << "0.3 4.00 MFG Capable"
                                        << "";
  QTest::newRow("maximum caps") << "10360 E0=2.5+3.3L/1000|8"
                                << "10360:E0 2000 60 4 20"
                                << "8.0 3.75 MFG Ratio too small"
                                << "";
  QTest::newRow("10:1") << "10360 E0=2.5+3.3L/1000|8"
                        << "10360:E0 2000 150 10 20"
                        << "8.0 9.38 MFG Ratio too small"
                        << "";
  QTest::newRow("Td below 20") << "10360 E150=1+0.1Td+(2+0.2Td)L/1000"
                               << "10360:E150 500 24 4 15"
                               << "3.0 4.00 MFG Capable"
                               << "";
  QTest::newRow("component without a row") << "VDIVDE_2617 U1=1+1L/1000"
                                           << "VDIVDE_2617:U1 1000 20 4 20"
                                           << "2.0 5.00 MFG Capable"
                                           << "";
  const QString banded = "10360 E0=1+1L/1000 Ts_Min=18C Ts_Max=22C";
  QTest::newRow("band edge") << banded << "10360:E0 1000 20 4 22"
                             << "2.0 5.00 MFG Capable"
                             << "";
  QTest::newRow("above band") << banded << "10360:E0 1000 20 4 25"
                              << "2.0 5.00 MFG Outside temperature range"
                              << "25.0 C is outside this machine's stated range " + band;
  QTest::newRow("just below band") << banded << "10360:E0 1000 20 4 17.99"
                                   << "2.0 5.00 MFG Outside temperature range"
                                   << "17.99 C is outside this machine's stated range " + band;
  QTest::newRow("only a maximum") << "10360 E0=1+1L/1000 Ts_Max=22C"
                                  << "10360:E0 1000 20 4 30"
                                  << "2.0 5.00 MFG Capable"
                                  << "";
  QTest::newRow("minimum above maximum") << "10360 E0=1+1L/1000 Ts_Min=22C Ts_Max=18C"
                                         << "10360:E0 1000 20 4 20"
                                         << "2.0 5.00 MFG Capable"
                                         << "";
  QTest::newRow("nominal length form") << "10360 E0=5/500"
                                       << "10360:E0 500 20 4 20"
                                       << "No value"
                                       << "";
  QTest::newRow("zero error") << "10360 E0=0+0L/1000"
                              << "10360:E0 500 20 4 20"
                              << "No value"
                              << "";
}

void TestSpecificationLimits::capability()
{
  QFETCH(QString, records);
  QFETCH(QString, request);
  QFETCH(QString, result);
  QFETCH(QString, warning);

  const QStringList fields = request.split(' ');
  TCapability::TRequest asked;
  asked.standard = fields.at(0).section(':', 0, 0);
  asked.component = fields.at(0).section(':', 1);
  asked.feature_length = fields.at(1).toDouble();
  asked.tolerance = fields.at(2).toDouble();
  asked.ratio = fields.at(3).toDouble();
  asked.temperature = fields.at(4).toDouble();
  QList<TDatabaseItem> machine;
  for (const QString &record : records.split(';'))
    machine.append(Record(record));

  const TCapability::TResult capability = TCapability::Evaluate(asked, machine);
  const QString shown =
      capability.has_value
          ? QStringList{L::Value_Text(capability.error), QString::number(capability.ratio, 'f', 2),
                        TDatabaseItem::Source_Name(capability.source),
                        TCapability::Verdict(capability)}
                .join(' ')
          : TCapability::Verdict(capability);
  QCOMPARE(shown, result);
  QCOMPARE(capability.band.Warning(asked.temperature), warning);
}

void TestSpecificationLimits::rank_catalogue()
{
  TestSupport::TTestDatabase database;
  QVERIFY(database.Is_Valid());
  QVERIFY(database.Write("A", "X", "1", {"10360 E0=1+1L/1000 Ts_Min=18C Ts_Max=20C"}));
  QVERIFY(database.Write("A", "X", "2", {"CMMA M=9+9L/1000", "10360 E0=0.5+0.5L/1000#1"}));
  QVERIFY(database.Write("B", "Y", "1", {"10360 E0=4+4L/1000"}));
  QVERIFY(database.Write("B", "Y", "2", {"CMMA M=1+1L/1000"}));
  QVERIFY(database.Write("C", "Z", "1", {"10360 R0=1 Ts_Min=18C Ts_Max=19C"}));

  bool valid = false;
  QList<TCapability::TMachine> machines = database.Get()->Component_Machines("10360", "E0", &valid);
  QVERIFY(valid);
  TCapability::TRequest request;
  request.feature_length = 1000.0;
  request.tolerance = 20.0;
  request.temperature = 20.5;
  const auto ranked = [&](bool capable_only)
  {
    QStringList shown;
    for (const TCapability::TRanked &entry : TCapability::Rank(request, machines, capable_only))
      shown.append(QStringList{entry.machine.make, entry.machine.model, entry.machine.option,
                               QString::number(entry.result.ratio, 'f', 2)}
                       .join('/'));
    return shown;
  };
  QCOMPARE(ranked(false), QStringList({"A/X/2/10.00", "A/X/1/5.00", "B/Y/1/1.25", "C/Z/1/0.00"}));
  // A/X/1 is not capable at 20.5 C: outside its band, read with its rows.
  QCOMPARE(ranked(true), QStringList({"A/X/2/10.00"}));

  // The machines kept for the next ranking give way to a change by another program, and to one
  // made here.
  TDatabase other(QStringLiteral("rank_catalogue_other"));
  QVERIFY(other.Connect(database->Location()));
  bool written = false;
  QVERIFY(other.Write_Specification(
      TestSupport::Record("B", "Y", "1", "10360 E0=0.1+0.1L/1000", &written)));
  QVERIFY(written);
  machines = database.Get()->Component_Machines("10360", "E0", &valid);
  QVERIFY(valid);
  QCOMPARE(ranked(true), QStringList({"B/Y/1/50.00", "A/X/2/10.00"}));
  QVERIFY(database.Write("B", "Y", "1", {"10360 E0=0.2+0.2L/1000"}));
  machines = database.Get()->Component_Machines("10360", "E0", &valid);
  QCOMPARE(ranked(true), QStringList({"B/Y/1/25.00", "A/X/2/10.00"}));
}

void TestSpecificationLimits::comparison_csv_data()
{
  QTest::addColumn<QString>("make");
  QTest::addColumn<QString>("field");

  QTest::newRow("quote") << "Ze\"iss"
                         << "\"Ze\"\"iss\"";
  // What a spreadsheet would evaluate shows as text; a number stays a number.
  QTest::newRow("=") << "=1+1"
                     << "\"'=1+1\"";
  QTest::newRow("@") << "@SUM(1)"
                     << "\"'@SUM(1)\"";
  QTest::newRow("+") << "+cmd| C calc!A0"
                     << "\"'+cmd| C calc!A0\"";
  QTest::newRow("-") << "-1+1"
                     << "\"'-1+1\"";
  QTest::newRow("tab") << "\t1"
                       << "\"'\t1\"";
  QTest::newRow("negative number") << "-1.5"
                                   << "-1.5";
  QTest::newRow("bare carriage return") << "A\rB"
                                        << "\"A\rB\"";
}

// The comparison's CSV, as the window exports it and metrova-cli compare writes it.
void TestSpecificationLimits::comparison_csv()
{
  QFETCH(QString, make);
  QFETCH(QString, field);
  TComparison::TRow row;
  row.machine.make = make;
  const QString csv = TComparison::Csv(TComparison::TSettings(), {row});
  QCOMPARE(csv.section('\n', 1, 1).section(',', 0, 0), field);
}

QTEST_GUILESS_MAIN(TestSpecificationLimits)
#include "tst_specificationlimits.moc"
