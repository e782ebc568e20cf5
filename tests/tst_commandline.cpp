// metrova-cli run end to end on a copy of the sample catalogue: its commands in this process,
// the README's examples as a shell runs them.
#include "commandline.h"
#include "specificationlimits.h"
#include "testsupport.h"

#include <QProcess>
#include <QSemaphore>
#include <QtTest>

#include <cmath>
#include <thread>

namespace
{
const QString CLI = QStringLiteral(METROVA_CLI);
const QString SAMPLE = QStringLiteral(METROVA_SAMPLE);

// What a follow-up check compares with the core's own results.
enum TCheck
{
  CHECK_NONE,
  CHECK_LIMITS, // the nine rows are TSpecificationLimits::Calculate's
  CHECK_RANGE   // the table's numbers are TSpecificationLimits::Values
};

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
  void commands_data();
  void commands();
  void refused_data();
  void refused();
  void qif();
  void verify();
  void readme();

private:
  QTemporaryDir d_directory;
};

void TestCommandLine::initTestCase()
{
  // The sample imports without a single warning.
  const TRun run = Run(QStringLiteral("metrova-cli"),
                       {QStringLiteral("import"), d_directory.filePath("sample.db"), SAMPLE});
  QCOMPARE(run.err, QString());
  QCOMPARE(run.status, 0);
}

// A row of the commands table: the arguments, the status, patterns of what is written, and a
// follow-up command with a pattern of its output, or a check against the core's results; and
// what another program does to the catalogue first.
void Row(const char *name, const QString &arguments, int status, const QString &output,
         const QString &error = QString(), const QString &then = QString(),
         const QString &then_output = QString(), int check = CHECK_NONE,
         const QString &other = QString())
{
  QTest::newRow(name) << arguments << status << output << error << then << then_output << check
                      << other;
}

void TestCommandLine::commands_data()
{
  QTest::addColumn<QString>("arguments");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("output");
  QTest::addColumn<QString>("error");
  QTest::addColumn<QString>("then");
  QTest::addColumn<QString>("then_output");
  QTest::addColumn<int>("check");
  QTest::addColumn<QString>("other");

  // Arguments and follow-up commands are separated by "|"; {db} is a copy of the imported
  // sample, {dir} a folder of the row's own, {cli} the program for rows run by "sh", {sample}
  // the sample file. Patterns are regular expressions; an empty error pattern means nothing on
  // standard error. Another program's statements (one a line) are committed before the command
  // starts or, after a BEGIN IMMEDIATE, a moment after it, while the command waits for the lock.
  const QString bridge = QStringLiteral("{db}|Example Metrology|Bridge 1000|Long Range");
  const QString show_bridge = QStringLiteral("metrova-cli|show|") + bridge;
  const QString thermal =
      QStringLiteral("{db}|Example Metrology|Shopfloor 700|Thermal Compensation");
  Row("help", "--help", 0, "^Usage: metrova-cli COMMAND(.*\n)*  report ");
  Row("command help", "limits|--help", 0, "--length FROM:TO:STEP");
  Row("list makes", "list|{db}", 0,
      "^Example Instruments\nExample Machines\nExample Messtechnik\nExample Metrology\nHexagon\n"
      "White Paper Example\nZeiss\n$");
  Row("list options csv", "list|{db}|Hexagon|GLOBAL S|--csv", 0,
      "^option\nExtended Temperature Range\nStandard Temperature Range\n$");
  Row("show", "show|" + bridge, 0,
      "\n10360 +E0 +2.5\\+3.3L/1000\\|8.0 +MFG +Maximum length error\n");
  Row("show cleaned name csv", "show|{db}|Example Metrology|Bridge: 1000|Long Range|--csv", 0,
      "^standard,component,expression_um,source,description\n(.*\n)*CMMA,M,[0-9.+L/|]+,EST,",
      "^metrova-cli: the model name 'Bridge: 1000' is taken as 'Bridge 1000'\n$");
  Row("missing database not created", "show|{dir}/none.db|Zeiss|F25|Tactile", 1, "^$",
      "cannot open database '.*none.db': no such file", "ls|{dir}", "^$");
  Row("failed import creates nothing", "import|{dir}/new.db|{dir}", 1, "^$", "cannot import",
      "ls|{dir}", "^$");
  // Another program puts its catalogue where the import created one, while the import reads.
  Row("failed import keeps another's catalogue",
      "sh|-c|mkfifo {dir}/f.csv; {cli} import {dir}/r.db {dir}/f.csv & exec 3>{dir}/f.csv; cp "
      "{db} {dir}/o.db; mv {dir}/o.db {dir}/r.db; echo x >&3; exec 3>&-; wait $!",
      1, "^$", "^metrova-cli: cannot import '.*f.csv': Imported CSV file does not start",
      "metrova-cli|list|{dir}/r.db", "\nZeiss\n$");
  Row("import refused by the catalogue", "import|{db}|{sample}", 1, "^$",
      "^metrova-cli: cannot import '[^']*': line [0-9]+: Cannot add data[^\n]*refused\n$", "", "",
      CHECK_NONE,
      "CREATE TRIGGER refuse BEFORE INSERT ON specification BEGIN SELECT RAISE(ABORT,'refused'); "
      "END");
  Row("failed import leaves an empty file",
      "sh|-c|: >{dir}/e.db; exec {cli} import-qif {dir}/e.db {dir}", 1, "^$",
      "^metrova-cli: cannot import '[^:]*': Cannot open file", "wc|-c|{dir}/e.db", "^0 ");
  Row("limits", "limits|" + thermal + "|--length|500|--temperature|25", 0, "CMMA M: +\\+/- ", "",
      "", "", CHECK_LIMITS);
  Row("limits defaults", "limits|" + bridge, 0, "10360-2 E0: +\\+/- 5.8 um", "", "", "",
      CHECK_LIMITS);
  Row("limits range", "limits|" + thermal + "|--length|0:2000:250|--temperature|17", 0,
      "^length_mm,B89.4.1 Repeat,.*,CMMA M\n0,(.*\n){8}2000,[^\n]*\n$", "", "", "", CHECK_RANGE);
  Row("limits outside the band",
      "limits|{db}|Example Metrology|Bridge 1000|Tactile|--temperature|25", 0, "CMMA M: ",
      "^metrova-cli: 25.0 C is outside this machine's stated range 18.00 C to 22.00 C: its "
      "limits do not apply\n$",
      "", "", CHECK_LIMITS);
  const QString header = "^Make,Model,Option,Source,E0 at 500 mm \\(um\\),Ratio,Verdict,E0 at 100 "
                         "mm \\(um\\),E0 at 500 mm \\(um\\),E0 at 1000 mm \\(um\\),Temperature\n";
  Row("compare three by ratio",
      "compare|{db}|Example Metrology/Bridge 1000/Long Range|Example Metrology/Bridge "
      "1000/Tactile|White Paper Example/Shop-Floor CMM/Standard Band 18-22 C|--tolerance|20|"
      "--at|500|--temperature|23",
      0,
      header + "Example Metrology,Bridge 1000,Tactile,MFG,3.1,3.17,Outside temperature range,"
               "1.8,3.1,4.8,outside 18.00 C to 22.00 C\n"
               "Example Metrology,Bridge 1000,Long Range,MFG,4.2,2.41,Ratio too small,2.8,4.2,"
               "5.8,\nWhite Paper Example,Shop-Floor CMM,Standard Band 18-22 C,MFG,4.5,2.22,"
               "Outside temperature range,3.3,4.5,6.0,outside 18.00 C to 22.00 C\n$");
  // The whole catalogue ranked, the capable machines only: at 2:1 E(500) may reach 2.0 um.
  Row("compare catalogue capable", "compare|{db}|--tolerance|8|--at|500|--ratio|2|--capable", 0,
      header + "Zeiss,F25,Tactile,MFG,[^\n]*,Capable,[^\n]*\nExample Metrology,Shopfloor 700,"
               "Thermal Compensation,MFG,2.0,2.00,Capable,1.2,2.0,3.0,\n$");
  Row("compare from 0 mm", "compare|{db}|Zeiss/F25/Tactile|--length|0,500", 0,
      "E0 at 0 mm \\(um\\),E0 at 500 mm "
      "\\(um\\),Temperature\nZeiss,F25,Tactile,MFG,0.[23],1.0,\n$");
  // New make, model and option at once, their names kept from a spreadsheet's formulas.
  Row("set creates a machine", "set|{db}|=1+1|-1+1|@SUM(1)|10360|E0=1+L/500", 0, "^$", "",
      "metrova-cli|list|{db}|=1+1|-1+1|--csv", "^option\n\"'@SUM\\(1\\)\"\n$");
  Row("set", "set|" + bridge + "|10360|E0=1.8+3L/1000|Ts_Min=17", 0, "^$", "", show_bridge,
      "E0 +1.8\\+3.0L/1000 +MFG.*\n.*E150 +2.9\\+3.3L/1000\\|8.5 +MFG(.*\n)*.*Ts_Min +17.00 C "
      "+MFG");
  Row("unset", "unset|" + bridge + "|10360|E150", 0, "^$", "", show_bridge,
      "\n10360 +E150 +\\S+ +EST ");
  Row("delete option", "delete|" + bridge, 0, "^$", "",
      "metrova-cli|list|{db}|Example Metrology|Bridge 1000", "^Tactile\n$");
  // What another program writes meanwhile is read before the change, never overwritten by it.
  Row("set after another writer", "set|" + bridge + "|10360|E0=1.8+3L/1000", 0, "^$", "",
      show_bridge, "Pftu +4.2 +MFG(.*\n)*.*E0 +1.8\\+3.0L/1000 +MFG", CHECK_NONE,
      "BEGIN IMMEDIATE\nUPDATE specification SET expression='0.0042' WHERE component_id IN "
      "(SELECT component_type_id FROM component_types WHERE name='Pftu')");
  Row("delete after another writer", "delete|{db}|Example Metrology", 1, "^$",
      "^metrova-cli: cannot delete Example Metrology: CMM Make not found.\n$",
      "metrova-cli|list|{db}", "\nRenamed\n", CHECK_NONE,
      "BEGIN IMMEDIATE\nUPDATE make SET name='Renamed' WHERE name='Example Metrology'");
  // A name an older version stored with U+FFFE, which reads back with U+FFFD.
  const QString ghost = "UPDATE make SET name='Gh'||char(65534)||'st' WHERE name='Zeiss'";
  Row("show stored noncharacter", "show|{db}|Gh\uFFFDst|F25|Tactile", 0, "\n10360 +E0 ", "", "", "",
      CHECK_NONE, ghost);
  Row("export stored noncharacter", "export|{db}|{dir}/all.csv", 0, "^$", "", "cat|{dir}/all.csv",
      "\nGh\uFFFDst,F25,Tactile,10360,", CHECK_NONE, ghost);
  Row("delete stored noncharacter", "delete|{db}|Gh\uFFFDst", 0, "^$", "", "metrova-cli|list|{db}",
      "\nHexagon\nWhite Paper Example\n$", CHECK_NONE, ghost);
  Row("export makes", "export|{db}|{dir}/out.csv|--make|Example Machines", 0, "^$", "",
      "cat|{dir}/out.csv",
      "^MetrovaDatabase:Version=1:Format=CSV\n\nExample Machines,Horizontal Arm 2000,Dual "
      "Arm,CMMA,G:0.0030,M:0.0040\\+0.0050L/1000,Repeat:0.0025\n$");
  Row("report", "report|" + bridge + "|{dir}/report", 0, "^$", "",
      "pdftotext|-layout|{dir}/report.pdf|-",
      "Option: +Long Range\n(.*\n)*.*E0 +2.5\\+3.3L/1000\\|8.0 +MFG");
  Row("report beyond a file size limit",
      "sh|-c|ulimit -f 4; exec {cli} report {db} Zeiss F25 Tactile {dir}/r.pdf", 1, "^$",
      "^metrova-cli: [^\n]*r.pdf[^\n]*\n$", "ls|-A|{dir}", "^$");
}

void TestCommandLine::commands()
{
  QFETCH(QString, arguments);
  QFETCH(int, status);
  QFETCH(QString, output);
  QFETCH(QString, error);
  QFETCH(QString, then);
  QFETCH(QString, then_output);
  QFETCH(int, check);
  QFETCH(QString, other);

  QTemporaryDir directory;
  const QString database = directory.filePath("catalogue.db");
  QVERIFY(QFile::copy(d_directory.filePath("sample.db"), database));
  QVERIFY(QDir(directory.path()).mkdir("folder"));
  const auto expand = [&](const QString &text)
  {
    QString expanded = text;
    expanded.replace("{db}", database)
        .replace("{dir}", directory.filePath("folder"))
        .replace("{cli}", CLI)
        .replace("{sample}", SAMPLE);
    return expanded.isEmpty() ? QStringList() : expanded.split('|');
  };
  const QStringList argument_list = expand(arguments);

  QSemaphore written;
  QString other_failure;
  std::thread other_program(
      [&]()
      {
        TestSupport::TOtherConnection connection(database, "other_program");
        for (const QString &statement : other.split('\n'))
          if (other_failure.isEmpty() && !connection.Execute(statement, &other_failure))
            other_failure += ": " + statement;
        written.release();
        if (other.startsWith("BEGIN") && other_failure.isEmpty())
        {
          QThread::msleep(500);
          if (!connection.Execute("COMMIT", &other_failure))
            other_failure += ": COMMIT";
        }
      });
  written.acquire();
  const TRun run = argument_list.value(0) == "sh" ? Run("sh", argument_list.mid(1))
                                                  : Run("metrova-cli", argument_list);
  other_program.join();
  QVERIFY2(other_failure.isEmpty(), qPrintable(other_failure));
  QVERIFY2(QRegularExpression(output).match(run.out).hasMatch(), qPrintable(run.out));
  QVERIFY2(error.isEmpty() ? run.err.isEmpty()
                           : QRegularExpression(error).match(run.err).hasMatch(),
           qPrintable(run.err));
  QCOMPARE(run.status, status);

  if (!then.isEmpty())
  {
    const QStringList then_list = expand(then);
    const TRun then_run = Run(then_list.first(), then_list.mid(1));
    QVERIFY2(QRegularExpression(then_output).match(then_run.out).hasMatch(),
             qPrintable(then_run.out + then_run.err));
  }
  if (check != CHECK_LIMITS && check != CHECK_RANGE)
    return;

  TDatabase catalogue(QStringLiteral("tst_commandline"));
  QVERIFY(catalogue.Connect(database));
  bool valid = false;
  const QList<TDatabaseItem> records = catalogue.Read_Configuration(
      argument_list.at(2), argument_list.at(3), argument_list.at(4), &valid);
  QVERIFY(valid);
  const double deviation = TSpecificationLimits::Temperature_Deviation(
      Option_Value(argument_list, "--temperature", "20"), 0.0);
  QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
  if (check == CHECK_LIMITS)
  {
    const QStringList texts = TSpecificationLimits::Calculate(
        records, Option_Value(argument_list, "--length", "1000"), deviation);
    QCOMPARE(lines.size(), int(TSpecificationLimits::ROW_COUNT));
    for (int row = 0; row < TSpecificationLimits::ROW_COUNT; ++row)
    {
      const QString label = TSpecificationLimits::Row_Label(row);
      QCOMPARE(lines.at(row).left(label.size()), label);
      QCOMPARE(lines.at(row).mid(label.size()).trimmed(), texts.at(row));
    }
    return;
  }
  lines.removeFirst();
  for (const QString &line : qAsConst(lines))
  {
    const QStringList fields = line.split(',');
    const QList<double> values =
        TSpecificationLimits::Values(records, fields.first().toDouble(), deviation);
    QStringList expected{fields.first()};
    for (const double value : values)
      expected.append(std::isnan(value) ? QString() : QString::number(value, 'f', 3));
    QCOMPARE(fields, expected);
  }
}

void TestCommandLine::refused_data()
{
  QTest::addColumn<QString>("arguments");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("error");

  // {db} is the imported sample, {dir} its folder.
  const QString bridge = QStringLiteral("{db}|Example Metrology|Bridge 1000|Long Range|");
  const auto row = [](const char *name, const QString &arguments, int status, const char *error)
  { QTest::newRow(name) << arguments << status << QString::fromUtf8(error); };
  row("no command", "", 2, "no command given");
  row("unknown option", "list|{db}|--make|X", 2, "unknown option '--make'");
  row("too few", "show|{db}|Zeiss", 2, "too few arguments");
  row("set without value", "set|" + bridge + "10360|E0", 2, "'E0' is not COMPONENT=EXPRESSION");
  row("limits bad range", "limits|" + bridge + "--length|9:1:1", 2,
      "the range '9:1:1' needs FROM <= TO");
  row("limits negative length", "limits|" + bridge + "--length|-1", 2, "must be 0 mm or more");
  row("compare empty length", "compare|{db}|--length|1,,2", 2, "--length '1,,2'");
  row("compare zero tolerance", "compare|{db}|--tolerance|0|--at|100", 2,
      "--tolerance '0' is not a number above 0");
  row("capable without tolerance", "compare|{db}|--capable", 2, "need --tolerance");
  row("empty database name", "import||{sample}", 2, "the database name is empty");
  row("report to a folder", "report|" + bridge + ".", 2, "names a folder");
  row("show unknown option", "show|{db}|Zeiss|F25|Optical", 1,
      "no option 'Optical' of Zeiss F25 in");
  row("compare constant component", "compare|{db}|--component|CMMA:Repeat", 1,
      "CMMA:Repeat is no component");
  row("compare unknown machine", "compare|{db}|Zeiss/F25/Optical", 1,
      "no machine 'Zeiss/F25/Optical'");
  row("set invalid", "set|" + bridge + "10360|E0=1.8+3L/1000|Pftu=1+2L/100", 1,
      "metrova-cli: invalid expression for 10360 Pftu: '1+2L/100': this component accepts: a "
      "constant\n");
  row("set temperature out of range", "set|" + bridge + "10360|Ts_Min=5", 1,
      "Ts_Min: '5': this component accepts: a temperature");
  row("set unknown component", "set|" + bridge + "CMMA|E0=2", 1,
      "no component 'E0' in standard CMMA");
  row("delete unknown make", "delete|{db}|Nobody", 1, "metrova-cli: no make 'Nobody' in '");
  row("report unwritable", "report|" + bridge + "{dir}/missing/report.pdf", 1,
      "missing/report.pdf");
  row("export onto the catalogue", "export|{db}|{db}", 1, "it is a database");
}

// A refused command writes nothing, changes nothing and says why in one line.
void TestCommandLine::refused()
{
  QFETCH(QString, arguments);
  QFETCH(int, status);
  QFETCH(QString, error);
  const QString database = d_directory.filePath("sample.db");
  const QStringList rows_before = TestSupport::TOtherConnection(database).Dump();
  arguments.replace("{db}", database)
      .replace("{dir}", d_directory.path())
      .replace("{sample}", SAMPLE);
  const TRun run = Run("metrova-cli", arguments.isEmpty() ? QStringList() : arguments.split('|'));
  QVERIFY2(run.err.contains(error) && (status == 2 || run.err.count('\n') == 1),
           qPrintable(run.err));
  QCOMPARE(run.out, QString());
  QCOMPARE(run.status, status);
  QCOMPARE(TestSupport::TOtherConnection(database).Dump(), rows_before);
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

  QTemporaryDir directory;
  QVERIFY(QFile::link(QFileInfo(SAMPLE).path(), directory.filePath("examples")));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("PATH", QFileInfo(CLI).path() + ':' + environment.value("PATH"));
  for (const QString &line : lines)
  {
    QProcess shell;
    shell.setWorkingDirectory(directory.path());
    shell.setProcessEnvironment(environment);
    shell.start("sh", {"-c", line});
    const bool finished =
        shell.waitForFinished(60000) && shell.exitStatus() == QProcess::NormalExit;
    QVERIFY2(finished && shell.exitCode() == 0,
             qPrintable(line + '\n' + QString::fromUtf8(shell.readAllStandardError())));
  }
}

// The QIF commands end to end: every manufacturer's E0 that QIF can carry comes back as it was
// in a new catalogue; what it cannot carry, and Metrova's own estimates, are named on standard
// error.
void TestCommandLine::qif()
{
  QTemporaryDir directory;
  const QString sample = d_directory.filePath("sample.db");
  const QString document = directory.filePath("plant.qif");
  const QString copy = directory.filePath("copy.db");
  const TRun exported = Run("metrova-cli", {"export-qif", sample, document});
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
  for (const QString &line : e0(sample))
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

  // Only an import creates a catalogue, and not when it fails.
  const QString missing = directory.filePath("missing.db");
  QCOMPARE(Run("metrova-cli", {"export-qif", missing, document}).status, 1);
  QCOMPARE(Run("metrova-cli", {"import-qif", missing, directory.filePath("none.qif")}).status, 1);
  QVERIFY(!QFile::exists(missing));
}

// The verification log end to end: the verdict as the exit status, the results judged, a bad file
// or date refused, and a machine's records kept from a plain delete.
void TestCommandLine::verify()
{
  QTemporaryDir directory;
  const QString database = directory.filePath("catalogue.db");
  QVERIFY(QFile::copy(d_directory.filePath("sample.db"), database));
  const QString results = directory.filePath("results.csv");
  QVERIFY(
      TestSupport::Write_File(results, "error_um,length_mm\n2,500\n2.8,500\n3.4,500\n3.9,500\n"));
  QVERIFY(
      TestSupport::Write_File(directory.filePath("bad.csv"), "length_mm,error_um\n500,2\n-1,2\n"));
  const QStringList machine{database, "Example Metrology", "Bridge 1000", "Tactile"};
  const QStringList add = QStringList{"verify", "add"} + machine;
  const auto run = [](const QStringList &arguments) { return Run("metrova-cli", arguments); };

  // MPE(500) = 3.15 um; with U = 0.5 the four errors fall in the four zones.
  TRun added = run(add + QStringList{results, "--date", "2026-11-30", "--kind", "acceptance",
                                     "--uncertainty", "0.5"});
  QCOMPARE(added.out, QString("record 1: does not conform\n"));
  QCOMPARE(added.status, 3);
  const TRun shown = run(QStringList{"verify", "show"} + machine + QStringList{"1", "--csv"});
  QVERIFY2(shown.out.startsWith("length_mm,position,repetition,error_um,mpe_um,zone\n"
                                "500,,1,2,3.15,pass\n500,,2,2.8,3.15,conditional pass\n"
                                "500,,3,3.4,3.15,conditional fail\n500,,4,3.9,3.15,fail\n"),
           qPrintable(shown.out));
  QCOMPARE(shown.status, 3);

  added = run(add + QStringList{directory.filePath("bad.csv"), "--date", "2026-12-01", "--kind",
                                "interim"});
  QVERIFY2(added.status == 1 && added.err.contains("line 3"), qPrintable(added.err));
  QCOMPARE(run(add + QStringList{results, "--date", "2026-02-29", "--kind", "interim"}).status, 2);

  QCOMPARE(run(QStringList{"verify", "schedule"} + machine + QStringList{"--interim", "7"}).status,
           0);
  QCOMPARE(run({"verify", "due", database, "--on", "2026-12-20", "--csv"}).out,
           QString("make,model,option,kind,last,due,status\n"
                   "Example Metrology,Bridge 1000,Tactile,interim,,,due\n"));

  const TRun kept = run(QStringList{"delete"} + machine);
  QVERIFY2(kept.status == 1 && kept.err.contains("1 verification record(s)"), qPrintable(kept.err));
  QCOMPARE(run(QStringList{"delete"} + machine + QStringList{"--with-records"}).status, 0);
  QCOMPARE(run({"verify", "due", database}).out,
           QString("make  model  option  kind  last  due  status\n"));
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
