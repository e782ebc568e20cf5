// The catalogue when the database itself fails. Each unit of work (import, estimation, the
// editor's save, set, delete, clear, export) is failed at every step of its own, by a file
// system that fails the Nth read or write; and whole operations meet another user's file, another
// program's lock, a damaged page or another program's file. Each run checks the message, that the
// stored rows are what they were or what a run without faults leaves, and that the file is sound.

#include "commandline.h"
#include "database.h"
#include "exchangefile.h"
#include "faultsupport.h"
#include "faultvfs.h"
#include "newcatalogue.h"
#include "qifexchange.h"
#include "qifwriter.h"
#include "specificationedit.h"
#include "specificationsave.h"
#include "transaction.h"

#include <QRegularExpression>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;
using namespace FaultSupport;

namespace
{
// An operation on the catalogue file, on a connection of its own that is connected and
// initialized (files of its own go beside database->File_Name()): empty when it succeeded,
// otherwise the failure text.
using TAction = std::function<QString(TDatabase *database)>;

QString Result(TDatabase *database, bool succeeded)
{
  return succeeded ? QString() : database->Last_Error();
}

// A failed read, and whether the connection still reads what it can after it.
QString Read_Failure(TDatabase *database, const QString &what)
{
  const QString failure = what + database->Last_Error();
  bool valid = false;
  return database->Makes(&valid).size() == 2 ? failure : "unusable after a failed read: " + failure;
}

// An exchange file of configurations of new makes, readable by everybody.
QString &Exchange_File()
{
  static QString file_name;
  return file_name;
}

// A QIF document of Cartesian CMMs of new makes.
QString &Qif_File()
{
  static QString file_name;
  return file_name;
}

// A metrova-cli command on the catalogue (its name goes after the command's words): empty when it
// succeeded, otherwise what it wrote on standard error.
QString Command(TDatabase *database, QStringList arguments)
{
  arguments.insert(arguments.first() == "verify" ? 2 : 1, database->File_Name());
  QString out, err;
  QTextStream out_stream(&out), err_stream(&err);
  return TCommandLine(&out_stream, &err_stream, false).Run(arguments) == 0 ? QString() : err;
}

// Results of a verification that conform, readable by everybody.
QString &Results_File()
{
  static QString file_name;
  return file_name;
}

// What an export replaces; it must stay as it was when the export fails.
const QByteArray OLD_EXPORT = "an older export\n";

QString Export_File(const QString &catalogue)
{
  return QFileInfo(catalogue).dir().filePath("export.csv");
}

QString Export_File(TDatabase *database)
{
  return Export_File(database->File_Name());
}

const QMap<QString, TAction> &Actions()
{
  static const QMap<QString, TAction> actions{
      // New names, so that every name table is written too.
      {"Write_Specification",
       [](TDatabase *database)
       {
         return Result(database, database->Write_Specification(Record(
                                     "Newco", "N1", "P1", "10360 E0=2+3L/1000 Pftu=1.5 R0=2")));
       }},
      {"Estimate_Specifications", [](TDatabase *database)
       { return Result(database, database->Estimate_Specifications("Acme", "M1", "O1")); }},
      {"TSpecificationEdit::Save",
       [](TDatabase *database)
       {
         QList<TEditorRow> rows;
         if (!TSpecificationSave::Read_Rows(database, "Acme", "M1", "O1", &rows))
           return database->Last_Error();
         for (TEditorRow &row : rows)
           if (row.component == "E0" || row.component == "V3")
             row.expression = "4+5L/1000";
         QString error;
         TSpecificationSave::Save(database, "Acme", "M1", "O2", rows, &error);
         return error;
       }},
      // A unit that goes on after a failure, as an import skips a bad line, and is then
      // abandoned: nothing of it may stay. A failed read may have ended the transaction, which
      // a later write must not take for leave to write on its own. Clearing needs the most room,
      // removing one option little: the second must not be stored when the first has failed.
      {"writes in an abandoned unit",
       [](TDatabase *database)
       {
         TTransaction unit(database);
         if (!unit.Begin())
           return database->Last_Error();
         bool valid = false;
         database->Read_Configuration("Beta", "B1", "S", &valid);
         database->Clear();
         const QString failure = database->Last_Error();
         const bool cleared = database->Makes(&valid).isEmpty() && valid;
         if (!cleared)
           database->Remove_Option("Acme", "M1", "O1");
         unit.Rollback();
         return cleared ? QString() : failure;
       }},
      {"Clear",
       [](TDatabase *database) { return database->Clear() ? QString() : database->Last_Error(); }},
      // The command line's own units, on their own connection to the file.
      {"set",
       [](TDatabase *database) {
         return Command(database, {"set", "Acme", "M1", "O1", "CMMA", "M=2+4L/1000", "G=3"});
       }},
      {"delete",
       [](TDatabase *database) {
         return Command(database, {"delete", "Acme", "M1"});
       }},
      // The first record of the verification log creates its tables too.
      {"verify add",
       [](TDatabase *database)
       {
         return Command(database, {"verify", "add", "Acme", "M1", "O1", Results_File(), "--date",
                                   "2026-11-30", "--kind", "interim"});
       }},
      // A failed read must not pass for a machine without values, which a save would store.
      {"TSpecificationEdit::Read_Rows",
       [](TDatabase *database)
       {
         QList<TEditorRow> rows;
         if (!TSpecificationSave::Read_Rows(database, "Acme", "M1", "O1", &rows))
           return Read_Failure(database, QString());
         return rows.isEmpty() ? QStringLiteral("no rows") : QString();
       }},
      {"Import",
       [](TDatabase *database)
       {
         TExchangeFile exchange(database);
         return exchange.Import(Exchange_File()) ? QString() : exchange.Error_Text();
       }},
      {"Import QIF",
       [](TDatabase *database)
       {
         TQifExchange exchange(database);
         return exchange.Import(Qif_File()) ? QString() : exchange.Error_Text();
       }},
      {"Export QIF",
       [](TDatabase *database)
       {
         TQifExchange exchange(database);
         return exchange.Export(Export_File(database)) ? QString() : exchange.Error_Text();
       }},
      {"Export",
       [](TDatabase *database)
       {
         TExchangeFile exchange(database);
         if (exchange.Export(Export_File(database)))
           return QString();
         return (File_Bytes(Export_File(database)) == OLD_EXPORT ? QString()
                                                                 : QString("old file changed: ")) +
                exchange.Error_Text();
       }},
      // The lists and a machine's rows; a failed read must not pass for an empty list.
      {"reads",
       [](TDatabase *database)
       {
         bool valid = false;
         if (database->Makes(&valid) != QStringList({"Acme", "Beta"}))
           return "Makes: " + database->Last_Error();
         if (database->Models("Acme", &valid) != QStringList{"M1"})
           return database->Database_Failed() ? Read_Failure(database, "Models: ")
                                              : QStringLiteral("Models: none");
         if (database->Read_Configuration("Acme", "M1", "O1", &valid).size() != 4)
           return "Read_Configuration: " + database->Last_Error();
         return QString();
       }},
  };
  return actions;
}

// How a failing disk fails a step.
struct TFailure
{
  const char *name;
  int operations;
  int code;
  bool once;
  int undo_code; // what the reads of the journal fail with after the first failure; 0: none
  const char *message;
};

const TFailure FAILURES[] = {
    // SQLite ends the transaction itself after an I/O error.
    {"I/O error", FaultVfs::OPERATION_WRITE | FaultVfs::OPERATION_SYNC, SQLITE_IOERR_WRITE, true, 0,
     "disk I/O error"},
    {"full disk", FaultVfs::OPERATION_WRITE, SQLITE_FULL, false, 0,
     "database or disk is full|disk I/O error"},
    {"read error", FaultVfs::OPERATION_READ, SQLITE_IOERR_READ, true, 0, "disk I/O error"},
    // After other errors the transaction stays open and the unit must undo its own work; when
    // that undo fails too, what it had written must not be committed half undone.
    {"refused write", FaultVfs::OPERATION_WRITE, SQLITE_PERM, true, 0, "permission denied"},
    {"refused write, failed undo", FaultVfs::OPERATION_WRITE, SQLITE_PERM, true, SQLITE_PERM,
     "permission denied"},
};

// Which steps of an action's count fail in turn: all of a short action, the first and last
// steps of a long one (a unit's first writes, its commit) and steps spread between.
QList<int> Steps(int count)
{
  QList<int> steps;
  for (int step = 0; step < count; ++step)
    if (count <= 40 || step < 12 || step >= count - 12 || step % (count / 16) == 0)
      steps.append(step);
  return steps;
}
} // namespace

class TestFaults : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup() { d_folder.reset(); }
  void steps_data();
  void steps();
  void faults_data();
  void faults();
  void refused_targets_data();
  void refused_targets();
  void openCauses_data();
  void openCauses();
  void newCatalogue_data();
  void newCatalogue();
  void linkedCatalogue();

private:
  // Connects a database of its own to the file, initializes it, arms the fault and runs the
  // action there.
  // after runs while the action's catalogue is still open.
  QString Run(const QString &action, const std::function<void()> &arm = {},
              const std::function<void()> &after = {});
  bool Fresh_Catalogue();

  TTestDatabase d_template;
  QTemporaryDir d_exchange;
  std::unique_ptr<QTemporaryDir> d_folder;
  QString d_file;
};

void TestFaults::initTestCase()
{
  QVERIFY(FaultVfs::Install());
  // A held lock fails a write after a moment, not after the default five seconds.
  TDatabase::Set_Busy_Timeout(200);
  QVERIFY(d_template.Is_Valid());
  QVERIFY(d_template.Write("Acme", "M1", "O1",
                           {"10360 E0=1.5+3.3L/1000 Pftu=2", "B89.4.1 Repeat=1.5"}));
  QVERIFY(d_template.Write("Acme", "M1", "O2", {"CMMA M=2+3L/1000 G=1"}));
  QVERIFY(d_template.Write("Beta", "B1", "S", {"VDIVDE_2617 U3=1+2L/500 V3=1.2"}));
  QVERIFY(d_template->Estimate_Specifications("Acme", "M1", "O1"));
  // Fillers spread the rows over more pages than one machine's writes touch.
  for (int model = 0; model < 40; ++model)
    QVERIFY(d_template.Write("Beta", QStringLiteral("Filler %1").arg(model), "S",
                             {"10360 E0=1+2L/1000 R0=1"}));
  d_template->Close();

  // Enough lines that the import's writes reach the journal before its commit.
  QByteArray lines = "MetrovaDatabase:Version=1:Format=CSV\n\n";
  for (int configuration = 0; configuration < 400; ++configuration)
    lines += QStringLiteral("Make %1,Model %2,Option %3,10360,E0:0.0015+0.0033L/1000,Pftu:0.0020,"
                            "R0:0.0030\n")
                 .arg(configuration / 40)
                 .arg(configuration / 4 % 10)
                 .arg(configuration % 4)
                 .toLatin1();
  Exchange_File() = d_exchange.filePath("exchange.csv");
  QVERIFY(Write_File(Exchange_File(), lines));
  TQifWriter writer;
  for (int configuration = 0; configuration < 100; ++configuration)
    writer.Add_Machine(QStringLiteral("Make %1").arg(configuration / 40), "Model",
                       QString::number(configuration % 40),
                       {Record("", "", "", "10360 E0=1.5+3.3L/1000 Ts_Min=18C")});
  Results_File() = d_exchange.filePath("results.csv");
  QVERIFY(Write_File(Results_File(), "length_mm,error_um\n100,1.2\n500,-2\n900,0.5\n"));
  Qif_File() = d_exchange.filePath("resources.qif");
  QVERIFY(Write_File(Qif_File(), writer.Document()));
  QVERIFY(QFile::setPermissions(d_exchange.path(), QFile::Permissions(0x7555)) &&
          QFile::setPermissions(Exchange_File(), QFile::Permissions(0x6444)) &&
          QFile::setPermissions(Qif_File(), QFile::Permissions(0x6444)));
}

void TestFaults::init()
{
  d_folder = std::make_unique<QTemporaryDir>();
  d_file = d_folder->filePath("catalogue.db");
  QVERIFY(Fresh_Catalogue());
}

bool TestFaults::Fresh_Catalogue()
{
  QFile::remove(d_file);
  QFile::remove(d_file + "-journal");
  return QFile::copy(d_template.Path("catalogue.db"), d_file) &&
         Write_File(Export_File(d_file), OLD_EXPORT);
}

QString TestFaults::Run(const QString &action, const std::function<void()> &arm,
                        const std::function<void()> &after)
{
  static int number = 0;
  TDatabase database(QStringLiteral("tst_faults_%1").arg(++number));
  if (!database.Connect(d_file) || !database.Initialize())
    return database.Last_Error();
  if (arm)
    arm();
  const QString result = Actions().value(action)(&database);
  if (after)
    after();
  return result;
}

void TestFaults::steps_data()
{
  QTest::addColumn<QString>("action");
  QTest::addColumn<int>("failure"); // an index of FAILURES

  for (const char *action : {"Write_Specification", "Estimate_Specifications",
                             "TSpecificationEdit::Save", "writes in an abandoned unit", "Clear",
                             "set", "delete", "verify add", "Import", "Import QIF"})
    for (int failure = 0; failure < int(std::size(FAILURES)); ++failure)
      QTest::addRow("%s: %s", action, FAILURES[failure].name) << action << failure;
  // An export only reads the catalogue.
  for (const char *action : {"Export", "Export QIF"})
    QTest::addRow("%s: read error", action) << action << 2;
}

// Every step of a unit fails in turn: the unit says so and leaves the catalogue as it was, or it
// succeeds and leaves what a run without faults leaves; never anything between.
void TestFaults::steps()
{
  QFETCH(QString, action);
  QFETCH(int, failure);
  const TFailure &how = FAILURES[failure];
  QVERIFY(Actions().contains(action));

  const QStringList before = TOtherConnection(d_file).Dump();
  QString result = Run(action, [&how]() { FaultVfs::Count(how.operations); });
  const int count = FaultVfs::Counted();
  FaultVfs::Reset();
  QVERIFY2(result.isEmpty(), qPrintable(result));
  QVERIFY(count > 0);
  const QStringList after = TOtherConnection(d_file).Dump();
  const QByteArray exported = File_Bytes(Export_File(d_file));

  for (const int step : Steps(count))
  {
    QVERIFY(Fresh_Catalogue());
    QString fault;
    int failed = 0;
    bool free = false;
    result = Run(
        action,
        [&how, step]()
        {
          FaultVfs::Fail(how.operations, step, how.code, how.once);
          if (how.undo_code != 0)
            FaultVfs::Fail_Undo(how.undo_code);
        },
        [&]()
        {
          fault = FaultVfs::Describe();
          failed = FaultVfs::Failed();
          FaultVfs::Reset();
          // The unit has ended, whatever became of it: while the window stays open on the
          // catalogue, another program may write.
          TOtherConnection other(d_file, "tst_faults_next");
          free = other.Execute("PRAGMA busy_timeout=0") && other.Execute("BEGIN IMMEDIATE") &&
                 other.Execute("ROLLBACK");
        });
    const QString where =
        QStringLiteral("step %1 of %2: %3\n%4").arg(step).arg(count).arg(fault, result);
    QVERIFY2(failed > 0, qPrintable(where));
    QVERIFY2(free, qPrintable(where));
    if (result.isEmpty())
    {
      // SQLite got over the failure by itself.
      QVERIFY2(TOtherConnection(d_file).Dump() == after, qPrintable(where));
      QVERIFY2(File_Bytes(Export_File(d_file)) == exported, qPrintable(where));
    }
    else
    {
      QVERIFY2(result.contains(QRegularExpression(how.message)) &&
                   !result.contains("Unable to fetch row"),
               qPrintable(where));
      QVERIFY2(TOtherConnection(d_file).Dump() == before, qPrintable(where));
      QVERIFY2(File_Bytes(Export_File(d_file)) == OLD_EXPORT, qPrintable(where));
    }
    QString integrity;
    QVERIFY(TOtherConnection(d_file).Execute("PRAGMA integrity_check", &integrity));
    QVERIFY2(integrity == "ok", qPrintable(where + '\n' + integrity));
  }
}

void TestFaults::faults_data()
{
  QTest::addColumn<QString>("fault");
  QTest::addColumn<QString>("action");
  QTest::addColumn<QString>("message"); // a pattern of the failure text; empty: it succeeds

  const QString read_only = "attempt to write a readonly database";
  const QString locked = "another program is writing to the catalogue; try again";
  const QString damaged = "database disk image is malformed";
  const QString damaged_read = "^(Models: )?database disk image is malformed";
  const auto row = [](const QString &fault, const QString &action, const QString &message)
  { QTest::addRow("%s: %s", qPrintable(fault), qPrintable(action)) << fault << action << message; };

  for (const char *action :
       {"Write_Specification", "Estimate_Specifications", "TSpecificationEdit::Save"})
  {
    row("another user's file", action, read_only);
    row("write lock", action, locked);
  }
  // Opening and reading need no write lock and no write.
  row("another user's file", "reads", "");
  row("write lock", "reads", "");
  // The index of the specification rows is lost to every read and write of a machine.
  for (const char *action : {"reads", "TSpecificationEdit::Read_Rows"})
    row("damaged page", action, damaged_read);
  for (const char *action : {"Write_Specification", "Estimate_Specifications"})
    row("damaged page", action, damaged);
  row("another program's file", "reads", "an SQLite database of another program");

  // An export only reads, so another program's write lock does not stop it.
  row("another user's file", "Import", "^Cannot import '.*': .*" + read_only);
  row("write lock", "Import", "^Cannot import '.*': " + locked);
  row("write lock", "Export", "");
  row("damaged page", "Import", "^Cannot import '.*': .*" + damaged);
  row("damaged page", "Export", "^Cannot export to '.*': " + damaged);
  row("write lock", "Import QIF", "^Cannot import '.*': " + locked);
  row("damaged page", "Import QIF", "^Cannot import '.*': line [0-9]+: CartesianCMM .*" + damaged);
  row("damaged page", "Export QIF", "^Cannot export to '.*': " + damaged);
}

void TestFaults::faults()
{
  QFETCH(QString, fault);
  QFETCH(QString, action);
  QFETCH(QString, message);
  QVERIFY(Actions().contains(action));

  std::unique_ptr<TOtherConnection> lock;
  if (fault == "write lock")
  {
    lock = std::make_unique<TOtherConnection>(d_file, "tst_faults_lock");
    QVERIFY(lock->Execute("BEGIN IMMEDIATE"));
    QVERIFY(lock->Execute("INSERT INTO make (name) VALUES ('Held')"));
  }
  else if (fault == "damaged page")
  {
    QVERIFY(Damage_Root_Page(d_file, "specification_configuration"));
  }
  else if (fault == "another program's file")
  {
    QVERIFY(QFile::remove(d_file));
    QVERIFY(Execute_On_File(d_file, "CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT)"));
  }
  else if (fault == "another user's file") // readable by all, writable by its owner only
  {
    // Another user is reached by dropping root's privileges; without them the file is ours.
    if (::geteuid() != 0)
      QSKIP("needs root to act as another user");
    QVERIFY(QFile::setPermissions(d_folder->path(), QFile::Permissions(0x7555)) &&
            QFile::setPermissions(d_file, QFile::Permissions(0x6444)));
  }

  const QStringList before = TOtherConnection(d_file).Dump();
  const QByteArray bytes = File_Bytes(d_file);
  const QString result =
      fault == "another user's file" ? Run_As_Nobody([&]() { return Run(action); }) : Run(action);
  if (message.isEmpty())
    QVERIFY2(result.isEmpty(), qPrintable(result));
  else
    QVERIFY2(result.contains(QRegularExpression(message)), qPrintable(result));

  QCOMPARE(TOtherConnection(d_file).Dump(), before);
  if (fault == "damaged page" || fault == "another program's file")
    QCOMPARE(File_Bytes(d_file), bytes);
  QString integrity;
  QVERIFY(TOtherConnection(d_file).Execute("PRAGMA integrity_check", &integrity));
  QVERIFY(fault == "damaged page" || integrity == "ok");
}

// An export aimed at the wrong file by a slip of the hand changes nothing there.
void TestFaults::refused_targets_data()
{
  QTest::addColumn<QString>("target"); // made in the test's folder, beside the catalogue
  QTest::addColumn<QString>("reason");
  QTest::newRow("the catalogue") << "catalogue.db"
                                 << "it is a database";
  QTest::newRow("a link to it") << "link.csv"
                                << "it is a database";
  QTest::newRow("a pipe") << "pipe"
                          << "not a regular file";
}

void TestFaults::refused_targets()
{
  QFETCH(QString, target);
  QFETCH(QString, reason);
  const QDir folder(d_folder->path());
  QVERIFY(QFile::link(d_file, folder.filePath("link.csv")));
  QCOMPARE(mkfifo(QFile::encodeName(folder.filePath("pipe")).constData(), 0600), 0);
  const QByteArray before = File_Bytes(d_file);

  TDatabase database(QStringLiteral("refused"));
  QVERIFY(database.Connect(d_file));
  const QString file_name = folder.filePath(target);
  TExchangeFile csv(&database);
  TQifExchange qif(&database);
  QVERIFY(!csv.Export(file_name, {}));
  QVERIFY(!qif.Export(file_name, {}));
  for (const QString &error : {csv.Error_Text(), qif.Error_Text()})
    QVERIFY2(error.contains(reason) && error.contains(file_name), qPrintable(error));
  database.Close();
  QCOMPARE(File_Bytes(d_file), before);
  QVERIFY(!QFileInfo(folder.filePath("pipe")).isFile());
}

void TestFaults::openCauses_data()
{
  QTest::addColumn<QString>("fault");
  QTest::addColumn<QString>("cause");
  QTest::newRow("full disk") << "full disk"
                             << "The disk is full.";
  QTest::newRow("I/O error") << "I/O error"
                             << "The disk could not be read or written; it may be full.";
  QTest::newRow("folder of another user") << "another user's folder"
                                          << "Permission denied.";
}

// Why a new catalogue file could not be made, in the sentence the window adds to its message (the
// window's tests see the folder that does not exist and the file that is no database).
void TestFaults::openCauses()
{
  QFETCH(QString, fault);
  QFETCH(QString, cause);

  const QString file_name = d_folder->filePath("new.db");
  const auto open = [&file_name]
  {
    TDatabase database(QStringLiteral("tst_faults_open"));
    return database.Connect(file_name) && database.Initialize() ? QString()
                                                                : database.Failure_Cause();
  };
  if (fault == "another user's folder")
  {
    // Writable by nobody but root, who looks as the user nobody.
    QVERIFY(QFile::setPermissions(d_folder->path(), QFile::Permissions(0x5555)));
    const QString result = ::geteuid() == 0 ? Run_As_Nobody(open) : open();
    QFile::setPermissions(d_folder->path(), QFile::Permissions(0x7700));
    QCOMPARE(result, cause);
    return;
  }
  FaultVfs::Fail(FaultVfs::OPERATION_WRITE, 0,
                 fault == "full disk" ? SQLITE_FULL : SQLITE_IOERR_WRITE, false);
  const QString result = open();
  FaultVfs::Reset();
  QCOMPARE(result, cause);
}

void TestFaults::newCatalogue_data()
{
  QTest::addColumn<QString>("other"); // what another program does to the new file meanwhile
  QTest::newRow("nothing") << "";
  QTest::newRow("fills it") << "fills it";
  QTest::newRow("puts an empty file of its own there") << "replaces it";
  QTest::newRow("has it open to fill it") << "opens it";
}

// A file an import created for itself goes again after a failure only while it is still that
// file and holds nothing: what another import committed into it meanwhile stays.
void TestFaults::newCatalogue()
{
  QFETCH(QString, other);
  const QString file_name = d_folder->filePath("new.db");
  TNewCatalogue catalogue(file_name);
  QVERIFY(catalogue.Create() && catalogue.Created());
  if (other == "fills it")
    QVERIFY(Execute_On_File(file_name, "CREATE TABLE make(id INTEGER PRIMARY KEY, name TEXT)"));
  else if (other == "replaces it")
    QVERIFY(Write_File(file_name + ".other", QByteArray()) &&
            std::rename(QFile::encodeName(file_name + ".other").constData(),
                        QFile::encodeName(file_name).constData()) == 0);
  // Another import that found the file, waiting for the write lock.
  TDatabase filler(QStringLiteral("tst_faults_filler"));
  QVERIFY(other != "opens it" || filler.Connect(file_name));
  const bool removed = other.isEmpty() || other == "opens it";
  QCOMPARE(catalogue.Remove_If_Empty(), removed);
  QCOMPARE(QFile::exists(file_name), !removed);
  // What it wrote now would go to a file that nobody reaches: it is told to try again.
  if (filler.Is_Open())
  {
    QVERIFY(!TTransaction(&filler).Begin() && filler.File_Moved());
    QVERIFY2(filler.Last_Error().endsWith("try again"), qPrintable(filler.Last_Error()));
    QVERIFY(!QFile::exists(file_name));
  }
}

// A write through one name of a file killed midway leaves its journal beside that name; work
// committed through the other name meanwhile must not be undone by opening the first again.
void TestFaults::linkedCatalogue()
{
  const QString original = d_folder->filePath("original.db");
  const QString linked = d_folder->filePath("linked.db");
  QVERIFY(Execute_On_File(original, "CREATE TABLE make(make_id INTEGER PRIMARY KEY, name TEXT)"));
  QVERIFY(Execute_On_File(original, "INSERT INTO make(name) SELECT hex(zeroblob(500)) FROM "
                                    "(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM "
                                    "n WHERE i<200) SELECT i FROM n)"));
  QCOMPARE(::link(QFile::encodeName(original).constData(), QFile::encodeName(linked).constData()),
           0);
  const pid_t child = fork();
  QVERIFY(child >= 0);
  if (child == 0)
  {
    // Changes more pages than its cache holds, so that the journal is synced and the file
    // written, and dies before the commit.
    sqlite3 *handle = nullptr;
    if (sqlite3_open(QFile::encodeName(linked).constData(), &handle) == SQLITE_OK &&
        sqlite3_exec(handle, "PRAGMA cache_size=2; BEGIN; UPDATE make SET name=name||'x';", nullptr,
                     nullptr, nullptr) == SQLITE_OK)
      _exit(0);
    _exit(1);
  }
  int status = 0;
  QCOMPARE(waitpid(child, &status, 0), child);
  QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  QVERIFY(QFile::exists(linked + "-journal"));
  QVERIFY(Execute_On_File(original, "INSERT INTO make(name) VALUES ('committed')"));

  TDatabase database(QStringLiteral("tst_faults_linked"));
  const QString reason =
      database.Connect(linked) ? database.Read_Only_Reason() : database.Failure_Cause();
  QVERIFY2(reason.contains("2 names (hard links)"), qPrintable(reason));
  QVERIFY(!TTransaction(&database).Begin());
  database.Close();
  QString found;
  QVERIFY(Execute_On_File(original, "SELECT count(*) FROM make WHERE name='committed'", &found));
  QCOMPARE(found, QString("1"));
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
