#include "bulkcatalogue.h"
#include "database.h"
#include "exchangefile.h"
#include "importexportthread.h"
#include "testsupport.h"

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

// Progress events of lines as the reader sends them: in bytes, up to the end of each line.
QStringList In_Bytes(QStringList events, const QByteArray &file)
{
  QList<int> ends;
  for (int index = 0; index < file.size(); ++index)
    if (file[index] == '\n' || (file[index] == '\r' && file.mid(index + 1, 1) != "\n"))
      ends.append(index + 1);
  for (int index = 0; index < events.size() && events[index] != ESTIMATING; ++index)
    if (events[index].contains('/'))
      events[index] =
          QStringLiteral("%1/%2")
              .arg(ends.value(events[index].section('/', 0, 0).toInt() - 1, file.size()))
              .arg(file.size());
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
  void bulk_import_and_export_data();
  void bulk_import_and_export();
  void warnings_are_bounded_and_cleared();
  void unopenable_file_data();
  void unopenable_file();
  void round_trip_data();
  void round_trip();
  void import_while_reading();

private:
  // Runs the thread on a database, the test's by default, and waits for it; the signals it sent,
  // in order.
  QStringList Run(TImportExportThread *thread, int mode, const QString &file_name,
                  TDatabase *database = nullptr);
  QStringList Run_Import(const QByteArray &bytes, TImportExportThread *thread);

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

void TestImportExportThread::export_file_data()
{
  QTest::addColumn<QStringList>("setup");
  QTest::addColumn<QString>("edit"); // SQL run on the file afterwards, as a hand edit
  QTest::addColumn<QStringList>("selection");
  QTest::addColumn<QByteArray>("expected");
  QTest::addColumn<QString>("warnings");
  QTest::addColumn<QStringList>("events"); // not checked when empty
  const auto row = [](const char *name, const QStringList &setup, const QByteArray &expected,
                      const QString &warnings = QString(), const QStringList &events = {},
                      const QStringList &selection = {}, const QString &edit = QString())
  { QTest::newRow(name) << setup << edit << selection << expected << warnings << events; };

  const QStringList catalogue{"acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080",
                              "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000,E150:0.0020+0.0040L/1000~",
                              "Acme,X1,Standard,B89.4.1,Volume:0.0050/300,Probe_Roll:0.0040/250",
                              "Acme,X1,Standard,10360,Ts_Min:18.00C,E0:(0.0020+0.00050Td)/300,"
                              "E150:0.0010+0.00010Td+(0.0020+0.00020Td)L/1000,Pftu:0.0020",
                              "Acme,X1,Only estimated,10360,E150:0.0020+0.0040L/1000~",
                              QString::fromUtf8("Müller,Präzision 5,Std,10360,R0:0.0015")};
  row("empty catalogue", {}, HEADER, "", {EXPORTING});
  row("sorted makes, catalogue order of standards, no estimates, in Latin-1", catalogue,
      HEADER +
          QString::fromUtf8("Acme,X1,Standard,10360,Ts_Min:18.00 C,E0:(0.0020+0.00050Td)/300,"
                            "E150:0.0010+0.00010Td+(0.0020+0.00020Td)L/1000,Pftu:0.0020\n"
                            "Acme,X1,Standard,B89.4.1,Volume:0.0050/300,Probe_Roll:0.0040/250\n"
                            "Müller,Präzision 5,Std,10360,R0:0.0015\n"
                            "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000\n"
                            "acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080\n")
              .toLatin1(),
      "", {EXPORTING, "1/4", "2/4", "3/4", "4/4"});
  row("selected makes, one without models", catalogue,
      HEADER + "Zeta,Z1,Std,10360,E0:0.0015+0.0033L/1000\n"
               "acme,Y,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080\n",
      "", {EXPORTING, "1/3", "2/3", "3/3"}, {"acme", "Missing", "Zeta"});
  // UTF-8 with a byte-order mark when Latin-1 cannot hold a name, or would read back as
  // other characters.
  const QString outside = QString::fromUtf8("Łódź Metrology,Ω 5,Std,10360,Pftu:0.0020");
  const QString look_alike = QString::fromUtf8("Ã©tude,M1,Std,10360,Pftu:0.0020");
  row("name outside Latin-1", {outside}, BOM + HEADER + (outside + '\n').toUtf8());
  row("Latin-1 that reads as UTF-8", {look_alike}, BOM + HEADER + (look_alike + '\n').toUtf8());
  // Names as the import reads them back, a make that begins like a comment quoted.
  row("names", {"#1 Metrology,M1,Std,10360,Pftu:0.0020", "Acme  Two,M\t1,Std,10360,Pftu:0.0020"},
      HEADER + "\"#1 Metrology\",M1,Std,10360,Pftu:0.0020\nAcme Two,M 1,Std,10360,Pftu:0.0020\n",
      "'Acme  Two, M?1, Std': written as 'Acme Two, M 1, Std'");
  // A value is never written with an empty name or as a made-up zero.
  row("values the file cannot carry",
      {"Acme,X1,Std,10360,Pftu:0.0020,R0:0.0010,E0:0.0015+0.0033L/1000"},
      HEADER + "Acme,X1,Std,10360,Pftu:0.0020\n",
      "'Acme, X1, Std', 10360: a value of a component that the catalogue does not name; not "
      "exported\n'Acme, X1, Std', 10360, E0: the stored value cannot be read; not exported",
      {}, {},
      "UPDATE specification SET component_id=999 WHERE expression='0.0010';"
      "UPDATE specification SET expression='12345.0000' WHERE expression LIKE '%L%'");
}

void TestImportExportThread::export_file()
{
  QFETCH(QStringList, setup);
  QFETCH(QString, edit);
  QFETCH(QStringList, selection);
  QFETCH(QByteArray, expected);
  QFETCH(QString, warnings);
  QFETCH(QStringList, events);

  QVERIFY(Store(d_test.get(), setup));
  for (const QString &statement : edit.split(';', Qt::SkipEmptyParts))
    QVERIFY(Execute_On_File(d_database->Location().Text(), statement));
  const QString path = d_test->Path("export.csv");
  QVERIFY(Write_File(path, "an older file that the export replaces\n"));
  TImportExportThread thread;
  thread.Set_Export_Makes(selection);
  const QStringList sent = Run(&thread, TImportExportThread::MODE_EXPORT, path);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  QCOMPARE(File_Bytes(path), expected);
  QCOMPARE(thread.Warning_Text(), warnings);
  if (!events.isEmpty())
    QCOMPARE(sent, events);
}

void TestImportExportThread::import_file_data()
{
  QTest::addColumn<QStringList>("setup");
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QStringList>("expected");
  QTest::addColumn<QString>("warnings");
  QTest::addColumn<QString>("error");
  QTest::addColumn<QStringList>("events"); // not checked when empty
  QTest::addColumn<QString>("refusal");    // when the file's trigger refuses a row, if at all

  const QByteArray record = "Acme,X1,Standard,10360,E0:0.0015+0.0033L/1000\n";
  const QStringList stored{"makes: Acme", "Acme,X1,Standard,10360,E0:0.0015+0.0033L/1000"};
  const QStringList old_rows{"Acme,X1,Standard,10360,E0:0.0010+0.0020L/1000,Pftu:0.0010"};
  const QStringList kept{"makes: Acme", old_rows[0]};
  const auto row = [](const char *name, const QStringList &setup, const QByteArray &file,
                      const QStringList &expected, const QString &warnings,
                      const QString &error = QString(), const QStringList &events = {},
                      const QString &refusal = QString())
  { QTest::newRow(name) << setup << file << expected << warnings << error << events << refusal; };

  // Header and line ends.
  row("one record", {}, HEADER + record, stored, "", "", Import_Events({1, 3}, 3, 1));
  row("comments, blank lines and CR LF before the header", {},
      "\n# written by hand\r\n  \t \n"
      "  MetrovaDatabase:Version=1:Format=CSV\r\n\r\n# a comment\n" +
          record,
      stored, "", "", Import_Events({4, 7}, 7, 1));
  row("header in lower case, text after it, CR line ends", {},
      "metrovadatabase:version=1:format=csv;written=today\r" + record.chopped(1), stored, "", "",
      Import_Events({1, 2}, 2, 1));
  row("only comments", {}, "# one\n\n# two\n", {"makes: "}, "", "", Import_Events({}, 3, 0));
  row("wrong header", old_rows, record + HEADER, kept, "",
      "Imported CSV file does not start with the proper header line.");
  row("a line longer than the limit", {},
      HEADER + "Acme,X1,Standard,10360,Pftu:" + QByteArray(1100000, '9') + "\n" + record, stored,
      "line 3 skipped: longer than 1048576 bytes");

  // Encodings, decided line by line when the file is not UTF-8 as a whole.
  const QString names = QString::fromUtf8("Müller,Präzi 5,Std,10360,Pftu:0.0020\n");
  row("UTF-8 and Latin-1 lines", {},
      HEADER + names.toUtf8() + QString(names).replace("Std", "Ötz").toLatin1(),
      {QString::fromUtf8("makes: Müller"),
       QString::fromUtf8("Müller,Präzi 5,Std,10360,Pftu:0.0020"),
       QString::fromUtf8("Müller,Präzi 5,Ötz,10360,Pftu:0.0020")},
      "");
  row("NUL byte in a Latin-1 file", old_rows,
      HEADER + QByteArray("Acme,X1,Standard,10360,Pftu:0.0\0"
                          "020,E0:0.0015\xb5\n",
                          47),
      kept,
      QString::fromUtf8("line 3 skipped: Pftu: '0.0?020' is not a valid expression; E0: "
                        "'0.0015µ' is not a valid expression"),
      "Cannot import '%1': nothing was imported: its one record was skipped");

  // Names cleaned of blanks, a comma at the end, a later line replacing an earlier one and the
  // stored rows, a component given twice.
  row("good lines", old_rows,
      HEADER + "Acme,Big    Model,Standard,10360,E0: 0.0015 + 0.0033 l/1000,\n" + record +
          "Acme,X1,Standard,10360,Pftu:0.0020,R0:0.0030,Pftu:0.0040,Pftu:0.0050\n",
      {"makes: Acme", "Acme,Big Model,Standard,10360,E0:0.0015+0.0033L/1000",
       "Acme,X1,Standard,10360,Pftu:0.0020,R0:0.0030"},
      "line 5: Pftu is given 3 times, the first is kept", "", Import_Events({1, 3, 4, 5}, 5, 1));

  // Every wrong line is skipped whole and leaves the stored rows of its machine alone; an import
  // that skipped every line imported nothing, and says so.
  row("wrong lines", old_rows,
      HEADER + "Acme,X1,Standard,10360\n"
               "Acme,X1,Standard,10360,E0\n"
               "Acme,X1,Standard,10360,E0:x,Pftu:0.0015+0.0033L/1000,E150:0.0015:0.0033,"
               "Ts_Min:0.0020\n"
               "Acme,X1,Standard, ISO 10360 ,E0:0.0015+0.0033L/1000\n"
               "Acme,X1,Standard,10360,E999:0.0010,Pftu:0.0020\n"
               "Acme,X1,Standard,10360,Pftu:12345,Ts_Min:39.999C\n"
               "'',X1,Standard,10360,Pftu:0.0020\n"
               "Acme,X1,Standard,10360,\n",
      kept,
      "line 3 skipped: fewer than five fields\n"
      "line 4 skipped: component field 'E0' has no expression\n"
      "line 5 skipped: E0: 'x' is not a valid expression; Pftu: '0.0015+0.0033L/1000' is not "
      "accepted for this component; component field 'E150:0.0015:0.0033' has more than one "
      "colon; 1 more problem\n"
      "line 6 skipped: Standard type 'ISO 10360' does not exist\n"
      "line 7 skipped: Component type 'E999' does not exist\n"
      "line 8 skipped: Pftu: '12345' has too many digits to be stored; Ts_Min: '39.999C' rounds "
      "to 40.00 C, outside 10 to 40 C\n"
      "line 9 skipped: make '''' is empty or holds a control character\n"
      "line 10 skipped: no component field",
      "Cannot import '%1': nothing was imported: all 8 records were skipped");

  // Lines that are right fail only through the database: the import stops and keeps nothing.
  const QByteArray lines = HEADER + "New,N1,Std,10360,E0:0.0015+0.0033L/1000\n"
                                    "Acme,X1,Standard,10360,Pftu:0.0042\n";
  row("a write fails", old_rows, lines, kept, "",
      "Cannot import '%1': line 4: Cannot add data to table 'specification'.  Reason: refused", {},
      "NEW.expression='0.0042'");
  // Rows sent as they come, into a COPY that a deletion or a look-up ends: the line of the row
  // refused in it, or in the rows stored after it, and the look-up of a long name in between.
  const auto new_lines = [](int count, int refused)
  {
    QByteArray file;
    for (int index = 0; index < count; ++index)
      file += QStringLiteral("New,N%1,Opt,10360,E0:0.0015+0.0033L/1000,R0:0.0030,Pftu:%2\n")
                  .arg(index)
                  .arg(index == refused ? "0.0042" : "0.0020")
                  .toLatin1();
    return file;
  };
  const QByteArray acme = "Acme,X1,Standard,10360,Pftu:0.0020\n";
  row("a write fails among rows sent as they come", old_rows, HEADER + new_lines(1000, 900) + acme,
      kept, "",
      "Cannot import '%1': line 903: Cannot add data to table 'specification'.  Reason: refused",
      {}, "NEW.expression='0.0042'");
  row("a write fails after rows sent as they come and a long name", old_rows,
      HEADER + new_lines(1000, -1) + QByteArray(300, 'L') + ",X1,Opt,10360,Pftu:0.0020\n" + acme +
          new_lines(10, 5),
      kept,
      "line 1003 skipped: the make name is 300 characters long; a new name may have at most 255",
      "Cannot import '%1': line 1010: Cannot add data to table 'specification'.  Reason: refused",
      {}, "NEW.expression='0.0042'");
  row("the import's own estimation fails", old_rows, lines, kept, "",
      "Cannot import '%1': cannot estimate New, N1, Std: Cannot add data to table "
      "'specification'.  Reason: refused",
      {}, "NEW.source=1");
}

void TestImportExportThread::import_file()
{
  QFETCH(QStringList, setup);
  QFETCH(QByteArray, file);
  QFETCH(QStringList, expected);
  QFETCH(QString, warnings);
  QFETCH(QString, error);
  QFETCH(QStringList, events);
  QFETCH(QString, refusal);

  QVERIFY(Store(d_test.get(), setup));
  TOtherConnection other(d_database->Location().Text());
  if (!refusal.isEmpty())
    QVERIFY(other.Execute(Refusal("INSERT", "specification", refusal)));
  const QStringList before = other.Dump();
  TImportExportThread thread;
  const QStringList sent = Run_Import(file, &thread);
  // SQLite's reason ends the message; the rest is ours.
  QVERIFY2(error.isEmpty() ? thread.Error_Text().isEmpty()
                           : thread.Error_Text().startsWith(
                                 QString(error).replace("%1", d_test->Path("import.csv"))),
           qPrintable(thread.Error_Text()));
  QCOMPARE(thread.Has_Error(), !error.isEmpty());
  QCOMPARE(thread.Warning_Text().split('\n'), warnings.split('\n'));
  QCOMPARE(Catalogue(d_database), expected);
  if (!events.isEmpty())
    QCOMPARE(sent, In_Bytes(events, file));
  // A failed import leaves every row as it was.
  if (!error.isEmpty())
    QCOMPARE(other.Dump(), before);
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

void TestImportExportThread::bulk_import_and_export_data()
{
  QTest::addColumn<QStringList>("setup"); // statements run on the catalogue first
  QTest::addColumn<QByteArray>("file");

  // Acme X1 Std with an E0 (component 4) and its estimated Volume (9); X2 not in the files.
  const QStringList catalogue{
      "INSERT INTO make(name) VALUES('Acme')",
      "INSERT INTO model_types(name) VALUES('X1')",
      "INSERT INTO model_types(name) VALUES('X2')",
      "INSERT INTO option_types(name) VALUES('Std')",
      "INSERT INTO specification(make_id,model_id,option_id,standard_id,component_id,"
      "expression,source) VALUES(1,1,1,1,4,'0.0015+0.0033L/1000',0)",
      "INSERT INTO specification(make_id,model_id,option_id,standard_id,component_id,"
      "expression,source) VALUES(1,1,1,2,9,'0.0030+0.0066L/1000',1)",
      "INSERT INTO specification(make_id,model_id,option_id,standard_id,component_id,"
      "expression,source) VALUES(1,2,1,1,1,'0.0020',0)"};
  const QByteArray lines = "Acme,X1,Std,10360,E0:0.0020+0.0040L/1000,Rpt:0.0010\n"
                           "Acme,X3,Std,B89.4.1,Volume:0.0100/300,Repeat:0.0020\n"
                           "New,N1,Opt,CMMA,M:0.0015+0.0033L/1000|0.0080,Repeat:0.0030\n"
                           "New,N1,Opt,CMMA,M:0.0010+0.0020L/1000,G:0.0010\n"
                           "New,N1,Opt,10360,E0:0.0010+0.0020L/1000,E0:2,Pftu:x\n"
                           "New,N2,Opt,VDIVDE_2617,U3:1+2L/1000,V3:0.0015\n"
                           "New,N2,Opt,10360,Pftu:0.0010+0.0020L/1000\n";
  QTest::newRow("new and stored machines") << catalogue << lines;
  QTest::newRow("names beyond ASCII")
      << catalogue
      << QString::fromUtf8("Müller,Präzi,Std,10360,E0:0.0015+0.0033L/1000\n"
                           "Acme,X\uFFFD,Std,10360,Pftu:0.0020\n"
                           "\uFF21cme,X1,Std,10360,Pftu:0.0020\n"
                           "New,N1,Opt,10360,E0:0.0010+0.0020L/1000\n"
                           "New,N\uFFFD,Opt,10360,E0:0.0010+0.0020L/1000\n"
                           "Zed,Z\uFFFD,Opt,10360,E0:0.0010+0.0020L/1000\n"
                           "Zed,Z1,Opt,10360,E0:0.0010+0.0020L/1000\n")
             .toUtf8();
  // Acme has rows under a second X1, which a look-up by name never finds.
  QTest::newRow("a model name twice")
      << (QStringList(catalogue)
          << "INSERT INTO model_types(name) VALUES('X1')"
          << "INSERT INTO specification(make_id,model_id,option_id,standard_id,component_id,"
             "expression,source) VALUES(1,3,1,1,1,'0.0030',0)")
      << lines;
  // Makes of many configurations are planned on a second thread while the plans before are
  // stored: a stored make with estimates to replace, and a new one.
  QByteArray many = lines;
  for (int model = 0; model < 70; ++model)
    many += QStringLiteral("Acme,M%1,Std,10360,E0:0.00%2+0.0033L/1000\n"
                           "Big,B%1,Opt,B89.4.1,Volume:0.00%2/300,Repeat:0.0020\n")
                .arg(model)
                .arg(model + 10)
                .toUtf8();
  QTest::newRow("makes of many configurations") << catalogue << many;
  // A stored E150 without a text keeps E0 from being estimated into it.
  QTest::newRow("a row without a text")
      << (QStringList(catalogue)
          << "INSERT INTO specification(make_id,model_id,option_id,standard_id,component_id,"
             "expression,source) VALUES(1,2,1,1,4,'0.0010+0.0020L/1000',0)"
          << "INSERT INTO specification(make_id,model_id,option_id,standard_id,component_id,"
             "expression,source) VALUES(1,2,1,1,5,NULL,0)")
      << lines;
}

void TestImportExportThread::bulk_import_and_export()
{
  QFETCH(QStringList, setup);
  QFETCH(QByteArray, file);

  // An import through the bulk writer leaves what one through the database's own operations
  // leaves, and an export through the bulk reader writes the same; both say the same.
  const QString path = d_test->Path("import.csv");
  QVERIFY(Write_File(path, HEADER + file));
  QStringList outcomes[2];
  for (const bool enabled : {false, true})
  {
    TTestDatabase test;
    QVERIFY(test.Is_Valid());
    TOtherConnection other(test->Location().Text());
    for (const QString &statement : setup)
      QVERIFY2(other.Execute(statement), qPrintable(statement));
    TBulkCatalogue::Set_Enabled(enabled);
    TExchangeFile exchange(test.Get());
    const bool imported = exchange.Import(path);
    outcomes[enabled] =
        QStringList{imported ? "imported" : exchange.Error_Text(), exchange.Warning_Text()} +
        other.Dump();
    const bool exported = exchange.Export(test.Path("export.csv"));
    TBulkCatalogue::Set_Enabled(true);
    outcomes[enabled] << (exported ? "exported" : exchange.Error_Text()) << exchange.Warning_Text()
                      << QString::fromUtf8(File_Bytes(test.Path("export.csv")));
  }
  QCOMPARE(outcomes[true], outcomes[false]);
}

void TestImportExportThread::warnings_are_bounded_and_cleared()
{
  // A long bad value, then lines whose warnings would pass the text limit before the
  // line limit.
  const int limit = TImportExportThread::MAXIMUM_WARNING_LINES;
  const QString euros(100, QChar(0x20ac));
  TImportExportThread thread;
  Run_Import(HEADER + "Acme,X1,Std,10360,Pftu:" + QByteArray(60000, '9') + "\n" +
                 QStringLiteral("%1,X1,Std,10360,%1a:1,%1b:1,%1c:1,%1d:1\n")
                     .arg(euros)
                     .repeated(limit)
                     .toUtf8(),
             &thread);
  const QString text = thread.Warning_Text();
  QVERIFY(text.toUtf8().size() < 65536);
  const QStringList lines = text.split('\n');
  QCOMPARE(lines.first(),
           "line 3 skipped: Pftu: '" + QString(60, '9') + "...' is not a valid expression");
  QVERIFY2(lines.size() < limit, qPrintable(QString::number(lines.size())));
  QCOMPARE(lines.at(1).size(), 243);
  QCOMPARE(lines.last(),
           QStringLiteral("... and %1 more problems").arg(limit + 1 - (lines.size() - 1)));

  Run_Import(HEADER + QByteArray("Acme,X1\n").repeated(limit + 30), &thread);
  QCOMPARE(thread.Warning_Text().count('\n'), limit);
  QVERIFY(thread.Warning_Text().endsWith("\n... and 30 more problems"));
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
  // Endless: refused at its first line, which is no header.
  QTest::newRow("import of /dev/zero") << TImportExportThread::MODE_IMPORT << "/dev/zero"
                                       << "Imported CSV file does not start with the proper "
                                          "header line.";
}

void TestImportExportThread::unopenable_file()
{
  QFETCH(int, mode);
  QFETCH(QString, name);
  QFETCH(QString, error);

  QVERIFY(Store(d_test.get(), {"Acme,X1,Std,10360,Pftu:0.0020"}));
  const QStringList before = Catalogue(d_database, true);
  TImportExportThread thread;
  const QString path = QDir::isAbsolutePath(name) ? name : d_test->Path(name);
  QCOMPARE(Run(&thread, mode, path), QStringList());
  QVERIFY(thread.Has_Error());
  QCOMPARE(thread.Error_Text(), QString(error).replace("%1", path));
  QCOMPARE(Catalogue(d_database, true), before);
}

void TestImportExportThread::round_trip_data()
{
  QTest::addColumn<QString>("make");
  QTest::addColumn<QString>("model");
  QTest::addColumn<bool>("utf8");

  QTest::newRow("outside Latin-1")
      << QString::fromUtf8("Łódź Metrology") << QString::fromUtf8("Ω-Series €") << true;
  QTest::newRow("a make like a comment") << "#1 Metrology"
                                         << "M1" << false;
}

void TestImportExportThread::round_trip()
{
  QFETCH(QString, make);
  QFETCH(QString, model);
  QFETCH(bool, utf8);

  // Manufacturer's rows in two standards of one configuration, values finer than 0.1 um among
  // them, and the estimates made for them.
  TImportExportThread thread;
  Run_Import(BOM + HEADER +
                 QStringLiteral("\"%1\",%2,Std,10360,E0:0.00025+0.0015L/666,R0:0.0030,Pftu:0.0020\n"
                                "\"%1\",%2,Std,B89.4.1,Volume:0.0100/300,Repeat:0.0020\n"
                                "Zürich,Z1,Std,CMMA,M:0.0015+0.0033L/1000|0.0080,Repeat:0.0030\n"
                                "Beta,B1,Std,VDIVDE_2617,U3:0.0010+0.0020L/1000,V3:0.0015\n")
                     .arg(make, model)
                     .toUtf8(),
             &thread);
  QVERIFY2(!thread.Has_Error() && !thread.Has_Warnings(), qPrintable(thread.Warning_Text()));
  const QStringList before = Catalogue(d_database, true);
  QVERIFY(before.join('\n').contains('~'));
  QVERIFY(before.join('\n').contains("E0:0.00025+0.0015L/666"));

  // Into the same catalogue, and into a new one, whose export is the same file.
  const QString path = d_test->Path("exchange.csv");
  Run(&thread, TImportExportThread::MODE_EXPORT, path);
  QVERIFY2(!thread.Has_Error(), qPrintable(thread.Error_Text()));
  const QByteArray exported = File_Bytes(path);
  QCOMPARE(exported.startsWith(BOM), utf8);
  TTestDatabase other;
  QVERIFY(other.Is_Valid());
  for (TDatabase *database : {d_database, other.Get()})
  {
    Run(&thread, TImportExportThread::MODE_IMPORT, path, database);
    QVERIFY2(!thread.Has_Error() && !thread.Has_Warnings(), qPrintable(thread.Warning_Text()));
    QCOMPARE(Catalogue(database, true), before);
  }
  const QString again = d_test->Path("again.csv");
  Run(&thread, TImportExportThread::MODE_EXPORT, again, other.Get());
  QCOMPARE(File_Bytes(again), exported);
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
