#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "importexportthread.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
const QByteArray HEADER = "MetrovaDatabase:Version=1:Format=CSV\n\n";
const QString IMPORTING = QStringLiteral("text:Importing to database.  Please wait...");
const QString ESTIMATING = QStringLiteral("text:Estimating Specifications.  Please wait...");
const QString EXPORTING = QStringLiteral("text:Exporting from database.  Please wait...");

// Runs a thread's work on the calling thread, for a forked child that must not start threads.
class TDirectRun : public TImportExportThread
{
public:
  using TImportExportThread::run;
};

// Stores lines written like the exchange file's records; an expression ending in "~" is stored
// as an estimated item.
bool Store(TDatabase *database, const QStringList &lines)
{
  for (const QString &line : lines)
  {
    const QStringList fields = line.split(QLatin1Char(','));
    TDatabaseItem record;
    record.Set_Make(fields.at(0));
    record.Set_Model(fields.at(1));
    record.Set_Option(fields.at(2));
    record.Set_Standard(fields.at(3));
    for (int index = 4; index < fields.size(); ++index)
    {
      const QStringList parts = fields.at(index).split(QLatin1Char(':'));
      TSpecificationItem item;
      item.name = parts.at(0);
      QString expression = parts.at(1);
      item.source = TDatabaseItem::SOURCE_MANUFACTURER;
      if (expression.endsWith(QLatin1Char('~')))
      {
        expression.chop(1);
        item.source = TDatabaseItem::SOURCE_ESTIMATED;
      }
      item.expression.Set_Expression(expression, TExpressionItem::UNITS_MM);
      record.Add_Specification_Item(item);
    }
    if (!database->Write_Specification(record))
    {
      qWarning() << "cannot store" << line << database->Last_Error();
      return false;
    }
  }
  return true;
}

// The catalogue as text: the sorted makes, then one line per record in export order, with
// estimated items marked by "~" when they are asked for.
QStringList Dump(TDatabase *database, bool with_estimated = false)
{
  bool valid = false;
  QStringList makes = database->Makes(&valid);
  makes.sort();
  QStringList dump{QStringLiteral("makes: ") + makes.join(QLatin1Char('|'))};
  const QStringList standards = database->Standard_Types(&valid);
  for (const QString &make : qAsConst(makes))
  {
    for (const QString &model : database->Models(make, &valid))
    {
      for (const QString &option : database->Options(make, model, &valid))
      {
        for (const QString &standard : standards)
        {
          const TDatabaseItem record =
              database->Read_Specification(make, model, option, standard, &valid);
          QString line = QStringList{make, model, option, standard}.join(QLatin1Char(','));
          bool any = false;
          for (int index = 0; index < record.Specification_Item_Count(); ++index)
          {
            const TSpecificationItem item = record.Specification_Item(index);
            const bool estimated = item.source != TDatabaseItem::SOURCE_MANUFACTURER;
            if (estimated && !with_estimated)
            {
              continue;
            }
            line += QStringLiteral(",%1:%2%3")
                        .arg(item.name, item.expression.Expression_Text(TExpressionItem::UNITS_MM),
                             estimated ? QStringLiteral("~") : QString());
            any = true;
          }
          if (any)
          {
            dump.append(line);
          }
        }
      }
    }
  }
  return dump;
}

QStringList Import_Events(const QList<int> &lines, int maximum, int makes)
{
  QStringList events{IMPORTING};
  for (const int line : lines)
  {
    events.append(QStringLiteral("%1/%2").arg(line).arg(maximum));
  }
  events.append(ESTIMATING);
  for (int make = 1; make <= makes; ++make)
  {
    events.append(QStringLiteral("%1/%2").arg(make).arg(makes + 1));
  }
  return events;
}

QByteArray Read_File(const QString &path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool Write_File(const QString &path, const QByteArray &bytes)
{
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int connection_number = 0;

std::unique_ptr<TDatabase> Open_Database(const QString &path)
{
  auto database = std::make_unique<TDatabase>(
      QStringLiteral("tst_importexportthread_%1").arg(++connection_number));
  if (!database->Connect(path) || !database->Initialize())
  {
    qWarning() << "cannot open" << path << database->Last_Error();
    return nullptr;
  }
  return database;
}
} // namespace

class TestImportExportThread : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();

  void export_file_data();
  void export_file();
  void import_file_data();
  void import_file();
  void import_estimates_imported_makes();
  void warnings_are_limited_and_cleared();
  void run_without_database_or_mode();
  void unopenable_file_data();
  void unopenable_file();
  void failed_export_keeps_old_file();
  void transaction_failure_data();
  void transaction_failure();
  void round_trip_data();
  void round_trip();
  void decoding_data();
  void decoding();
  void reimport_keeps_rows();
  void import_while_reading();

private:
  QString Path(const QString &name) const { return d_directory->filePath(name); }
  // Starts the thread and waits for it; the signals it sent, in order.
  QStringList Run(TImportExportThread *thread);
  QStringList Run_Import(const QByteArray &bytes, TImportExportThread *thread);

  std::unique_ptr<QTemporaryDir> d_directory;
  std::unique_ptr<TDatabase> d_database;
};

void TestImportExportThread::init()
{
  d_directory = std::make_unique<QTemporaryDir>();
  QVERIFY(d_directory->isValid());
  d_database = Open_Database(Path(QStringLiteral("catalogue.db")));
  QVERIFY(d_database);
}

void TestImportExportThread::cleanup()
{
  d_database.reset();
  d_directory.reset();
}

QStringList TestImportExportThread::Run(TImportExportThread *thread)
{
  // Direct connections record in the worker thread; wait() orders them before the reads here.
  QStringList events;
  const auto progress = connect(thread, &TImportExportThread::Update_Progress,
                                [&events](int value, int maximum) {
                                  events.append(QStringLiteral("%1/%2").arg(value).arg(maximum));
                                });
  const auto text =
      connect(thread, &TImportExportThread::Update_Progress_Text,
              [&events](const QString &text) { events.append(QStringLiteral("text:") + text); });
  thread->start();
  if (!thread->wait(120000))
  {
    qFatal("the import/export thread did not finish");
  }
  disconnect(progress);
  disconnect(text);
  return events;
}

QStringList TestImportExportThread::Run_Import(const QByteArray &bytes, TImportExportThread *thread)
{
  const QString path = Path(QStringLiteral("import.csv"));
  if (!Write_File(path, bytes))
  {
    qFatal("cannot write the import file");
  }
  thread->Set_Database(d_database.get());
  thread->Set_Mode(TImportExportThread::MODE_IMPORT);
  thread->Set_File_Name(path);
  return Run(thread);
}

void TestImportExportThread::export_file_data()
{
  QTest::addColumn<QStringList>("setup");
  QTest::addColumn<QStringList>("selection");
  QTest::addColumn<QByteArray>("expected");
  QTest::addColumn<QStringList>("events");

  QTest::newRow("empty catalogue")
      << QStringList() << QStringList() << HEADER << QStringList{EXPORTING};

  const QStringList three_makes{
      "acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080",
      "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000,E150:0.0020+0.0040L/1000~",
      "Acme,X1,Standard,B89.4.1,Volume:0.0030+0.0066L/1000",
      "Acme,X1,Standard,10360,Ts_Min:18.00 C,E0:0.0015+0.0033L/1000,Pftu:0.0020",
      "Acme,X1,Only estimated,10360,E150:0.0020+0.0040L/1000~",
  };
  QTest::newRow("sorted makes, catalogue order of standards, estimates left out")
      << three_makes << QStringList()
      << HEADER + "Acme,X1,Standard,10360,Ts_Min:18.00 C,E0:0.0015+0.0033L/1000,Pftu:0.0020\n"
                  "Acme,X1,Standard,B89.4.1,Volume:0.0030+0.0066L/1000\n"
                  "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000\n"
                  "acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080\n"
      << QStringList{EXPORTING, "1/3", "2/3", "3/3"};
  QTest::newRow("selected makes, one without models")
      << three_makes << QStringList{"acme", "Missing", "Zeta"}
      << HEADER + "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000\n"
                  "acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080\n"
      << QStringList{EXPORTING, "1/3", "2/3", "3/3"};
  QTest::newRow("every expression kind")
      << QStringList{"Acme,X1,Std,10360,E0:(0.0020+0.00050Td)/300,"
                     "E150:0.0010+0.00010Td+(0.0020+0.00020Td)L/1000,R0:0.0015,Ts_Max:26.00 C",
                     "Acme,X1,Std,B89.4.1,Volume:0.0050/300,Probe_Roll:0.0040/250"}
      << QStringList()
      << HEADER + "Acme,X1,Std,10360,E0:(0.0020+0.00050Td)/300,"
                  "E150:0.0010+0.00010Td+(0.0020+0.00020Td)L/1000,R0:0.0015,Ts_Max:26.00 C\n"
                  "Acme,X1,Std,B89.4.1,Volume:0.0050/300,Probe_Roll:0.0040/250\n"
      << QStringList{EXPORTING, "1/1"};
  QTest::newRow("Latin-1 name written as Latin-1")
      << QStringList{QString::fromUtf8("Müller,Präzision 5,Std,10360,Pftu:0.0020")} << QStringList()
      << HEADER + QString::fromUtf8("Müller,Präzision 5,Std,10360,Pftu:0.0020\n").toLatin1()
      << QStringList{EXPORTING, "1/1"};
  QTest::newRow("name outside Latin-1 makes the file UTF-8")
      << QStringList{QString::fromUtf8("Müller,M1,Std,10360,Pftu:0.0020"),
                     QString::fromUtf8("Łódź Metrology,Ω 5,Std,10360,Pftu:0.0020")}
      << QStringList()
      << QByteArray("\xef\xbb\xbf") + HEADER +
             QString::fromUtf8("Müller,M1,Std,10360,Pftu:0.0020\n"
                               "Łódź Metrology,Ω 5,Std,10360,Pftu:0.0020\n")
                 .toUtf8()
      << QStringList{EXPORTING, "1/2", "2/2"};
}

void TestImportExportThread::export_file()
{
  QFETCH(QStringList, setup);
  QFETCH(QStringList, selection);
  QFETCH(QByteArray, expected);
  QFETCH(QStringList, events);

  QVERIFY(Store(d_database.get(), setup));
  const QString path = Path(QStringLiteral("export.csv"));
  QVERIFY(Write_File(path, "an older file that the export replaces\n"));
  TImportExportThread thread;
  thread.Set_Database(d_database.get());
  thread.Set_Mode(TImportExportThread::MODE_EXPORT);
  thread.Set_File_Name(path);
  thread.Set_Export_Makes(selection);

  QCOMPARE(Run(&thread), events);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QCOMPARE(Read_File(path), expected);
}

void TestImportExportThread::import_file_data()
{
  QTest::addColumn<QStringList>("setup");
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QStringList>("expected");
  QTest::addColumn<QString>("warnings");
  QTest::addColumn<QString>("error");
  QTest::addColumn<QStringList>("events");

  const QByteArray record = "Acme,X1,Standard,10360,E0:0.0015+0.0033L/1000\n";
  const QStringList stored{"makes: Acme", "Acme,X1,Standard,10360,E0:0.0015+0.0033L/1000"};
  const QStringList old_rows{"Acme,X1,Standard,10360,E0:0.0010+0.0020L/1000,Pftu:0.0010"};
  const QStringList old_dump{"makes: Acme", old_rows.first()};
  const QStringList nothing{"makes: "};

  // Header variants.
  QTest::newRow("one record") << QStringList() << HEADER + record << stored << QString()
                              << QString() << Import_Events({1, 3}, 3, 1);
  QTest::newRow("comments and blank lines before the header")
      << QStringList() << "\n# written by hand\n  \t \n  " + HEADER + "# a comment\n" + record
      << stored << QString() << QString() << Import_Events({4, 7}, 7, 1);
  QTest::newRow("header in lower case")
      << QStringList() << "metrovadatabase:version=1:format=csv\n" + record << stored << QString()
      << QString() << Import_Events({1, 2}, 2, 1);
  QTest::newRow("text after the header")
      << QStringList() << "MetrovaDatabase:Version=1:Format=CSV;Written=today\n" + record << stored
      << QString() << QString() << Import_Events({1, 2}, 2, 1);
  QTest::newRow("lines ending in CR LF")
      << QStringList() << QByteArray("MetrovaDatabase:Version=1:Format=CSV\r\n\r\n") + record
      << stored << QString() << QString() << Import_Events({1, 3}, 3, 1);
  QTest::newRow("no line feed after the last line")
      << QStringList() << HEADER + record.chopped(1) << stored << QString() << QString()
      << Import_Events({1, 3}, 2, 1);
  QTest::newRow("wrong header") << old_rows << record + HEADER << old_dump << QString()
                                << "Imported CSV file does not start with the proper header line."
                                << QStringList{IMPORTING};
  QTest::newRow("empty file") << QStringList() << QByteArray() << nothing << QString() << QString()
                              << Import_Events({}, 0, 0);
  QTest::newRow("only comments") << QStringList() << QByteArray("# one\n\n# two\n") << nothing
                                 << QString() << QString() << Import_Events({}, 3, 0);

  // Good record lines.
  QTest::newRow("inner blanks reduced")
      << QStringList() << HEADER + "Acme,Big    Model,Standard,10360,E0: 0.0015 + 0.0033 l/1000\n"
      << QStringList{"makes: Acme", "Acme,Big Model,Standard,10360,E0:0.0015+0.0033L/1000"}
      << QString() << QString() << Import_Events({1, 3}, 3, 1);
  QTest::newRow("names cleaned") << QStringList()
                                 << HEADER + "O'Brien,X/1,Std[2],10360,Pftu:0.0020\n"
                                 << QStringList{"makes: OBrien", "OBrien,X1,Std2,10360,Pftu:0.0020"}
                                 << QString() << QString() << Import_Events({1, 3}, 3, 1);
  QTest::newRow("later line replaces the earlier one")
      << old_rows << HEADER + record + "Acme,X1,Standard,10360,Pftu:0.0020\n"
      << QStringList{"makes: Acme", "Acme,X1,Standard,10360,Pftu:0.0020"} << QString() << QString()
      << Import_Events({1, 3, 4}, 4, 1);
  QTest::newRow("trailing comma") << QStringList() << HEADER + record.chopped(1) + ",\n"
                                  << stored << QString() << QString()
                                  << Import_Events({1, 3}, 3, 1);

  // Bad record lines: each problem is reported and costs no more than it has to.
  QTest::newRow("fewer than five fields")
      << old_rows << HEADER + "Acme,X1,Standard,10360\n"
      << old_dump << "line 3: fewer than five fields" << QString() << Import_Events({1, 3}, 3, 0);
  QTest::newRow("component field without colon")
      << old_rows << HEADER + "Acme,X1,Standard,10360,E0\n"
      << QStringList{"makes: Acme"} << "line 3: component field 'E0' has no expression" << QString()
      << Import_Events({1, 3}, 3, 1);
  QTest::newRow("component field with two colons")
      << QStringList() << HEADER + "Acme,X1,Standard,10360,E0:0.0015:0.0033,Pftu:0.0020\n"
      << QStringList{"makes: Acme", "Acme,X1,Standard,10360,Pftu:0.0020"}
      << "line 3: component field 'E0:0.0015:0.0033' has more than one colon" << QString()
      << Import_Events({1, 3}, 3, 1);
  QTest::newRow("invalid expression")
      << QStringList() << HEADER + "Acme,X1,Standard,10360,E0:garbage,Pftu:0.0020\n"
      << QStringList{"makes: Acme", "Acme,X1,Standard,10360,Pftu:0.0020"}
      << "line 3: E0: 'garbage' is not a valid expression" << QString()
      << Import_Events({1, 3}, 3, 1);
  QTest::newRow("kind not accepted by the component")
      << QStringList()
      << HEADER + "Acme,X1,Standard,10360,Ts_Min:0.0020,E0:0.0015+0.0033L/1000,"
                  "Pftu:0.0015+0.0033L/1000\n"
      << stored
      << "line 3: Ts_Min: '0.0020' is not accepted for this component\n"
         "line 3: Pftu: '0.0015+0.0033L/1000' is not accepted for this component"
      << QString() << Import_Events({1, 3}, 3, 1);
  QTest::newRow("unknown component leaves the old rows")
      << old_rows << HEADER + record.chopped(1) + ",E999:0.0010\n"
      << old_dump << "line 3: Component type 'E999' does not exist" << QString()
      << Import_Events({1, 3}, 3, 0);
  QTest::newRow("unknown standard")
      << QStringList() << HEADER + "NewCo,N1,Std,ISO 10360,E0:0.0015+0.0033L/1000\n"
      << nothing << "line 3: Standard type 'ISO 10360' does not exist" << QString()
      << Import_Events({1, 3}, 3, 0);
  QTest::newRow("failing line among good ones")
      << QStringList()
      << HEADER + record + "NewCo,N1,Std,10360,E999:0.0010\n" + "Beta,B1,Std,10360,Pftu:0.0020\n"
      << QStringList{"makes: Acme|Beta", stored.at(1), "Beta,B1,Std,10360,Pftu:0.0020"}
      << "line 4: Component type 'E999' does not exist" << QString()
      << Import_Events({1, 3, 4, 5}, 5, 2);
  QTest::newRow("several problems in one line")
      << QStringList() << HEADER + "\nAcme,X1,Standard,10360,E0:x,Pftu,R0:0.0010\nAcme\n"
      << QStringList{"makes: Acme", "Acme,X1,Standard,10360,R0:0.0010"}
      << "line 4: E0: 'x' is not a valid expression\n"
         "line 4: component field 'Pftu' has no expression\n"
         "line 5: fewer than five fields"
      << QString() << Import_Events({1, 4, 5}, 5, 1);
}

void TestImportExportThread::import_file()
{
  QFETCH(QStringList, setup);
  QFETCH(QByteArray, file);
  QFETCH(QStringList, expected);
  QFETCH(QString, warnings);
  QFETCH(QString, error);
  QFETCH(QStringList, events);

  QVERIFY(Store(d_database.get(), setup));
  TImportExportThread thread;
  QCOMPARE(Run_Import(file, &thread), events);
  QCOMPARE(thread.Has_Error(), !error.isEmpty());
  if (!error.isEmpty())
  {
    QCOMPARE(thread.Error_Text(), error);
  }
  QCOMPARE(thread.Has_Warnings(), !warnings.isEmpty());
  QCOMPARE(thread.Warning_Text(), warnings);
  QCOMPARE(Dump(d_database.get()), expected);
}

void TestImportExportThread::import_estimates_imported_makes()
{
  // Acme's X2 is not in the file but belongs to an imported make; Zeta is not imported.
  QVERIFY(Store(d_database.get(), {"Acme,X2,Other,10360,E0:0.0015+0.0033L/1000",
                                   "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000"}));
  TImportExportThread thread;
  const QStringList events = Run_Import(HEADER + "O'Brien,X1,Std,10360,E0:0.0015+0.0033L/1000\n"
                                                 "Acme,X1,Standard,10360,Pftu:0.0020\n",
                                        &thread);
  QCOMPARE(events.mid(events.indexOf(ESTIMATING)), (QStringList{ESTIMATING, "1/3", "2/3"}));

  struct TMachine
  {
    const char *make, *model, *option;
    bool estimated;
  };
  for (const TMachine &machine :
       {TMachine{"OBrien", "X1", "Std", true}, TMachine{"Acme", "X2", "Other", true},
        TMachine{"Zeta", "Z1", "Std", false}})
  {
    bool valid = false;
    const TDatabaseItem record = d_database->Read_Specification(
        machine.make, machine.model, machine.option, QStringLiteral("B89.4.1"), &valid);
    QVERIFY(valid);
    QCOMPARE(record.Expression_Text(QStringLiteral("Volume"), TExpressionItem::UNITS_MM),
             machine.estimated ? QStringLiteral("0.0030+0.0066L/1000") : QString());
    if (machine.estimated)
    {
      QCOMPARE(record.Source(QStringLiteral("Volume")), TDatabaseItem::SOURCE_ESTIMATED);
    }
  }
}

void TestImportExportThread::warnings_are_limited_and_cleared()
{
  QByteArray file = HEADER;
  for (int line = 0; line < TImportExportThread::MAXIMUM_WARNING_LINES + 30; ++line)
  {
    file += "Acme,X1\n";
  }
  TImportExportThread thread;
  Run_Import(file, &thread);
  QVERIFY(thread.Has_Warnings());
  const QStringList lines = thread.Warning_Text().split(QLatin1Char('\n'));
  QCOMPARE(lines.size(), TImportExportThread::MAXIMUM_WARNING_LINES + 1);
  QCOMPARE(lines.first(), QStringLiteral("line 3: fewer than five fields"));
  QCOMPARE(lines.at(TImportExportThread::MAXIMUM_WARNING_LINES - 1),
           QStringLiteral("line %1: fewer than five fields")
               .arg(TImportExportThread::MAXIMUM_WARNING_LINES + 2));
  QCOMPARE(lines.last(), QStringLiteral("... and 30 more problems"));

  Run_Import(HEADER, &thread);
  QVERIFY(!thread.Has_Warnings());
  QCOMPARE(thread.Warning_Text(), QString());
}

void TestImportExportThread::run_without_database_or_mode()
{
  TImportExportThread thread;
  QCOMPARE(thread.Mode(), TImportExportThread::MODE_EXPORT);
  QVERIFY(!thread.Has_Error());
  Run_Import("not a header\n", &thread);
  QVERIFY(thread.Has_Error());
  const QString failure = thread.Error_Text();

  thread.Set_Database(nullptr);
  QCOMPARE(Run(&thread), QStringList());
  QVERIFY(thread.Has_Error());
  QCOMPARE(thread.Error_Text(), failure);

  thread.Set_Database(d_database.get());
  thread.Set_Mode(7);
  QCOMPARE(Run(&thread), QStringList());
  QCOMPARE(thread.Mode(), 7);
  QVERIFY(!thread.Has_Error());
  QCOMPARE(thread.Error_Text(), failure);
  QCOMPARE(Dump(d_database.get()), QStringList{"makes: "});
}

void TestImportExportThread::unopenable_file_data()
{
  QTest::addColumn<int>("mode");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("error");

  QTest::newRow("export into a missing folder")
      << TImportExportThread::MODE_EXPORT << "missing/out.csv"
      << "Cannot open file '%1' for writing: No such file or directory";
  QTest::newRow("export onto a folder") << TImportExportThread::MODE_EXPORT << "folder"
                                        << "Cannot open file '%1' for writing: "
                                           "Filename refers to a directory";
  QTest::newRow("import of a missing file")
      << TImportExportThread::MODE_IMPORT << "missing.csv"
      << "Cannot open file '%1' for reading: No such file or directory";
}

void TestImportExportThread::unopenable_file()
{
  QFETCH(int, mode);
  QFETCH(QString, name);
  QFETCH(QString, error);

  QVERIFY(QDir(d_directory->path()).mkdir(QStringLiteral("folder")));
  QVERIFY(Store(d_database.get(), {"Acme,X1,Std,10360,Pftu:0.0020"}));
  const QStringList before = Dump(d_database.get(), true);
  const QString path = Path(name);
  TImportExportThread thread;
  thread.Set_Database(d_database.get());
  thread.Set_Mode(mode);
  thread.Set_File_Name(path);
  QCOMPARE(Run(&thread), QStringList());
  QVERIFY(thread.Has_Error());
  QCOMPARE(thread.Error_Text(), error.arg(path));
  QCOMPARE(Dump(d_database.get(), true), before);
}

void TestImportExportThread::failed_export_keeps_old_file()
{
  QStringList setup;
  for (int model = 0; model < 40; ++model)
  {
    setup.append(
        QStringLiteral("Acme,X%1,Standard,10360,E0:0.0015+0.0033L/1000,Pftu:0.0020").arg(model));
  }
  QVERIFY(Store(d_database.get(), setup));
  const QString path = Path(QStringLiteral("catalogue.csv"));
  const QByteArray old_file = HEADER + "Old,O1,Std,10360,Pftu:0.0010\n";
  QVERIFY(Write_File(path, old_file));
  const QDir directory(d_directory->path());
  const QStringList files = directory.entryList(QDir::Files | QDir::Hidden);

  // Writes beyond 1 KiB fail in the child as they would on a full disk.
  int report_pipe[2];
  QCOMPARE(pipe(report_pipe), 0);
  const pid_t child = fork();
  QVERIFY(child >= 0);
  if (child == 0)
  {
    close(report_pipe[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1024, 1024};
    int status = setrlimit(RLIMIT_FSIZE, &limit) == 0 ? 0 : 3;
    TDirectRun thread;
    thread.Set_Database(d_database.get());
    thread.Set_Mode(TImportExportThread::MODE_EXPORT);
    thread.Set_File_Name(path);
    thread.run();
    const QByteArray report =
        (thread.Has_Error() ? "error: " : "no error: ") + thread.Error_Text().toUtf8();
    if (write(report_pipe[1], report.constData(), report.size()) != report.size())
    {
      status = 4;
    }
    _exit(status);
  }
  close(report_pipe[1]);
  QByteArray report;
  char buffer[512];
  ssize_t count = 0;
  while ((count = read(report_pipe[0], buffer, sizeof buffer)) > 0)
  {
    report.append(buffer, static_cast<int>(count));
  }
  close(report_pipe[0]);
  int status = 0;
  QCOMPARE(waitpid(child, &status, 0), child);
  QVERIFY(WIFEXITED(status));
  QCOMPARE(WEXITSTATUS(status), 0);

  QCOMPARE(QString::fromUtf8(report),
           QStringLiteral("error: Cannot write file '%1': File too large").arg(path));
  QCOMPARE(Read_File(path), old_file);
  QCOMPARE(directory.entryList(QDir::Files | QDir::Hidden), files);

  // Without the limit the same export succeeds.
  TImportExportThread thread;
  thread.Set_Database(d_database.get());
  thread.Set_Mode(TImportExportThread::MODE_EXPORT);
  thread.Set_File_Name(path);
  Run(&thread);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QVERIFY(Read_File(path).size() > 1024);
}

void TestImportExportThread::transaction_failure_data()
{
  QTest::addColumn<QString>("statement");

  // Another program's write transaction keeps the import from beginning; its open read keeps
  // the import from committing. Both give up after the connection's busy timeout.
  QTest::newRow("cannot begin") << "BEGIN IMMEDIATE";
  QTest::newRow("cannot commit") << "BEGIN";
}

void TestImportExportThread::transaction_failure()
{
  QFETCH(QString, statement);

  QVERIFY(Store(d_database.get(), {"Acme,X1,Standard,10360,E0:0.0010+0.0020L/1000"}));
  const QStringList before = Dump(d_database.get(), true);
  {
    QSqlDatabase other =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst_other_program"));
    other.setDatabaseName(Path(QStringLiteral("catalogue.db")));
    QVERIFY(other.open());
    QSqlQuery begin(other);
    QVERIFY(begin.exec(statement));
    QSqlQuery reading(other);
    QVERIFY(reading.exec(QStringLiteral("SELECT name FROM make")));
    QVERIFY(reading.next());

    TImportExportThread thread;
    Run_Import(HEADER + "Acme,X1,Standard,10360,E0:0.0015+0.0033L/1000\n"
                        "Beta,B1,Std,10360,Pftu:0.0020\n",
               &thread);
    QVERIFY(thread.Has_Error());
    QVERIFY2(thread.Error_Text().contains(QStringLiteral("locked")),
             qPrintable(thread.Error_Text()));
    reading.finish();
    QSqlQuery end(other);
    QVERIFY(end.exec(QStringLiteral("ROLLBACK")));
    other.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("tst_other_program"));
  QCOMPARE(Dump(d_database.get(), true), before);
}

void TestImportExportThread::round_trip_data()
{
  QTest::addColumn<QString>("make");
  QTest::addColumn<QString>("model");
  QTest::addColumn<bool>("utf8");

  QTest::newRow("ASCII") << "Acme"
                         << "X1" << false;
  QTest::newRow("Latin-1") << QString::fromUtf8("Müller Meßtechnik") << QString::fromUtf8("Präzi 5")
                           << false;
  QTest::newRow("outside Latin-1 in the make")
      << QString::fromUtf8("Łódź Metrology") << "L1" << true;
  QTest::newRow("outside Latin-1 in the model")
      << "Acme" << QString::fromUtf8("Ω-Series €") << true;
}

void TestImportExportThread::round_trip()
{
  QFETCH(QString, make);
  QFETCH(QString, model);
  QFETCH(bool, utf8);

  QVERIFY(
      Store(d_database.get(),
            {QStringLiteral("%1,%2,Std,10360,E0:0.0015+0.0033L/1000,Pftu:0.0020").arg(make, model),
             QString::fromUtf8("Zürich,Z1,Std,CMMA,M:0.0015+0.0033L/1000|0.0080")}));
  const QString path = Path(QStringLiteral("exchange.csv"));
  TImportExportThread thread;
  thread.Set_Database(d_database.get());
  thread.Set_Mode(TImportExportThread::MODE_EXPORT);
  thread.Set_File_Name(path);
  Run(&thread);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QCOMPARE(Read_File(path).startsWith("\xef\xbb\xbf"), utf8);

  const std::unique_ptr<TDatabase> other = Open_Database(Path(QStringLiteral("other.db")));
  QVERIFY(other);
  thread.Set_Database(other.get());
  thread.Set_Mode(TImportExportThread::MODE_IMPORT);
  Run(&thread);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QVERIFY2(!thread.Has_Warnings(), qPrintable(thread.Warning_Text()));
  QCOMPARE(Dump(other.get()), Dump(d_database.get()));
}

void TestImportExportThread::decoding_data()
{
  QTest::addColumn<QByteArray>("bytes");

  const QString text =
      QString::fromLatin1(HEADER) + QString::fromUtf8("Müller,Präzi 5,Std,10360,Pftu:0.0020\n");
  QByteArray utf16("\xfe\xff");
  for (const QChar character : text)
  {
    utf16.append(static_cast<char>(character.unicode() >> 8));
    utf16.append(static_cast<char>(character.unicode() & 0xff));
  }
  QTest::newRow("Latin-1") << text.toLatin1();
  QTest::newRow("UTF-8 without byte-order mark") << text.toUtf8();
  QTest::newRow("UTF-8 with byte-order mark") << QByteArray("\xef\xbb\xbf") + text.toUtf8();
  QTest::newRow("UTF-16 with byte-order mark") << utf16;
}

void TestImportExportThread::decoding()
{
  QFETCH(QByteArray, bytes);

  TImportExportThread thread;
  Run_Import(bytes, &thread);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QCOMPARE(Dump(d_database.get()),
           (QStringList{QString::fromUtf8("makes: Müller"),
                        QString::fromUtf8("Müller,Präzi 5,Std,10360,Pftu:0.0020")}));
}

void TestImportExportThread::reimport_keeps_rows()
{
  TImportExportThread thread;
  Run_Import(HEADER + "Acme,X1,Standard,10360,E0:0.0015+0.0033L/1000,R0:0.0030,Pftu:0.0020\n"
                      "Acme,X1,Standard,B89.4.1,Volume:0.0100/300,Repeat:0.0020\n"
                      "Acme,X2,Standard,CMMA,M:0.0015+0.0033L/1000|0.0080,Repeat:0.0030\n"
                      "Beta,B1,High accuracy,VDIVDE_2617,U3:0.0010+0.0020L/1000,V3:0.0015\n",
             &thread);
  QVERIFY2(!thread.Has_Error() && !thread.Has_Warnings(), qPrintable(thread.Warning_Text()));
  const QStringList before = Dump(d_database.get(), true);
  QVERIFY(before.join(QLatin1Char('\n')).contains(QLatin1Char('~')));

  const QString path = Path(QStringLiteral("exchange.csv"));
  thread.Set_Mode(TImportExportThread::MODE_EXPORT);
  thread.Set_File_Name(path);
  Run(&thread);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  thread.Set_Mode(TImportExportThread::MODE_IMPORT);
  Run(&thread);
  QVERIFY2(!thread.Has_Error() && !thread.Has_Warnings(), qPrintable(thread.Warning_Text()));
  QCOMPARE(Dump(d_database.get(), true), before);
}

void TestImportExportThread::import_while_reading()
{
  QVERIFY(Store(d_database.get(), {"Before,B1,Std,10360,E0:0.0010+0.0020L/1000"}));
  QByteArray file = HEADER;
  QStringList imported_makes{"Before"};
  for (int make = 0; make < 10; ++make)
  {
    imported_makes.append(QStringLiteral("Make %1").arg(make));
    for (int configuration = 0; configuration < 40; ++configuration)
    {
      file += QStringLiteral("Make %1,Model %2,Option %3,10360,E0:0.0015+0.0033L/1000,"
                             "Pftu:0.0020,R0:0.0030\n")
                  .arg(make)
                  .arg(configuration / 4)
                  .arg(configuration % 4)
                  .toLatin1();
    }
  }
  const QString path = Path(QStringLiteral("import.csv"));
  QVERIFY(Write_File(path, file));

  TImportExportThread thread;
  thread.Set_Database(d_database.get());
  thread.Set_Mode(TImportExportThread::MODE_IMPORT);
  thread.Set_File_Name(path);
  thread.start();
  // The import is one transaction: this connection sees all of it or none of it. A failed
  // check ends the loop, so that the thread is never destroyed while it runs.
  int reads = 0;
  QString problem;
  while (!thread.isFinished() && problem.isEmpty())
  {
    bool valid = false;
    QStringList makes = d_database->Makes(&valid);
    makes.sort();
    if (!valid)
    {
      problem = QStringLiteral("Makes failed: ") + d_database->Last_Error();
    }
    else if (makes != QStringList{"Before"} && makes != imported_makes)
    {
      problem = QStringLiteral("a part of the import is visible: ") + makes.join(QLatin1Char('|'));
    }
    const TDatabaseItem record =
        d_database->Read_Specification(QStringLiteral("Before"), QStringLiteral("B1"),
                                       QStringLiteral("Std"), QStringLiteral("10360"), &valid);
    if (!valid || record.Expression_Text(QStringLiteral("E0"), TExpressionItem::UNITS_MM) !=
                      QStringLiteral("0.0010+0.0020L/1000"))
    {
      problem = QStringLiteral("Read_Specification failed: ") + d_database->Last_Error();
    }
    ++reads;
  }
  QVERIFY(thread.wait());
  QVERIFY2(problem.isEmpty(), qPrintable(problem));
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QVERIFY(reads > 0);
  const QStringList dump = Dump(d_database.get());
  QCOMPARE(dump.first(), QStringLiteral("makes: ") + imported_makes.join(QLatin1Char('|')));
  QCOMPARE(dump.size(), 1 + 1 + 400);
}

QTEST_GUILESS_MAIN(TestImportExportThread)
#include "tst_importexportthread.moc"
