// metrova-cli run end to end on a copy of the sample catalogue: each command in this process,
// through TCommandLine's streams; main's exit statuses and the README's examples as a shell runs
// them.
#include "commandline.h"
#include "specificationlimits.h"
#include "testsupport.h"

#include <QProcess>
#include <QSemaphore>
#include <QtTest>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <thread>

namespace
{
const QString CLI = QStringLiteral(METROVA_CLI);
const QString SAMPLE = QStringLiteral(METROVA_SAMPLE);
const QString BRIDGE = QStringLiteral("{db}|Example Metrology|Bridge 1000|Long Range");
// A name an older version stored with U+FFFE, which reads back with U+FFFD.
const QString GHOST =
    QStringLiteral("UPDATE make SET name='Gh'||char(65534)||'st' WHERE name='Zeiss'");
// A name of 300 characters, as older versions stored them.
const QString LONG_ZEISS =
    TestSupport::Engine_Has_Files()
        ? QStringLiteral(
              "UPDATE make SET name=replace(hex(zeroblob(150)),'0','z') WHERE name='Zeiss'")
        : QStringLiteral("UPDATE make SET name=repeat('z',2*150) WHERE name='Zeiss'");
// Rows about the catalogue as a file (its names, its copies).
const QStringList FILE_ROWS{"set through a second name", "export onto the catalogue",
                            "failed import keeps another's catalogue"};

struct TRun
{
  int status = -1;
  QString out;
  QString err;
};

// metrova-cli through TCommandLine, another program as a process.
TRun Run(const QString &program, const QStringList &arguments)
{
  TRun run;
  if (program == QLatin1String("metrova-cli"))
  {
    QTextStream out(&run.out), err(&run.err);
    run.status = TCommandLine(&out, &err, false).Run(arguments);
    return run;
  }
  QProcess process;
  process.start(program, arguments);
  if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
    run.status = process.exitCode();
  run.out = QString::fromUtf8(process.readAllStandardOutput());
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

// The current table's columns: "status" is a number, the others are texts, which Row() leaves
// empty at the end and Text() reads as empty where the table has no such column.
QList<QByteArray> columns;

void Columns(std::initializer_list<const char *> names)
{
  columns.clear();
  for (const char *name : names)
  {
    qstrcmp(name, "status") == 0 ? QTest::addColumn<int>(name) : QTest::addColumn<QString>(name);
    columns.append(name);
  }
}

template <typename... TValues>
void Row(const char *name, const TValues &...values)
{
  QTestData &data = (QTest::newRow(name) << ... << values);
  for (int column = sizeof...(values); column < columns.size(); ++column)
    data << QString();
}

QString Text(const char *column, const QString &fallback = QString())
{
  return columns.contains(column)
             ? *static_cast<QString *>(QTest::qData(column, qMetaTypeId<QString>()))
             : fallback;
}

QString Option_Value(const QStringList &arguments, const QString &name, const QString &fallback)
{
  const int index = arguments.indexOf(name);
  return index >= 0 ? arguments.value(index + 1) : fallback;
}
} // namespace

class TestCommandLine : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void browse_data();
  void browse() { Check(); }
  void set_data();
  void set() { Check(); }
  void deletion_data();
  void deletion() { Check(); }
  void exchange_data();
  void exchange() { Check(); }
  void limits_data();
  void limits();
  void compare_data();
  void compare() { Check(); }
  void report_data();
  void report() { Check(); }
  void exit_status_data();
  void exit_status() { Check(); }
  void qif();
  void verify_data();
  void verify();
  void history_data();
  void history() { Check(); }
  void copy_data();
  void copy() { Check(); }
  void copy_there_and_back();
  void init_command_data();
  void init_command() { Check(); }
  void readme();

private:
  // Arguments and follow-up commands are separated by "|"; {db} is the row's copy of the sample,
  // {db2} a new catalogue beside it, {dir} an empty folder of its own, {cli} the program for rows
  // that "sh" runs, {sample} the sample file. In patterns, {user} is who the catalogue records as
  // the changer, {today} the UTC date.
  QStringList Expand(const QString &text) const;
  void Check(TRun *result = nullptr);

  QTemporaryDir d_directory;
  QString d_sample;
  std::unique_ptr<QTemporaryDir> d_row;
  QString d_database;
  QString d_other;
  QString d_folder;
};

void TestCommandLine::initTestCase()
{
  // The sample imports without a single warning.
  d_sample = TestSupport::New_Catalogue_Location(d_directory, QStringLiteral("sample")).Text();
  const TRun run = Run(QStringLiteral("metrova-cli"), {QStringLiteral("import"), d_sample, SAMPLE});
  QCOMPARE(run.err, QString());
  QCOMPARE(run.status, 0);
}

void TestCommandLine::init()
{
  d_row = std::make_unique<QTemporaryDir>();
  d_database = TestSupport::New_Catalogue_Location(*d_row).Text();
  d_other = TestSupport::New_Catalogue_Location(*d_row, QStringLiteral("other")).Text();
  d_folder = d_row->filePath("folder");
  QVERIFY(QDir().mkdir(d_folder));
  // A file is copied; a catalogue elsewhere gets the sample imported.
  if (TestSupport::Engine_Has_Files())
    QVERIFY(QFile::copy(d_sample, d_database));
  else
    QCOMPARE(
        Run(QStringLiteral("metrova-cli"), {QStringLiteral("import"), d_database, SAMPLE}).status,
        0);
}

QStringList TestCommandLine::Expand(const QString &text) const
{
  // A shell is given the catalogues quoted: a server's URI holds '&'.
  const QString quote = text.startsWith("sh|") ? "'" : "";
  QString expanded = text;
  expanded.replace("{db}", quote + d_database + quote)
      .replace("{db2}", quote + d_other + quote)
      .replace("{dir}", d_folder)
      .replace("{cli}", CLI)
      .replace("{sample}", SAMPLE);
  return expanded.isEmpty() ? QStringList() : expanded.split('|');
}

// Runs the current row: its arguments and status; patterns (regular expressions) of standard
// output (nothing without an "output" column, unless the caller reads *result) and of standard
// error (nothing when empty); a follow-up command and a pattern of its output; another program's
// statements. A refused command writes nothing, changes nothing and says why in one line (a usage
// error adds the usage).
void TestCommandLine::Check(TRun *result)
{
  QFETCH(QString, arguments);
  QFETCH(int, status);
  // Another program's statements, one a line, are committed before the command starts or, after a
  // BEGIN IMMEDIATE, a moment after it, while the command waits for the lock.
  const QString other = Text("other");
  if (!TestSupport::Engine_Has_Files() && FILE_ROWS.contains(QTest::currentDataTag()))
    QSKIP("the catalogue is no file here");
  if (!TestSupport::Engine_Has_Files() && other == GHOST)
    QSKIP("names stored with U+FFFE by older versions are in files only");
  QSemaphore written;
  QString failure;
  std::thread other_program;
  if (!other.isEmpty())
  {
    other_program = std::thread(
        [&]()
        {
          TestSupport::TOtherConnection connection(d_database, "other_program");
          for (const QString &statement : other.split('\n'))
            if (failure.isEmpty() &&
                !connection.Execute(statement == "BEGIN IMMEDIATE" ? TestSupport::Begin_Write()
                                                                   : statement,
                                    &failure))
              failure += ": " + statement;
          written.release();
          if (other.startsWith("BEGIN") && failure.isEmpty())
          {
            QThread::msleep(500);
            if (!connection.Execute("COMMIT", &failure))
              failure += ": COMMIT";
          }
        });
    written.acquire();
  }
  // What the command finds, unless the other program changes it meanwhile.
  const QStringList before =
      other.startsWith("BEGIN") ? QStringList() : TestSupport::TOtherConnection(d_database).Dump();
  const QStringList files = QDir(d_folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
  const QStringList list = Expand(arguments);
  const bool shell = list.value(0) == "sh";
  const TRun run = shell ? Run("sh", list.mid(1)) : Run("metrova-cli", list);
  if (other_program.joinable())
    other_program.join();
  if (result)
    *result = run;

  QVERIFY2(failure.isEmpty(), qPrintable(failure));
  const bool refused = status == 1 || status == 2;
  const auto pattern = [](QString text)
  {
    return text.replace("{user}", TestSupport::Catalogue_User())
        .replace("{today}", QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd"));
  };
  const QString output = pattern(Text("output", result ? QString() : QStringLiteral("^$")));
  QVERIFY2(QRegularExpression(output).match(run.out).hasMatch() && !(refused && !run.out.isEmpty()),
           qPrintable(run.out));
  const QString error = pattern(Text("error"));
  QVERIFY2(error.isEmpty() ? run.err.isEmpty()
                           : QRegularExpression(error).match(run.err).hasMatch() &&
                                 (status != 1 || run.err.count('\n') == 1),
           qPrintable(run.err));
  QCOMPARE(run.status, status);
  // A shell's own commands may write.
  if (refused && !shell && !before.isEmpty())
    QCOMPARE(TestSupport::TOtherConnection(d_database).Dump(), before);
  if (refused && !shell)
    QCOMPARE(QDir(d_folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), files);
  const QStringList then = Expand(Text("then"));
  if (!then.isEmpty())
  {
    const TRun then_run = Run(then.first(), then.mid(1));
    QVERIFY2(QRegularExpression(Text("then_output")).match(then_run.out + then_run.err).hasMatch(),
             qPrintable(then_run.out + then_run.err));
  }
}

void TestCommandLine::browse_data()
{
  Columns({"arguments", "status", "output", "error", "other"});
  Row("list makes", "list|{db}", 0,
      "^Example Instruments\nExample Machines\nExample Messtechnik\nExample Metrology\nHexagon\n"
      "White Paper Example\nZeiss\n$");
  Row("show", "show|" + BRIDGE, 0,
      "\n10360 +E0 +2.5\\+3.3L/1000\\|8.0 +MFG +Maximum length error\n");
  Row("show cleaned name csv", "show|{db}|Example Metrology|Bridge: 1000|Long Range|--csv", 0,
      "^standard,component,expression_um,source,description\n(.*\n)*CMMA,M,[0-9.+L/|]+,EST,",
      "^metrova-cli: the model name 'Bridge: 1000' is taken as 'Bridge 1000'\n$");
  Row("show stored noncharacter", "show|{db}|Gh\uFFFDst|F25|Tactile", 0, "\n10360 +E0 ", "", GHOST);
  Row("missing database not created", "show|{dir}/none.db|Zeiss|F25|Tactile", 1, "",
      "cannot open database '.*none.db': no such file");
  Row("show unknown option", "show|{db}|Zeiss|F25|Optical", 1, "",
      "no option 'Optical' of Zeiss F25 in");
  Row("unknown option", "list|{db}|--make|X", 2, "", "unknown option '--make'");
  Row("too few", "show|{db}|Zeiss", 2, "", "too few arguments");
}

void TestCommandLine::set_data()
{
  const QString show_bridge = "metrova-cli|show|" + BRIDGE;
  Columns({"arguments", "status", "error", "then", "then_output", "other"});
  // New make, model and option at once, their names kept from a spreadsheet's formulas.
  Row("set creates a machine", "set|{db}|=1+1|-1+1|@SUM(1)|10360|E0=1+L/500", 0, "",
      "metrova-cli|list|{db}|=1+1|-1+1|--csv", "^option\n\"'@SUM\\(1\\)\"\n$");
  Row("unset", "unset|" + BRIDGE + "|10360|E150", 0, "", show_bridge, "\n10360 +E150 +\\S+ +EST ");
  // What another program writes meanwhile is read before the change, never overwritten by it;
  // the other values are kept.
  Row("set after another writer", "set|" + BRIDGE + "|10360|E0=1.8+3L/1000|Ts_Min=17", 0, "",
      show_bridge,
      "Pftu +4.2 +MFG(.*\n)*.*E0 +1.8\\+3.0L/1000 +MFG.*\n.*E150 +2.9\\+3.3L/1000\\|8.5 +MFG(.*\n)*"
      ".*Ts_Min +17.00 C +MFG",
      "BEGIN IMMEDIATE\nUPDATE specification SET expression='0.0042' WHERE component_id IN "
      "(SELECT component_type_id FROM component_types WHERE name='Pftu')");
  Row("set without value", "set|" + BRIDGE + "|10360|E0", 2, "'E0' is not COMPONENT=EXPRESSION");
  // Nothing is kept of the valid value before the invalid one.
  Row("set invalid", "set|" + BRIDGE + "|10360|E0=1.8+3L/1000|Pftu=1+2L/100", 1,
      "^metrova-cli: invalid expression for 10360 Pftu: '1\\+2L/100': this component accepts: a "
      "constant\n$");
  Row("set unknown component", "set|" + BRIDGE + "|CMMA|E0=2", 1,
      "no component 'E0' in standard CMMA");
  // A new name has at most 255 characters; one stored before the rule is still taken.
  Row("set new long name", "set|{db}|" + QString(256, 'm') + "|X|Y|10360|E0=1+L/500", 1,
      "^metrova-cli: cannot save the specifications: the make name is 256 characters long; a "
      "new name may have at most 255\n$");
  Row("set longest new name", "set|{db}|M|X|" + QString(255, 'o') + "|10360|E0=1+L/500", 0);
  Row("set stored long name", "set|{db}|" + QString(300, 'z') + "|F25|Tactile|10360|E0=1+L/500", 0,
      "", "metrova-cli|show|{db}|" + QString(300, 'z') + "|F25|Tactile",
      "\n10360 +E0 +1\\.0\\+1\\.0L/500 +MFG", LONG_ZEISS);
  // A catalogue with two names is not written through either.
  Row("set through a second name",
      "sh|-c|ln {db} {dir}/second.db && exec {cli} set {dir}/second.db Zeiss F25 Tactile 10360 "
      "E0=1+L/500",
      1,
      "^metrova-cli: cannot save the specifications of Zeiss F25 Tactile: A catalogue file with 2 "
      "names \\(hard links\\) is opened read-only: .* copy the file, or remove the other "
      "link.\n$",
      "metrova-cli|show|{db}|Zeiss|F25|Tactile", "\n10360 +E0 +0\\.25");
  Row("set zero limit", "set|" + BRIDGE + "|10360|E0=0+0L/1000", 1,
      "'0\\+0L/1000': a limit of zero permits no error at all\n$");
}

void TestCommandLine::deletion_data()
{
  Columns({"arguments", "status", "error", "then", "then_output", "other"});
  Row("delete option", "delete|" + BRIDGE, 0, "",
      "metrova-cli|list|{db}|Example Metrology|Bridge 1000", "^Tactile\n$");
  Row("delete after another writer", "delete|{db}|Example Metrology", 1,
      "^metrova-cli: cannot delete Example Metrology: CMM Make not found.\n$",
      "metrova-cli|list|{db}", "\nRenamed\n",
      "BEGIN IMMEDIATE\nUPDATE make SET name='Renamed' WHERE name='Example Metrology'");
  Row("delete stored noncharacter", "delete|{db}|Gh\uFFFDst", 0, "", "metrova-cli|list|{db}",
      "\nHexagon\nWhite Paper Example\n$", GHOST);
}

void TestCommandLine::exchange_data()
{
  Columns({"arguments", "status", "error", "then", "then_output", "other"});
  Row("failed import creates nothing", "import|{dir}/new.db|{dir}", 1, "cannot import");
  // Another program puts its catalogue where the import created one, while the import reads.
  Row("failed import keeps another's catalogue",
      "sh|-c|mkfifo {dir}/f.csv; {cli} import {dir}/r.db {dir}/f.csv & exec 3>{dir}/f.csv; cp "
      "{db} {dir}/o.db; mv {dir}/o.db {dir}/r.db; echo x >&3; exec 3>&-; wait $!",
      1, "^metrova-cli: cannot import '.*f.csv': Imported CSV file does not start",
      "metrova-cli|list|{dir}/r.db", "\nZeiss\n$");
  Row("import refused by the catalogue", "import|{db}|{sample}", 1,
      "^metrova-cli: cannot import '[^']*': line [0-9]+: Cannot add data[^\n]*refused\n$", "", "",
      TestSupport::Refusal("INSERT", "specification"));
  Row("failed import leaves an empty file",
      "sh|-c|: >{dir}/e.db; exec {cli} import-qif {dir}/e.db {dir}", 1,
      "^metrova-cli: cannot import '[^:]*': Cannot open file", "wc|-c|{dir}/e.db", "^0 ");
  Row("empty database name", "import||{sample}", 2, "the database name is empty");
  // An import that stores nothing fails and leaves no file; so does one ended by a signal.
  Row("import skipping every line",
      "sh|-c|printf 'MetrovaDatabase:Version=1:Format=CSV\\nA,B,C,10360,E0:x\\n' >{dir}/bad.csv; "
      "{cli} import {dir}/n.db {dir}/bad.csv 2>{dir}/err; s=$?; tail -n1 {dir}/err >&2; exit $s",
      1,
      "^metrova-cli: cannot import '.*bad.csv': nothing was imported: its one record was "
      "skipped\n$",
      "ls|-A|{dir}", "^bad.csv\nerr\n$");
  Row("import-qif skipping every device",
      "sh|-c|printf '<QIFDocument xmlns=\"http://qifstandards.org/xsd/qif3\"><MeasurementResources>"
      "<MeasurementDevices><Caliper/></MeasurementDevices></MeasurementResources></QIFDocument>' "
      ">{dir}/c.qif; {cli} import-qif {dir}/n.db {dir}/c.qif 2>{dir}/err; s=$?; tail -n1 {dir}/err "
      ">&2; exit $s",
      1,
      "^metrova-cli: cannot import '.*c.qif': nothing was imported: its one record was "
      "skipped\n$",
      "ls|-A|{dir}", "^c.qif\nerr\n$");
  Row("import ended by SIGTERM",
      "sh|-c|mkfifo {dir}/f.csv; {cli} import {dir}/n.db {dir}/f.csv & exec 3>{dir}/f.csv; kill "
      "-TERM $!; wait $!",
      143, "^(Terminated\n)?$", "ls|-A|{dir}", "^f.csv\n$");
  // Whatever an export writes, its import reads back; a long name is new only elsewhere.
  Row("long names exchanged",
      "sh|-c|{cli} export {db} {dir}/a.csv && {cli} export-qif {db} {dir}/a.qif && {cli} import "
      "{db} {dir}/a.csv 2>{dir}/e && test ! -s {dir}/e && {cli} import-qif {db} {dir}/a.qif "
      "2>{dir}/e && ! grep skipped:.the.make {dir}/e && {cli} import {dir}/n.db {dir}/a.csv && "
      "exec {cli} import-qif {dir}/n.db {dir}/a.qif",
      0,
      "metrova-cli: warning: .*a.csv: line [0-9]+ skipped: the make name is 70000 characters "
      "long; a new name may have at most 255\n(.*\n)*.*a.qif: line [0-9]+: .* skipped: the "
      "make name is 70000",
      "metrova-cli|list|{db}", "\nz{9999}z*\n", QString(LONG_ZEISS).replace("150", "35000"));
  Row("export makes", "export|{db}|{dir}/out.csv|--make|Example Machines", 0, "",
      "cat|{dir}/out.csv",
      "^MetrovaDatabase:Version=1:Format=CSV\n\nExample Machines,Horizontal Arm 2000,Dual "
      "Arm,CMMA,G:0.0030,M:0.0040\\+0.0050L/1000,Repeat:0.0025\n$");
  Row("export stored noncharacter", "export|{db}|{dir}/all.csv", 0, "", "cat|{dir}/all.csv",
      "\nGh\uFFFDst,F25,Tactile,10360,", GHOST);
  Row("export onto the catalogue", "export|{db}|{db}", 1, "it is a database");
}

void TestCommandLine::limits_data()
{
  Columns({"arguments", "status", "error"});
  const QString thermal = "limits|{db}|Example Metrology|Shopfloor 700|Thermal Compensation";
  const QString bridge = "limits|" + BRIDGE;
  Row("one length", thermal + "|--length|500|--temperature|25", 0);
  Row("defaults", bridge, 0);
  Row("range", thermal + "|--length|0:2000:250|--temperature|17", 0);
  Row("outside the band", "limits|{db}|Example Metrology|Bridge 1000|Tactile|--temperature|25", 0,
      "^metrova-cli: 25.0 C is outside this machine's stated range 18.00 C to 22.00 C: its "
      "limits do not apply\n$");
  Row("bad range", bridge + "|--length|9:1:1", 2, "the range '9:1:1' needs FROM <= TO");
  Row("negative length", bridge + "|--length|-1", 2, "must be 0 mm or more");
}

// The limits are the core's for the machine, length and temperature given (1000 mm and 20 C by
// default): the nine texts at one length, or a CSV row of numbers for each length of a range.
void TestCommandLine::limits()
{
  TRun run;
  Check(&run);
  if (QTest::currentTestFailed() || run.status != 0)
    return;
  const QStringList list = Expand(Text("arguments"));
  TDatabase catalogue(QStringLiteral("tst_commandline"));
  QVERIFY(catalogue.Connect(d_database));
  bool valid = false;
  const QList<TDatabaseItem> records =
      catalogue.Read_Configuration(list.at(2), list.at(3), list.at(4), &valid);
  QVERIFY(valid);
  const double deviation =
      TSpecificationLimits::Temperature_Deviation(Option_Value(list, "--temperature", "20"), 0.0);
  const QString length = Option_Value(list, "--length", "1000");
  const QStringList range = length.split(':');
  QStringList lines = run.out.split('\n', Qt::SkipEmptyParts), expected;
  if (range.size() == 1)
  {
    const QStringList texts = TSpecificationLimits::Calculate(records, length, deviation);
    for (int row = 0; row < TSpecificationLimits::ROW_COUNT; ++row)
      expected.append((TSpecificationLimits::Row_Label(row) + ' ' + texts.at(row)).simplified());
    for (QString &line : lines)
      line = line.simplified();
  }
  else
  {
    QVERIFY2(lines.takeFirst().startsWith("length_mm,B89.4.1 Repeat,"), qPrintable(run.out));
    for (double at = range.at(0).toDouble(); at <= range.at(1).toDouble();
         at += range.at(2).toDouble())
    {
      QStringList fields{QString::number(at)};
      for (const double value : TSpecificationLimits::Values(records, at, deviation))
        fields.append(std::isnan(value) ? QString() : QString::number(value, 'f', 3));
      expected.append(fields.join(','));
    }
  }
  QCOMPARE(lines, expected);
}

void TestCommandLine::compare_data()
{
  Columns({"arguments", "status", "output", "error"});
  // The whole catalogue ranked, the capable machines only: at 2:1 E(500) may reach 2.0 um.
  Row("catalogue capable", "compare|{db}|--tolerance|8|--at|500|--ratio|2|--capable", 0,
      "^Make,Model,Option,Source,E0 at 500 mm \\(um\\),Ratio,Verdict,E0 at 100 mm \\(um\\),E0 at "
      "500 mm \\(um\\),E0 at 1000 mm \\(um\\),Temperature\nZeiss,F25,Tactile,MFG,[^\n]*,Capable,"
      "[^\n]*\nExample Metrology,Shopfloor 700,Thermal Compensation,MFG,2.0,2.00,Capable,1.2,2.0,"
      "3.0,\n$");
  // Named machines in their order; a machine compensated for temperature is worse at 23 C.
  Row("named from 0 mm",
      "compare|{db}|Example Metrology/Shopfloor 700/Thermal Compensation|Zeiss/F25/Tactile|"
      "--length|0,500|--temperature|23",
      0,
      "^Make,Model,Option,Source,E0 at 0 mm \\(um\\),E0 at 500 mm \\(um\\),Temperature\nExample "
      "Metrology,Shopfloor 700,Thermal Compensation,MFG,1.3,2.6,\nZeiss,F25,Tactile,MFG,0.25,1.0,"
      "\n$");
  Row("empty length", "compare|{db}|--length|1,,2", 2, "", "--length '1,,2'");
  Row("zero tolerance", "compare|{db}|--tolerance|0|--at|100", 2, "",
      "--tolerance '0' is not a number above 0");
  Row("capable without tolerance", "compare|{db}|--capable", 2, "", "need --tolerance");
  Row("constant component", "compare|{db}|--component|CMMA:Repeat", 1, "",
      "CMMA:Repeat is no component");
  Row("unknown machine", "compare|{db}|Zeiss/F25/Optical", 1, "", "no machine 'Zeiss/F25/Optical'");
}

void TestCommandLine::report_data()
{
  Columns({"arguments", "status", "error", "then", "then_output"});
  Row("report", "report|" + BRIDGE + "|{dir}/report", 0, "", "pdftotext|-layout|{dir}/report.pdf|-",
      "Option: +Long Range\n(.*\n)*.*E0 +2.5\\+3.3L/1000\\|8.0 +MFG");
  Row("report beyond a file size limit",
      "sh|-c|ulimit -f 4; exec {cli} report {db} Zeiss F25 Tactile {dir}/r.pdf", 1,
      "^metrova-cli: [^\n]*r.pdf[^\n]*\n$", "ls|-A|{dir}", "^$");
  Row("report to a folder", "report|" + BRIDGE + "|.", 2, "names a folder");
  // ".pdf" is added only to a name that does not exist.
  Row("report to the null device", "report|" + BRIDGE + "|/dev/null", 0, "", "ls|/dev",
      "\nnull\n(?!null.pdf)");
  Row("report to a pipe", "sh|-c|mkfifo {dir}/p; exec {cli} report {db} Zeiss F25 Tactile {dir}/p",
      1, "^metrova-cli: Cannot write file '.*/p': it is not a regular file", "ls|-A|{dir}",
      "^p\n$");
  Row("report to a full device", "report|" + BRIDGE + "|/dev/full", 1,
      "^metrova-cli: Cannot write file '/dev/full': it is not a regular file");
}

void TestCommandLine::exit_status_data()
{
  // What main returns, the program run by a shell.
  Columns({"arguments", "status", "output", "error"});
  Row("help", "sh|-c|{cli} --help", 0, "^Usage: metrova-cli COMMAND(.*\n)*  report ");
  Row("command help", "sh|-c|{cli} limits --help", 0, "--length FROM:TO:STEP");
  Row("family help", "sh|-c|{cli} verify --help", 0,
      "^Usage: metrova-cli verify COMMAND(.*\n)+  verify due ");
  Row("family command help", "sh|-c|{cli} verify add --help", 0, "--r0-uncertainty U");
  Row("usage error", "sh|-c|{cli}", 2, "", "no command given");
  // Zeiss F25's E(500) is 1.0 um.
  Row("verdict",
      "sh|-c|printf 'error_um,length_mm\\n3.9,500\\n' >{dir}/r.csv; exec {cli} verify add {db} "
      "Zeiss F25 Tactile {dir}/r.csv --date 2026-11-30 --kind interim",
      3, "^record 1: does not conform\n$");
}

// The README's command-line block as a shell runs it, line after line, in a folder with the
// examples.
void TestCommandLine::readme()
{
  QFile file(QStringLiteral(METROVA_README));
  QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString text = QString::fromUtf8(file.readAll());
  const int start = text.indexOf("```sh\n", text.indexOf("\n## The command-line tool\n")) + 6;
  const QStringList lines =
      text.mid(start, text.indexOf("\n```", start) - start).replace("\\\n", " ").split('\n');
  QVERIFY2(start > 6 && lines.size() > 10, qPrintable(lines.join('\n')));

  QVERIFY(QFile::link(QFileInfo(SAMPLE).path(), d_folder + "/examples"));
  qputenv("PATH", QFile::encodeName(QFileInfo(CLI).path()) + ':' + qgetenv("PATH"));
  for (const QString &line : lines)
  {
    const TRun run = Run("sh", {"-c", "cd \"$0\" && " + line, d_folder});
    QVERIFY2(run.status == 0, qPrintable(line + '\n' + run.err));
  }
}

// The QIF commands end to end: every manufacturer's E0 that QIF can carry comes back as it was
// in a new catalogue; what it cannot carry, and Metrova's own estimates, are named on standard
// error.
void TestCommandLine::qif()
{
  const QString document = d_folder + "/plant.qif", copy = d_folder + "/copy.db";
  const TRun exported = Run("metrova-cli", {"export-qif", d_database, document});
  QCOMPARE(exported.status, 0);
  const TRun imported = Run("metrova-cli", {"import-qif", copy, document});
  QCOMPARE(imported.status, 0);
  QVERIFY2(imported.err.contains("accuracy is Metrova's own estimate; skipped"),
           qPrintable(imported.err));

  const auto e0 = [](const QString &database)
  {
    return Run("metrova-cli", {"compare", database, "--length", "10,1000"})
        .out.split('\n', Qt::SkipEmptyParts)
        .mid(1);
  };
  QStringList expected;
  for (const QString &line : e0(d_database))
  {
    const QString machine = line.section(',', 0, 2).replace(",", ", ");
    if (line.section(',', 3, 3) == "MFG" && !exported.err.contains(machine + ":"))
      expected.append(line);
  }
  QVERIFY2(exported.err.contains("Thermal Compensation: its length error E0 depends on the "
                                 "temperature"),
           qPrintable(exported.err));
  QVERIFY(expected.size() >= 4);
  QCOMPARE(e0(copy), expected);
}

// The verification log end to end: the state as the exit status, the results judged and stored
// with their figures, bad input refused, and a machine's records kept from a plain delete.
void TestCommandLine::verify_data()
{
  Columns({"arguments", "status", "output", "error", "then", "then_output", "other"});
  const QString machine = "{db}|Example Metrology|Bridge 1000|Tactile";
  const QString add = "verify|add|" + machine + "|{dir}/results.csv|--date|2026-11-30|--kind|";
  const QString cli_add = "{cli} verify add {db} 'Example Metrology' 'Bridge 1000' Tactile "
                          "{dir}/results.csv --date 2026-11-30 --kind interim";
  const QString cli_machine = " {db} 'Example Metrology' 'Bridge 1000' Tactile";
  const QString show = "metrova-cli|verify|show|" + machine + "|1|--csv";
  // MPE(500) = 3.15 um; with U = 0.5 the four errors fall in the four zones, and their range of
  // 1.9 exceeds R0 = 1.2.
  Row("add", add + "acceptance|--temperature|20|--uncertainty|0.5", 3,
      "^record 1: does not conform\n$", "", show,
      "^length_mm,position,repetition,error_um,mpe_um,zone,u_um,retest\n500,P1,1,2,3.15,pass,0.5,"
      "\n500,P1,2,2.8,3.15,conditional pass,0.5,\n500,P1,3,3.4,3.15,conditional fail,0.5,\n500,P1,"
      "4,3.9,3.15,fail,0.5,\n\nlength_mm,position,repetitions,range_um,limit_um,zone,u_um\n500,P1,"
      "4,1.9,1.2,fail,0\n");
  Row("conformance not proven",
      add + "acceptance|--temperature|20.5|--rule|conformance|"
            "--uncertainty|0.3+0.4L/1000|--r0-uncertainty|1",
      4, "^record 1: conformance not proven\n$", "", "", "",
      "UPDATE specification SET expression='0.0010+0.0050L/1000' WHERE component_id=(SELECT "
      "component_type_id FROM component_types WHERE name='E0')");
  Row("estimated limit",
      "verify|add|{db}|Example Instruments|Gantry 3000|Standard|{dir}/results.csv|--date|"
      "2026-11-30|--kind|interim",
      5, "^record 1: not judged: estimated limit\n$", "E0 is estimated from another standard");
  Row("probing without lengths",
      "verify|add|" + machine +
          "|{dir}/probe.csv|--date|2026-11-30|--kind|interim|--component|"
          "10360:Pftu",
      0, "^record 1: conforms\n$");
  // Judged and stored against the limit that another program set meanwhile, under the lock.
  Row("add waits for set", add + "interim", 0, "^record 1: conforms\n$", "", show,
      "^[^\n]*\n500,P1,1,2,13.5,pass,0,",
      "BEGIN IMMEDIATE\nUPDATE specification SET expression='0.0090+0.0090L/1000' WHERE "
      "component_id=(SELECT component_type_id FROM component_types WHERE name='E0')\nUPDATE "
      "specification SET expression='0.0050' WHERE component_id=(SELECT component_type_id FROM "
      "component_types WHERE name='R0')");
  Row("stored verdict after set",
      "sh|-c|" + cli_add + " >/dev/null; {cli} set" + cli_machine +
          " 10360 E0=9+9L/1000; exec {cli} verify show" + cli_machine + " 1 --csv",
      3, "\n500,P1,4,3.9,3.15,fail,0,",
      "the catalogue's E0 is now 9.0\\+9.0L/1000 \u00b5m, stated by the manufacturer\n$");
  Row("same check refused", "sh|-c|" + cli_add + " >/dev/null; exec " + cli_add, 1, "",
      "^metrova-cli: cannot add the record: Record 1 of this machine is the same check[^\n]* Give "
      "--again to store it anyway.\n$",
      "sh|-c|" + cli_add + " --again", "^record 2: does not conform\n$");
  Row("output lost after the commit", "sh|-c|exec " + cli_add + " >/dev/full", 1, "",
      "^metrova-cli: cannot write to standard output; record 1 was saved\n$", show, "\n500,P1,4,");
  // Lost before the notes on the record: the failure is the one line.
  Row("shown record's output lost",
      "sh|-c|" + cli_add + " >/dev/null; exec {cli} verify show" + cli_machine + " 1 >/dev/full", 1,
      "", "^metrova-cli: cannot write to standard output\n$");
  Row("listed records' output lost",
      "sh|-c|" + cli_add + " >/dev/null; {cli} set" + cli_machine +
          " 10360 E0=9+9L/1000; exec {cli} verify list" + cli_machine + " >/dev/full",
      1, "", "^metrova-cli: cannot write to standard output\n$");
  Row("re-test due", "sh|-c|" + cli_add + " >/dev/null; exec {cli} verify due {db} --csv", 0,
      "\nExample Metrology,Bridge 1000,Tactile,interim,2026-11-30,2026-11-30,re-test due\n$");
  Row("last value kept for records",
      "sh|-c|" + cli_add + " >/dev/null; exec {cli} unset" + cli_machine +
          " 10360 Pftu R0 Rpt E0 E150 Ts_Max Ts_Min",
      1, "", "has 1 verification record\\(s\\): removing its last value would hide them",
      "metrova-cli|verify|list|" + machine, "\n1 +2026-11-30 +interim ");
  Row("bad file", "verify|add|" + machine + "|{dir}/bad.csv|--date|2026-12-01|--kind|interim", 1,
      "", "line 3");
  Row("endless file", "verify|add|" + machine + "|/dev/zero|--date|2026-12-01|--kind|interim", 1,
      "", "line 1: longer than 4096 bytes");
  Row("bad date", "verify|add|" + machine + "|{dir}/results.csv|--date|2026-02-29|--kind|interim",
      2, "", "2026-02-29");
  Row("date ahead", "verify|add|" + machine + "|{dir}/results.csv|--date|2999-01-01|--kind|interim",
      1, "", "The date 2999-01-01 is after today");
  Row("no temperature", add + "reverification", 2, "", "the temperature is required");
  Row("temperature beyond a room's", add + "interim|--temperature|1e308", 2, "",
      "the temperature 1e308 \u00b0C lies outside");
  Row("due", "verify|schedule|" + machine + "|--interim|7", 0, "\ninterim +7 days +due\n", "",
      "metrova-cli|verify|due|{db}|--on|2026-12-20|--csv",
      "^make,model,option,kind,last,due,status\nExample Metrology,Bridge 1000,Tactile,interim,,,"
      "due\n$");
  Row("delete keeps records", "sh|-c|" + cli_add + " >/dev/null; exec {cli} delete" + cli_machine,
      1, "", "1 verification record\\(s\\)", "metrova-cli|list|{db}|Example Metrology|Bridge 1000",
      "^Long Range\nTactile\n$");
  Row("delete with records",
      "sh|-c|" + cli_add + " >/dev/null; exec {cli} delete" + cli_machine + " --with-records", 0,
      "^$", "", "metrova-cli|list|{db}|Example Metrology|Bridge 1000", "^Long Range\n$");
}

void TestCommandLine::verify()
{
  QVERIFY(TestSupport::Write_File(d_folder + "/results.csv",
                                  "error_um,length_mm,position\n2,500,P1\n2.8,500,P1\n3.4,500,P1\n"
                                  "3.9,500,P1\n"));
  QVERIFY(TestSupport::Write_File(d_folder + "/bad.csv", "length_mm,error_um\n500,2\n-1,2\n"));
  QVERIFY(TestSupport::Write_File(d_folder + "/probe.csv", "position,error_um\n1,1.2\n2,1.5\n"));
  Check();
}

// Who changed what: each write of each command in the history, in the unit of the change, by the
// changer's name and the UTC time, oldest first; a machine's with those of the whole catalogue.
void TestCommandLine::history_data()
{
  Columns({"arguments", "status", "output", "error"});
  const QString acme = " {db} Acme X1 Standard";
  const QString entry = "{today}T\\d\\d:\\d\\d:\\d\\dZ,{user},";
  Row("specification changes",
      "sh|-c|{cli} set" + acme + " 10360 E0=1.5+3.3L/1000 Ts_Min=18 && {cli} set" + acme +
          " 10360 E0=1.6+3.3L/1000 Ts_Min=18 && {cli} unset" + acme +
          " 10360 Ts_Min && exec {cli} history" + acme + " --csv",
      0,
      "^time,user,change,make,model,option,details\n" + entry +
          "specification,Acme,X1,Standard,10360 E0=1.5\\+3.3L/1000; 10360 Ts_Min=18.00 C\n" +
          entry +
          "specification,Acme,X1,Standard,10360 E0=1.6\\+3.3L/1000 \\(was "
          "1.5\\+3.3L/1000\\)\n" +
          entry + "specification,Acme,X1,Standard,10360 Ts_Min removed \\(was 18.00 C\\)\n$");
  Row("import, log and delete of a machine",
      "sh|-c|printf 'error_um,length_mm\\n1,500\\n' >{dir}/r.csv; {cli} verify add {db} Zeiss F25 "
      "Tactile {dir}/r.csv --date 2026-11-30 --kind interim >/dev/null && {cli} verify schedule "
      "{db} Zeiss F25 Tactile --interim 30 >/dev/null && {cli} verify delete {db} Zeiss F25 "
      "Tactile 1 && {cli} verify add {db} Zeiss F25 Tactile {dir}/r.csv --date 2026-11-30 --kind "
      "interim >/dev/null && {cli} delete {db} Zeiss F25 Tactile --with-records && exec {cli} "
      "history {db} Zeiss F25 Tactile --csv",
      0,
      "^time,user,change,make,model,option,details\n[^\n]+,import,Zeiss,F25,Tactile,from "
      "catalogue.csv\n" +
          entry +
          "record added,Zeiss,F25,Tactile,\"record 1: interim 2026-11-30, 10360:E0, "
          "conforms\"\n" +
          entry +
          "schedule,Zeiss,F25,Tactile,\"reverification none, interim check every 30 "
          "days\"\n" +
          entry + "record deleted,Zeiss,F25,Tactile,\"record 1: interim 2026-11-30, 10360:E0\"\n" +
          entry + "record added,[^\n]+\n" + entry +
          "delete,Zeiss,F25,Tactile,with 1 verification record\\(s\\)\n$");
  // A refused change leaves no entry; the make's history holds its machines'.
  Row("refused change",
      "sh|-c|{cli} set {db} Zeiss F25 Tactile 10360 E0=x; exec {cli} history {db} Zeiss", 0,
      "^time +user +change +make +model +option +details\n[^\n]+ import +Zeiss +F25 +Tactile +from "
      "catalogue.csv\n$",
      "invalid expression");
  Row("too many names", "history|{db}|A|B|C|D", 2, "", "too many arguments");
}

// A copy goes only into a new or empty catalogue, and leaves nothing when it fails.
void TestCommandLine::copy_data()
{
  Columns({"arguments", "status", "output", "error", "then", "then_output"});
  Row("target not empty",
      "sh|-c|printf 'MetrovaDatabase:Version=1:Format=CSV\\nA,B,C,10360,E0:0.001+0.002L/1000\\n' "
      ">{dir}/a.csv; {cli} import {dir}/t.db {dir}/a.csv && exec {cli} copy {db} {dir}/t.db",
      1, "",
      "^metrova-cli: cannot copy '[^']*' to '[^']*t.db': The target is not empty: a catalogue "
      "is copied only into a new file or an empty database.\n$",
      "metrova-cli|list|{dir}/t.db", "^A\n$");
  Row("failed copy leaves no file", "sh|-c|ulimit -f 4; exec {cli} copy {db} {dir}/n.db", 1, "",
      "^metrova-cli: cannot copy '[^']*' to '[^']*n.db': ", "ls|-A|{dir}", "^$");
  Row("missing source", "copy|{dir}/none.db|{dir}/n.db", 1, "",
      "^metrova-cli: cannot open database '[^']*none.db': no such file");
  Row("onto itself", "copy|{db}|{db}", 2, "", "SOURCE and TARGET are the same catalogue");
}

// A copy to a file and back gives the same catalogue: the same export bytes, log and due checks;
// its history is the source's with the two copies added.
void TestCommandLine::copy_there_and_back()
{
  const QString zeiss = " {db} Zeiss F25 Tactile";
  const QStringList setup{
      "printf 'error_um,length_mm\\n1,500\\n3,500\\n' >{dir}/r.csv",
      "{cli} verify add" + zeiss + " {dir}/r.csv --date 2026-11-30 --kind interim --temperature 21",
      "{cli} verify schedule" + zeiss + " --interim 30 --reverification 12",
      // A gap in the ids, and a machine stored after it.
      "{cli} delete {db} Hexagon", "{cli} set {db} Acme X1 Standard 10360 E0=1.5+3.3L/1000",
      "{cli} copy {db} {dir}/c.db", "{cli} copy {dir}/c.db {db2}"};
  for (const QString &line : setup)
  {
    const TRun run = Run("sh", Expand("sh|-c|" + line).mid(1));
    QVERIFY2(run.status == 0 || run.status == 3, qPrintable(line + '\n' + run.err));
  }
  QVERIFY(QFileInfo(d_folder + "/c.db").isFile());
  const auto outputs = [this](const QString &database)
  {
    QStringList texts;
    const QString path = d_folder + "/export-" + QFileInfo(database).baseName() + ".csv";
    texts << Run("metrova-cli", {"export", database, path}).err
          << QString::fromUtf8(TestSupport::File_Bytes(path));
    const QStringList zeiss{database, "Zeiss", "F25", "Tactile"};
    for (const QStringList &arguments :
         {QStringList{"verify", "list"} + zeiss,
          QStringList{"verify", "show"} + zeiss + QStringList{"1"},
          QStringList{"verify", "due", database, "--on", "2026-12-31", "--csv"},
          QStringList{"show", database, "Acme", "X1", "Standard"},
          QStringList{"history", database, "--csv"}})
    {
      const TRun run = Run("metrova-cli", arguments);
      texts << QString::number(run.status) + run.out + run.err;
    }
    return texts;
  };
  const QStringList source = outputs(d_database);
  QStringList copy = outputs(d_other);
  QVERIFY2(source.at(2).contains("\n1 "), qPrintable(source.at(2)));
  QVERIFY2(source.last().contains(",delete,Hexagon,,,"), qPrintable(source.last()));
  // The two copies' entries are the history's last.
  QStringList history = copy.takeLast().split('\n');
  QVERIFY2(
      history.size() > 3 &&
          history.at(history.size() - 3)
              .endsWith(",copy,,,,copied from " + TCatalogueLocation(d_database).Display_Name()) &&
          history.at(history.size() - 2).endsWith(",copy,,,,copied from c.db"),
      qPrintable(history.join('\n')));
  history.removeAt(history.size() - 3);
  history.removeAt(history.size() - 2);
  QCOMPARE(copy << history.join('\n'), source);
}

// A new catalogue; on a server, the statements that let a reader role read it and a writer role
// change it, and only add to its history.
void TestCommandLine::init_command_data()
{
  Columns({"arguments", "status", "output", "error", "then", "then_output"});
  if (TestSupport::Engine_Has_Files())
  {
    Row("new file", "init|{dir}/new.db", 0, "^$", "", "metrova-cli|list|{dir}/new.db", "^$");
    return;
  }
  Row("statements", "init|{db2}", 0,
      "^(--[^\n]*\n)+GRANT CONNECT ON DATABASE [^\n]+ TO :\"reader\", :\"writer\";\n(.*\n)*GRANT "
      "SELECT ON ALL TABLES IN SCHEMA [^\n]+ TO :\"reader\";\n",
      "", "metrova-cli|list|{db2}", "^$");
  Row("roles",
      "sh|-c|u={db2}; w=postgresql://w$$${u#postgresql://metrova_admin}; "
      "r=postgresql://r$$${u#postgresql://metrova_admin}; psql -Xq \"$u\" -c \"CREATE ROLE r$$ "
      "LOGIN\" -c \"CREATE ROLE w$$ LOGIN\" && {cli} init \"$u\" >{dir}/g.sql && psql -Xq -v "
      "ON_ERROR_STOP=1 -v reader=r$$ -v writer=w$$ -f {dir}/g.sql \"$u\" && {cli} set \"$w\" A B C "
      "10360 E0=1+L/500 && {cli} list \"$r\" && ! psql -Xq \"$w\" -c 'DELETE FROM change_history' "
      "2>/dev/null && ! {cli} set \"$r\" A B C 10360 E0=2+L/500 2>/dev/null && exec {cli} history "
      "\"$r\" --csv",
      0,
      "^A\ntime,user,change,make,model,option,details\n[^\n]+,w[0-9]+,specification,A,B,C,10360 "
      "E0=1.0\\+1.0L/500\n$");
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
