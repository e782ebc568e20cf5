#include "database.h"
#include "testsupport.h"

#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>

using namespace TestSupport;

namespace
{
const QStringList STANDARDS{"10360", "B89.4.1", "VDIVDE_2617", "CMMA"};
const QStringList BASELINE_CMMA{"G=0.0020", "M=0.0025+0.0040L/1000", "Repeat=0.0030"};

// Items as "component=expression" in millimetres, with "#source" when not the manufacturer's and,
// if asked, their descriptions and expression kinds.
QStringList Item_Texts(const TDatabaseItem &record, bool details = false)
{
  QStringList texts;
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
  {
    const TSpecificationItem item = record.Specification_Item(index);
    texts.append(item.name + '=' + item.expression.Expression_Text(TExpressionItem::UNITS_MM) +
                 (item.source ? QStringLiteral("#%1").arg(item.source) : QString()) +
                 (details
                      ? QStringLiteral(" %1 %2").arg(item.description).arg(item.expression_types)
                      : QString()));
  }
  return texts;
}
} // namespace

class TestDatabase : public QObject
{
  Q_OBJECT

private:
  std::unique_ptr<TTestDatabase> d_test;
  TDatabase *d_database = nullptr;
  QString File() const { return d_database->File_Name(); }

private slots:
  void init();
  void cleanup() { d_test.reset(); }

  void connect_files_data();
  void connect_files();
  void seeded_catalogue();
  void initialize_is_idempotent_and_indexes();
  void initialize_accepts_existing_table();
  void closed_database();
  void clear_reseeds_under_new_ids();
  void names_round_trip_data();
  void names_round_trip();
  void write_and_read_back();
  void unknown_names_data();
  void unknown_names();
  void failed_operations_leave_database_unchanged_data();
  void failed_operations_leave_database_unchanged();
  void listing_and_removal();
  void read_configuration_data();
  void read_configuration();
  void read_transaction();
  void savepoints_nest();
  void writer_waits_for_other_connection();
  void no_read_lock_outlives_a_call();
  void missing_validity_flag_asserts();
};

void TestDatabase::init()
{
  d_test = std::make_unique<TTestDatabase>();
  QVERIFY(d_test->Is_Valid());
  d_database = d_test->Get();
  QVERIFY(d_test->Write("Acme", "M1", "O1",
                        {"CMMA G=2 M=2.5+4L/1000 Repeat=3", "10360 Pftu=1.8 E0=1.9+3L/1000"}));
}

void TestDatabase::connect_files_data()
{
  QTest::addColumn<QString>("name");
  QTest::addColumn<QByteArray>("content"); // null: no file
  QTest::addColumn<QString>("error");

  QTest::newRow("empty file") << "empty.db" << QByteArray("") << QString();
  QTest::newRow("text file") << "text.db"
                             << QByteArray("make,model,option\nthis is not a database at all\n")
                             << "file is not a database";
  QTest::newRow("missing folder") << "missing/x.db" << QByteArray()
                                  << "unable to open database file";
}

void TestDatabase::connect_files()
{
  QFETCH(QString, name);
  QFETCH(QByteArray, content);
  QFETCH(QString, error);
  const QString file_name = d_test->Path(name);
  QVERIFY(content.isNull() || Write_File(file_name, content));

  TDatabase database;
  const bool connected = database.Connect(file_name);
  QCOMPARE(connected, error.isEmpty());
  QCOMPARE(database.Is_Open(), connected);
  if (connected)
  {
    QCOMPARE(database.File_Name(), file_name);
    QVERIFY(database.Initialize());
    bool valid = false;
    QCOMPARE(database.Standard_Types(&valid), STANDARDS);
    return;
  }
  const QString report = database.Last_Error();
  QVERIFY2(report.startsWith("Cannot open database.\n\tDatabase Error: '" + error +
                             "'\n\tDriver Error: '"),
           qPrintable(report));
  QVERIFY(report.contains("'\n\t\tDatabase File Name: '" + file_name +
                          "'\n\tAvailable database drivers:\n"));
  QVERIFY(report.contains("\t\tQSQLITE\n"));
  QVERIFY(!QSqlDatabase::contains("metrova_database"));
  QCOMPARE(QFile::exists(file_name), !content.isNull());
  QCOMPARE(File_Bytes(file_name), content);
  // Nothing of the failed attempt stands in the way of the next one.
  QVERIFY(database.Connect(d_test->Path("after_failure.db")));
  QVERIFY(database.Initialize());
}

void TestDatabase::seeded_catalogue()
{
  bool valid = false;
  QCOMPARE(d_database->Standard_Types(&valid), STANDARDS);
  QCOMPARE(d_database->Component_Types("B89.4.1", &valid),
           QStringList({"Repeat", "Volume", "Probe_Roll"}));
  QVERIFY(valid);
  TOtherConnection other(File());
  QCOMPARE(other.Number("SELECT count(*) FROM component_types"), 19);
  // A component of each standard: its id, kinds and description; it belongs to its standard only.
  for (const char *row :
       {"10360 Ts_Max 6 64", "B89.4.1 Probe_Roll 10 6", "VDIVDE_2617 U1 11 44", "CMMA G 17 1"})
  {
    const QStringList fields = QString(row).split(' ');
    const int standard_id = STANDARDS.indexOf(fields[0]) + 1;
    const int id = fields[2].toInt();
    QCOMPARE(d_database->Standard_Type_Id(fields[0]), standard_id);
    QCOMPARE(d_database->Component_Type_Id(standard_id, fields[1]), id);
    QCOMPARE(d_database->Component_Type_Name(standard_id, id), fields[1]);
    QCOMPARE(d_database->Component_Type_Expression_Types(fields[0], fields[1]), fields[3].toInt());
    QVERIFY(d_database->Component_Type_Description(standard_id, id).startsWith("Maximum "));
    QCOMPARE(d_database->Component_Type_Name(standard_id % 4 + 1, id), QString());
  }
  // Names are exact: letter case and blanks count.
  QCOMPARE(d_database->Component_Type_Id(4, "g"), -1);
  QCOMPARE(d_database->Last_Error(), QString("Component Type not found."));
  QCOMPARE(d_database->Standard_Type_Id("CMMA "), -1);
  QCOMPARE(d_database->Last_Error(), QString("Standard Type not found."));
}

void TestDatabase::initialize_is_idempotent_and_indexes()
{
  TOtherConnection other(File());
  const QStringList before = other.Dump();
  QVERIFY(d_database->Initialize());
  QCOMPARE(other.Dump(), before);

  // A catalogue row lost outside the program comes back alone, with a new id; the indexes too.
  QVERIFY(other.Execute("DELETE FROM component_types WHERE name='Rpt'"));
  QVERIFY(other.Execute("DROP INDEX specification_configuration"));
  QVERIFY(d_database->Initialize());
  QCOMPARE(other.Number("SELECT count(*) FROM component_types"), 19);
  QCOMPARE(d_database->Component_Type_Id(1, "Rpt"), 20);
  bool valid = false;
  QCOMPARE(d_database->Component_Types("10360", &valid).last(), QString("Rpt"));
  QCOMPARE(other.Number("SELECT count(*) FROM sqlite_master WHERE type='index' AND name IN "
                        "('make_name','model_types_name','option_types_name','standard_types_name',"
                        "'component_types_standard_name','specification_configuration')"),
           6);
  QCOMPARE(Item_Texts(d_database->Read_Specification("Acme", "M1", "O1", "CMMA", &valid)),
           BASELINE_CMMA);
}

void TestDatabase::initialize_accepts_existing_table()
{
  // A table of the same name but other columns is kept; writing to it then fails cleanly.
  const QString file_name = d_test->Path("existing.db");
  QVERIFY(Execute_On_File(file_name, "CREATE TABLE make(id INTEGER, title TEXT)"));
  TDatabase database("tst_database_existing");
  QVERIFY(database.Connect(file_name));
  QVERIFY2(database.Initialize(), qPrintable(database.Last_Error()));
  QVERIFY(!database.Write_Specification(Record("Acme", "M1", "O1", "CMMA G=2")));
  // The look-up of the name fails already: a failed read is no missing name.
  QVERIFY2(database.Last_Error().startsWith("no such column: make_id"),
           qPrintable(database.Last_Error()));
  QVERIFY(database.Database_Failed());
}

void TestDatabase::closed_database()
{
  // Never connected, and connected (its statements and catalogue in use) then closed.
  TDatabase database("tst_database_closed");
  for (int pass = 0; pass < 2; ++pass)
  {
    if (pass == 1)
    {
      QVERIFY(database.Connect(File()));
      QVERIFY(database.Write_Specification(Record("Acme", "M1", "O1", "CMMA G=2")));
      database.Close();
      QVERIFY(!database.Is_Open());
      QCOMPARE(database.File_Name(), File());
    }
    QVERIFY(!database.Initialize());
    QCOMPARE(database.Last_Error(), QString("Database not open"));
    bool valid = true; // a flag left alone is caught
    QVERIFY(database.Makes(&valid).isEmpty() && !valid);
    QCOMPARE(database.Last_Error(), QString("Not connected"));
    QVERIFY(!database.Write_Specification(Record("A", "B", "C", "CMMA G=1")));
    QCOMPARE(database.Last_Error(), QString("Not connected"));
    database.Clear(); // silently nothing
    QCOMPARE(database.Last_Error(), QString("Not connected"));
  }
}

void TestDatabase::clear_reseeds_under_new_ids()
{
  TDatabase second("tst_database_second");
  QVERIFY(second.Connect(File()));
  QCOMPARE(second.Component_Type_Id(4, "G"), 17);

  d_database->Clear();
  bool valid = false;
  QVERIFY(d_database->Makes(&valid).isEmpty());
  QVERIFY(valid);
  QCOMPARE(d_database->Standard_Types(&valid), STANDARDS);
  QCOMPARE(d_database->Component_Type_Id(8, "Repeat"), 38);
  TOtherConnection other(File());
  QCOMPARE(other.Number("SELECT count(*) FROM component_types"), 19);
  QCOMPARE(other.Number("SELECT count(*) FROM specification"), 0);
  // Another connection's catalogue follows the change.
  QCOMPARE(second.Standard_Type_Id("CMMA"), 8);
  QCOMPARE(second.Component_Type_Id(8, "G"), 36);
  QCOMPARE(second.Component_Type_Name(4, 17), QString());

  QVERIFY(second.Write_Specification(Record("Acme", "M1", "O1", "CMMA Repeat=3")));
  const TDatabaseItem read = d_database->Read_Specification("Acme", "M1", "O1", "CMMA", &valid);
  QCOMPARE(Item_Texts(read), QStringList{"Repeat=0.0030"});
  QCOMPARE(read.Specification_Item(0).description, QString("Maximum length variation error"));
}

void TestDatabase::names_round_trip_data()
{
  QTest::addColumn<QString>("name");

  QTest::newRow("apostrophe") << "O'Brien 3'";
  QTest::newRow("percent") << "100%";
  QTest::newRow("beyond Latin-1, blanks kept") << QString::fromUtf8(" Zeiß Ωmega ");
}

void TestDatabase::names_round_trip()
{
  QFETCH(QString, name);
  const QString model = name + " model";

  QVERIFY(d_test->Write(name, model, name, {"VDIVDE_2617 U1=1+2L/1000"}));
  bool valid = false;
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", name}));
  QCOMPARE(d_database->Make_Name(d_database->Make_Id(name)), name);
  QCOMPARE(d_database->Models(name, &valid), QStringList{model});
  QCOMPARE(d_database->Options(name, model, &valid), QStringList{name});
  QVERIFY(d_database->Option_Exists(name, model, name));
  const TDatabaseItem read =
      d_database->Read_Specification(name, model, name, "VDIVDE_2617", &valid);
  QVERIFY(valid);
  QCOMPARE(read.Make(), name);
  QCOMPARE(Item_Texts(read), QStringList{"U1=0.0010+0.0020L/1000"});

  // Exact match only: no pattern, no case folding, no trimming.
  if (name.toUpper() != name)
    QCOMPARE(d_database->Make_Id(name.toUpper()), -1);
  QCOMPARE(d_database->Make_Id(name.trimmed() == name ? name + ' ' : name.trimmed()), -1);
  QVERIFY(d_database->Remove_Make(name));
  QCOMPARE(d_database->Makes(&valid), QStringList{"Acme"});
  QCOMPARE(d_database->Models("Acme", &valid), QStringList{"M1"});
}

void TestDatabase::write_and_read_back()
{
  TOtherConnection other(File());
  // Items keep the order written, not the catalogue's; every field comes back.
  const TDatabaseItem record =
      Record("Acme", "M1", "O1", "10360 E150=2.2+3.5L/1000|10 Ts_Max=30.0C Pftu=1.7#1");
  QVERIFY(d_database->Write_Specification(record));
  QVERIFY(d_database->Write_Specification(record));
  QCOMPARE(other.Number("SELECT count(*) FROM specification"), 3 + 3);

  bool valid = false;
  const TDatabaseItem read = d_database->Read_Specification("Acme", "M1", "O1", "10360", &valid);
  QVERIFY(valid);
  QCOMPARE(read.Standard(), QString("10360"));
  QCOMPARE(Item_Texts(read, true),
           QStringList({"E150=0.0022+0.0035L/1000|0.0100 Maximum length error with probe offset 62",
                        "Ts_Max=30.00 C Maximum volume temperature celsius 64",
                        "Pftu=0.0017#1 Maximum probe form error 1"}));

  // A model or option name is shared by all makes; a different letter case is another name.
  QVERIFY(d_test->Write("Beta", "M1", "O1", {"CMMA G=1"}));
  QVERIFY(d_test->Write("acme", "m1", "O1", {"CMMA G=1"}));
  QCOMPARE(other.Number("SELECT count(*) FROM make"), 3);
  QCOMPARE(other.Number("SELECT count(*) FROM model_types"), 2);
  QCOMPARE(other.Number("SELECT count(*) FROM option_types"), 1);

  // An empty record removes that standard's rows only.
  QVERIFY(d_test->Write("Acme", "M1", "O1", {"10360"}));
  const TDatabaseItem emptied = d_database->Read_Specification("Acme", "M1", "O1", "10360", &valid);
  QVERIFY(valid);
  QCOMPARE(emptied.Specification_Item_Count(), 0);
  QVERIFY(emptied.Make().isEmpty() && emptied.Standard().isEmpty());
  QCOMPARE(d_test->Rows("Acme", "M1", "O1"),
           QStringList({"CMMA G=0.0020", "CMMA M=0.0025+0.0040L/1000", "CMMA Repeat=0.0030"}));
}

void TestDatabase::unknown_names_data()
{
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<QString>("calls");
  QTest::addColumn<QString>("error");

  // Known names without rows leave the error text as it was.
  const auto row = [](const char *tag, const QString &names, const char *calls, const char *error)
  { QTest::newRow(tag) << names.split(' ') << QString(calls) << QString(error); };
  row("make", "Acmex M1 O1 CMMA",
      "Read_Specification Read_Configuration Models Options Remove_Make", "CMM Make not found.");
  row("model", "Acme m1 O1 CMMA", "Read_Specification Read_Configuration Options Remove_Model",
      "CMM Model not found.");
  row("option", "Acme M1 O9 CMMA", "Read_Specification Read_Configuration Remove_Option",
      "CMM Option not found.");
  row("standard", "Acme M1 O1 cmma", "Read_Specification", "Standard Type not found.");
  row("make without rows", "Empty M2 O1 CMMA", "Models Options", "");
}

void TestDatabase::unknown_names()
{
  QFETCH(QStringList, names);
  QFETCH(QString, calls);
  QFETCH(QString, error);
  QVERIFY(d_test->Write("Beta", "M2", "O1", {"CMMA G=1"}));
  QVERIFY(d_test->Write("Empty", "M2", "O1", {"CMMA"}));

  for (const QString &call : calls.split(' '))
  {
    QCOMPARE(d_database->Option_Id("O9"), -1); // an error text that may have to stay
    bool valid = true;
    bool empty = false;
    if (call == "Read_Specification")
    {
      const TDatabaseItem read =
          d_database->Read_Specification(names[0], names[1], names[2], names[3], &valid);
      empty = read.Specification_Item_Count() == 0 && read.Make().isEmpty();
    }
    else if (call == "Read_Configuration")
      empty = d_database->Read_Configuration(names[0], names[1], names[2], &valid).isEmpty();
    else if (call == "Models")
      empty = d_database->Models(names[0], &valid).isEmpty();
    else if (call == "Options")
      empty = d_database->Options(names[0], names[1], &valid).isEmpty();
    else // a removal: nothing to list, and a failure
      empty = !(valid = call == "Remove_Make" ? d_database->Remove_Make(names[0])
                        : call == "Remove_Model"
                            ? d_database->Remove_Model(names[0], names[1])
                            : d_database->Remove_Option(names[0], names[1], names[2]));
    QVERIFY2(empty && !valid, qPrintable(call));
    QCOMPARE(d_database->Last_Error(), error.isEmpty() ? QString("CMM Option not found.") : error);
  }
}

void TestDatabase::failed_operations_leave_database_unchanged_data()
{
  QTest::addColumn<QString>("operation");
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<QString>("record");
  QTest::addColumn<QString>("setup");
  QTest::addColumn<QString>("error");

  const QString refuse = "CREATE TRIGGER refuse BEFORE %1 ON %2 %3 BEGIN SELECT "
                         "RAISE(ABORT,'refused'); END";
  QTest::newRow("component not in its standard, new names")
      << "write" << QStringList{"Newco", "N'1", "50%"} << "CMMA G=1 E150=2" << QString()
      << "Component type 'E150' does not exist";
  QTest::newRow("second item insert refused")
      << "write" << QStringList{"Acme", "M1", "O1"} << "CMMA G=1 Repeat=4"
      << refuse.arg("INSERT", "specification", "WHEN NEW.expression='0.0040'")
      << "Cannot add data to table 'specification'.  Reason: refused";
  // Either of Remove_Make's deletions may fail, whichever comes second.
  QTest::newRow("make's rows cannot be deleted")
      << "remove make" << QStringList{"Acme"} << QString()
      << refuse.arg("DELETE", "specification", "")
      << "Cannot delete specification entry for 'Acme'";
  QTest::newRow("make cannot be deleted")
      << "remove make" << QStringList{"Acme"} << QString() << refuse.arg("DELETE", "make", "")
      << "Cannot delete make entry for 'Acme'";
  QTest::newRow("clear refused") << "clear" << QStringList() << QString()
                                 << refuse.arg("DELETE", "specification", "") << "refused";
}

void TestDatabase::failed_operations_leave_database_unchanged()
{
  QFETCH(QString, operation);
  QFETCH(QStringList, names);
  QFETCH(QString, record);
  QFETCH(QString, setup);
  QFETCH(QString, error);
  TOtherConnection other(File());
  const QStringList before = other.Dump();
  QVERIFY(other.Execute(setup));

  if (operation == "write")
    QVERIFY(!d_database->Write_Specification(Record(names[0], names[1], names[2], record)));
  else if (operation == "remove make")
    QVERIFY(!d_database->Remove_Make(names[0]));
  else
    d_database->Clear();
  QVERIFY2(operation == "clear" ? d_database->Last_Error().contains(error)
                                : d_database->Last_Error().startsWith(error),
           qPrintable(d_database->Last_Error()));

  QVERIFY(other.Execute("DROP TRIGGER IF EXISTS refuse"));
  QCOMPARE(other.Dump(), before);
  // No transaction is left open: the next write commits for everyone to see.
  QVERIFY(d_test->Write("Later", "L1", "L2", {"CMMA G=1"}));
  QCOMPARE(other.Dump().size(), before.size() + 4);
}

void TestDatabase::listing_and_removal()
{
  // Beta uses M2 before M1 though M1 has the lower id, and O3 before O1.
  QVERIFY(d_test->Write("Beta", "M2", "O3", {"CMMA G=1"}));
  QVERIFY(d_test->Write("Beta", "M1", "O3", {"10360 Pftu=1"}));
  QVERIFY(d_test->Write("Beta", "M2", "O1", {"10360 Pftu=1"}));
  QVERIFY(d_test->Write("Beta", "M2", "O3", {"B89.4.1 Repeat=1"}));
  QVERIFY(d_test->Write("Beta", "M2", "O2", {"CMMA G=1"}));
  bool valid = false;
  QCOMPARE(d_database->Models("Beta", &valid), QStringList({"M2", "M1"}));
  QVERIFY(valid);
  QCOMPARE(d_database->Options("Beta", "M2", &valid), QStringList({"O3", "O1", "O2"}));
  QCOMPARE(d_database->Options("Acme", "M1", &valid), QStringList{"O1"});
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", "Beta"}));

  // Rewriting a configuration moves its rows to the end, and with them its first use.
  QVERIFY(d_test->Write("Beta", "M2", "O3", {"CMMA G=2", "B89.4.1"}));
  QCOMPARE(d_database->Options("Beta", "M2", &valid), QStringList({"O1", "O2", "O3"}));

  // Removal takes rows, not names, and leaves other makes' rows alone.
  QVERIFY(d_database->Remove_Option("Beta", "M2", "O2"));
  QCOMPARE(d_database->Options("Beta", "M2", &valid), QStringList({"O1", "O3"}));
  QVERIFY(!d_database->Option_Exists("Beta", "M2", "O2"));
  QVERIFY(d_database->Option_Type_Exists("O2"));
  QVERIFY(d_database->Remove_Model("Beta", "M1"));
  QCOMPARE(d_database->Models("Beta", &valid), QStringList{"M2"});
  QVERIFY(d_database->Model_Exists("Acme", "M1"));
  QVERIFY(d_database->Remove_Model("Beta", "M2"));
  QVERIFY(d_database->Models("Beta", &valid).isEmpty());
  QVERIFY(!valid);
  QVERIFY(d_database->Make_Exists("Beta"));
  QVERIFY(d_database->Remove_Make("Beta"));
  QCOMPARE(d_database->Makes(&valid), QStringList{"Acme"});
  QVERIFY(d_database->Model_Type_Exists("M2"));
  QCOMPARE(d_test->Rows("Acme", "M1", "O1").size(), 5);
}

void TestDatabase::read_configuration_data()
{
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<bool>("manufacturer_only");
  QTest::addColumn<QStringList>("contents"); // the records that hold items

  const QStringList baseline{"Acme", "M1", "O1"};
  // A model's rows under a second model row of the same name are not read.
  const QString cmma = "CMMA " + BASELINE_CMMA.join(' ') + " Repeat=0.0031";
  QTest::newRow("every item") << baseline << false
                              << QStringList{
                                     "10360 Pftu=0.0018 Rpt=0.0017#1 E0=0.0019+0.0030L/1000", cmma};
  QTest::newRow("manufacturer's items")
      << baseline << true << QStringList{"10360 Pftu=0.0018 E0=0.0019+0.0030L/1000", cmma};
  QTest::newRow("only estimates") << QStringList{"Acme", "M1", "O2"} << false
                                  << QStringList{"B89.4.1 Repeat=0.0017#1"};
  QTest::newRow("only estimates, manufacturer's items")
      << QStringList{"Acme", "M1", "O2"} << true << QStringList();
  QTest::newRow("known names, no rows")
      << QStringList{"Acme", "M2", "O1"} << false << QStringList();
}

void TestDatabase::read_configuration()
{
  QFETCH(QStringList, names);
  QFETCH(bool, manufacturer_only);
  QFETCH(QStringList, contents);
  // An estimate among the manufacturer's items, and a configuration of estimates only.
  QVERIFY(d_test->Write("Acme", "M1", "O1", {"10360 Pftu=1.8 Rpt=1.7#1 E0=1.9+3L/1000"}));
  QVERIFY(d_test->Write("Acme", "M1", "O2", {"B89.4.1 Repeat=1.7#1"}));
  QVERIFY(d_test->Write("Beta", "M2", "O1", {"CMMA G=1"}));
  // A model name that occurs twice (a file edited elsewhere) is read through its first row; a
  // standard's rows lie apart in storage, as a later edit leaves them.
  TOtherConnection other(File());
  QVERIFY(other.Execute("INSERT INTO model_types (name) VALUES ('M1')"));
  QVERIFY(other.Execute("INSERT INTO specification VALUES (1,3,1,2,9,'0.0100',0)"));
  QVERIFY(other.Execute("INSERT INTO specification VALUES (1,1,1,4,19,'0.0031',0)"));

  bool valid = false;
  const QStringList standards = d_database->Standard_Types(&valid);
  valid = false; // a flag left alone is caught
  const QList<TDatabaseItem> records =
      d_database->Read_Configuration(names[0], names[1], names[2], &valid, manufacturer_only);
  QVERIFY(valid);
  QCOMPARE(records.size(), standards.size());
  QStringList read;
  for (const TDatabaseItem &record : records)
  {
    if (record.Specification_Item_Count() > 0)
      read.append((QStringList{record.Standard()} + Item_Texts(record)).join(' '));
  }
  QCOMPARE(read, contents);
  // Each record as Read_Specification reads it, less the estimates if asked.
  for (int index = 0; index < standards.size(); ++index)
  {
    TDatabaseItem expected =
        d_database->Read_Specification(names[0], names[1], names[2], standards[index], &valid);
    QVERIFY(valid);
    if (manufacturer_only)
    {
      expected.Remove_Estimated_Items();
      if (expected.Specification_Item_Count() == 0)
        expected = TDatabaseItem();
    }
    const TDatabaseItem &record = records[index];
    QCOMPARE(
        QStringList({record.Make(), record.Model(), record.Option(), record.Standard()}),
        QStringList({expected.Make(), expected.Model(), expected.Option(), expected.Standard()}));
    QCOMPARE(Item_Texts(record, true), Item_Texts(expected, true));
  }
}

void TestDatabase::read_transaction()
{
  TOtherConnection other(File());
  bool valid = false;

  QVERIFY(d_database->Savepoint("write"));
  QVERIFY(!d_database->Begin_Read_Transaction());
  QCOMPARE(d_database->Last_Error(), QString("A transaction is already open"));
  QVERIFY(d_database->Release_Savepoint("write"));

  QVERIFY2(d_database->Begin_Read_Transaction(), qPrintable(d_database->Last_Error()));
  QVERIFY(!d_database->Begin_Read_Transaction());
  QVERIFY(!d_database->Savepoint("write"));
  QCOMPARE(d_database->Last_Error(), QString("A read transaction is open"));
  QCOMPARE(d_database->Options("Acme", "M1", &valid), QStringList{"O1"});
  QCOMPARE(d_database->Read_Configuration("Acme", "M1", "O1", &valid).size(), 4);
  // No write lock is held: another connection may begin writing, and read.
  QVERIFY(other.Execute("BEGIN IMMEDIATE"));
  QCOMPARE(other.Number("SELECT count(*) FROM make"), 1);
  QVERIFY(other.Execute("ROLLBACK"));
  d_database->End_Read_Transaction();

  // Nothing stays open: the other connection commits at once, and this one writes again.
  QVERIFY(other.Execute("INSERT INTO make (name) VALUES ('Other')"));
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", "Other"}));
  QVERIFY(d_test->Write("Beta", "M1", "O1", {"CMMA G=1"}));
  d_database->End_Read_Transaction(); // without a transaction, nothing
  QVERIFY(d_database->Savepoint("write"));
  QVERIFY(d_database->Release_Savepoint("write"));
}

void TestDatabase::savepoints_nest()
{
  TOtherConnection other(File());
  const QStringList before = other.Dump();
  bool valid = false;

  QVERIFY(d_database->Savepoint("import"));
  QVERIFY(d_test->Write("Beta", "B1", "P1", {"CMMA G=1"}));
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", "Beta"}));
  QCOMPARE(other.Dump(), before); // not committed yet
  QVERIFY(d_database->Rollback_To_Savepoint("import"));
  QCOMPARE(d_database->Makes(&valid), QStringList{"Acme"});
  QVERIFY(!d_database->Model_Type_Exists("B1"));

  // A failing write inside rolls back alone; the outer work survives.
  QVERIFY(d_test->Write("Gamma", "C1", "Q1", {"CMMA G=1"}));
  QVERIFY(!d_database->Write_Specification(Record("Delta", "D1", "R1", "CMMA E0=1")));
  QVERIFY(d_database->Release_Savepoint("import"));
  QCOMPARE(other.Dump().size(), before.size() + 4);
  QCOMPARE(other.Number("SELECT count(*) FROM make"), 2);

  // A name is an identifier, quoted whatever it holds.
  QVERIFY(d_database->Savepoint("odd \"name\"; --"));
  QVERIFY(d_test->Write("Epsilon", "E1", "S1", {"CMMA G=1"}));
  QVERIFY(d_database->Release_Savepoint("odd \"name\"; --"));
  QCOMPARE(other.Number("SELECT count(*) FROM make"), 3);

  // Releasing what was never opened fails and leaves nothing open.
  QVERIFY(!d_database->Release_Savepoint("never"));
  QVERIFY(!d_database->Last_Error().isEmpty());
  QVERIFY(d_database->Remove_Make("Gamma"));
  QCOMPARE(other.Number("SELECT count(*) FROM make"), 2);
}

void TestDatabase::writer_waits_for_other_connection()
{
  QSemaphore locked;
  const QString file_name = File();
  // Another thread's connection holds the write lock for a moment.
  std::unique_ptr<QThread> holder(QThread::create(
      [&]()
      {
        TOtherConnection other(file_name);
        other.Execute("BEGIN IMMEDIATE");
        other.Execute("INSERT INTO make (name) VALUES ('Holder')");
        locked.release();
        QThread::msleep(300);
        other.Execute("COMMIT");
      }));
  holder->start();
  locked.acquire();
  const bool written = d_database->Write_Specification(Record("Beta", "M1", "O1", "CMMA G=1"));
  QVERIFY(holder->wait(10000));
  QVERIFY2(written, qPrintable(d_database->Last_Error()));
  bool valid = false;
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", "Holder", "Beta"}));
}

void TestDatabase::no_read_lock_outlives_a_call()
{
  bool valid = false;
  const std::function<bool()> calls[] = {
      [&]() { return d_database->Makes(&valid).size() == 1; },
      [&]() {
        return d_database->Read_Specification("Acme", "M1", "O1", "CMMA", &valid).Make() == "Acme";
      },
      [&]() { return d_database->Read_Configuration("Acme", "M1", "O1", &valid).size() == 4; }};
  for (const auto &call : calls)
  {
    QVERIFY(call());
    // A statement left unfinished would keep its read lock and make the other writer fail.
    QString error;
    QVERIFY2(Execute_On_File(File(), "INSERT INTO make (name) VALUES ('Other')", &error),
             qPrintable(error));
  }
}

void TestDatabase::missing_validity_flag_asserts()
{
  const QString message = Child_Report(
      [&]()
      {
        d_database->Read_Configuration("Acme", "M1", "O1", nullptr);
        return QString("returned");
      });
  QVERIFY2(message.startsWith("ASSERT: \"valid\" in file ") && message.contains("database.cpp"),
           qPrintable(message));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
