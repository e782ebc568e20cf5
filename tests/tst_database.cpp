#include "database.h"

#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

using TClosedCall = std::function<bool(TDatabase *)>;
Q_DECLARE_METATYPE(TClosedCall)

namespace
{
const char *const OTHER_CONNECTION = "tst_database_other";

// Items as "component=expression" in millimetres, all from the manufacturer.
TDatabaseItem Record(const QString &make, const QString &model, const QString &option,
                     const QString &standard, const QStringList &items)
{
  TDatabaseItem record;
  record.Set_Make(make);
  record.Set_Model(model);
  record.Set_Option(option);
  record.Set_Standard(standard);
  for (const QString &text : items)
  {
    TSpecificationItem item;
    item.name = text.section(QLatin1Char('='), 0, 0);
    item.expression.Set_Expression(text.section(QLatin1Char('='), 1), TExpressionItem::UNITS_MM);
    record.Add_Specification_Item(item);
  }
  return record;
}

QStringList Item_Texts(const TDatabaseItem &record)
{
  QStringList texts;
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
  {
    const TSpecificationItem item = record.Specification_Item(index);
    texts.append(item.name + QLatin1Char('=') +
                 item.expression.Expression_Text(TExpressionItem::UNITS_MM));
  }
  return texts;
}

// The standards of the records that hold items.
QStringList Standards_Read(const QList<TDatabaseItem> &records)
{
  QStringList standards;
  for (const TDatabaseItem &record : records)
  {
    if (record.Specification_Item_Count() > 0)
    {
      standards.append(record.Standard());
    }
  }
  return standards;
}

// Another connection on the same file, as another program or thread holds it.
class TOther_Connection
{
public:
  explicit TOther_Connection(const QString &file_name)
  {
    QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", OTHER_CONNECTION);
    database.setDatabaseName(file_name);
    database.open();
  }
  ~TOther_Connection()
  {
    QSqlDatabase::database(OTHER_CONNECTION, false).close();
    QSqlDatabase::removeDatabase(OTHER_CONNECTION);
  }

  bool Execute(const QString &statement)
  {
    QSqlQuery query(QSqlDatabase::database(OTHER_CONNECTION, false));
    return statement.isEmpty() || query.exec(statement);
  }

  // Every row of every table, in storage order.
  QStringList Dump()
  {
    QStringList rows;
    for (const char *table : {"make", "model_types", "option_types", "standard_types",
                              "component_types", "specification", "sqlite_sequence"})
    {
      QSqlQuery query(QSqlDatabase::database(OTHER_CONNECTION, false));
      if (!query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table)))
      {
        rows.append(QStringLiteral("%1: unreadable").arg(table));
        continue;
      }
      while (query.next())
      {
        QStringList values{QLatin1String(table)};
        for (int column = 0; column < query.record().count(); ++column)
        {
          values.append(query.value(column).toString());
        }
        rows.append(values.join(QLatin1Char('|')));
      }
    }
    return rows;
  }

  int Count(const QString &table)
  {
    QSqlQuery query(QSqlDatabase::database(OTHER_CONNECTION, false));
    return query.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table)) && query.next()
               ? query.value(0).toInt()
               : -1;
  }
};

int g_fatal_pipe = -1;

void Report_Fatal(QtMsgType type, const QMessageLogContext &, const QString &message)
{
  if (type == QtFatalMsg)
  {
    const QByteArray text = message.toUtf8();
    (void)!write(g_fatal_pipe, text.constData(), static_cast<size_t>(text.size()));
    _exit(3);
  }
}

// Runs the call in a child process and returns the fatal message it died with (empty if none).
QString Fatal_Message(const std::function<void()> &call)
{
  int fds[2];
  if (pipe(fds) != 0)
  {
    return QStringLiteral("pipe failed");
  }
  const pid_t child = fork();
  if (child == 0)
  {
    close(fds[0]);
    g_fatal_pipe = fds[1];
    qInstallMessageHandler(Report_Fatal);
    call();
    _exit(0);
  }
  close(fds[1]);
  QByteArray output;
  char buffer[512];
  ssize_t count = 0;
  while ((count = read(fds[0], buffer, sizeof(buffer))) > 0)
  {
    output.append(buffer, static_cast<int>(count));
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return QString::fromUtf8(output);
}
} // namespace

class TestDatabase : public QObject
{
  Q_OBJECT

private:
  QTemporaryDir d_directory;
  std::unique_ptr<TDatabase> d_database;
  QString d_file_name;

  // A fresh, initialized database with a baseline machine.
  void Open_Fresh(bool with_baseline = false);

private slots:
  void init();
  void cleanup();

  void connect_files_data();
  void connect_files();
  void seeded_catalogue_data();
  void seeded_catalogue();
  void initialize_is_idempotent_and_indexes();
  void initialize_accepts_existing_tables_data();
  void initialize_accepts_existing_tables();
  void closed_database_data();
  void closed_database();
  void clear_reseeds_with_new_ids();
  void names_round_trip_data();
  void names_round_trip();
  void write_and_read_back();
  void read_specification_failures_data();
  void read_specification_failures();
  void failed_operations_leave_database_unchanged_data();
  void failed_operations_leave_database_unchanged();
  void models_and_options_in_order_of_first_use();
  void listing_unknown_names_data();
  void listing_unknown_names();
  void read_configuration_data();
  void read_configuration();
  void read_transaction();
  void removal();
  void savepoints_nest();
  void writer_waits_for_other_connection();
  void no_read_lock_outlives_a_call_data();
  void no_read_lock_outlives_a_call();
  void catalogue_changed_by_other_connection();
  void missing_validity_flag_asserts_data();
  void missing_validity_flag_asserts();
};

void TestDatabase::init()
{
  QVERIFY(d_directory.isValid());
  d_file_name = d_directory.filePath(QStringLiteral("%1.db").arg(QTest::currentTestFunction()));
  if (QTest::currentDataTag())
  {
    QString tag = QString::fromUtf8(QTest::currentDataTag());
    tag.replace(QRegularExpression("[^A-Za-z0-9]"), "_");
    d_file_name.replace(".db", "_" + tag + ".db");
  }
  d_database = std::make_unique<TDatabase>();
}

void TestDatabase::cleanup()
{
  d_database.reset();
}

void TestDatabase::Open_Fresh(bool with_baseline)
{
  QFile::remove(d_file_name);
  QVERIFY(d_database->Connect(d_file_name));
  QVERIFY(d_database->Initialize());
  if (with_baseline)
  {
    QVERIFY(d_database->Write_Specification(Record(
        "Acme", "M1", "O1", "CMMA", {"G=0.0020", "M=0.0025+0.0040L/1000", "Repeat=0.0030"})));
    QVERIFY(d_database->Write_Specification(
        Record("Acme", "M1", "O1", "10360", {"Pftu=0.0018", "E0=0.0019+0.0030L/1000"})));
  }
}

void TestDatabase::connect_files_data()
{
  QTest::addColumn<bool>("create");
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("sub_folder");
  QTest::addColumn<QString>("database_error");

  QTest::newRow("new file") << false << QByteArray() << QString() << QString();
  QTest::newRow("empty file") << true << QByteArray() << QString() << QString();
  QTest::newRow("text file") << true
                             << QByteArray("make,model,option\nthis is not a database at all\n")
                             << QString() << "file is not a database";
  QTest::newRow("missing folder") << false << QByteArray() << "no_such_folder"
                                  << "unable to open database file";
}

void TestDatabase::connect_files()
{
  QFETCH(bool, create);
  QFETCH(QByteArray, content);
  QFETCH(QString, sub_folder);
  QFETCH(QString, database_error);

  const QString file_name =
      sub_folder.isEmpty() ? d_file_name : d_directory.filePath(sub_folder + "/x.db");
  if (create)
  {
    QFile file(file_name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
  }

  const bool connected = d_database->Connect(file_name);
  QCOMPARE(connected, database_error.isEmpty());
  QCOMPARE(d_database->Is_Open(), connected);
  if (connected)
  {
    QCOMPARE(d_database->File_Name(), file_name);
    QVERIFY(d_database->Initialize());
    bool valid = false;
    QCOMPARE(d_database->Standard_Types(&valid).size(), 4);
    QVERIFY(valid);
    return;
  }

  const QString report = d_database->Last_Error();
  QVERIFY2(report.startsWith("Cannot open database.\n\tDatabase Error: '" + database_error +
                             "'\n"
                             "\tDriver Error: '"),
           qPrintable(report));
  QVERIFY(report.contains("'\n\t\tDatabase File Name: '" + file_name +
                          "'\n\tAvailable database drivers:\n"));
  QVERIFY(report.contains("\t\tQSQLITE\n"));
  QVERIFY(!QSqlDatabase::contains("metrova_database"));
  if (create)
  {
    QFile file(file_name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
  }
  else
  {
    QVERIFY(!QFile::exists(file_name));
  }

  // Nothing of the failed attempt stands in the way of the next one.
  const QString good = d_directory.filePath("after_failure.db");
  QVERIFY(d_database->Connect(good));
  QVERIFY(d_database->Initialize());
  QFile::remove(good);
}

void TestDatabase::seeded_catalogue_data()
{
  QTest::addColumn<QString>("standard");
  QTest::addColumn<int>("standard_id");
  QTest::addColumn<QString>("component");
  QTest::addColumn<int>("component_id");
  QTest::addColumn<int>("position");
  QTest::addColumn<QString>("description");
  QTest::addColumn<int>("mask");

  const struct
  {
    const char *standard;
    int standard_id;
    const char *component;
    const char *description;
    int mask;
  } seed[] = {
      {"10360", 1, "Pftu", "Maximum probe form error", 1},
      {"10360", 1, "R0", "Maximum length variation for E0", 1},
      {"10360", 1, "Rpt", "Maximum sphere position variation", 1},
      {"10360", 1, "E0", "Maximum length error", 62},
      {"10360", 1, "E150", "Maximum length error with probe offset", 62},
      {"10360", 1, "Ts_Max", "Maximum volume temperature celsius", 64},
      {"10360", 1, "Ts_Min", "Minimum volume temperature celsius", 64},
      {"B89.4.1", 2, "Repeat", "Maximum sphere position variation", 1},
      {"B89.4.1", 2, "Volume", "Maximum length variation of a ballbar", 62},
      {"B89.4.1", 2, "Probe_Roll", "Maximum third axis ballbar length variation", 6},
      {"VDIVDE_2617", 3, "U1", "Maximum length error in one axis", 44},
      {"VDIVDE_2617", 3, "U2", "Maximum length error in two axis", 44},
      {"VDIVDE_2617", 3, "U3", "Maximum length error in three axis", 44},
      {"VDIVDE_2617", 3, "V1", "Maximum probe error in one axis", 1},
      {"VDIVDE_2617", 3, "V2", "Maximum probe error in two axis", 1},
      {"VDIVDE_2617", 3, "V3", "Maximum probe error in three axis", 1},
      {"CMMA", 4, "G", "Maximum probe error", 1},
      {"CMMA", 4, "M", "Maximum length measurement error", 44},
      {"CMMA", 4, "Repeat", "Maximum length variation error", 1},
  };
  int position = 0;
  for (int index = 0; index < 19; ++index)
  {
    position =
        (index > 0 && seed[index].standard_id == seed[index - 1].standard_id) ? position + 1 : 0;
    QTest::addRow("%s %s", seed[index].standard, seed[index].component)
        << seed[index].standard << seed[index].standard_id << seed[index].component << index + 1
        << position << seed[index].description << seed[index].mask;
  }
}

void TestDatabase::seeded_catalogue()
{
  QFETCH(QString, standard);
  QFETCH(int, standard_id);
  QFETCH(QString, component);
  QFETCH(int, component_id);
  QFETCH(int, position);
  QFETCH(QString, description);
  QFETCH(int, mask);
  Open_Fresh();

  bool valid = false;
  QCOMPARE(d_database->Standard_Types(&valid),
           QStringList({"10360", "B89.4.1", "VDIVDE_2617", "CMMA"}));
  QCOMPARE(d_database->Standard_Type_Id(standard), standard_id);
  QCOMPARE(d_database->Standard_Type_Name(standard_id), standard);
  QCOMPARE(d_database->Component_Type_Id(standard_id, component), component_id);
  QCOMPARE(d_database->Component_Type_Name(standard_id, component_id), component);
  QCOMPARE(d_database->Component_Type_Description(standard_id, component_id), description);
  QCOMPARE(d_database->Component_Type_Description(standard, component), description);
  QCOMPARE(d_database->Component_Type_Expression_Types(standard_id, component_id), mask);
  QCOMPARE(d_database->Component_Type_Expression_Types(standard, component), mask);
  QCOMPARE(d_database->Component_Types(standard, &valid).value(position), component);
  QVERIFY(valid);
  // Names are exact, letter case included; a component belongs to its standard.
  QCOMPARE(d_database->Component_Type_Id(standard_id, component.toLower() + "x"), -1);
  QCOMPARE(d_database->Last_Error(), QString("Component Type not found."));
  QCOMPARE(d_database->Standard_Type_Id(standard.toLower() + "x"), -1);
  QCOMPARE(d_database->Last_Error(), QString("Standard Type not found."));
  QCOMPARE(d_database->Component_Type_Name(standard_id % 4 + 1, component_id), QString());
  QCOMPARE(d_database->Component_Type_Expression_Types(standard_id % 4 + 1, component_id), 0);
}

void TestDatabase::initialize_is_idempotent_and_indexes()
{
  Open_Fresh(true);
  TOther_Connection other(d_file_name);
  const QStringList before = other.Dump();
  QVERIFY(d_database->Initialize());
  QCOMPARE(other.Dump(), before);

  // A catalogue row lost outside the program comes back alone, with a new id; the indexes too.
  QVERIFY(other.Execute("DELETE FROM component_types WHERE name='Rpt'"));
  QVERIFY(other.Execute("DROP INDEX specification_configuration"));
  QVERIFY(d_database->Initialize());
  QCOMPARE(other.Count("component_types"), 19);
  QCOMPARE(d_database->Component_Type_Id(1, "Rpt"), 20);
  bool valid = false;
  QCOMPARE(d_database->Component_Types("10360", &valid).last(), QString("Rpt"));
  QCOMPARE(other.Count("sqlite_master WHERE type='index' AND name IN ('make_name',"
                       "'model_types_name','option_types_name','standard_types_name',"
                       "'component_types_standard_name','specification_configuration')"),
           6);
  QCOMPARE(Item_Texts(d_database->Read_Specification("Acme", "M1", "O1", "CMMA", &valid)),
           QStringList({"G=0.0020", "M=0.0025+0.0040L/1000", "Repeat=0.0030"}));
}

void TestDatabase::initialize_accepts_existing_tables_data()
{
  QTest::addColumn<QString>("existing");
  QTest::addColumn<bool>("writes");

  QTest::newRow("name in capitals")
      << "CREATE TABLE MAKE(make_id INTEGER PRIMARY KEY AUTOINCREMENT,name TEXT)" << true;
  QTest::newRow("other columns") << "CREATE TABLE make(id INTEGER, title TEXT)" << false;
}

void TestDatabase::initialize_accepts_existing_tables()
{
  QFETCH(QString, existing);
  QFETCH(bool, writes);
  {
    TOther_Connection other(d_file_name);
    QVERIFY(other.Execute(existing));
  }
  QVERIFY(d_database->Connect(d_file_name));
  QVERIFY2(d_database->Initialize(), qPrintable(d_database->Last_Error()));
  QCOMPARE(d_database->Write_Specification(Record("Acme", "M1", "O1", "CMMA", {"G=0.0020"})),
           writes);
  if (!writes)
  {
    QVERIFY2(d_database->Last_Error().startsWith("Cannot add data to table 'make'.  Reason: "),
             qPrintable(d_database->Last_Error()));
    QCOMPARE(d_database->Make_Id("Acme"), -1);
    QCOMPARE(d_database->Last_Error(), QString("CMM Make not found."));
  }
}

void TestDatabase::closed_database_data()
{
  QTest::addColumn<TClosedCall>("call");
  QTest::addColumn<QString>("text");

  // The flag starts true so that a call that never clears it is caught.
  static bool valid = true;
  const auto no_list = [](const std::function<QStringList(TDatabase *)> &list)
  {
    return TClosedCall([=](TDatabase *d) { return (valid = true) && list(d).isEmpty() && !valid; });
  };
  const auto row = [](const char *name, const TClosedCall &call, const char *text = "Not connected")
  { QTest::newRow(name) << call << QString(text); };

  row(
      "Initialize", [](TDatabase *d) { return !d->Initialize(); }, "Database not open");
  row("Makes", no_list([](TDatabase *d) { return d->Makes(&valid); }));
  row("Standard_Types", no_list([](TDatabase *d) { return d->Standard_Types(&valid); }));
  row("Component_Types", no_list([](TDatabase *d) { return d->Component_Types("CMMA", &valid); }));
  row("Models", no_list([](TDatabase *d) { return d->Models("A", &valid); }));
  row("Options", no_list([](TDatabase *d) { return d->Options("A", "B", &valid); }));
  row("Read_Specification",
      no_list([](TDatabase *d)
              { return Item_Texts(d->Read_Specification("A", "B", "C", "CMMA", &valid)); }));
  row("Read_Configuration",
      no_list([](TDatabase *d)
              { return Standards_Read(d->Read_Configuration("A", "B", "C", &valid)); }));
  row("Begin_Read_Transaction", [](TDatabase *d) { return !d->Begin_Read_Transaction(); });
  row("Make_Id", [](TDatabase *d) { return d->Make_Id("A") == -1; });
  row("Option_Name", [](TDatabase *d) { return d->Option_Name(1).isNull(); });
  row("Standard_Type_Id", [](TDatabase *d) { return d->Standard_Type_Id("CMMA") == -1; });
  row("Component_Type_Name", [](TDatabase *d) { return d->Component_Type_Name(4, 17).isNull(); });
  row("Component_Type_Expression_Types",
      [](TDatabase *d) { return d->Component_Type_Expression_Types("CMMA", "G") == 0; });
  row("Add_Component_Type", [](TDatabase *d) { return !d->Add_Component_Type(1, "X", "Y", 1); });
  row("Create_Standard_Types", [](TDatabase *d) { return !d->Create_Standard_Types(); });
  row("Option_Exists", [](TDatabase *d) { return !d->Option_Exists("A", "B", "C"); });
  row("Remove_Make", [](TDatabase *d) { return !d->Remove_Make("A"); });
  row("Write_Specification",
      [](TDatabase *d) { return !d->Write_Specification(Record("A", "B", "C", "CMMA", {})); });
  row("Savepoint", [](TDatabase *d) { return !d->Savepoint("s"); });
  row("Release_Savepoint", [](TDatabase *d) { return !d->Release_Savepoint("s"); });
}

void TestDatabase::closed_database()
{
  QFETCH(TClosedCall, call);
  QFETCH(QString, text);

  // Never connected, and connected then closed.
  QVERIFY(call(d_database.get()));
  QCOMPARE(d_database->Last_Error(), text);
  Open_Fresh(true);
  d_database->Close();
  QVERIFY(!d_database->Is_Open());
  QCOMPARE(d_database->File_Name(), d_file_name);
  QVERIFY(call(d_database.get()));
  QCOMPARE(d_database->Last_Error(), text);
  d_database->Clear(); // silently nothing
  QCOMPARE(d_database->Last_Error(), text);
}

void TestDatabase::clear_reseeds_with_new_ids()
{
  Open_Fresh(true);
  d_database->Clear();
  bool valid = false;
  QVERIFY(d_database->Makes(&valid).isEmpty());
  QVERIFY(valid);
  QVERIFY(!d_database->Model_Type_Exists("M1"));
  QCOMPARE(d_database->Standard_Types(&valid),
           QStringList({"10360", "B89.4.1", "VDIVDE_2617", "CMMA"}));
  QCOMPARE(d_database->Standard_Type_Id("10360"), 5);
  QCOMPARE(d_database->Standard_Type_Id("CMMA"), 8);
  QCOMPARE(d_database->Component_Type_Id(5, "Pftu"), 20);
  QCOMPARE(d_database->Component_Type_Id(8, "Repeat"), 38);
  TOther_Connection other(d_file_name);
  QCOMPARE(other.Count("component_types"), 19);
  QCOMPARE(other.Count("specification"), 0);
  // The catalogue works under its new ids.
  QVERIFY(d_database->Write_Specification(Record("Acme", "M1", "O1", "CMMA", {"Repeat=0.0030"})));
  QCOMPARE(d_database->Read_Specification("Acme", "M1", "O1", "CMMA", &valid)
               .Specification_Item(0)
               .description,
           QString("Maximum length variation error"));
}

void TestDatabase::names_round_trip_data()
{
  QTest::addColumn<QString>("name");

  QTest::newRow("apostrophe") << "O'Brien 3'";
  QTest::newRow("percent") << "100%";
  QTest::newRow("double quote") << "The \"Big\" One";
  QTest::newRow("statement") << "x'); DROP TABLE make; --";
  QTest::newRow("wildcards") << "A_B*?";
  QTest::newRow("beyond Latin-1") << QString::fromUtf8("Zeiß Ωmega");
  QTest::newRow("blanks kept") << " padded ";
}

void TestDatabase::names_round_trip()
{
  QFETCH(QString, name);
  Open_Fresh(true);

  const TDatabaseItem written =
      Record(name, name + " model", name, "VDIVDE_2617", {"U1=0.0010+0.0020L/1000"});
  QVERIFY2(d_database->Write_Specification(written), qPrintable(d_database->Last_Error()));
  bool valid = false;
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", name}));
  QCOMPARE(d_database->Make_Name(d_database->Make_Id(name)), name);
  QCOMPARE(d_database->Models(name, &valid), QStringList({name + " model"}));
  QCOMPARE(d_database->Options(name, name + " model", &valid), QStringList({name}));
  QVERIFY(d_database->Option_Exists(name, name + " model", name));
  const TDatabaseItem read =
      d_database->Read_Specification(name, name + " model", name, "VDIVDE_2617", &valid);
  QVERIFY(valid);
  QCOMPARE(read.Make(), name);
  QCOMPARE(Item_Texts(read), Item_Texts(written));

  // Exact match only: no pattern, no case folding, no trimming.
  const QString other_case = name.toUpper() == name ? name.toLower() : name.toUpper();
  if (other_case != name)
  {
    QCOMPARE(d_database->Make_Id(other_case), -1);
  }
  QCOMPARE(d_database->Make_Id(name.trimmed() + "x"), -1);
  QVERIFY(d_database->Remove_Make(name));
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme"}));
  QCOMPARE(d_database->Models("Acme", &valid), QStringList({"M1"}));
}

void TestDatabase::write_and_read_back()
{
  Open_Fresh(true);
  TOther_Connection other(d_file_name);

  // Items keep the order written, not the catalogue's; every field comes back.
  TDatabaseItem record =
      Record("Acme", "M1", "O1", "10360", {"E150=0.0022+0.0035L/1000|0.0100", "Ts_Max=30.0C"});
  TSpecificationItem estimated;
  estimated.name = "Pftu";
  estimated.expression.Set_Expression("0.0017", TExpressionItem::UNITS_MM);
  estimated.source = TDatabaseItem::SOURCE_ESTIMATED;
  record.Add_Specification_Item(estimated);
  QVERIFY(d_database->Write_Specification(record));
  QVERIFY(d_database->Write_Specification(record));
  QCOMPARE(other.Count("specification"), 3 + 3);

  bool valid = false;
  const TDatabaseItem read = d_database->Read_Specification("Acme", "M1", "O1", "10360", &valid);
  QVERIFY(valid);
  QCOMPARE(Item_Texts(read), Item_Texts(record));
  QCOMPARE(read.Standard(), QString("10360"));
  for (int index = 0; index < read.Specification_Item_Count(); ++index)
  {
    const TSpecificationItem item = read.Specification_Item(index);
    QCOMPARE(item.source, record.Specification_Item(index).source);
    QCOMPARE(item.description, d_database->Component_Type_Description("10360", item.name));
    QCOMPARE(item.expression_types,
             d_database->Component_Type_Expression_Types("10360", item.name));
    QVERIFY(item.expression_types != 0 && !item.description.isEmpty());
  }

  // A model or option name is shared by all makes; a different letter case is another name.
  QVERIFY(d_database->Write_Specification(Record("Beta", "M1", "O1", "CMMA", {"G=0.0010"})));
  QVERIFY(d_database->Write_Specification(Record("acme", "m1", "O1", "CMMA", {"G=0.0010"})));
  QCOMPARE(other.Count("make"), 3);
  QCOMPARE(other.Count("model_types"), 2);
  QCOMPARE(other.Count("option_types"), 1);

  // An empty record removes that standard's rows only.
  QVERIFY(d_database->Write_Specification(Record("Acme", "M1", "O1", "10360", {})));
  const TDatabaseItem emptied = d_database->Read_Specification("Acme", "M1", "O1", "10360", &valid);
  QVERIFY(valid);
  QCOMPARE(emptied.Specification_Item_Count(), 0);
  QVERIFY(emptied.Make().isEmpty() && emptied.Standard().isEmpty());
  QCOMPARE(
      d_database->Read_Specification("Acme", "M1", "O1", "CMMA", &valid).Specification_Item_Count(),
      3);
}

void TestDatabase::read_specification_failures_data()
{
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<QString>("text");

  QTest::newRow("make") << QStringList{"Acmex", "M1", "O1", "CMMA"} << "CMM Make not found.";
  QTest::newRow("model") << QStringList{"Acme", "m1", "O1", "CMMA"} << "CMM Model not found.";
  QTest::newRow("option") << QStringList{"Acme", "M1", "O2", "CMMA"} << "CMM Option not found.";
  QTest::newRow("standard") << QStringList{"Acme", "M1", "O1", "cmma"}
                            << "Standard Type not found.";
}

void TestDatabase::read_specification_failures()
{
  QFETCH(QStringList, names);
  QFETCH(QString, text);
  Open_Fresh(true);

  bool valid = true;
  const TDatabaseItem read =
      d_database->Read_Specification(names[0], names[1], names[2], names[3], &valid);
  QVERIFY(!valid);
  QCOMPARE(read.Specification_Item_Count(), 0);
  QVERIFY(read.Make().isEmpty());
  QCOMPARE(d_database->Last_Error(), text);
}

void TestDatabase::failed_operations_leave_database_unchanged_data()
{
  QTest::addColumn<QString>("operation");
  QTest::addColumn<QStringList>("record");
  QTest::addColumn<QString>("setup");
  QTest::addColumn<QString>("undo");
  QTest::addColumn<QString>("error");

  const QString refuse = "CREATE TRIGGER refuse BEFORE %1 ON %2 %3 BEGIN SELECT "
                         "RAISE(ABORT,'refused'); END";
  QTest::newRow("component not in its standard")
      << "write" << QStringList{"Acme", "M1", "O1", "CMMA", "G=0.0010", "E150=0.0020", "M=0.0030"}
      << QString() << QString() << "Component type 'E150' does not exist";
  QTest::newRow("component not in its standard, new names")
      << "write" << QStringList{"Newco", "N'1", "50%", "CMMA", "G=0.0010", "E150=0.0020"}
      << QString() << QString() << "Component type 'E150' does not exist";
  QTest::newRow("unknown standard, new names")
      << "write" << QStringList{"Newco", "N1", "P1", "cmma", "G=0.0010"} << QString() << QString()
      << "Standard Type not found.";
  QTest::newRow("second item insert refused")
      << "write" << QStringList{"Acme", "M1", "O1", "CMMA", "G=0.0010", "Repeat=0.0040"}
      << refuse.arg("INSERT", "specification", "WHEN NEW.expression='0.0040'") << QString()
      << "Cannot add data to table 'specification'.  Reason: refused";
  QTest::newRow("new option refused")
      << "write" << QStringList{"Newco", "N1", "P1", "CMMA", "G=0.0010"}
      << refuse.arg("INSERT", "option_types", "") << QString()
      << "Cannot add data to table 'option_types'.  Reason: refused";
  QTest::newRow("new make refused")
      << "write" << QStringList{"Newco", "N1", "P1", "CMMA", "G=0.0010"}
      << refuse.arg("INSERT", "make", "") << QString()
      << "Cannot add data to table 'make'.  Reason: refused";
  QTest::newRow("specification table gone")
      << "write" << QStringList{"Acme", "M1", "O1", "CMMA", "G=0.0010"}
      << "ALTER TABLE specification RENAME TO held"
      << "ALTER TABLE held RENAME TO specification"
      << "Cannot delete existing specification data.  Reason: no such table";
  QTest::newRow("make's rows cannot be deleted")
      << "remove make" << QStringList{"Acme"} << refuse.arg("DELETE", "specification", "")
      << QString() << "Cannot delete specification entry for 'Acme'";
  QTest::newRow("make cannot be deleted")
      << "remove make" << QStringList{"Acme"} << refuse.arg("DELETE", "make", "") << QString()
      << "Cannot delete make entry for 'Acme'";
  QTest::newRow("clear refused") << "clear" << QStringList()
                                 << refuse.arg("DELETE", "specification", "") << QString()
                                 << "refused";
}

void TestDatabase::failed_operations_leave_database_unchanged()
{
  QFETCH(QString, operation);
  QFETCH(QStringList, record);
  QFETCH(QString, setup);
  QFETCH(QString, undo);
  QFETCH(QString, error);
  Open_Fresh(true);
  TOther_Connection other(d_file_name);
  const QStringList before = other.Dump();
  QVERIFY(other.Execute(setup));

  if (operation == "write")
  {
    QVERIFY(!d_database->Write_Specification(
        Record(record[0], record[1], record[2], record[3], record.mid(4))));
  }
  else if (operation == "remove make")
  {
    QVERIFY(!d_database->Remove_Make(record[0]));
  }
  else
  {
    d_database->Clear();
  }
  QVERIFY2(d_database->Last_Error().startsWith(error) ||
               (operation == "clear" && d_database->Last_Error().contains(error)),
           qPrintable(d_database->Last_Error()));

  QVERIFY(other.Execute(undo));
  QVERIFY(other.Execute("DROP TRIGGER IF EXISTS refuse"));
  QCOMPARE(other.Dump(), before);
  // No transaction is left open: the next write commits for everyone to see.
  QVERIFY(d_database->Write_Specification(Record("Later", "L1", "L2", "CMMA", {"G=0.0010"})));
  QCOMPARE(other.Dump().size(), before.size() + 4);
}

void TestDatabase::models_and_options_in_order_of_first_use()
{
  Open_Fresh(true);
  // Beta uses M2 before M1 though M1 has the lower id, and O3 before O1.
  for (const QStringList &names : {QStringList{"M2", "O3", "CMMA"},
                                   {"M1", "O3", "10360"},
                                   {"M2", "O1", "10360"},
                                   {"M2", "O3", "B89.4.1"},
                                   {"M2", "O2", "CMMA"}})
  {
    QVERIFY(d_database->Write_Specification(Record("Beta", names[0], names[1], names[2],
                                                   {names[2] == "CMMA"    ? "G=0.0010"
                                                    : names[2] == "10360" ? "Pftu=0.0010"
                                                                          : "Repeat=0.0010"})));
  }
  bool valid = false;
  QCOMPARE(d_database->Models("Beta", &valid), QStringList({"M2", "M1"}));
  QVERIFY(valid);
  QCOMPARE(d_database->Options("Beta", "M2", &valid), QStringList({"O3", "O1", "O2"}));
  QCOMPARE(d_database->Options("Acme", "M1", &valid), QStringList({"O1"}));
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", "Beta"}));

  // Rewriting a configuration moves its rows to the end, and with them its first use.
  QVERIFY(d_database->Write_Specification(Record("Beta", "M2", "O3", "CMMA", {"G=0.0020"})));
  QVERIFY(d_database->Write_Specification(Record("Beta", "M2", "O3", "B89.4.1", {})));
  QCOMPARE(d_database->Options("Beta", "M2", &valid), QStringList({"O1", "O2", "O3"}));
}

void TestDatabase::listing_unknown_names_data()
{
  QTest::addColumn<QString>("make");
  QTest::addColumn<QString>("model");
  QTest::addColumn<QString>("error");

  // Without a model the models are listed, else the model's options. Known names without rows
  // leave the error text as it was.
  const auto row = [](const char *tag, const QString &make, const QString &model,
                      const QString &error) { QTest::newRow(tag) << make << model << error; };
  row("models, unknown make", "Acmex", QString(), "CMM Make not found.");
  row("models, make without rows", "Empty", QString(), QString());
  row("options, unknown make", "Acmex", "M1", "CMM Make not found.");
  row("options, unknown model", "Acme", "m1", "CMM Model not found.");
  row("options, model of another make", "Acme", "M2", QString());
}

void TestDatabase::listing_unknown_names()
{
  QFETCH(QString, make);
  QFETCH(QString, model);
  QFETCH(QString, error);
  Open_Fresh(true);
  QVERIFY(d_database->Write_Specification(Record("Beta", "M2", "O1", "CMMA", {"G=0.0010"})));
  QVERIFY(d_database->Write_Specification(Record("Empty", "M2", "O1", "CMMA", {})));
  QCOMPARE(d_database->Option_Id("O9"), -1); // an error text that must stay

  bool valid = true;
  const QStringList names =
      model.isNull() ? d_database->Models(make, &valid) : d_database->Options(make, model, &valid);
  QVERIFY(names.isEmpty());
  QVERIFY(!valid);
  QCOMPARE(d_database->Last_Error(), error.isEmpty() ? QString("CMM Option not found.") : error);
}

void TestDatabase::read_configuration_data()
{
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<bool>("manufacturer_only");
  QTest::addColumn<QStringList>("filled");
  QTest::addColumn<QString>("error");

  const QStringList baseline{"Acme", "M1", "O1"};
  QTest::newRow("every item") << baseline << false << QStringList{"10360", "CMMA"} << QString();
  QTest::newRow("manufacturer's items")
      << baseline << true << QStringList{"10360", "CMMA"} << QString();
  QTest::newRow("only estimates") << QStringList{"Acme", "M1", "O2"} << false
                                  << QStringList{"B89.4.1"} << QString();
  QTest::newRow("only estimates, manufacturer's items")
      << QStringList{"Acme", "M1", "O2"} << true << QStringList() << QString();
  QTest::newRow("known names, no rows")
      << QStringList{"Acme", "M2", "O1"} << false << QStringList() << QString();
  QTest::newRow("unknown make") << QStringList{"Acmex", "M1", "O1"} << false << QStringList()
                                << "CMM Make not found.";
  QTest::newRow("unknown model") << QStringList{"Acme", "m1", "O1"} << true << QStringList()
                                 << "CMM Model not found.";
  QTest::newRow("unknown option") << QStringList{"Acme", "M1", "O9"} << false << QStringList()
                                  << "CMM Option not found.";
}

void TestDatabase::read_configuration()
{
  QFETCH(QStringList, names);
  QFETCH(bool, manufacturer_only);
  QFETCH(QStringList, filled);
  QFETCH(QString, error);
  Open_Fresh(true);

  // An estimate among the manufacturer's items, and a configuration of estimates only.
  const TDatabaseItem stated =
      Record("Acme", "M1", "O1", "10360", {"Pftu=0.0018", "E0=0.0019+0.0030L/1000"});
  TSpecificationItem estimated;
  estimated.name = "Rpt";
  estimated.expression.Set_Expression("0.0017", TExpressionItem::UNITS_MM);
  estimated.source = TDatabaseItem::SOURCE_ESTIMATED;
  TDatabaseItem mixed = Record("Acme", "M1", "O1", "10360", {});
  mixed.Add_Specification_Item(stated.Specification_Item(0));
  mixed.Add_Specification_Item(estimated);
  mixed.Add_Specification_Item(stated.Specification_Item(1));
  QVERIFY(d_database->Write_Specification(mixed));
  TDatabaseItem estimates = Record("Acme", "M1", "O2", "B89.4.1", {});
  estimated.name = "Repeat";
  estimates.Add_Specification_Item(estimated);
  QVERIFY(d_database->Write_Specification(estimates));
  QVERIFY(d_database->Write_Specification(Record("Beta", "M2", "O1", "CMMA", {"G=0.0010"})));
  // A model name that occurs twice (a file edited elsewhere) is read through its first row.
  TOther_Connection other(d_file_name);
  QVERIFY(other.Execute("INSERT INTO model_types (name) VALUES ('M1')"));
  QVERIFY(other.Execute("INSERT INTO specification VALUES (1,3,1,2,9,'0.0100',0)"));
  // A standard's rows apart in storage, as a later edit leaves them.
  QVERIFY(other.Execute("INSERT INTO specification VALUES (1,1,1,4,19,'0.0031',0)"));
  bool valid = false;
  const QStringList standards = d_database->Standard_Types(&valid);
  valid = !error.isEmpty(); // the opposite of the outcome: a flag left alone is caught
  const QList<TDatabaseItem> records =
      d_database->Read_Configuration(names[0], names[1], names[2], &valid, manufacturer_only);
  QCOMPARE(valid, error.isEmpty());
  if (!valid)
  {
    QVERIFY(records.isEmpty());
    QCOMPARE(d_database->Last_Error(), error);
    return;
  }
  QCOMPARE(records.size(), standards.size());
  QCOMPARE(Standards_Read(records), filled);
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
      {
        expected = TDatabaseItem();
      }
    }
    const TDatabaseItem &read = records[index];
    QCOMPARE(
        QStringList({read.Make(), read.Model(), read.Option(), read.Standard()}),
        QStringList({expected.Make(), expected.Model(), expected.Option(), expected.Standard()}));
    QCOMPARE(Item_Texts(read), Item_Texts(expected));
    for (int item = 0; item < read.Specification_Item_Count(); ++item)
    {
      QCOMPARE(read.Specification_Item(item).source, expected.Specification_Item(item).source);
      QCOMPARE(read.Specification_Item(item).description,
               expected.Specification_Item(item).description);
      QCOMPARE(read.Specification_Item(item).expression_types,
               expected.Specification_Item(item).expression_types);
    }
  }
  if (names == QStringList{"Acme", "M1", "O1"})
  {
    QCOMPARE(Item_Texts(records[0]),
             manufacturer_only
                 ? QStringList({"Pftu=0.0018", "E0=0.0019+0.0030L/1000"})
                 : QStringList({"Pftu=0.0018", "Rpt=0.0017", "E0=0.0019+0.0030L/1000"}));
    QCOMPARE(Item_Texts(records[3]),
             QStringList({"G=0.0020", "M=0.0025+0.0040L/1000", "Repeat=0.0030", "Repeat=0.0031"}));
  }
}

void TestDatabase::read_transaction()
{
  Open_Fresh(true);
  TOther_Connection other(d_file_name);
  bool valid = false;

  QVERIFY(d_database->Savepoint("write"));
  QVERIFY(!d_database->Begin_Read_Transaction());
  QCOMPARE(d_database->Last_Error(), QString("A transaction is already open"));
  QVERIFY(d_database->Release_Savepoint("write"));

  QVERIFY2(d_database->Begin_Read_Transaction(), qPrintable(d_database->Last_Error()));
  QVERIFY(!d_database->Begin_Read_Transaction());
  QVERIFY(!d_database->Savepoint("write"));
  QCOMPARE(d_database->Last_Error(), QString("A read transaction is open"));
  QCOMPARE(d_database->Options("Acme", "M1", &valid), QStringList({"O1"}));
  QCOMPARE(Standards_Read(d_database->Read_Configuration("Acme", "M1", "O1", &valid)),
           QStringList({"10360", "CMMA"}));
  // No write lock is held: another connection may begin writing, and read.
  QVERIFY(other.Execute("BEGIN IMMEDIATE"));
  QCOMPARE(other.Count("make"), 1);
  QVERIFY(other.Execute("ROLLBACK"));
  d_database->End_Read_Transaction();

  // Nothing stays open: the other connection commits at once, and this one writes again.
  QVERIFY(other.Execute("INSERT INTO make (name) VALUES ('Other')"));
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", "Other"}));
  QVERIFY(d_database->Write_Specification(Record("Beta", "M1", "O1", "CMMA", {"G=0.0010"})));
  d_database->End_Read_Transaction(); // without a transaction, nothing
  QVERIFY(d_database->Savepoint("write"));
  QVERIFY(d_database->Release_Savepoint("write"));
}

void TestDatabase::removal()
{
  Open_Fresh(true);
  for (const QStringList &names :
       {QStringList{"Acme", "M1", "O2"}, {"Acme", "M2", "O1"}, {"Beta", "M1", "O1"}})
  {
    QVERIFY(d_database->Write_Specification(
        Record(names[0], names[1], names[2], "CMMA", {"G=0.0010"})));
  }
  bool valid = false;

  QVERIFY(d_database->Remove_Option("Acme", "M1", "O2"));
  QCOMPARE(d_database->Options("Acme", "M1", &valid), QStringList({"O1"}));
  QVERIFY(!d_database->Option_Exists("Acme", "M1", "O2"));
  QVERIFY(d_database->Option_Type_Exists("O2"));

  QVERIFY(d_database->Remove_Model("Acme", "M1"));
  QCOMPARE(d_database->Models("Acme", &valid), QStringList({"M2"}));
  QVERIFY(d_database->Model_Exists("Beta", "M1"));
  QVERIFY(!d_database->Model_Exists("Acme", "M1"));

  QVERIFY(d_database->Remove_Model("Acme", "M2"));
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme", "Beta"}));
  QVERIFY(d_database->Models("Acme", &valid).isEmpty());
  QVERIFY(!valid);
  QVERIFY(d_database->Make_Exists("Acme"));

  QVERIFY(d_database->Remove_Make("Beta"));
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme"}));
  QVERIFY(d_database->Model_Type_Exists("M1"));
  QVERIFY(!d_database->Make_Exists("Beta"));
  QCOMPARE(d_database->Last_Error(), QString("CMM Make not found."));

  QVERIFY(!d_database->Remove_Option("Acme", "M2", "O9"));
  QCOMPARE(d_database->Last_Error(), QString("CMM Option not found."));
  QVERIFY(!d_database->Remove_Model("Acme", "M9"));
  QCOMPARE(d_database->Last_Error(), QString("CMM Model not found."));
  QVERIFY(!d_database->Remove_Make("Beta"));
  QCOMPARE(d_database->Last_Error(), QString("CMM Make not found."));
}

void TestDatabase::savepoints_nest()
{
  Open_Fresh();
  TOther_Connection other(d_file_name);
  const QStringList before = other.Dump();
  bool valid = false;

  QVERIFY(d_database->Savepoint("import"));
  QVERIFY(d_database->Write_Specification(Record("Acme", "M1", "O1", "CMMA", {"G=0.0010"})));
  QCOMPARE(d_database->Makes(&valid), QStringList({"Acme"}));
  QCOMPARE(other.Dump(), before); // not committed yet
  QVERIFY(d_database->Rollback_To_Savepoint("import"));
  QVERIFY(d_database->Makes(&valid).isEmpty());
  QVERIFY(!d_database->Model_Type_Exists("M1"));

  // A failing write inside rolls back alone; the outer work survives.
  QVERIFY(d_database->Write_Specification(Record("Beta", "B1", "P1", "CMMA", {"G=0.0010"})));
  QVERIFY(!d_database->Write_Specification(Record("Gamma", "C1", "Q1", "CMMA", {"E0=0.0010"})));
  QVERIFY(d_database->Release_Savepoint("import"));
  QCOMPARE(other.Count("make"), 1);
  QCOMPARE(other.Count("model_types"), 1);
  QCOMPARE(other.Count("option_types"), 1);
  QCOMPARE(other.Count("specification"), 1);

  // A name is an identifier, quoted whatever it holds.
  QVERIFY(d_database->Savepoint("odd \"name\"; --"));
  QVERIFY(d_database->Write_Specification(Record("Delta", "D1", "R1", "CMMA", {"G=0.0010"})));
  QVERIFY(d_database->Release_Savepoint("odd \"name\"; --"));
  QCOMPARE(other.Count("make"), 2);

  // Releasing what was never opened fails and leaves nothing open.
  QVERIFY(!d_database->Release_Savepoint("never"));
  QVERIFY(!d_database->Last_Error().isEmpty());
  QVERIFY(d_database->Remove_Make("Beta"));
  QCOMPARE(other.Count("make"), 1);
}

void TestDatabase::writer_waits_for_other_connection()
{
  Open_Fresh();
  QSemaphore locked;
  const QString file_name = d_file_name;
  // Another thread's connection holds the write lock for a moment.
  std::unique_ptr<QThread> holder(QThread::create(
      [&]()
      {
        {
          QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "holder");
          database.setDatabaseName(file_name);
          database.open();
          QSqlQuery(database).exec("BEGIN IMMEDIATE");
          QSqlQuery(database).exec("INSERT INTO make (name) VALUES ('Holder')");
          locked.release();
          QThread::msleep(300);
          QSqlQuery(database).exec("COMMIT");
        }
        QSqlDatabase::removeDatabase("holder");
      }));
  holder->start();
  locked.acquire();
  const bool written =
      d_database->Write_Specification(Record("Acme", "M1", "O1", "CMMA", {"G=0.0010"}));
  QVERIFY(holder->wait(10000));
  QVERIFY2(written, qPrintable(d_database->Last_Error()));
  bool valid = false;
  QCOMPARE(d_database->Makes(&valid), QStringList({"Holder", "Acme"}));
}

void TestDatabase::no_read_lock_outlives_a_call_data()
{
  QTest::addColumn<TClosedCall>("call");

  static bool valid = false;
  const auto row = [](const char *name, const TClosedCall &call) { QTest::newRow(name) << call; };
  row("Makes", [](TDatabase *d) { return !d->Makes(&valid).isEmpty(); });
  row("Model_Exists", [](TDatabase *d) { return d->Model_Exists("Acme", "M1"); });
  row("Options", [](TDatabase *d) { return !d->Options("Acme", "M1", &valid).isEmpty(); });
  row("Read_Specification",
      [](TDatabase *d) {
        return Item_Texts(d->Read_Specification("Acme", "M1", "O1", "CMMA", &valid)).size() == 3;
      });
  row("Component_Types",
      [](TDatabase *d) { return d->Component_Types("10360", &valid).size() == 7; });
  row("Read_Configuration", [](TDatabase *d)
      { return Standards_Read(d->Read_Configuration("Acme", "M1", "O1", &valid)).size() == 2; });
}

void TestDatabase::no_read_lock_outlives_a_call()
{
  QFETCH(TClosedCall, call);
  Open_Fresh(true);
  QVERIFY(call(d_database.get()));
  // A statement left unfinished would keep its read lock and make the other writer wait.
  TOther_Connection other(d_file_name);
  QVERIFY(other.Execute("INSERT INTO make (name) VALUES ('Other')"));
}

void TestDatabase::catalogue_changed_by_other_connection()
{
  Open_Fresh(true);
  TDatabase second("tst_database_second");
  QVERIFY(second.Connect(d_file_name));
  QCOMPARE(d_database->Standard_Type_Id("CMMA"), 4);
  QCOMPARE(d_database->Component_Type_Id(4, "G"), 17);

  second.Clear();
  QCOMPARE(d_database->Standard_Type_Id("CMMA"), 8);
  QCOMPARE(d_database->Component_Type_Id(8, "G"), 36);
  QCOMPARE(d_database->Component_Type_Name(4, 17), QString());
  QVERIFY(d_database->Write_Specification(Record("Acme", "M1", "O1", "CMMA", {"G=0.0010"})));
  bool valid = false;
  QCOMPARE(second.Read_Specification("Acme", "M1", "O1", "CMMA", &valid).Specification_Item(0).name,
           QString("G"));
}

void TestDatabase::missing_validity_flag_asserts_data()
{
  QTest::addColumn<TClosedCall>("call");

  const auto row = [](const char *name, const TClosedCall &call) { QTest::newRow(name) << call; };
  row("Makes", [](TDatabase *d) { return d->Makes(nullptr).isEmpty(); });
  row("Standard_Types", [](TDatabase *d) { return d->Standard_Types(nullptr).isEmpty(); });
  row("Component_Types",
      [](TDatabase *d) { return d->Component_Types("CMMA", nullptr).isEmpty(); });
  row("Models", [](TDatabase *d) { return d->Models("Acme", nullptr).isEmpty(); });
  row("Options", [](TDatabase *d) { return d->Options("Acme", "M1", nullptr).isEmpty(); });
  row("Read_Specification", [](TDatabase *d)
      { return d->Read_Specification("Acme", "M1", "O1", "CMMA", nullptr).Make().isEmpty(); });
  row("Read_Configuration",
      [](TDatabase *d) { return d->Read_Configuration("Acme", "M1", "O1", nullptr).isEmpty(); });
}

void TestDatabase::missing_validity_flag_asserts()
{
  QFETCH(TClosedCall, call);
  Open_Fresh(true);
  const QString message = Fatal_Message([&]() { call(d_database.get()); });
  QVERIFY2(message.startsWith("ASSERT: \"valid\" in file ") && message.contains("database.cpp"),
           qPrintable(message));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
