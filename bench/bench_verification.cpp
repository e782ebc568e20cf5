// Times the verification log where it must be quick:
//
//   QT_QPA_PLATFORM=offscreen bench_verification [MACHINES [RECORDS]]
//
// 1. 105 results (5 lengths, 7 positions, 3 repetitions) judged with their plot data, in the core
//    and through the window's log dialog (paste into the form; show a stored record);
// 2. the checks due over MACHINES machines (20,000) with RECORDS records each (10): the one read
//    of every scheduled machine's latest dates and latest state, and the due rows made from them;
//    with METROVA_BENCH_SERVER=URI (an empty database on a PostgreSQL server) also after a copy of
//    that catalogue there.

#include "cataloguecopy.h"
#include "database.h"
#include "transaction.h"
#include "verificationjudgement.h"
#include "verificationlog.h"
#include "verificationlogdialog.h"
#include "verificationschedule.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <functional>

namespace
{
constexpr int RUNS = 9;
const QString MAKE = QStringLiteral("Bench");
const QString MODEL = QStringLiteral("Bridge");
const QString OPTION = QStringLiteral("Standard");

// Median and worst of the runs in milliseconds.
QString Timed(const std::function<void()> &run)
{
  QVector<double> times;
  for (int index = 0; index < RUNS; ++index)
  {
    QElapsedTimer timer;
    timer.start();
    run();
    times.append(timer.nsecsElapsed() / 1e6);
  }
  std::sort(times.begin(), times.end());
  return QStringLiteral("median %1 ms, worst %2 ms")
      .arg(times.at(RUNS / 2), 0, 'f', 2)
      .arg(times.last(), 0, 'f', 2);
}

TVerificationRecord Acceptance_Test()
{
  TVerificationRecord record;
  record.date = QDate(2024, 3, 12);
  record.uncertainty = QStringLiteral("0.5");
  record.rule = TVerificationRecord::RULE_CONFORMANCE;
  for (int position = 1; position <= 7; ++position)
  {
    for (const double length : {100.0, 300.0, 500.0, 700.0, 950.0})
    {
      for (int repetition = 1; repetition <= 3; ++repetition)
      {
        record.results.append({length, QString::number(position), repetition,
                               2.0 * std::sin(position + length + repetition)});
      }
    }
  }
  return record;
}

bool Fail(QTextStream &out, const QString &text)
{
  out << text << "\n";
  return false;
}

bool Bench_Judgement(TDatabase *database, QTextStream &out)
{
  bool valid = false;
  const QList<TDatabaseItem> machine = database->Read_Configuration(MAKE, MODEL, OPTION, &valid);
  TVerificationRecord record = Acceptance_Test();
  record.temperature = 20.0;
  out << "105 results judged with their plot data, core: "
      << Timed(
             [&]()
             {
               const TVerificationJudgement::TJudgement judgement =
                   TVerificationJudgement::Judge(record, machine);
               const TVerificationJudgement::TLimitLines lines =
                   TVerificationJudgement::Limit_Lines(record, machine,
                                                       TVerificationJudgement::Plot_Length(record));
               Q_UNUSED(judgement);
               Q_UNUSED(lines);
             })
      << "\n";
  if (!TVerificationLog(database).Add_Record(MAKE, MODEL, OPTION, &record))
  {
    return Fail(out, database->Last_Error());
  }

  TVerificationLogDialog dialog;
  if (!dialog.Set_Machine(database, MAKE, MODEL, OPTION))
  {
    return Fail(out, QStringLiteral("the log dialog cannot read the machine"));
  }
  dialog.show();
  QStringList lines;
  for (const TVerificationResult &result : qAsConst(record.results))
  {
    lines.append(QStringLiteral("%1\t%2\t%3\t%4")
                     .arg(result.length)
                     .arg(result.position)
                     .arg(result.repetition)
                     .arg(result.error));
  }
  QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
  QPushButton *new_record = dialog.findChild<QPushButton *>(QStringLiteral("new_record_button"));
  QPushButton *paste = dialog.findChild<QPushButton *>(QStringLiteral("paste_button"));
  QTableView *records = dialog.findChild<QTableView *>(QStringLiteral("records_table"));
  out << "105 results pasted into the window, judged and plotted: "
      << Timed(
             [&]()
             {
               new_record->click();
               paste->click();
               QApplication::processEvents();
             })
      << "\n";
  out << "a stored record of 105 results shown, judged and plotted: "
      << Timed(
             [&]()
             {
               records->clearSelection();
               records->selectRow(0);
               QApplication::processEvents();
             })
      << "\n";
  return true;
}

// machines machines with records records each, written in one transaction through a second
// connection: the log's own writes would take minutes for 200,000 records, and the due read is
// what is timed.
bool Write_Log(TDatabase *database, const QString &file_name, int machines, int records,
               QTextStream &out)
{
  TVerificationLog log(database);
  if (!log.Set_Intervals(MAKE, MODEL, OPTION, {12, 30}))
  {
    return Fail(out, database->Last_Error());
  }
  QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench_writer");
  connection.setDatabaseName(file_name);
  if (!connection.open() || !connection.transaction())
  {
    return Fail(out, connection.lastError().text());
  }
  QSqlQuery query(connection);
  const auto run = [&](const QString &statement, const QVariantList &values)
  {
    query.prepare(statement);
    for (int index = 0; index < values.size(); ++index)
    {
      query.bindValue(index, values.at(index));
    }
    return query.exec();
  };
  const QDate start(2022, 1, 31);
  bool written = true;
  for (int machine = 0; written && machine < machines; ++machine)
  {
    const int make = 1000 + machine / 100;
    const int model = 1000 + (machine / 10) % 10;
    const int option = 1000 + machine % 10;
    if (machine % 100 == 0)
    {
      written = run(QStringLiteral("INSERT INTO make (make_id,name) VALUES (?,?)"),
                    {make, QStringLiteral("Make %1").arg(make)});
    }
    if (machine < 100)
    {
      written =
          written &&
          run(QStringLiteral("INSERT OR IGNORE INTO model_types (model_id,name) VALUES (?,?)"),
              {model, QStringLiteral("Model %1").arg(model)}) &&
          run(QStringLiteral("INSERT OR IGNORE INTO option_types (option_id,name) VALUES "
                             "(?,?)"),
              {option, QStringLiteral("Option %1").arg(option)});
    }
    written = written &&
              run(QStringLiteral("INSERT INTO verification_machine (make_id,model_id,option_id,"
                                 "reverification_months,interim_days,last_number) VALUES "
                                 "(?,?,?,12,30,?)"),
                  {make, model, option, records});
    for (int number = 1; written && number <= records; ++number)
    {
      const QDate date = start.addDays(machine % 400 + 35 * number);
      // Every seventh machine's latest record asks for a re-test.
      const bool failed = number == records && machine % 7 == 3;
      written =
          run(QStringLiteral("INSERT INTO verification_record (make_id,model_id,option_id,"
                             "number,date,kind,standard,component,temperature,"
                             "uncertainty,rule,verdict,reason,frozen) VALUES "
                             "(?,?,?,?,?,?,'10360','E0',20,0.5,'simple',?,'','frozen at save')"),
              {make, model, option, number, date.toString(Qt::ISODate),
               number % 4 == 1 ? QStringLiteral("reverification") : QStringLiteral("interim"),
               failed ? QStringLiteral("does not conform") : QStringLiteral("conforms")});
    }
    // The latest record and the latest dates of each kind as the log keeps them with the
    // machine.
    const QString latest = QStringLiteral("(SELECT MAX(date) FROM verification_record AS r WHERE "
                                          "r.make_id=? AND r.model_id=? AND r.option_id=?%1)");
    written =
        written &&
        run(QStringLiteral("UPDATE verification_machine SET latest_date=%1,latest_kind='interim',"
                           "latest_verdict=?,latest_reverification=%2,latest_interim=%3 WHERE "
                           "make_id=? AND model_id=? AND option_id=?")
                .arg(latest.arg(QString()), latest.arg(QStringLiteral(" AND kind<>'interim'")),
                     latest.arg(QStringLiteral(" AND kind='interim'"))),
            {make, model, option,
             machine % 7 == 3 ? QStringLiteral("does not conform") : QStringLiteral("conforms"),
             make, model, option, make, model, option, make, model, option});
  }
  if (!written || !connection.commit())
  {
    return Fail(out, query.lastError().text() + connection.lastError().text());
  }
  connection.close();
  return true;
}

bool Time_Due(TDatabase *database, QTextStream &out);

bool Bench_Due(TDatabase *database, const QString &file_name, int machines, int records,
               QTextStream &out)
{
  QElapsedTimer timer;
  timer.start();
  if (!Write_Log(database, file_name, machines, records, out))
  {
    return false;
  }
  out << machines << " machines with " << records << " records each written in " << timer.elapsed()
      << " ms\n";
  return Time_Due(database, out);
}

// The same log on a server, copied there from the file.
bool Bench_Server_Due(TDatabase *file, const QString &location, QTextStream &out)
{
  TDatabase server(QStringLiteral("bench_server"));
  if (!server.Connect(location) || !server.Initialize())
  {
    return Fail(out, server.Last_Error());
  }
  QElapsedTimer timer;
  timer.start();
  {
    TTransaction unit(&server);
    TCatalogueCopy copy(file, &server);
    if (!unit.Begin() || !copy.Copy() || !unit.Commit())
    {
      return Fail(out, copy.Error() + server.Last_Error());
    }
  }
  out << "copied to " << server.Location().Display_Name() << " in " << timer.elapsed()
      << " ms; on the server:\n";
  return Time_Due(&server, out);
}

bool Time_Due(TDatabase *database, QTextStream &out)
{
  const QDate on(2023, 6, 1);
  int due = 0;
  int scheduled = 0;
  bool valid = true;
  out << "due checks of every scheduled machine: "
      << Timed(
             [&]()
             {
               TVerificationLog log(database);
               const QList<TVerificationSchedule::TMachine> schedules = log.Schedules(&valid);
               scheduled = schedules.size();
               due = TVerificationSchedule::Due_Rows(schedules, on,
                                                     TVerificationSchedule::DUE_WITHIN_DAYS)
                         .size();
             })
      << "\n";
  out << scheduled << " scheduled machines, " << due << " checks due or overdue on "
      << on.toString(Qt::ISODate) << "\n";
  return valid || Fail(out, database->Last_Error());
}
} // namespace

int main(int argc, char *argv[])
{
  QApplication application(argc, argv);
  QTextStream out(stdout);
  const QStringList arguments = QApplication::arguments();
  const int machines = arguments.size() > 1 ? arguments.at(1).toInt() : 20000;
  const int records = arguments.size() > 2 ? arguments.at(2).toInt() : 10;
  if (machines < 1 || records < 1)
  {
    out << "usage: bench_verification [MACHINES [RECORDS]]\n";
    return 2;
  }

  QTemporaryDir directory;
  const QString file_name = directory.filePath(QStringLiteral("catalogue.db"));
  TDatabase database;
  TDatabaseItem item;
  item.Set_Make(MAKE);
  item.Set_Model(MODEL);
  item.Set_Option(OPTION);
  item.Set_Standard(QStringLiteral("10360"));
  for (const auto &component : {std::make_pair("E0", "1.5+3.3L/1000"), std::make_pair("R0", "1.2"),
                                std::make_pair("Ts_Min", "18C"), std::make_pair("Ts_Max", "22C")})
  {
    TSpecificationItem specification;
    specification.name = QLatin1String(component.first);
    specification.expression.Set_Expression(QLatin1String(component.second),
                                            TExpressionItem::UNITS_UM);
    item.Add_Specification_Item(specification);
  }
  if (!directory.isValid() || !database.Connect(file_name) || !database.Initialize() ||
      !database.Write_Specification(item))
  {
    out << database.Last_Error() << "\n";
    return 1;
  }
  const QString server = qEnvironmentVariable("METROVA_BENCH_SERVER");
  return Bench_Judgement(&database, out) &&
                 Bench_Due(&database, file_name, machines, records, out) &&
                 (server.isEmpty() || Bench_Server_Due(&database, server, out))
             ? 0
             : 1;
}
