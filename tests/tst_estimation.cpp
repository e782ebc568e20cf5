#include "database.h"
#include "testsupport.h"
#include "transaction.h"

#include <QtTest>

#include <memory>

namespace
{
const QString MAKE = QStringLiteral("Acme");
const QString MODEL = QStringLiteral("M1");
const QString OPTION = QStringLiteral("Std");

// Both triggers fire on U3 only, which the estimation stores after Volume and E150.
const QString U3_ROW = QStringLiteral(
    "%1.component_id=(SELECT component_type_id FROM component_types WHERE name='U3')");
const QString U3_REJECTED =
    QStringLiteral("Cannot add data to table 'specification'.  Reason: U3 rejected");
} // namespace

class TEstimationTest : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();

  void conversion_rules_data();
  void conversion_rules();
  void estimate_specifications_data();
  void estimate_specifications();
  void calls_by_id_touch_one_configuration();
  void unknown_names_and_closed_database();
  void failure_keeps_previous_estimates_data();
  void failure_keeps_previous_estimates();

private:
  bool Write(const QStringList &records, const QString &option = OPTION)
  {
    return d_database->Write(MAKE, MODEL, option, records);
  }
  QStringList Rows(const QString &option = OPTION) { return d_database->Rows(MAKE, MODEL, option); }
  bool Estimate(const QString &option = OPTION)
  {
    return (*d_database)->Estimate_Specifications(MAKE, MODEL, option);
  }
  bool Estimate_From(const QString &standard)
  {
    TDatabase *database = d_database->Get();
    return database->Estimate_From_Standard(database->Make_Id(MAKE), database->Model_Id(MODEL),
                                            database->Option_Id(OPTION), standard);
  }

  std::unique_ptr<TestSupport::TTestDatabase> d_database;
};

void TEstimationTest::init()
{
  d_database = std::make_unique<TestSupport::TTestDatabase>();
  QVERIFY(d_database->Is_Valid());
}

void TEstimationTest::cleanup()
{
  d_database.reset();
}

void TEstimationTest::conversion_rules_data()
{
  QTest::addColumn<QString>("manufacturer");
  QTest::addColumn<QString>("standard");
  QTest::addColumn<QStringList>("derived");

  // The pass runs over the standard of the manufacturer's record unless another is named.
  const auto row = [](const char *name, const QString &record, const QStringList &derived,
                      const QString &standard = QString())
  {
    QTest::newRow(name) << record << (standard.isEmpty() ? record.section(' ', 0, 0) : standard)
                        << derived;
  };
  const QString fixed_300 = QStringLiteral("=0.0020+0.0050L/300#1");
  const QString fixed_500 = QStringLiteral("=0.0020+0.00000Td+(0.0020+0.00060Td)L/500#1");

  // Length errors from one another: Volume is twice the error, the others equal it.
  row("10360 E0 linear", "10360 E0=1.5+3.3L/1000",
      {"B89.4.1 Volume=0.0030+0.0066L/1000#1", "10360 E150=0.0015+0.0033L/1000#1",
       "VDIVDE_2617 U3=0.0015+0.0033L/1000#1", "CMMA M=0.0015+0.0033L/1000#1"});
  row("10360 E150 linear maximum", "10360 E150=2.5+3.3L/1000|8",
      {"B89.4.1 Volume=0.0050+0.0066L/1000|0.0160#1", "10360 E0=0.0025+0.0033L/1000|0.0080#1",
       "VDIVDE_2617 U3=0.0025+0.0033L/1000|0.0080#1", "CMMA M=0.0025+0.0033L/1000|0.0080#1"});
  row("VDIVDE_2617 U3 linear", "VDIVDE_2617 U3=2+3L/500",
      {"B89.4.1 Volume=0.0040+0.0060L/500#1", "10360 E0=0.0020+0.0030L/500#1",
       "10360 E150=0.0020+0.0030L/500#1", "CMMA M=0.0020+0.0030L/500#1"});
  row("CMMA M temperature", "CMMA M=1+0.02Td+(2+0.04Td)L/1000",
      {"B89.4.1 Volume=0.0020+0.00002Td+(0.0040+0.00004Td)L/1000#1",
       "10360 E0=0.0010+0.00002Td+(0.0020+0.00004Td)L/1000#1",
       "10360 E150=0.0010+0.00002Td+(0.0020+0.00004Td)L/1000#1",
       "VDIVDE_2617 U3=0.0010+0.00002Td+(0.0020+0.00004Td)L/1000#1"});
  row("10360 fixed lengths and a constant R0 not", "10360 E0=5/300 E150=(2+0.5Td)/300 R0=5/300",
      {});

  // Volume: halved, the maximum and the Td coefficients kept. A fixed length needs Repeat, stored
  // before or after it, for the constant part.
  row("B89.4.1 Volume linear maximum", "B89.4.1 Volume=4+6L/1000|20",
      {"10360 E0=0.0020+0.0030L/1000|0.0200#1", "10360 E150=0.0020+0.0030L/1000|0.0200#1",
       "VDIVDE_2617 U3=0.0020+0.0030L/1000|0.0200#1", "CMMA M=0.0020+0.0030L/1000|0.0200#1"});
  row("B89.4.1 Volume temperature", "B89.4.1 Volume=2+0.1Td+(4+0.2Td)L/1000",
      {"10360 E0=0.0010+0.00010Td+(0.0020+0.00020Td)L/1000#1",
       "10360 E150=0.0010+0.00010Td+(0.0020+0.00020Td)L/1000#1",
       "VDIVDE_2617 U3=0.0010+0.00010Td+(0.0020+0.00020Td)L/1000#1",
       "CMMA M=0.0010+0.00010Td+(0.0020+0.00020Td)L/1000#1"});
  row("B89.4.1 Volume fixed length without Repeat", "B89.4.1 Volume=10/300", {});
  row("B89.4.1 Volume fixed length before Repeat", "B89.4.1 Volume=10/300 Repeat=2.0",
      {"10360 E0" + fixed_300, "10360 E150" + fixed_300, "10360 Rpt=0.0020#1", "10360 R0=0.0040#1",
       "VDIVDE_2617 U3" + fixed_300, "CMMA M" + fixed_300, "CMMA Repeat=0.0040#1"});
  row("B89.4.1 Volume fixed length temperature after Repeat",
      "B89.4.1 Repeat=2.0 Volume=(4+0.6Td)/500",
      {"10360 Rpt=0.0020#1", "10360 R0=0.0040#1", "10360 E0" + fixed_500, "10360 E150" + fixed_500,
       "VDIVDE_2617 U3" + fixed_500, "CMMA Repeat=0.0040#1", "CMMA M" + fixed_500});

  // Repeatability and probing constants.
  row("10360 R0", "10360 R0=3.0", {"B89.4.1 Repeat=0.0015#1", "CMMA Repeat=0.0030#1"});
  row("10360 Rpt", "10360 Rpt=3.0", {"B89.4.1 Repeat=0.0030#1", "CMMA Repeat=0.0060#1"});
  row("B89.4.1 Repeat", "B89.4.1 Repeat=1.5",
      {"10360 Rpt=0.0015#1", "10360 R0=0.0030#1", "CMMA Repeat=0.0030#1"});
  row("CMMA Repeat", "CMMA Repeat=3.0",
      {"B89.4.1 Repeat=0.0015#1", "10360 Rpt=0.0015#1", "10360 R0=0.0030#1"});
  row("CMMA Repeat halving keeps 0.01 um", "CMMA Repeat=1.5",
      {"B89.4.1 Repeat=0.00075#1", "10360 Rpt=0.00075#1", "10360 R0=0.0015#1"});
  row("10360 Pftu", "10360 Pftu=2.2", {"VDIVDE_2617 V3=0.0022#1"});
  row("VDIVDE_2617 V3", "VDIVDE_2617 V3=1.8", {"10360 Pftu=0.0018#1"});

  row("other standard's rows", "10360 E0=1.5+3.3L/1000", {}, "CMMA");
  row("second derivation in one pass dropped", "10360 E0=1+2L/1000 E150=3+4L/1000",
      {"B89.4.1 Volume=0.0020+0.0040L/1000#1", "VDIVDE_2617 U3=0.0010+0.0020L/1000#1",
       "CMMA M=0.0010+0.0020L/1000#1"});
  // Twice 5000 mm has no text form: that estimate is left out rather than stored as "0.0000".
  row("value beyond the text forms", "10360 E0=5000000+1L/1000",
      {"10360 E150=5000.0000+0.0010L/1000#1", "VDIVDE_2617 U3=5000.0000+0.0010L/1000#1",
       "CMMA M=5000.0000+0.0010L/1000#1"});
}

void TEstimationTest::conversion_rules()
{
  QFETCH(QString, manufacturer);
  QFETCH(QString, standard);
  QFETCH(QStringList, derived);

  QVERIFY(Write({manufacturer}));
  const QStringList before = Rows();
  QCOMPARE(before.size(), manufacturer.count('='));

  QVERIFY2(Estimate_From(standard), qPrintable((*d_database)->Last_Error()));
  QCOMPARE(Rows(), before + derived);
}

void TEstimationTest::estimate_specifications_data()
{
  QTest::addColumn<QStringList>("manufacturer");
  QTest::addColumn<QStringList>("rewritten"); // written after a first estimation, if any
  QTest::addColumn<QStringList>("rows");

  QTest::newRow("manufacturer row never replaced")
      << QStringList{"10360 E0=1.5+3.3L/1000", "CMMA M=4+5L/1000"} << QStringList()
      << QStringList{"10360 E0=0.0015+0.0033L/1000", "CMMA M=0.0040+0.0050L/1000",
                     "B89.4.1 Volume=0.0030+0.0066L/1000#1", "10360 E150=0.0015+0.0033L/1000#1",
                     "VDIVDE_2617 U3=0.0015+0.0033L/1000#1"};
  // The estimated B89.4.1 Repeat of the first pass is a source for the second.
  QTest::newRow("estimates feed later passes")
      << QStringList{"10360 R0=3.0"} << QStringList()
      << QStringList{"10360 R0=0.0030", "B89.4.1 Repeat=0.0015#1", "CMMA Repeat=0.0030#1",
                     "10360 Rpt=0.0015#1"};
  QTest::newRow("components without rules")
      << QStringList{"10360 Ts_Max=30C Ts_Min=15C", "B89.4.1 Probe_Roll=4/300",
                     "VDIVDE_2617 U1=1+2L/1000 V1=1", "CMMA G=2"}
      << QStringList()
      << QStringList{"10360 Ts_Max=30.00 C",          "10360 Ts_Min=15.00 C",
                     "B89.4.1 Probe_Roll=0.0040/300", "VDIVDE_2617 U1=0.0010+0.0020L/1000",
                     "VDIVDE_2617 V1=0.0010",         "CMMA G=0.0020"};
  // The manufacturer changes E0 and drops Pftu: nothing of the old values may survive.
  QTest::newRow("re-estimation replaces old estimates")
      << QStringList{"10360 E0=1.5+3.3L/1000 Pftu=2"} << QStringList{"10360 E0=2+4L/1000"}
      << QStringList{"10360 E0=0.0020+0.0040L/1000", "B89.4.1 Volume=0.0040+0.0080L/1000#1",
                     "10360 E150=0.0020+0.0040L/1000#1", "VDIVDE_2617 U3=0.0020+0.0040L/1000#1",
                     "CMMA M=0.0020+0.0040L/1000#1"};
}

void TEstimationTest::estimate_specifications()
{
  QFETCH(QStringList, manufacturer);
  QFETCH(QStringList, rewritten);
  QFETCH(QStringList, rows);

  QVERIFY(Write(manufacturer));
  if (!rewritten.isEmpty())
    QVERIFY(Estimate() && Write(rewritten));
  // A second run replaces the estimates by the same ones, not by duplicates.
  for (int run = 0; run < 2; ++run)
  {
    QVERIFY2(Estimate(), qPrintable((*d_database)->Last_Error()));
    QCOMPARE(Rows(), rows);
  }
}

void TEstimationTest::calls_by_id_touch_one_configuration()
{
  const QString other = QStringLiteral("Plus");
  QVERIFY(Write({"10360 E0=1.5+3.3L/1000 Pftu=2"}));
  QVERIFY(Write({"10360 E0=2+4L/1000", "CMMA G=1"}, other));
  QVERIFY(Estimate() && Estimate(other));
  const QStringList other_rows = Rows(other);
  TDatabase *database = d_database->Get();
  const int ids[] = {database->Make_Id(MAKE), database->Model_Id(MODEL),
                     database->Option_Id(OPTION)};

  // A record by ids is named from the ids; estimates are among its items.
  bool valid = false;
  const TDatabaseItem record =
      database->Read_Specification_By_Id(ids[0], ids[1], ids[2], 1, &valid);
  QVERIFY(valid);
  QCOMPARE(QStringList({record.Make(), record.Model(), record.Option(), record.Standard(),
                        record.Expression_Text("E150", TExpressionItem::UNITS_UM)}),
           QStringList({MAKE, MODEL, OPTION, "10360", "1.5+3.3L/1000"}));
  QCOMPARE(record.Source("E150"), TDatabaseItem::SOURCE_ESTIMATED);
  // Its estimated V3 is there, another option's G is not.
  QVERIFY(database->Specification_Exists(ids[0], ids[1], ids[2], 3, 16) &&
          !database->Specification_Exists(ids[0], ids[1], ids[2], 4, 17));

  QVERIFY(database->Delete_Estimated_Specifications(ids[0], ids[1], ids[2]));
  QCOMPARE(Rows(), QStringList({"10360 E0=0.0015+0.0033L/1000", "10360 Pftu=0.0020"}));
  QCOMPARE(Rows(other), other_rows);
}

void TEstimationTest::unknown_names_and_closed_database()
{
  QVERIFY(Write({"10360 E0=1.5+3.3L/1000"}));
  TDatabase *database = d_database->Get();
  QVERIFY(!database->Estimate_Specifications(QStringLiteral("Nobody"), MODEL, OPTION));
  QCOMPARE(database->Last_Error(), QStringLiteral("CMM Make not found."));
  QVERIFY(!database->Database_Failed());
  QVERIFY(!Estimate_From(QStringLiteral("cmma")));
  QCOMPARE(Rows().size(), 1);

  database->Close();
  bool valid = true;
  QVERIFY(!Estimate() && database->Read_Specification_By_Id(1, 1, 1, 1, &valid).Make().isEmpty());
  QVERIFY(!valid && database->Last_Error() == QLatin1String("Not connected"));
}

void TEstimationTest::failure_keeps_previous_estimates_data()
{
  QTest::addColumn<QString>("trigger");
  QTest::addColumn<QString>("error");
  QTest::addColumn<QString>("call"); // "all", "nested" inside a larger transaction, or "pass"

  const QString reject_u3 =
      TestSupport::Refusal("INSERT", "specification", U3_ROW.arg("NEW"), "U3 rejected");
  QTest::newRow("insert fails") << reject_u3 << U3_REJECTED << "all";
  QTest::newRow("delete fails inside a larger transaction")
      << TestSupport::Refusal("DELETE", "specification", U3_ROW.arg("OLD"), "U3 kept")
      << "Cannot delete specification entry.  Reason: U3 kept"
      << "nested";
  // Volume and E150 are inserted before U3 fails; the pass takes them back.
  QTest::newRow("one pass") << reject_u3 << U3_REJECTED << "pass";
}

void TEstimationTest::failure_keeps_previous_estimates()
{
  QFETCH(QString, trigger);
  QFETCH(QString, error);
  QFETCH(QString, call);

  TDatabase *database = d_database->Get();
  QVERIFY(Write({"10360 E0=1.5+3.3L/1000"}));
  QVERIFY(call == "pass" || Estimate());
  QString text;
  QVERIFY2(TestSupport::Execute_On_File(database->Location().Text(), trigger, &text),
           qPrintable(text));

  TTransaction outer(database);
  QVERIFY(call != "nested" || outer.Begin());
  // The new value's rows are in (the old E150 estimate went with the old 10360 rows); the
  // estimates of the other standards still hold the old value.
  QVERIFY(call == "pass" || Write({"10360 E0=2+4L/1000"}));
  const QStringList before = Rows();

  QVERIFY(call == "pass" ? !Estimate_From("10360") : !Estimate());
  QVERIFY2(database->Last_Error().startsWith(error), qPrintable(database->Last_Error()));
  QVERIFY(database->Database_Failed());
  QCOMPARE(Rows(), before);
  // The failed estimation undid only its own work: the larger transaction goes on and commits.
  QVERIFY(call != "nested" || outer.Commit());

  // No transaction is left open: another connection can write, and the estimation runs again.
  QVERIFY2(TestSupport::Execute_On_File(database->Location().Text(),
                                        TestSupport::Drop_Refusal("specification"), &text),
           qPrintable(text));
  QVERIFY2(Estimate(), qPrintable(database->Last_Error()));
  QCOMPARE(Rows().size(), 5);
}

QTEST_GUILESS_MAIN(TEstimationTest)
#include "tst_estimation.moc"
