#ifndef METROVA_TESTSUPPORT_H
#define METROVA_TESTSUPPORT_H

// Helpers shared by the test programs. A record is written as compact text:
//   "10360 E0=1.5+3.3L/1000 R0=2.2#1"
// the standard, then component=expression items with expressions in micrometres unless other
// units are given; "#N" gives an item's source, manufacturer when left out.

#include "database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <QtDebug>

#include <csignal>
#include <functional>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace TestSupport
{
// The engine the run tests: METROVA_TEST_ENGINE, "sqlite" when it is not set.
inline QString Engine()
{
  const QString engine = qEnvironmentVariable("METROVA_TEST_ENGINE");
  return engine.isEmpty() ? QStringLiteral("sqlite") : engine;
}

// Whether the run's catalogues are files: tests of file faults, permissions and links, and those
// that look into a catalogue with a connection of their own (TOtherConnection), need one.
inline bool Engine_Has_Files()
{
  return Engine() == QLatin1String("sqlite");
}

// Who the run's catalogues record as the changer: for a file the login name, on the server the
// role of Server_Uri.
inline QString Catalogue_User()
{
  if (!Engine_Has_Files())
    return QStringLiteral("metrova_admin");
  const passwd *account = getpwuid(geteuid());
  return account ? QString::fromLocal8Bit(account->pw_name) : QString();
}

// The machine's record that a compact text describes; *valid is false if an expression fails.
inline TDatabaseItem Record(const QString &make, const QString &model, const QString &option,
                            const QString &text, bool *valid = nullptr,
                            int units = TExpressionItem::UNITS_UM)
{
  const QStringList fields = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  TDatabaseItem record;
  record.Set_Make(make);
  record.Set_Model(model);
  record.Set_Option(option);
  record.Set_Standard(fields.value(0));
  bool parsed = !fields.isEmpty();
  for (int index = 1; index < fields.size(); ++index)
  {
    const QString expression = fields.at(index).section(QLatin1Char('='), 1);
    TSpecificationItem item;
    item.name = fields.at(index).section(QLatin1Char('='), 0, 0);
    item.source = expression.section(QLatin1Char('#'), 1).toInt();
    if (item.expression.Set_Expression(expression.section(QLatin1Char('#'), 0, 0), units) ==
        TExpressionItem::EXPRESSION_UNDEFINED)
      parsed = false;
    record.Add_Specification_Item(item);
  }
  if (valid)
    *valid = parsed;
  return record;
}

// Starts a thread and waits for it. ThreadSanitizer does not see that wait() orders what the
// thread did before what follows (Qt's own locks are not instrumented): it is told.
inline bool Run_Thread(QThread *thread, unsigned long milliseconds = ULONG_MAX)
{
#if defined(__SANITIZE_THREAD__)
  QObject::connect(
      thread, &QThread::finished, thread, [thread]() { __tsan_release(thread); },
      Qt::DirectConnection);
#endif
  thread->start();
  const bool finished = thread->wait(milliseconds);
#if defined(__SANITIZE_THREAD__)
  __tsan_acquire(thread);
#endif
  return finished;
}

// The socket folder of the run's PostgreSQL server: the first line of the file that
// METROVA_TEST_SERVER names (tests/postgresql-server.sh writes it).
inline QString Server_Folder()
{
  QFile state(qEnvironmentVariable("METROVA_TEST_SERVER"));
  return state.open(QIODevice::ReadOnly) ? QString::fromUtf8(state.readLine()).trimmed()
                                         : QString();
}

// A statement of the server's superuser on the database postgres; false, with a warning, on a
// failure.
inline bool Execute_On_Server(const QString &statement)
{
  const QString name = QStringLiteral("testsupport_server");
  QSqlDatabase connection = QSqlDatabase::database(name, false);
  if (!connection.isValid())
  {
    connection = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    connection.setHostName(Server_Folder());
    connection.setDatabaseName(QStringLiteral("postgres"));
    connection.setUserName(QStringLiteral("metrova_admin"));
    // The server's notices ("... does not exist, skipping") would only fill the output.
    connection.setConnectOptions(QStringLiteral("options='-c client_min_messages=warning'"));
  }
  QSqlQuery query(connection);
  if ((!connection.isOpen() && !connection.open()) || !query.exec(statement))
  {
    qWarning() << "server:" << statement << connection.lastError().text()
               << query.lastError().text();
    return false;
  }
  return true;
}

// The URI of a catalogue in its own schema on the run's server, for user.
inline QString Server_Uri(const QString &schema,
                          const QString &user = QStringLiteral("metrova_admin"))
{
  // The socket folder as the URI's host, percent-encoded: no character a shell would take.
  return QStringLiteral("postgresql://%1@%2/postgres?options=-csearch_path")
             .arg(user, QString::fromLatin1(QUrl::toPercentEncoding(Server_Folder()))) +
         QStringLiteral("%3D") + schema;
}

// Another program's connection to a catalogue (a file, or a test catalogue's URI on the run's
// server), held open so that its transactions span statements.
class TOtherConnection
{
public:
  explicit TOtherConnection(const QString &location,
                            const QString &name = QStringLiteral("testsupport_held"))
      : d_name(name), d_server(location.startsWith(QLatin1String("postgresql:")))
  {
    QSqlDatabase connection = QSqlDatabase::addDatabase(
        d_server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), d_name);
    if (d_server)
    {
      connection.setHostName(Server_Folder());
      connection.setDatabaseName(QStringLiteral("postgres"));
      connection.setUserName(QStringLiteral("metrova_admin"));
    }
    else
      connection.setDatabaseName(location);
    if (!connection.open())
      d_open_error = connection.lastError().text();
    else if (d_server)
      Execute(QStringLiteral("SET search_path TO ") +
              location.section(QStringLiteral("search_path%3D"), 1));
  }
  ~TOtherConnection()
  {
    QSqlDatabase::database(d_name, false).close();
    QSqlDatabase::removeDatabase(d_name);
  }
  TOtherConnection(const TOtherConnection &) = delete;
  TOtherConnection &operator=(const TOtherConnection &) = delete;

  // *text gets the first value, or the error; an empty statement does nothing.
  bool Execute(const QString &statement, QString *text = nullptr)
  {
    if (statement.isEmpty())
      return true;
    QSqlQuery query(QSqlDatabase::database(d_name, false));
    const bool executed = d_open_error.isEmpty() && query.exec(statement);
    if (text)
      *text = !d_open_error.isEmpty() ? d_open_error
              : !executed             ? query.lastError().text()
              : query.next()          ? query.value(0).toString()
                                      : QString();
    return executed;
  }
  // The first value of a query as a number, -1 if it fails.
  int Number(const QString &statement)
  {
    QString text;
    return Execute(statement, &text) ? text.toInt() : -1;
  }
  // Every row of every table as "table|value|...", in storage order (the engine's own table
  // left out); the time of a change in the history is the clock's, and left out.
  QStringList Dump()
  {
    const QSqlDatabase connection = QSqlDatabase::database(d_name, false);
    QStringList tables = connection.tables(QSql::Tables);
    if (d_server)
    {
      tables.clear();
      QSqlQuery names(connection);
      names.exec(QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname=current_schema() "
                                "AND tablename<>'metrova_schema' ORDER BY tablename"));
      while (names.next())
        tables.append(names.value(0).toString());
    }
    QStringList rows;
    for (const QString &table : tables)
    {
      QSqlQuery query(connection);
      // A server's tables begin with their identity column.
      if (!query.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY %2")
                          .arg(table, d_server ? QStringLiteral("1") : QStringLiteral("rowid"))))
        rows.append(table + QStringLiteral(": unreadable"));
      while (query.next())
      {
        QStringList values{table};
        for (int column = 0; column < query.record().count(); ++column)
          values.append(query.record().fieldName(column) == QLatin1String("changed_at")
                            ? QStringLiteral("(time)")
                            : query.value(column).toString());
        rows.append(values.join(QLatin1Char('|')));
      }
    }
    return rows;
  }

private:
  const QString d_name;
  const bool d_server;
  QString d_open_error;
};

// A trigger that refuses each event (INSERT, DELETE) on table where condition holds (on NEW or
// OLD, always when empty), with the error message; and what removes it. In the run's engine's
// words.
inline QString Refusal(const QString &event, const QString &table,
                       const QString &condition = QString(),
                       const QString &message = QStringLiteral("refused"))
{
  if (Engine_Has_Files())
    return QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON %2 %3 BEGIN SELECT "
                          "RAISE(ABORT,'%4'); END")
        .arg(event, table, condition.isEmpty() ? QString() : "WHEN " + condition, message);
  return QStringLiteral("CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                        "$$BEGIN IF %3 THEN RAISE EXCEPTION '%4'; END IF; IF TG_OP='DELETE' THEN "
                        "RETURN OLD; END IF; RETURN NEW; END$$; CREATE TRIGGER refuse BEFORE %1 "
                        "ON %2 FOR EACH ROW EXECUTE FUNCTION refuse()")
      .arg(event, table, condition.isEmpty() ? QStringLiteral("true") : condition, message);
}
inline QString Drop_Refusal(const QString &table)
{
  return Engine_Has_Files() ? QStringLiteral("DROP TRIGGER IF EXISTS refuse")
                            : QStringLiteral("DROP TRIGGER IF EXISTS refuse ON ") + table;
}

// What begins another program's write unit on the run's engine: it waits for, and then keeps
// out, every other writer (the advisory lock of the catalogue's schema on a server).
inline QString Begin_Write()
{
  return Engine_Has_Files()
             ? QStringLiteral("BEGIN IMMEDIATE")
             : QStringLiteral("BEGIN; SELECT pg_advisory_xact_lock(1298494578,(SELECT oid::integer "
                              "FROM pg_namespace WHERE nspname=current_schema()))");
}

// Runs a statement on its own connection to a catalogue; *text gets the first value, or the error.
inline bool Execute_On_File(const QString &file_name, const QString &statement,
                            QString *text = nullptr)
{
  return TOtherConnection(file_name, QStringLiteral("testsupport_other")).Execute(statement, text);
}

// A file's content, empty if it cannot be read.
inline QByteArray File_Bytes(const QString &path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces a file's content.
inline bool Write_File(const QString &path, const QByteArray &bytes)
{
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What a folder holds, hidden entries too, by name: a file left beside the one written shows.
inline QStringList Folder_Entries(const QString &path)
{
  return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

namespace Detail
{
inline int &Child_Pipe()
{
  static int descriptor = -1;
  return descriptor;
}

inline void Report_Fatal(QtMsgType type, const QMessageLogContext &, const QString &message)
{
  if (type != QtFatalMsg)
    return;
  const QByteArray text = message.toUtf8();
  (void)!write(Child_Pipe(), text.constData(), static_cast<size_t>(text.size()));
  _exit(3);
}
} // namespace Detail

// Runs a call in a forked child, where writes beyond file_size_limit bytes fail as on a full
// disk (no limit when 0). Returns the text the call returned, or the fatal message (a failed
// Q_ASSERT) the child died with.
inline QString Child_Report(const std::function<QString()> &call, rlim_t file_size_limit = 0)
{
  int descriptors[2];
  if (pipe(descriptors) != 0)
    return QStringLiteral("pipe failed");
  const pid_t child = fork();
  if (child == 0)
  {
    close(descriptors[0]);
    Detail::Child_Pipe() = descriptors[1];
    qInstallMessageHandler(Detail::Report_Fatal);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{file_size_limit, file_size_limit};
    if (file_size_limit > 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0)
      _exit(4);
    const QByteArray text = call().toUtf8();
    _exit(write(descriptors[1], text.constData(), static_cast<size_t>(text.size())) == text.size()
              ? 0
              : 5);
  }
  close(descriptors[1]);
  QByteArray output;
  char buffer[512];
  ssize_t count = 0;
  while (child > 0 && (count = read(descriptors[0], buffer, sizeof buffer)) > 0)
    output.append(buffer, static_cast<int>(count));
  close(descriptors[0]);
  int status = -1;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 3))
    output += "\n(the child failed: status " + QByteArray::number(status) + ")";
  return QString::fromUtf8(output);
}

// A new, empty catalogue on the run's engine, named name, that lives as long as folder: for
// SQLite a file there, for PostgreSQL a schema of its own on the run's server (a schema is made
// in a millisecond, a database in a tenth of a second or more). An engine this build does not
// know, or a server that cannot be reached, ends the run.
inline TCatalogueLocation New_Catalogue_Location(const QTemporaryDir &folder,
                                                 const QString &name = QStringLiteral("catalogue"))
{
  if (Engine() == QLatin1String("sqlite"))
    return TCatalogueLocation(folder.filePath(name + QStringLiteral(".db")));
  if (Engine() != QLatin1String("postgresql"))
    qFatal("METROVA_TEST_ENGINE=%s: no such engine", qPrintable(Engine()));
  static int number = 0;
  const QString schema =
      QStringLiteral("%1_%2_%3")
          .arg(name.toLower().remove(QRegularExpression(QStringLiteral("[^a-z0-9_]"))))
          .arg(QCoreApplication::applicationPid())
          .arg(++number);
  if (!Execute_On_Server(QStringLiteral("CREATE SCHEMA \"%1\"").arg(schema)))
    qFatal("METROVA_TEST_ENGINE=postgresql: the run's server (METROVA_TEST_SERVER) cannot be used");
  return TCatalogueLocation(Server_Uri(schema));
}

// A catalogue on the run's engine, in a temporary folder of its own, connected and initialised
// (Is_Valid).
class TTestDatabase
{
public:
  TTestDatabase() : d_database(QStringLiteral("testsupport_%1").arg(Next_Number()))
  {
    d_valid = d_directory.isValid() && d_database.Connect(New_Catalogue_Location(d_directory)) &&
              d_database.Initialize();
    if (!d_valid)
      qWarning() << "test database:" << d_database.Last_Error();
  }

  bool Is_Valid() const { return d_valid; }
  TDatabase *Get() { return &d_database; }
  TDatabase *operator->() { return &d_database; }
  // A path inside the temporary folder.
  QString Path(const QString &name) const { return d_directory.filePath(name); }

  // Writes each compact record text for the machine; false, with a warning, on a failure.
  bool Write(const QString &make, const QString &model, const QString &option,
             const QStringList &records, int units = TExpressionItem::UNITS_UM)
  {
    for (const QString &text : records)
    {
      bool valid = false;
      const TDatabaseItem record = Record(make, model, option, text, &valid, units);
      if (!valid || !d_database.Write_Specification(record))
      {
        qWarning() << "cannot write" << text << d_database.Last_Error();
        return false;
      }
    }
    return true;
  }

  // A machine's stored rows in order as "standard component=text[#source]", text in mm as stored.
  QStringList Rows(const QString &make, const QString &model, const QString &option)
  {
    QSqlQuery query(QSqlDatabase::database(d_database.Connection_Name(), false));
    query.prepare(
        QStringLiteral("SELECT standard_id,component_id,expression,source FROM specification "
                       "WHERE make_id=? AND model_id=? AND option_id=? ORDER BY rowid"));
    query.addBindValue(d_database.Make_Id(make));
    query.addBindValue(d_database.Model_Id(model));
    query.addBindValue(d_database.Option_Id(option));
    if (!query.exec())
      return {QStringLiteral("query failed: ") + query.lastError().text()};
    QStringList rows;
    while (query.next())
    {
      const int standard_id = query.value(0).toInt();
      const int source = query.value(3).toInt();
      rows.append(QStringLiteral("%1 %2=%3")
                      .arg(d_database.Standard_Type_Name(standard_id),
                           d_database.Component_Type_Name(standard_id, query.value(1).toInt()),
                           query.value(2).toString()) +
                  (source == TDatabaseItem::SOURCE_MANUFACTURER
                       ? QString()
                       : QStringLiteral("#%1").arg(source)));
    }
    return rows;
  }

private:
  static int Next_Number()
  {
    static int number = 0;
    return ++number;
  }

  QTemporaryDir d_directory;
  TDatabase d_database;
  bool d_valid = false;
};
} // namespace TestSupport

#endif // METROVA_TESTSUPPORT_H
