// What only a catalogue on a PostgreSQL server has: roles and their rights, a connection the
// server ends, its time limits and the lock of another program's write unit. Runs on the run's
// private server (METROVA_TEST_ENGINE=postgresql).
#include "postgresengine.h"
#include "postgresplainread.h"
#include "testsupport.h"
#include "transaction.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QtTest>

using namespace TestSupport;

class TestPostgresql : public QObject
{
  Q_OBJECT

private:
  std::unique_ptr<TTestDatabase> d_test;
  // The schema of the test's catalogue.
  QString Schema() const
  {
    return d_test->Get()->Location().Text().section(QStringLiteral("search_path%3D"), 1);
  }
  // The server's process of the catalogue's connection.
  int Backend() const
  {
    QSqlQuery query(QSqlDatabase::database(d_test->Get()->Connection_Name(), false));
    return query.exec("SELECT pg_backend_pid()") && query.next() ? query.value(0).toInt() : -1;
  }

private slots:
  void initTestCase();
  void init();
  void cleanup() { d_test.reset(); }

  void roles_data();
  void roles();
  void faults_data();
  void faults();
  void import_interrupted_data();
  void import_interrupted();
  void plain_reads_data();
  void plain_reads();
};

void TestPostgresql::initTestCase()
{
  if (Engine() != QLatin1String("postgresql"))
    QSKIP("runs on the run's PostgreSQL server only");
  // Another writer is waited for this long.
  TDatabase::Set_Busy_Timeout(300);
}

void TestPostgresql::init()
{
  d_test = std::make_unique<TTestDatabase>();
  QVERIFY(d_test->Is_Valid());
  QVERIFY(d_test->Write("Acme", "M1", "O1", {"CMMA G=2"}));
}

void TestPostgresql::roles_data()
{
  QTest::addColumn<QString>("grants");  // {role}, {schema}; statements split by ';'
  QTest::addColumn<QString>("refusal"); // pattern of the connection's refusal, empty: it opens
  QTest::addColumn<bool>("read_only");

  const QString usage = "GRANT USAGE ON SCHEMA {schema} TO {role};";
  QTest::newRow("reader") << usage + "GRANT SELECT ON ALL TABLES IN SCHEMA {schema} TO {role}"
                          << QString() << true;
  // A writer needs no right to create tables: the log was made with the catalogue.
  const QString tables = usage + "GRANT SELECT,INSERT,UPDATE,DELETE ON ALL TABLES IN SCHEMA "
                                 "{schema} TO {role};";
  const QString writer = tables + "GRANT USAGE ON ALL SEQUENCES IN SCHEMA {schema} TO {role}";
  QTest::newRow("writer") << writer << QString() << false;
  // A role that lacks any right a write needs may only read.
  QTest::newRow("writer without the sequences") << tables << QString() << true;
  QTest::newRow("writer without DELETE on a table")
      << writer + ";REVOKE DELETE ON {schema}.specification FROM {role}" << QString() << true;
  QTest::newRow("writer without INSERT on the history")
      << writer + ";REVOKE INSERT ON {schema}.change_history FROM {role}" << QString() << true;
  QTest::newRow("writer without a table")
      << usage + "GRANT SELECT,INSERT,UPDATE,DELETE ON ALL TABLES "
                 "IN SCHEMA {schema} TO {role};REVOKE ALL ON "
                 "{schema}.verification_range FROM {role}"
      << "The user r_\\w+ may not read the catalogue in the "
         "database postgres: its administrator grants the "
         "rights \\(metrova-cli init prints the statements\\)"
      << false;
  QTest::newRow("no rights") << usage
                             << "The user r_\\w+ may not read the catalogue in the database "
                                "postgres"
                             << false;
  // A writer may not upgrade a log of an earlier layout: it opens the catalogue all the same.
  QTest::newRow("writer, log of layout 2")
      << "ALTER TABLE {schema}.verification_machine DROP COLUMN latest_reverification;ALTER TABLE "
         "{schema}.verification_machine DROP COLUMN latest_interim;UPDATE {schema}.metrova_schema "
         "SET version=2;" +
             writer
      << QString() << false;
  QTest::newRow("empty schema, no right to create")
      << "CREATE SCHEMA {schema}_empty;GRANT USAGE ON SCHEMA {schema}_empty TO {role}"
      << "The database postgres holds no Metrova catalogue, and the user r_\\w+ may not create "
         "one in it: an administrator creates it with metrova-cli init\\.'"
      << false;
}

void TestPostgresql::roles()
{
  QFETCH(QString, grants);
  QFETCH(QString, refusal);
  QFETCH(bool, read_only);
  static int number = 0;
  const QString role =
      QStringLiteral("r_%1_%2").arg(QCoreApplication::applicationPid()).arg(++number);
  QVERIFY(Execute_On_Server("CREATE ROLE " + role + " LOGIN"));
  QString schema = Schema();
  for (const QString &grant : grants.split(';', Qt::SkipEmptyParts))
    QVERIFY(Execute_On_Server(QString(grant).replace("{role}", role).replace("{schema}", schema)));
  if (grants.contains("_empty"))
    schema += "_empty";

  TDatabase database("tst_postgresql_role");
  const bool connected = database.Connect(TCatalogueLocation(Server_Uri(schema, role)));
  QVERIFY2(connected == refusal.isEmpty(), qPrintable(database.Last_Error()));
  if (!connected)
  {
    QVERIFY2(QRegularExpression(refusal).match(database.Last_Error()).hasMatch(),
             qPrintable(database.Last_Error()));
    return;
  }
  // Told by the role's rights at once, before any write was tried.
  QCOMPARE(database.Is_Read_Only(), read_only);
  QVERIFY2(database.Initialize(), qPrintable(database.Last_Error()));
  bool valid = false;
  QCOMPARE(database.Makes(&valid), QStringList{"Acme"});
  QCOMPARE(database.Write_Specification(Record("Beta", "B1", "P1", "CMMA G=1")), !read_only);
  if (read_only)
    QVERIFY2(QRegularExpression("^The user r_\\w+ may only read the catalogue in the database "
                                "postgres: its administrator grants the rights to change it")
                 .match(database.Last_Error())
                 .hasMatch(),
             qPrintable(database.Last_Error()));
  QCOMPARE(d_test->Get()->Make_Exists("Beta"), !read_only);
}

void TestPostgresql::faults_data()
{
  QTest::addColumn<QString>("fault");
  QTest::addColumn<QString>("error"); // pattern of the failed write's error

  QTest::newRow("connection ended mid-unit") << "terminate"
                                             << "the connection to the database server was lost";
  QTest::newRow("statement beyond its time limit")
      << "timeout"
      << "the database server stopped the statement at its time limit";
  QTest::newRow("another program's write unit")
      << "lock"
      << "another program is writing to the catalogue; try again when it has finished";
}

void TestPostgresql::faults()
{
  QFETCH(QString, fault);
  QFETCH(QString, error);
  TDatabase *database = d_test->Get();
  TOtherConnection other(database->Location().Text());
  const QStringList before = other.Dump();
  bool written = true;
  if (fault == "terminate")
  {
    // The unit has written one machine when the server ends its connection.
    TTransaction unit(database);
    QVERIFY(unit.Begin() && d_test->Write("Beta", "B1", "P1", {"CMMA G=1"}));
    QVERIFY(other.Execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(Backend())));
    written = database->Write_Specification(Record("Gamma", "C1", "Q1", "CMMA G=1"));
  }
  else if (fault == "timeout")
  {
    QVERIFY(QSqlQuery(QSqlDatabase::database(database->Connection_Name(), false))
                .exec("SET statement_timeout=200"));
    QVERIFY(other.Execute(
        "CREATE FUNCTION slow() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN PERFORM "
        "pg_sleep(5); RETURN NEW; END$$;CREATE TRIGGER slow BEFORE INSERT ON make FOR EACH ROW "
        "EXECUTE FUNCTION slow()"));
    written = database->Write_Specification(Record("Gamma", "C1", "Q1", "CMMA G=1"));
    QVERIFY(other.Execute("DROP TRIGGER slow ON make"));
  }
  else
  {
    QVERIFY(other.Execute(Begin_Write()));
    written = database->Write_Specification(Record("Gamma", "C1", "Q1", "CMMA G=1"));
    QVERIFY(other.Execute("ROLLBACK"));
  }
  QVERIFY(!written);
  QVERIFY2(database->Last_Error().contains(error), qPrintable(database->Last_Error()));
  QVERIFY(database->Database_Failed());
  // The catalogue as before; the next unit runs, on a connection opened anew if need be.
  QCOMPARE(other.Dump(), before);
  QVERIFY2(d_test->Write("Delta", "D1", "R1", {"CMMA G=1"}), qPrintable(database->Last_Error()));
  bool valid = false;
  QCOMPARE(database->Makes(&valid), QStringList({"Acme", "Delta"}));
}

void TestPostgresql::import_interrupted_data()
{
  QTest::addColumn<QString>("fault");
  QTest::addColumn<QString>("error"); // what the command line says, empty when it was killed

  QTest::newRow("the server ends the connection")
      << "terminate"
      << "the connection to the database server was lost";
  QTest::newRow("the client killed") << "kill" << QString();
}

void TestPostgresql::import_interrupted()
{
  QFETCH(QString, fault);
  QFETCH(QString, error);
  TDatabase *database = d_test->Get();
  TOtherConnection other(database->Location().Text());
  const QStringList before = other.Dump();
  // Enough rows that the import is still at work when it is interrupted.
  QByteArray file = "MetrovaDatabase:Version=1:Format=CSV\n\n";
  for (int line = 0; line < 40000; ++line)
    file += QStringLiteral("Make %1,Model %2,Std,CMMA,G:0.0010,M:0.0025+0.0040L/1000\n")
                .arg(line % 50)
                .arg(line)
                .toUtf8();
  const QString path = d_test->Path("large.csv");
  QFile out(path);
  QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
  out.close();

  QProcess import;
  import.start(METROVA_CLI, {"import", database->Location().Text(), path});
  QVERIFY(import.waitForStarted());
  // The import's write unit holds the catalogue's lock: then it is interrupted.
  const QString holder = QStringLiteral("SELECT pid FROM pg_locks WHERE locktype='advisory' AND "
                                        "granted AND objid=(SELECT oid FROM pg_namespace WHERE "
                                        "nspname=current_schema())");
  int pid = -1;
  for (QElapsedTimer waited; pid <= 0 && waited.elapsed() < 20000; QThread::msleep(5))
    pid = other.Number(holder);
  QVERIFY2(pid > 0, import.readAllStandardError().constData());
  if (fault == "terminate")
    QVERIFY(other.Execute(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid)));
  else
    import.kill();
  QVERIFY(import.waitForFinished(20000));
  if (!error.isEmpty())
  {
    QCOMPARE(import.exitStatus(), QProcess::NormalExit);
    QVERIFY(import.exitCode() != 0);
    // One line, the tool's own: the driver's notes on the lost connection are not repeated.
    const QByteArray said = import.readAllStandardError();
    QVERIFY2(said.startsWith("metrova-cli: ") && said.count('\n') == 1 &&
                 said.contains(error.toUtf8()),
             said.constData());
  }
  // The catalogue as before, and the next writer is not kept waiting by the session that went.
  for (QElapsedTimer waited; other.Number(holder) > 0 && waited.elapsed() < 10000;)
    QThread::msleep(5);
  QCOMPARE(other.Dump(), before);
  QVERIFY2(d_test->Write("Delta", "D1", "R1", {"CMMA G=1"}), qPrintable(database->Last_Error()));
}

void TestPostgresql::plain_reads_data()
{
  QTest::addColumn<int>("rows");
  QTest::addColumn<bool>("in_transaction");
  QTest::addColumn<int>("chunk_rows"); // 0: in one answer

  // Chunks of two rows: none, a part of one, whole chunks only, a last chunk in part.
  QTest::newRow("no row") << 0 << true << 2;
  QTest::newRow("part of a chunk") << 1 << true << 2;
  QTest::newRow("whole chunks") << 4 << true << 2;
  QTest::newRow("last chunk in part") << 5 << true << 2;
  QTest::newRow("outside a transaction") << 5 << false << 2;
  QTest::newRow("in one answer, in a transaction") << 5 << true << 0;
}

void TestPostgresql::plain_reads()
{
  QFETCH(int, rows);
  QFETCH(bool, in_transaction);
  QFETCH(int, chunk_rows);
  QSqlDatabase connection = QSqlDatabase::database(d_test->Get()->Connection_Name(), false);
  PGconn *handle = TPostgresEngine::Handle(connection);
  QVERIFY(handle);
  QVERIFY(!in_transaction || connection.transaction());
  QStringList expected;
  for (int row = 1; row <= rows; ++row)
    expected.append(QStringLiteral("%1 r%2").arg(row - 3).arg(row));
  // Twice: a read leaves the connection, and its cursor's name, free for the next one.
  for (int read = 0; read < 2; ++read)
  {
    QStringList shown;
    QString error;
    QVERIFY2(TPostgresPlainRead::Read(
                 handle, "SELECT x-3,'r'||x FROM generate_series(1,?::integer) AS x ORDER BY x",
                 {rows},
                 [&](const TSqlEngine::TRow &row)
                 { shown.append(QString::number(row.Long_Integer(0)) + ' ' + row.Text(1)); },
                 &error, chunk_rows),
             qPrintable(error));
    QCOMPARE(shown, expected);
  }
  QString error;
  QVERIFY(!TPostgresPlainRead::Read(
      handle, "SELECT x FROM no_such_table", {}, [](const TSqlEngine::TRow &) {}, &error,
      chunk_rows));
  QVERIFY2(error.contains("no_such_table"), qPrintable(error));
  QVERIFY(!in_transaction || connection.rollback());
}

QTEST_GUILESS_MAIN(TestPostgresql)
#include "tst_postgresql.moc"
