#include "database.h"
#include "importexportthread.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace
{
const QByteArray HEADER = "MetrovaDatabase:Version=1:Format=CSV\n\n";
const QByteArray BOM = "\xef\xbb\xbf";
const QString IMPORTING = QStringLiteral("text:Importing to database.  Please wait...");
const QString ESTIMATING = QStringLiteral("text:Estimating Specifications.  Please wait...");
const QString EXPORTING = QStringLiteral("text:Exporting from database.  Please wait...");

// Runs a thread's work on the calling thread, for a forked child that must not start threads.
class TDirectRun : public TImportExportThread
{
public:
  using TImportExportThread::run;
};

// Stores lines written like the exchange file's records, expressions ending in "~" as estimates.
bool Store(TTestDatabase *database, const QStringList &lines)
{
  for (const QString &line : lines)
  {
    const QStringList fields = line.split(',');
    const QString text = fields.mid(3).join(' ').replace(':', '=').replace('~', "#1");
    if (!database->Write(fields[0], fields[1], fields[2], {text}, TExpressionItem::UNITS_MM))
      return false;
  }
  return true;
}

// The catalogue as text: the sorted makes, then each record as an exchange line in the order of
// first use, with the estimated items, marked by "~", when they are asked for.
QStringList Catalogue(TDatabase *database, bool with_estimated = false)
{
  bool valid = false;
  QStringList makes = database->Makes(&valid);
  makes.sort();
  QStringList lines{"makes: " + makes.join('|')};
  for (const QString &make : qAsConst(makes))
    for (const auto &configuration : database->Configurations(make, &valid))
      for (const TDatabaseItem &record : database->Read_Configuration(
               make, configuration.first, configuration.second, &valid, !with_estimated))
      {
        QString line =
            QStringList{make, configuration.first, configuration.second, record.Standard()}.join(
                ',');
        for (int index = 0; index < record.Specification_Item_Count(); ++index)
        {
          const TSpecificationItem item = record.Specification_Item(index);
          line += QStringLiteral(",%1:%2%3")
                      .arg(item.name, item.expression.Expression_Text(TExpressionItem::UNITS_MM),
                           item.source == TDatabaseItem::SOURCE_MANUFACTURER ? "" : "~");
        }
        if (record.Specification_Item_Count() > 0)
          lines.append(line);
      }
  return lines;
}

QStringList Import_Events(const QList<int> &lines, int maximum, int makes)
{
  QStringList events{IMPORTING};
  for (const int line : lines)
    events.append(QStringLiteral("%1/%2").arg(line).arg(maximum));
  events.append(ESTIMATING);
  for (int make = 1; make <= makes; ++make)
    events.append(QStringLiteral("%1/%2").arg(make).arg(makes + 1));
  return events;
}

// An exchange file of 40 configurations for each make.
QByteArray Large_File(const QStringList &makes)
{
  QString file = QString::fromLatin1(HEADER);
  for (const QString &make : makes)
    for (int configuration = 0; configuration < 40; ++configuration)
      file += QStringLiteral("%1,Model %2,Option %3,10360,E0:0.0015+0.0033L/1000,Pftu:0.0020,"
                             "R0:0.0030\n")
                  .arg(make)
                  .arg(configuration / 4)
                  .arg(configuration % 4);
  return file.toLatin1();
}
} // namespace

class TestImportExportThread : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup() { d_test.reset(); }

  void export_file_data();
  void export_file();
  void import_file_data();
  void import_file();
  void import_estimates_imported_makes();
  void warnings_are_limited_and_cleared();
  void unopenable_file_data();
  void unopenable_file();
  void failure_under_file_size_limit_data();
  void failure_under_file_size_limit();
  void round_trip_data();
  void round_trip();
  void import_while_reading();

private:
  // Runs the thread on a database, the test's by default, and waits for it; the signals it sent,
  // in order.
  QStringList Run(TImportExportThread *thread, int mode, const QString &file_name,
                  TDatabase *database = nullptr);
  QStringList Run_Import(const QByteArray &bytes, TImportExportThread *thread);
  QString Run_Limited(int mode, const QString &file_name, qint64 limit);

  std::unique_ptr<TTestDatabase> d_test;
  TDatabase *d_database = nullptr;
};

void TestImportExportThread::init()
{
  d_test = std::make_unique<TTestDatabase>();
  QVERIFY(d_test->Is_Valid());
  d_database = d_test->Get();
}

QStringList TestImportExportThread::Run(TImportExportThread *thread, int mode,
                                        const QString &file_name, TDatabase *database)
{
  thread->Set_Database(database ? database : d_database);
  thread->Set_Mode(mode);
  thread->Set_File_Name(file_name);
  // Direct connections record in the worker thread; wait() orders them before the reads here.
  QStringList events;
  const auto progress = connect(thread, &TImportExportThread::Update_Progress,
                                [&events](int value, int maximum) {
                                  events.append(QStringLiteral("%1/%2").arg(value).arg(maximum));
                                });
  const auto text = connect(thread, &TImportExportThread::Update_Progress_Text,
                            [&events](const QString &text) { events.append("text:" + text); });
  if (!Run_Thread(thread, 120000))
    qFatal("the import/export thread did not finish");
  disconnect(progress);
  disconnect(text);
  return events;
}

QStringList TestImportExportThread::Run_Import(const QByteArray &bytes, TImportExportThread *thread)
{
  const QString path = d_test->Path("import.csv");
  if (!Write_File(path, bytes))
    qFatal("cannot write the import file");
  return Run(thread, TImportExportThread::MODE_IMPORT, path);
}

// Runs the thread's work in a forked child where no file can grow beyond limit bytes, as on a
// full disk; what it did: "after <last progress>, <warnings>; <error>".
QString TestImportExportThread::Run_Limited(int mode, const QString &file_name, qint64 limit)
{
  return Child_Report(
      [&]()
      {
        TDirectRun thread;
        QString last;
        connect(&thread, &TImportExportThread::Update_Progress,
                [&last](int value, int maximum)
                { last = QStringLiteral("%1/%2").arg(value).arg(maximum); });
        thread.Set_Database(d_database);
        thread.Set_Mode(mode);
        thread.Set_File_Name(file_name);
        thread.run();
        return "after " + last + (thread.Has_Warnings() ? ", warnings: " : ", no warnings") +
               thread.Warning_Text() + (thread.Has_Error() ? "; error: " : "; no error") +
               thread.Error_Text();
      },
      static_cast<rlim_t>(limit));
}

void TestImportExportThread::export_file_data()
{
  QTest::addColumn<QStringList>("setup");
  QTest::addColumn<QStringList>("selection");
  QTest::addColumn<QByteArray>("expected");
  QTest::addColumn<QStringList>("events");

  const QStringList catalogue{"acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080",
                              "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000,E150:0.0020+0.0040L/1000~",
                              "Acme,X1,Standard,B89.4.1,Volume:0.0050/300,Probe_Roll:0.0040/250",
                              "Acme,X1,Standard,10360,Ts_Min:18.00C,E0:(0.0020+0.00050Td)/300,"
                              "E150:0.0010+0.00010Td+(0.0020+0.00020Td)L/1000,Pftu:0.0020",
                              "Acme,X1,Only estimated,10360,E150:0.0020+0.0040L/1000~",
                              QString::fromUtf8("Müller,Präzision 5,Std,10360,R0:0.0015")};
  QTest::newRow("empty catalogue")
      << QStringList() << QStringList() << HEADER << QStringList{EXPORTING};
  QTest::newRow("sorted makes, catalogue order of standards, no estimates, in Latin-1")
      << catalogue << QStringList()
      << HEADER +
             QString::fromUtf8("Acme,X1,Standard,10360,Ts_Min:18.00 C,E0:(0.0020+0.00050Td)/300,"
                               "E150:0.0010+0.00010Td+(0.0020+0.00020Td)L/1000,Pftu:0.0020\n"
                               "Acme,X1,Standard,B89.4.1,Volume:0.0050/300,Probe_Roll:0.0040/250\n"
                               "Müller,Präzision 5,Std,10360,R0:0.0015\n"
                               "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000\n"
                               "acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080\n")
                 .toLatin1()
      << QStringList{EXPORTING, "1/4", "2/4", "3/4", "4/4"};
  QTest::newRow("selected makes, one without models")
      << catalogue << QStringList{"acme", "Missing", "Zeta"}
      << HEADER + "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000\n"
                  "acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080\n"
      << QStringList{EXPORTING, "1/3", "2/3", "3/3"};
  QTest::newRow("name outside Latin-1 makes the file UTF-8")
      << QStringList{QString::fromUtf8("Müller,M1,Std,10360,Pftu:0.0020"),
                     QString::fromUtf8("Łódź Metrology,Ω 5,Std,10360,Pftu:0.0020")}
      << QStringList()
      << BOM + HEADER +
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

  QVERIFY(Store(d_test.get(), setup));
  const QString path = d_test->Path("export.csv");
  QVERIFY(Write_File(path, "an older file that the export replaces\n"));
  TImportExportThread thread;
  thread.Set_Export_Makes(selection);
  QCOMPARE(Run(&thread, TImportExportThread::MODE_EXPORT, path), events);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QCOMPARE(File_Bytes(path), expected);
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
  const QString latin1_text = QString::fromUtf8("Müller,Präzi 5,Std,10360,Pftu:0.0020");
  const QStringList latin1{QString::fromUtf8("makes: Müller"), latin1_text};

  // Header variants.
  QTest::newRow("one record") << QStringList() << HEADER + record << stored << QString()
                              << QString() << Import_Events({1, 3}, 3, 1);
  QTest::newRow("comments, blank lines and CR LF before the header")
      << QStringList()
      << "\n# written by hand\r\n  \t \n"
         "  MetrovaDatabase:Version=1:Format=CSV\r\n\r\n# a comment\n" +
             record
      << stored << QString() << QString() << Import_Events({4, 7}, 7, 1);
  QTest::newRow("header in lower case, text after it")
      << QStringList() << "metrovadatabase:version=1:format=csv;written=today\n" + record << stored
      << QString() << QString() << Import_Events({1, 2}, 2, 1);
  QTest::newRow("no line feed after the last line")
      << QStringList() << HEADER + record.chopped(1) << stored << QString() << QString()
      << Import_Events({1, 3}, 2, 1);
  QTest::newRow("only comments") << QStringList() << QByteArray("# one\n\n# two\n")
                                 << QStringList{"makes: "} << QString() << QString()
                                 << Import_Events({}, 3, 0);
  QTest::newRow("wrong header") << old_rows << record + HEADER
                                << QStringList{"makes: Acme", old_rows[0]} << QString()
                                << "Imported CSV file does not start with the proper header line."
                                << QStringList{IMPORTING};
  QTest::newRow("UTF-8 without byte-order mark")
      << QStringList() << HEADER + (latin1_text + '\n').toUtf8() << latin1 << QString() << QString()
      << Import_Events({1, 3}, 3, 1);

  // Good lines: names and blanks cleaned, a trailing comma ignored, a later line replacing the
  // rows of an earlier one and of the catalogue.
  QTest::newRow("good lines")
      << old_rows
      << HEADER +
             "O'Brien,X/1,Std[2],10360,Pftu:0.0020\n"
             "Acme,Big    Model,Standard,10360,E0: 0.0015 + 0.0033 l/1000,\n" +
             record + "Acme,X1,Standard,10360,Pftu:0.0020\n"
      << QStringList{"makes: Acme|OBrien", "Acme,Big Model,Standard,10360,E0:0.0015+0.0033L/1000",
                     "Acme,X1,Standard,10360,Pftu:0.0020", "OBrien,X1,Std2,10360,Pftu:0.0020"}
      << QString() << QString() << Import_Events({1, 3, 4, 5, 6}, 6, 2);

  // Bad fields: each problem is reported and costs no more than the field, or the line.
  QTest::newRow("bad fields")
      << old_rows
      << HEADER + "Acme,X1,Standard,10360,E0\n"
                  "Acme,X2,Std,10360,E0:x,Pftu:0.0015+0.0033L/1000,R0:0.0010,"
                  "E150:0.0015:0.0033,Ts_Min:0.0020\n"
                  "Acme\n"
                  "NewCo,N1,Std,ISO 10360,E0:0.0015+0.0033L/1000\n"
      << QStringList{"makes: Acme", "Acme,X2,Std,10360,R0:0.0010"}
      << "line 3: component field 'E0' has no expression\n"
         "line 4: E0: 'x' is not a valid expression\n"
         "line 4: Pftu: '0.0015+0.0033L/1000' is not accepted for this component\n"
         "line 4: component field 'E150:0.0015:0.0033' has more than one colon\n"
         "line 4: Ts_Min: '0.0020' is not accepted for this component\n"
         "line 5: fewer than five fields\n"
         "line 6: Standard type 'ISO 10360' does not exist"
      << QString() << Import_Events({1, 3, 4, 5, 6}, 6, 1);
  // A line the database refuses leaves the catalogue as it was before that line.
  QTest::newRow("failing lines")
      << old_rows
      << HEADER + record.chopped(1) + ",E999:0.0010\n" +
             "NewCo,N1,Std,10360,E999:0.0010\nBeta,B1,Std,10360,Pftu:0.0020\n"
      << QStringList{"makes: Acme|Beta", old_rows[0], "Beta,B1,Std,10360,Pftu:0.0020"}
      << "line 3: Component type 'E999' does not exist\n"
         "line 4: Component type 'E999' does not exist"
      << QString() << Import_Events({1, 3, 4, 5}, 5, 1);
}

void TestImportExportThread::import_file()
{
  QFETCH(QStringList, setup);
  QFETCH(QByteArray, file);
  QFETCH(QStringList, expected);
  QFETCH(QString, warnings);
  QFETCH(QString, error);
  QFETCH(QStringList, events);

  QVERIFY(Store(d_test.get(), setup));
  TImportExportThread thread;
  QCOMPARE(Run_Import(file, &thread), events);
  QCOMPARE(thread.Has_Error(), !error.isEmpty());
  QCOMPARE(thread.Error_Text(), error);
  QCOMPARE(thread.Has_Warnings(), !warnings.isEmpty());
  QCOMPARE(thread.Warning_Text(), warnings);
  QCOMPARE(Catalogue(d_database), expected);
}

void TestImportExportThread::import_estimates_imported_makes()
{
  // Acme's X2 is not in the file but belongs to an imported make; Zeta is not imported.
  QVERIFY(Store(d_test.get(), {"Acme,X2,Other,10360,E0:0.0015+0.0033L/1000",
                               "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000"}));
  TImportExportThread thread;
  const QStringList events = Run_Import(HEADER + "O'Brien,X1,Std,10360,E0:0.0015+0.0033L/1000\n"
                                                 "Acme,X1,Standard,10360,Pftu:0.0020\n",
                                        &thread);
  QCOMPARE(events.mid(events.indexOf(ESTIMATING)), (QStringList{ESTIMATING, "1/3", "2/3"}));
  const QStringList volume{"B89.4.1 Volume=0.0030+0.0066L/1000#1"};
  QCOMPARE(d_test->Rows("OBrien", "X1", "Std").filter("B89.4.1"), volume);
  QCOMPARE(d_test->Rows("Acme", "X2", "Other").filter("B89.4.1"), volume);
  QCOMPARE(d_test->Rows("Zeta", "Z1", "Std").filter("B89.4.1"), QStringList());
}

void TestImportExportThread::warnings_are_limited_and_cleared()
{
  const int limit = TImportExportThread::MAXIMUM_WARNING_LINES;
  TImportExportThread thread;
  Run_Import(HEADER + QByteArray("Acme,X1\n").repeated(limit + 30), &thread);
  QVERIFY(thread.Has_Warnings());
  const QStringList lines = thread.Warning_Text().split('\n');
  QCOMPARE(lines.size(), limit + 1);
  QCOMPARE(lines.first(), QString("line 3: fewer than five fields"));
  QCOMPARE(lines.at(limit - 1), QStringLiteral("line %1: fewer than five fields").arg(limit + 2));
  QCOMPARE(lines.last(), QString("... and 30 more problems"));

  Run_Import(HEADER, &thread);
  QVERIFY(!thread.Has_Warnings());
  QCOMPARE(thread.Warning_Text(), QString());
}

void TestImportExportThread::unopenable_file_data()
{
  QTest::addColumn<int>("mode");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("error");

  QTest::newRow("export into a missing folder")
      << TImportExportThread::MODE_EXPORT << "missing/out.csv"
      << "Cannot open file '%1' for writing: No such file or directory";
  QTest::newRow("import of a missing file")
      << TImportExportThread::MODE_IMPORT << "missing.csv"
      << "Cannot open file '%1' for reading: No such file or directory";
}

void TestImportExportThread::unopenable_file()
{
  QFETCH(int, mode);
  QFETCH(QString, name);
  QFETCH(QString, error);

  QVERIFY(Store(d_test.get(), {"Acme,X1,Std,10360,Pftu:0.0020"}));
  const QStringList before = Catalogue(d_database, true);
  TImportExportThread thread;
  QCOMPARE(Run(&thread, mode, d_test->Path(name)), QStringList());
  QVERIFY(thread.Has_Error());
  QCOMPARE(thread.Error_Text(), error.arg(d_test->Path(name)));
  QCOMPARE(Catalogue(d_database, true), before);
}

void TestImportExportThread::failure_under_file_size_limit_data()
{
  QTest::addColumn<int>("mode");
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QString>("report");

  // An export cannot write its file; an import takes every line and estimate, but cannot commit
  // them: the catalogue may not grow.
  QTest::newRow("export")
      << TImportExportThread::MODE_EXPORT << HEADER + "Old,O1,Std,10360,Pftu:0.0010\n"
      << "after 1/1, no warnings; error: Cannot write file '%1': File too large";
  QTest::newRow("import") << TImportExportThread::MODE_IMPORT
                          << Large_File({"Beta", "Gamma", "Delta"})
                          << "after 3/4, no warnings; error: ";
}

void TestImportExportThread::failure_under_file_size_limit()
{
  QFETCH(int, mode);
  QFETCH(QByteArray, file);
  QFETCH(QString, report);

  QVERIFY(Store(d_test.get(),
                QString::fromLatin1(Large_File({"Acme"})).split('\n', Qt::SkipEmptyParts).mid(1)));
  const QStringList before = Catalogue(d_database, true);
  const QString path = d_test->Path("exchange.csv");
  QVERIFY(Write_File(path, file));
  const QDir directory(d_test->Path(""));
  const QStringList files = directory.entryList(QDir::Files | QDir::Hidden);

  const qint64 limit =
      mode == TImportExportThread::MODE_EXPORT ? 1024 : QFileInfo(d_database->File_Name()).size();
  const QString result = Run_Limited(mode, path, limit);
  QVERIFY2(result.startsWith(QString(report).replace("%1", path)), qPrintable(result));
  QCOMPARE(File_Bytes(path), file);
  QCOMPARE(Catalogue(d_database, true), before);
  QCOMPARE(directory.entryList(QDir::Files | QDir::Hidden), files);

  // Without the limit the same run succeeds.
  TImportExportThread thread;
  Run(&thread, mode, path);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QVERIFY(mode == TImportExportThread::MODE_EXPORT ? File_Bytes(path).size() > limit
                                                   : Catalogue(d_database, true) != before);
}

void TestImportExportThread::round_trip_data()
{
  QTest::addColumn<QString>("make");
  QTest::addColumn<QString>("model");
  QTest::addColumn<bool>("utf8");

  QTest::newRow("Latin-1") << QString::fromUtf8("Müller Meßtechnik") << QString::fromUtf8("Präzi 5")
                           << false;
  QTest::newRow("outside Latin-1")
      << QString::fromUtf8("Łódź Metrology") << QString::fromUtf8("Ω-Series €") << true;
}

void TestImportExportThread::round_trip()
{
  QFETCH(QString, make);
  QFETCH(QString, model);
  QFETCH(bool, utf8);

  // Manufacturer's rows in two standards of one configuration, and the estimates made for them.
  TImportExportThread thread;
  Run_Import(BOM + HEADER +
                 QStringLiteral("%1,%2,Std,10360,E0:0.0015+0.0033L/1000,R0:0.0030,Pftu:0.0020\n"
                                "%1,%2,Std,B89.4.1,Volume:0.0100/300,Repeat:0.0020\n"
                                "Zürich,Z1,Std,CMMA,M:0.0015+0.0033L/1000|0.0080,Repeat:0.0030\n"
                                "Beta,B1,Std,VDIVDE_2617,U3:0.0010+0.0020L/1000,V3:0.0015\n")
                     .arg(make, model)
                     .toUtf8(),
             &thread);
  QVERIFY2(!thread.Has_Error() && !thread.Has_Warnings(), qPrintable(thread.Warning_Text()));
  const QStringList before = Catalogue(d_database, true);
  QVERIFY(before.join('\n').contains('~'));

  const QString path = d_test->Path("exchange.csv");
  Run(&thread, TImportExportThread::MODE_EXPORT, path);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QCOMPARE(File_Bytes(path).startsWith(BOM), utf8);
  // Into the same catalogue, and into a new one.
  TTestDatabase other;
  QVERIFY(other.Is_Valid());
  for (TDatabase *database : {d_database, other.Get()})
  {
    Run(&thread, TImportExportThread::MODE_IMPORT, path, database);
    QVERIFY2(!thread.Has_Error() && !thread.Has_Warnings(), qPrintable(thread.Warning_Text()));
    QCOMPARE(Catalogue(database, true), before);
  }
}

void TestImportExportThread::import_while_reading()
{
  QVERIFY(Store(d_test.get(), {"Before,B1,Std,10360,E0:0.0010+0.0020L/1000"}));
  QStringList makes{"Before"};
  for (int make = 0; make < 10; ++make)
    makes.append(QStringLiteral("Make %1").arg(make));
  const QString path = d_test->Path("import.csv");
  QVERIFY(Write_File(path, Large_File(makes.mid(1))));

  TImportExportThread thread;
  thread.Set_Database(d_database);
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
    QStringList seen = d_database->Makes(&valid);
    seen.sort();
    if (!valid)
      problem = "Makes failed: " + d_database->Last_Error();
    else if (seen != QStringList{"Before"} && seen != makes)
      problem = "a part of the import is visible: " + seen.join('|');
    const TDatabaseItem record =
        d_database->Read_Specification("Before", "B1", "Std", "10360", &valid);
    if (!valid || record.Expression_Text("E0", TExpressionItem::UNITS_MM) != "0.0010+0.0020L/1000")
      problem = "Read_Specification failed: " + d_database->Last_Error();
    ++reads;
  }
  QVERIFY(thread.wait());
  QVERIFY2(problem.isEmpty(), qPrintable(problem));
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QVERIFY(reads > 0);
  const QStringList catalogue = Catalogue(d_database);
  QCOMPARE(catalogue.first(), "makes: " + makes.join('|'));
  QCOMPARE(catalogue.size(), 1 + 1 + 400);
}

QTEST_GUILESS_MAIN(TestImportExportThread)
#include "tst_importexportthread.moc"
