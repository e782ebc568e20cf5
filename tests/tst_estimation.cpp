#include "database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <QtTest>

#include <memory>

namespace
{
const QString CONNECTION = QStringLiteral("tst_estimation");
const QString SECOND_CONNECTION = QStringLiteral("tst_estimation_second");
const QString MAKE = QStringLiteral("Acme");
const QString MODEL = QStringLiteral("M1");
const QString OPTION = QStringLiteral("Std");

// A connection of its own to the same file, as another program or thread would have.
class TSecondConnection
{
public:
  explicit TSecondConnection(const QString &file_name)
  {
    QSqlDatabase connection =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), SECOND_CONNECTION);
    connection.setDatabaseName(file_name);
    d_open = connection.open();
  }
  ~TSecondConnection()
  {
    QSqlDatabase::database(SECOND_CONNECTION, false).close();
    QSqlDatabase::removeDatabase(SECOND_CONNECTION);
  }
  TSecondConnection(const TSecondConnection &) = delete;
  TSecondConnection &operator=(const TSecondConnection &) = delete;

  bool Execute(const QString &statement, QString *error) const
  {
    QSqlQuery query(QSqlDatabase::database(SECOND_CONNECTION, false));
    const bool executed = d_open && query.exec(statement);
    *error = query.lastError().text();
    return executed;
  }

  QString Value(const QString &statement) const
  {
    QSqlQuery query(QSqlDatabase::database(SECOND_CONNECTION, false));
    if (!d_open || !query.exec(statement) || !query.next())
    {
      return QString();
    }
    return query.value(0).toString();
  }

private:
  bool d_open = false;
};

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
  void re_estimation_replaces_old_estimates();
  void delete_touches_one_configuration_only();
  void read_by_id_and_exists();
  void unknown_names_change_nothing();
  void not_connected();
  void failure_keeps_previous_estimates_data();
  void failure_keeps_previous_estimates();
  void failed_pass_stores_nothing();

private:
  // Rows are "standard;component;expression" with the expression in micrometres, grouped into
  // one record per standard in order of first appearance.
  bool Write_Rows(const QStringList &rows, const QString &option = OPTION);
  // Every stored row of one configuration in storage order: "standard;component;text;source"
  // with the text as stored, in millimetres.
  QStringList Rows(const QString &option = OPTION);

  std::unique_ptr<QTemporaryDir> d_directory;
  std::unique_ptr<TDatabase> d_database;
};

void TEstimationTest::init()
{
  d_directory = std::make_unique<QTemporaryDir>();
  QVERIFY(d_directory->isValid());
  d_database = std::make_unique<TDatabase>(CONNECTION);
  QVERIFY2(d_database->Connect(d_directory->filePath(QStringLiteral("estimation.db"))),
           qPrintable(d_database->Last_Error()));
  QVERIFY2(d_database->Initialize(), qPrintable(d_database->Last_Error()));
}

void TEstimationTest::cleanup()
{
  d_database.reset();
  d_directory.reset();
}

bool TEstimationTest::Write_Rows(const QStringList &rows, const QString &option)
{
  QStringList standards;
  for (const QString &row : rows)
  {
    const QString standard = row.section(QLatin1Char(';'), 0, 0);
    if (!standards.contains(standard))
    {
      standards.append(standard);
    }
  }
  for (const QString &standard : standards)
  {
    TDatabaseItem record;
    record.Set_Make(MAKE);
    record.Set_Model(MODEL);
    record.Set_Option(option);
    record.Set_Standard(standard);
    for (const QString &row : rows)
    {
      const QStringList fields = row.split(QLatin1Char(';'));
      if (fields.at(0) != standard)
      {
        continue;
      }
      TSpecificationItem item;
      item.name = fields.at(1);
      if (item.expression.Set_Expression(fields.at(2), TExpressionItem::UNITS_UM) ==
          TExpressionItem::EXPRESSION_UNDEFINED)
      {
        qWarning("bad test expression %s", qPrintable(fields.at(2)));
        return false;
      }
      item.source = TDatabaseItem::SOURCE_MANUFACTURER;
      record.Add_Specification_Item(item);
    }
    if (!d_database->Write_Specification(record))
    {
      qWarning("%s", qPrintable(d_database->Last_Error()));
      return false;
    }
  }
  return true;
}

QStringList TEstimationTest::Rows(const QString &option)
{
  QStringList rows;
  QSqlQuery query(QSqlDatabase::database(CONNECTION, false));
  query.prepare(
      QStringLiteral("SELECT standard_id,component_id,expression,source FROM specification "
                     "WHERE make_id=? AND model_id=? AND option_id=? ORDER BY rowid"));
  query.addBindValue(d_database->Make_Id(MAKE));
  query.addBindValue(d_database->Model_Id(MODEL));
  query.addBindValue(d_database->Option_Id(option));
  if (!query.exec())
  {
    rows.append(QStringLiteral("query failed: ") + query.lastError().text());
    return rows;
  }
  while (query.next())
  {
    const int standard_id = query.value(0).toInt();
    rows.append(QStringLiteral("%1;%2;%3;%4")
                    .arg(d_database->Standard_Type_Name(standard_id),
                         d_database->Component_Type_Name(standard_id, query.value(1).toInt()),
                         query.value(2).toString(), query.value(3).toString()));
  }
  return rows;
}

void TEstimationTest::conversion_rules_data()
{
  QTest::addColumn<QStringList>("manufacturer");
  QTest::addColumn<QString>("standard");
  QTest::addColumn<QStringList>("derived");

  const QString linear_300 = QStringLiteral("0.0020+0.0050L/300");
  const QString temperature_500 = QStringLiteral("0.0020+0.00000Td+(0.0020+0.00060Td)L/500");

  // Length errors from one another: Volume is twice the error, the others equal it.
  QTest::newRow("10360 E0 linear")
      << QStringList{"10360;E0;1.5+3.3L/1000"} << "10360"
      << QStringList{"B89.4.1;Volume;0.0030+0.0066L/1000;1", "10360;E150;0.0015+0.0033L/1000;1",
                     "VDIVDE_2617;U3;0.0015+0.0033L/1000;1", "CMMA;M;0.0015+0.0033L/1000;1"};
  QTest::newRow("10360 E150 linear maximum")
      << QStringList{"10360;E150;2.5+3.3L/1000|8"} << "10360"
      << QStringList{
             "B89.4.1;Volume;0.0050+0.0066L/1000|0.0160;1", "10360;E0;0.0025+0.0033L/1000|0.0080;1",
             "VDIVDE_2617;U3;0.0025+0.0033L/1000|0.0080;1", "CMMA;M;0.0025+0.0033L/1000|0.0080;1"};
  QTest::newRow("10360 E0 temperature")
      << QStringList{"10360;E0;1.2+0.05Td+(2.5+0.5Td)L/1000"} << "10360"
      << QStringList{"B89.4.1;Volume;0.0024+0.00005Td+(0.0050+0.00050Td)L/1000;1",
                     "10360;E150;0.0012+0.00005Td+(0.0025+0.00050Td)L/1000;1",
                     "VDIVDE_2617;U3;0.0012+0.00005Td+(0.0025+0.00050Td)L/1000;1",
                     "CMMA;M;0.0012+0.00005Td+(0.0025+0.00050Td)L/1000;1"};
  QTest::newRow("VDIVDE_2617 U3 linear")
      << QStringList{"VDIVDE_2617;U3;2+3L/500"} << "VDIVDE_2617"
      << QStringList{"B89.4.1;Volume;0.0040+0.0060L/500;1", "10360;E0;0.0020+0.0030L/500;1",
                     "10360;E150;0.0020+0.0030L/500;1", "CMMA;M;0.0020+0.0030L/500;1"};
  QTest::newRow("CMMA M temperature")
      << QStringList{"CMMA;M;1+0.02Td+(2+0.04Td)L/1000"} << "CMMA"
      << QStringList{"B89.4.1;Volume;0.0020+0.00002Td+(0.0040+0.00004Td)L/1000;1",
                     "10360;E0;0.0010+0.00002Td+(0.0020+0.00004Td)L/1000;1",
                     "10360;E150;0.0010+0.00002Td+(0.0020+0.00004Td)L/1000;1",
                     "VDIVDE_2617;U3;0.0010+0.00002Td+(0.0020+0.00004Td)L/1000;1"};
  QTest::newRow("10360 E0 fixed length")
      << QStringList{"10360;E0;5/300"} << "10360" << QStringList();
  QTest::newRow("10360 E0 fixed length temperature")
      << QStringList{"10360;E0;(2+0.5Td)/300"} << "10360" << QStringList();

  // Volume: halved, the maximum and the Td coefficients kept.
  QTest::newRow("B89.4.1 Volume linear")
      << QStringList{"B89.4.1;Volume;3+5L/1000"} << "B89.4.1"
      << QStringList{"10360;E0;0.0015+0.0025L/1000;1", "10360;E150;0.0015+0.0025L/1000;1",
                     "VDIVDE_2617;U3;0.0015+0.0025L/1000;1", "CMMA;M;0.0015+0.0025L/1000;1"};
  QTest::newRow("B89.4.1 Volume linear maximum")
      << QStringList{"B89.4.1;Volume;4+6L/1000|20"} << "B89.4.1"
      << QStringList{
             "10360;E0;0.0020+0.0030L/1000|0.0200;1", "10360;E150;0.0020+0.0030L/1000|0.0200;1",
             "VDIVDE_2617;U3;0.0020+0.0030L/1000|0.0200;1", "CMMA;M;0.0020+0.0030L/1000|0.0200;1"};
  QTest::newRow("B89.4.1 Volume temperature")
      << QStringList{"B89.4.1;Volume;2+0.1Td+(4+0.2Td)L/1000"} << "B89.4.1"
      << QStringList{"10360;E0;0.0010+0.00010Td+(0.0020+0.00020Td)L/1000;1",
                     "10360;E150;0.0010+0.00010Td+(0.0020+0.00020Td)L/1000;1",
                     "VDIVDE_2617;U3;0.0010+0.00010Td+(0.0020+0.00020Td)L/1000;1",
                     "CMMA;M;0.0010+0.00010Td+(0.0020+0.00020Td)L/1000;1"};
  QTest::newRow("B89.4.1 Volume fixed length without Repeat")
      << QStringList{"B89.4.1;Volume;10/300"} << "B89.4.1" << QStringList();
  QTest::newRow("B89.4.1 Volume fixed length before Repeat")
      << QStringList{"B89.4.1;Volume;10/300", "B89.4.1;Repeat;2.0"} << "B89.4.1"
      << QStringList{"10360;E0;" + linear_300 + ";1",
                     "10360;E150;" + linear_300 + ";1",
                     "10360;Rpt;0.0020;1",
                     "10360;R0;0.0040;1",
                     "VDIVDE_2617;U3;" + linear_300 + ";1",
                     "CMMA;M;" + linear_300 + ";1",
                     "CMMA;Repeat;0.0040;1"};
  QTest::newRow("B89.4.1 Volume fixed length temperature after Repeat")
      << QStringList{"B89.4.1;Repeat;2.0", "B89.4.1;Volume;(4+0.6Td)/500"} << "B89.4.1"
      << QStringList{"10360;Rpt;0.0020;1",
                     "10360;R0;0.0040;1",
                     "10360;E0;" + temperature_500 + ";1",
                     "10360;E150;" + temperature_500 + ";1",
                     "VDIVDE_2617;U3;" + temperature_500 + ";1",
                     "CMMA;Repeat;0.0040;1",
                     "CMMA;M;" + temperature_500 + ";1"};
  QTest::newRow("B89.4.1 Volume fixed length temperature without Repeat")
      << QStringList{"B89.4.1;Volume;(4+0.6Td)/500"} << "B89.4.1" << QStringList();

  // Repeatability and probing constants.
  QTest::newRow("10360 R0") << QStringList{"10360;R0;3.0"} << "10360"
                            << QStringList{"B89.4.1;Repeat;0.0015;1", "CMMA;Repeat;0.0030;1"};
  QTest::newRow("10360 Rpt") << QStringList{"10360;Rpt;3.0"} << "10360"
                             << QStringList{"B89.4.1;Repeat;0.0030;1", "CMMA;Repeat;0.0060;1"};
  QTest::newRow("B89.4.1 Repeat") << QStringList{"B89.4.1;Repeat;1.5"} << "B89.4.1"
                                  << QStringList{"10360;Rpt;0.0015;1", "10360;R0;0.0030;1",
                                                 "CMMA;Repeat;0.0030;1"};
  QTest::newRow("CMMA Repeat") << QStringList{"CMMA;Repeat;3.0"} << "CMMA"
                               << QStringList{"B89.4.1;Repeat;0.0015;1", "10360;Rpt;0.0015;1",
                                              "10360;R0;0.0030;1"};
  QTest::newRow("CMMA Repeat halving rounds half up")
      << QStringList{"CMMA;Repeat;1.5"} << "CMMA"
      << QStringList{"B89.4.1;Repeat;0.0008;1", "10360;Rpt;0.0008;1", "10360;R0;0.0015;1"};
  QTest::newRow("10360 Pftu") << QStringList{"10360;Pftu;2.2"} << "10360"
                              << QStringList{"VDIVDE_2617;V3;0.0022;1"};
  QTest::newRow("VDIVDE_2617 V3") << QStringList{"VDIVDE_2617;V3;1.8"} << "VDIVDE_2617"
                                  << QStringList{"10360;Pftu;0.0018;1"};
  QTest::newRow("10360 R0 not a constant")
      << QStringList{"10360;R0;5/300"} << "10360" << QStringList();

  // Components without rules, and sources that are not the pass's standard.
  QTest::newRow("10360 temperatures")
      << QStringList{"10360;Ts_Max;30C", "10360;Ts_Min;15C"} << "10360" << QStringList();
  QTest::newRow("B89.4.1 Probe_Roll")
      << QStringList{"B89.4.1;Probe_Roll;4/300"} << "B89.4.1" << QStringList();
  QTest::newRow("VDIVDE_2617 U1 U2 V1 V2")
      << QStringList{"VDIVDE_2617;U1;1+2L/1000", "VDIVDE_2617;U2;1+2L/1000", "VDIVDE_2617;V1;1",
                     "VDIVDE_2617;V2;1"}
      << "VDIVDE_2617" << QStringList();
  QTest::newRow("CMMA G") << QStringList{"CMMA;G;2"} << "CMMA" << QStringList();
  QTest::newRow("other standard's rows")
      << QStringList{"10360;E0;1.5+3.3L/1000"} << "CMMA" << QStringList();

  QTest::newRow("second derivation in one pass dropped")
      << QStringList{"10360;E0;1+2L/1000", "10360;E150;3+4L/1000"} << "10360"
      << QStringList{"B89.4.1;Volume;0.0020+0.0040L/1000;1", "VDIVDE_2617;U3;0.0010+0.0020L/1000;1",
                     "CMMA;M;0.0010+0.0020L/1000;1"};
  // Twice 5000 mm has no text form: that estimate is left out, the others are stored.
  QTest::newRow("value beyond the text forms")
      << QStringList{"10360;E0;5000000+1L/1000"} << "10360"
      << QStringList{"10360;E150;5000.0000+0.0010L/1000;1",
                     "VDIVDE_2617;U3;5000.0000+0.0010L/1000;1", "CMMA;M;5000.0000+0.0010L/1000;1"};
}

void TEstimationTest::conversion_rules()
{
  QFETCH(QStringList, manufacturer);
  QFETCH(QString, standard);
  QFETCH(QStringList, derived);

  QVERIFY(Write_Rows(manufacturer));
  const QStringList before = Rows();
  QCOMPARE(before.size(), manufacturer.size());

  QVERIFY2(d_database->Estimate_From_Standard(d_database->Make_Id(MAKE),
                                              d_database->Model_Id(MODEL),
                                              d_database->Option_Id(OPTION), standard),
           qPrintable(d_database->Last_Error()));
  QCOMPARE(Rows(), before + derived);
}

void TEstimationTest::estimate_specifications_data()
{
  QTest::addColumn<QStringList>("manufacturer");
  QTest::addColumn<QStringList>("rows");

  const QString temperature_500 = QStringLiteral("0.0020+0.00000Td+(0.0020+0.00060Td)L/500");

  QTest::newRow("E0 only") << QStringList{"10360;E0;1.5+3.3L/1000"}
                           << QStringList{"10360;E0;0.0015+0.0033L/1000;0",
                                          "B89.4.1;Volume;0.0030+0.0066L/1000;1",
                                          "10360;E150;0.0015+0.0033L/1000;1",
                                          "VDIVDE_2617;U3;0.0015+0.0033L/1000;1",
                                          "CMMA;M;0.0015+0.0033L/1000;1"};
  QTest::newRow("E150 written before E0 decides")
      << QStringList{"10360;E150;2+4L/1000", "10360;E0;1.5+3.3L/1000"}
      << QStringList{"10360;E150;0.0020+0.0040L/1000;0", "10360;E0;0.0015+0.0033L/1000;0",
                     "B89.4.1;Volume;0.0040+0.0080L/1000;1", "VDIVDE_2617;U3;0.0020+0.0040L/1000;1",
                     "CMMA;M;0.0020+0.0040L/1000;1"};
  QTest::newRow("manufacturer row never replaced")
      << QStringList{"10360;E0;1.5+3.3L/1000", "CMMA;M;4+5L/1000"}
      << QStringList{"10360;E0;0.0015+0.0033L/1000;0", "CMMA;M;0.0040+0.0050L/1000;0",
                     "B89.4.1;Volume;0.0030+0.0066L/1000;1", "10360;E150;0.0015+0.0033L/1000;1",
                     "VDIVDE_2617;U3;0.0015+0.0033L/1000;1"};
  QTest::newRow("Volume linear maximum keeps the maximum")
      << QStringList{"B89.4.1;Volume;4+6L/1000|20"}
      << QStringList{
             "B89.4.1;Volume;0.0040+0.0060L/1000|0.0200;0", "10360;E0;0.0020+0.0030L/1000|0.0200;1",
             "10360;E150;0.0020+0.0030L/1000|0.0200;1",
             "VDIVDE_2617;U3;0.0020+0.0030L/1000|0.0200;1", "CMMA;M;0.0020+0.0030L/1000|0.0200;1"};
  QTest::newRow("Volume fixed length without Repeat")
      << QStringList{"B89.4.1;Volume;10/300"} << QStringList{"B89.4.1;Volume;0.0100/300;0"};
  QTest::newRow("Volume fixed length with Repeat")
      << QStringList{"B89.4.1;Volume;10/300", "B89.4.1;Repeat;2.0"}
      << QStringList{"B89.4.1;Volume;0.0100/300;0",
                     "B89.4.1;Repeat;0.0020;0",
                     "10360;E0;0.0020+0.0050L/300;1",
                     "10360;E150;0.0020+0.0050L/300;1",
                     "10360;Rpt;0.0020;1",
                     "10360;R0;0.0040;1",
                     "VDIVDE_2617;U3;0.0020+0.0050L/300;1",
                     "CMMA;M;0.0020+0.0050L/300;1",
                     "CMMA;Repeat;0.0040;1"};
  QTest::newRow("CMMA Repeat 3.0") << QStringList{"CMMA;Repeat;3.0"}
                                   << QStringList{"CMMA;Repeat;0.0030;0", "B89.4.1;Repeat;0.0015;1",
                                                  "10360;Rpt;0.0015;1", "10360;R0;0.0030;1"};
  // The estimated B89.4.1 Repeat of the first pass is a source for the second.
  QTest::newRow("estimates feed later passes")
      << QStringList{"10360;R0;3.0"}
      << QStringList{"10360;R0;0.0030;0", "B89.4.1;Repeat;0.0015;1", "CMMA;Repeat;0.0030;1",
                     "10360;Rpt;0.0015;1"};
  QTest::newRow("E0 fixed length temperature")
      << QStringList{"10360;E0;(2+0.5Td)/300"} << QStringList{"10360;E0;(0.0020+0.00050Td)/300;0"};
  QTest::newRow("Volume fixed length temperature with Repeat")
      << QStringList{"B89.4.1;Repeat;2.0", "B89.4.1;Volume;(4+0.6Td)/500"}
      << QStringList{"B89.4.1;Repeat;0.0020;0",
                     "B89.4.1;Volume;(0.0040+0.00060Td)/500;0",
                     "10360;Rpt;0.0020;1",
                     "10360;R0;0.0040;1",
                     "10360;E0;" + temperature_500 + ";1",
                     "10360;E150;" + temperature_500 + ";1",
                     "VDIVDE_2617;U3;" + temperature_500 + ";1",
                     "CMMA;Repeat;0.0040;1",
                     "CMMA;M;" + temperature_500 + ";1"};
  QTest::newRow("Volume fixed length temperature without Repeat")
      << QStringList{"B89.4.1;Volume;(4+0.6Td)/500"}
      << QStringList{"B89.4.1;Volume;(0.0040+0.00060Td)/500;0"};
}

void TEstimationTest::estimate_specifications()
{
  QFETCH(QStringList, manufacturer);
  QFETCH(QStringList, rows);

  QVERIFY(Write_Rows(manufacturer));
  QVERIFY2(d_database->Estimate_Specifications(MAKE, MODEL, OPTION),
           qPrintable(d_database->Last_Error()));
  QCOMPARE(Rows(), rows);

  // A second run replaces the estimates by the same ones, not by duplicates.
  QVERIFY2(d_database->Estimate_Specifications(MAKE, MODEL, OPTION),
           qPrintable(d_database->Last_Error()));
  QCOMPARE(Rows(), rows);
}

void TEstimationTest::re_estimation_replaces_old_estimates()
{
  QVERIFY(Write_Rows({"10360;E0;1.5+3.3L/1000", "10360;Pftu;2"}));
  QVERIFY(d_database->Estimate_Specifications(MAKE, MODEL, OPTION));

  // The manufacturer changes E0 and drops Pftu: nothing of the old values may survive.
  QVERIFY(Write_Rows({"10360;E0;2+4L/1000"}));
  QVERIFY(d_database->Estimate_Specifications(MAKE, MODEL, OPTION));
  QCOMPARE(Rows(),
           QStringList({"10360;E0;0.0020+0.0040L/1000;0", "B89.4.1;Volume;0.0040+0.0080L/1000;1",
                        "10360;E150;0.0020+0.0040L/1000;1", "VDIVDE_2617;U3;0.0020+0.0040L/1000;1",
                        "CMMA;M;0.0020+0.0040L/1000;1"}));
}

void TEstimationTest::delete_touches_one_configuration_only()
{
  const QString other = QStringLiteral("Plus");
  QVERIFY(Write_Rows({"10360;E0;1.5+3.3L/1000"}));
  QVERIFY(Write_Rows({"10360;E0;2+4L/1000"}, other));
  QVERIFY(d_database->Estimate_Specifications(MAKE, MODEL, OPTION));
  QVERIFY(d_database->Estimate_Specifications(MAKE, MODEL, other));
  const QStringList other_rows = Rows(other);
  QCOMPARE(other_rows.size(), 5);

  QVERIFY(d_database->Delete_Estimated_Specifications(
      d_database->Make_Id(MAKE), d_database->Model_Id(MODEL), d_database->Option_Id(OPTION)));
  QCOMPARE(Rows(), QStringList({"10360;E0;0.0015+0.0033L/1000;0"}));
  QCOMPARE(Rows(other), other_rows);
}

void TEstimationTest::read_by_id_and_exists()
{
  QVERIFY(Write_Rows({"10360;E0;1.5+3.3L/1000", "10360;Pftu;2"}));
  QVERIFY(Write_Rows({"CMMA;G;1"}, QStringLiteral("Plus")));
  QVERIFY(d_database->Estimate_Specifications(MAKE, MODEL, OPTION));
  const int make_id = d_database->Make_Id(MAKE);
  const int model_id = d_database->Model_Id(MODEL);
  const int option_id = d_database->Option_Id(OPTION);
  const int standard_id = d_database->Standard_Type_Id(QStringLiteral("10360"));

  bool valid = false;
  const TDatabaseItem record =
      d_database->Read_Specification_By_Id(make_id, model_id, option_id, standard_id, &valid);
  QVERIFY(valid);
  QCOMPARE(QStringList({record.Make(), record.Model(), record.Option(), record.Standard()}),
           QStringList({MAKE, MODEL, OPTION, QStringLiteral("10360")}));
  QStringList items;
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
  {
    const TSpecificationItem item = record.Specification_Item(index);
    items.append(QStringLiteral("%1;%2;%3;%4;%5")
                     .arg(item.name, item.expression.Expression_Text(TExpressionItem::UNITS_UM))
                     .arg(item.source)
                     .arg(item.description)
                     .arg(item.expression_types));
  }
  QCOMPARE(items,
           QStringList({"E0;1.5+3.3L/1000;0;;0", "Pftu;2.0;0;;0", "E150;1.5+3.3L/1000;1;;0"}));

  // A configuration without rows under the standard: valid, but an empty record.
  valid = false;
  const TDatabaseItem empty = d_database->Read_Specification_By_Id(
      make_id, model_id, d_database->Option_Id(QStringLiteral("Plus")), standard_id, &valid);
  QVERIFY(valid);
  QCOMPARE(empty.Specification_Item_Count(), 0);
  QVERIFY(empty.Make().isEmpty() && empty.Standard().isEmpty());

  const auto exists = [&](const QString &standard, const QString &component)
  {
    const int id = d_database->Standard_Type_Id(standard);
    return d_database->Specification_Exists(make_id, model_id, option_id, id,
                                            d_database->Component_Type_Id(id, component));
  };
  QVERIFY(exists(QStringLiteral("10360"), QStringLiteral("E0")));
  QVERIFY(exists(QStringLiteral("10360"), QStringLiteral("E150")));
  QVERIFY(exists(QStringLiteral("VDIVDE_2617"), QStringLiteral("V3")));
  QVERIFY(!exists(QStringLiteral("10360"), QStringLiteral("R0")));
  QVERIFY(!exists(QStringLiteral("CMMA"), QStringLiteral("G")));
}

void TEstimationTest::unknown_names_change_nothing()
{
  QVERIFY(Write_Rows({"10360;E0;1.5+3.3L/1000"}));
  QVERIFY(d_database->Estimate_Specifications(MAKE, MODEL, OPTION));
  const QStringList rows = Rows();

  QVERIFY(!d_database->Estimate_Specifications(QStringLiteral("Nobody"), MODEL, OPTION));
  QCOMPARE(d_database->Last_Error(), QStringLiteral("CMM Make not found."));
  QVERIFY(!d_database->Estimate_Specifications(MAKE, MODEL, QStringLiteral("None")));
  QCOMPARE(d_database->Last_Error(), QStringLiteral("CMM Option not found."));
  QVERIFY(!d_database->Estimate_From_Standard(d_database->Make_Id(MAKE),
                                              d_database->Model_Id(MODEL),
                                              d_database->Option_Id(OPTION), "cmma"));
  QCOMPARE(Rows(), rows);
}

void TEstimationTest::not_connected()
{
  d_database->Close();
  const QString not_connected = QStringLiteral("Not connected");

  QVERIFY(!d_database->Estimate_Specifications(MAKE, MODEL, OPTION));
  QCOMPARE(d_database->Last_Error(), not_connected);
  QVERIFY(!d_database->Estimate_From_Standard(1, 1, 1, QStringLiteral("10360")));
  QCOMPARE(d_database->Last_Error(), not_connected);
  QVERIFY(!d_database->Delete_Estimated_Specifications(1, 1, 1));
  QCOMPARE(d_database->Last_Error(), not_connected);
  QVERIFY(!d_database->Specification_Exists(1, 1, 1, 1, 4));
  QCOMPARE(d_database->Last_Error(), not_connected);
  bool valid = true;
  const TDatabaseItem record = d_database->Read_Specification_By_Id(1, 1, 1, 1, &valid);
  QVERIFY(!valid);
  QCOMPARE(record.Specification_Item_Count(), 0);
  QCOMPARE(d_database->Last_Error(), not_connected);
}

void TEstimationTest::failure_keeps_previous_estimates_data()
{
  QTest::addColumn<QString>("trigger");
  QTest::addColumn<QString>("error");
  QTest::addColumn<bool>("nested");

  // Both triggers fire on U3 only, so that writing the manufacturer's rows still works. U3 is
  // estimated after Volume and E150 have been inserted by the same run.
  const QString insert_trigger = QStringLiteral(
      "CREATE TRIGGER reject_u3 BEFORE INSERT ON specification WHEN NEW.component_id="
      "(SELECT component_type_id FROM component_types WHERE name='U3') "
      "BEGIN SELECT RAISE(ABORT,'U3 rejected'); END");
  const QString delete_trigger =
      QStringLiteral("CREATE TRIGGER keep_u3 BEFORE DELETE ON specification WHEN OLD.component_id="
                     "(SELECT component_type_id FROM component_types WHERE name='U3') "
                     "BEGIN SELECT RAISE(ABORT,'U3 kept'); END");
  const QString insert_error =
      QStringLiteral("Cannot add data to table 'specification'.  Reason: U3 rejected");
  const QString delete_error = QStringLiteral("Cannot delete specification entry");

  QTest::newRow("insert fails") << insert_trigger << insert_error << false;
  QTest::newRow("insert fails inside a larger transaction")
      << insert_trigger << insert_error << true;
  QTest::newRow("delete fails") << delete_trigger << delete_error << false;
  QTest::newRow("delete fails inside a larger transaction")
      << delete_trigger << delete_error << true;
}

void TEstimationTest::failure_keeps_previous_estimates()
{
  QFETCH(QString, trigger);
  QFETCH(QString, error);
  QFETCH(bool, nested);

  QVERIFY(Write_Rows({"10360;E0;1.5+3.3L/1000"}));
  QVERIFY(d_database->Estimate_Specifications(MAKE, MODEL, OPTION));

  TSecondConnection second(d_database->File_Name());
  QString second_error;
  QVERIFY2(second.Execute(trigger, &second_error), qPrintable(second_error));

  const QString outer = QStringLiteral("import");
  if (nested)
  {
    QVERIFY(d_database->Savepoint(outer));
  }
  // The new value's rows are in (the old E150 estimate went with the old 10360 rows); the
  // estimates of the other standards still hold the old value.
  QVERIFY(Write_Rows({"10360;E0;2+4L/1000"}));
  const QStringList before = Rows();
  QCOMPARE(before.size(), 4);

  QVERIFY(!d_database->Estimate_Specifications(MAKE, MODEL, OPTION));
  QVERIFY2(d_database->Last_Error().startsWith(error), qPrintable(d_database->Last_Error()));
  QCOMPARE(Rows(), before);

  if (nested)
  {
    // The failed estimation undid only its own work: the larger transaction goes on and commits.
    QVERIFY(d_database->Release_Savepoint(outer));
  }
  // No transaction is left open: another connection sees the new value and can write.
  QCOMPARE(second.Value(QStringLiteral(
               "SELECT expression FROM specification WHERE source=0 AND component_id="
               "(SELECT component_type_id FROM component_types WHERE name='E0')")),
           QStringLiteral("0.0020+0.0040L/1000"));
  QVERIFY2(second.Execute(QStringLiteral("DROP TRIGGER ") + trigger.section(QLatin1Char(' '), 2, 2),
                          &second_error),
           qPrintable(second_error));
  QVERIFY2(d_database->Estimate_Specifications(MAKE, MODEL, OPTION),
           qPrintable(d_database->Last_Error()));
  QCOMPARE(Rows().size(), 5);
}

void TEstimationTest::failed_pass_stores_nothing()
{
  QVERIFY(Write_Rows({"10360;E0;1.5+3.3L/1000"}));
  TSecondConnection second(d_database->File_Name());
  QString second_error;
  QVERIFY2(second.Execute(QStringLiteral("CREATE TRIGGER reject_u3 BEFORE INSERT ON specification "
                                         "WHEN NEW.component_id=(SELECT component_type_id FROM "
                                         "component_types WHERE name='U3') "
                                         "BEGIN SELECT RAISE(ABORT,'U3 rejected'); END"),
                          &second_error),
           qPrintable(second_error));

  // Volume and E150 are inserted before U3 fails; the pass takes them back.
  QVERIFY(!d_database->Estimate_From_Standard(d_database->Make_Id(MAKE),
                                              d_database->Model_Id(MODEL),
                                              d_database->Option_Id(OPTION), "10360"));
  QVERIFY2(d_database->Last_Error().startsWith(
               "Cannot add data to table 'specification'.  Reason: U3 rejected"),
           qPrintable(d_database->Last_Error()));
  QCOMPARE(Rows(), QStringList({"10360;E0;0.0015+0.0033L/1000;0"}));
}

QTEST_GUILESS_MAIN(TEstimationTest)
#include "tst_estimation.moc"
