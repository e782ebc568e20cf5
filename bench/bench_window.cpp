// Times the main window's own paths on a large catalogue, offscreen: the start to a painted
// window (measured from outside, as a new process), opening a catalogue and filling the make
// list, selecting a make (also one with thousands of models), a model and an option, opening
// the specification editor and the limits dialog, and opening the verification log of a machine
// with 50 records of 105 results and showing its records. Each click is timed until its repaint
// is done.
//
//   bench_window [CONFIGURATIONS [LARGE_MAKE_MODELS]]    default 20,000 and 5,000
//
// With METROVA_BENCH_SERVER=URI (an empty database on a PostgreSQL server) the catalogue is
// copied there, vacuumed and analysed as the server's autovacuum does within a minute of a bulk
// load, and the window works on the server instead of the file.

#include "cataloguecopy.h"
#include "cataloguelocation.h"
#include "database.h"
#include "exchangefile.h"
#include "exchangegenerator.h"
#include "filedialog.h"
#include "metrova.h"
#include "transaction.h"
#include "verificationlog.h"
#include "windowsettings.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QListWidget>
#include <QProcess>
#include <QStyleFactory>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <libpq-fe.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>

namespace
{
const char START_CHILD_ARGUMENT[] = "--start-child";
constexpr int REPEATS = 15;
// The verification log of one machine: records of 5 lengths x 7 positions x 3 repetitions.
constexpr int LOG_RECORDS = 50;

// Counts the paint events of one window and its children.
class TPaintCounter : public QObject
{
public:
  int count = 0;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override
  {
    if (event->type() == QEvent::Paint)
      ++count;
    return QObject::eventFilter(watched, event);
  }
};

// Runs the event loop until what a click started, deferred layouts and the repaint included,
// is done.
void Settle()
{
  for (int round = 0; round < 3; ++round)
  {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// The child of the start measurement: the window as main() builds it, shown and painted once.
int Run_Start_Child(int argc, char *argv[])
{
  QApplication application(argc, argv);
  TWindowSettings::Set_Application_Directory(QString::fromLocal8Bit(argv[2]));
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
  Initialize_Metrova_Resources();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/metrova.png")));
  TMetrova window;
  TPaintCounter painted;
  window.installEventFilter(&painted);
  window.show();
  while (painted.count == 0)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QTextStream(stdout) << "painted" << Qt::endl;
  return 0;
}

double Median(QList<double> values)
{
  std::sort(values.begin(), values.end());
  const int n = values.size();
  return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// The process's processor time in milliseconds: on a machine shared with other work it shows
// what the click itself costs.
double Cpu_Milliseconds()
{
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Wall-clock and processor times of repeated runs of one step.
struct TFigures
{
  QList<double> milliseconds;
  QList<double> cpu_milliseconds;

  QString Text() const
  {
    QString text = QStringLiteral("median %1 ms, min %2, max %3")
                       .arg(Median(milliseconds), 7, 'f', 2)
                       .arg(*std::min_element(milliseconds.begin(), milliseconds.end()), 0, 'f', 2)
                       .arg(*std::max_element(milliseconds.begin(), milliseconds.end()), 0, 'f', 2);
    if (!cpu_milliseconds.isEmpty())
      text += QStringLiteral("; processor %1 ms").arg(Median(cpu_milliseconds), 0, 'f', 2);
    return text + QStringLiteral(" (n=%1)").arg(milliseconds.size());
  }
};

double Milliseconds(const QElapsedTimer &timer)
{
  return timer.nsecsElapsed() / 1e6;
}

// Times a step until the window has settled again.
void Time_Step(TFigures *figures, const std::function<void()> &step)
{
  QElapsedTimer timer;
  const double cpu_start = Cpu_Milliseconds();
  timer.start();
  step();
  Settle();
  figures->milliseconds.append(Milliseconds(timer));
  figures->cpu_milliseconds.append(Cpu_Milliseconds() - cpu_start);
}

// Times a command until its modal dialog is shown and painted; then runs inside, if any, on the
// dialog, and closes it.
void Time_Dialog(TFigures *figures, QAction *action,
                 const std::function<void(QWidget *)> &inside = {})
{
  QElapsedTimer timer;
  double cpu_start = 0.0;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout,
                   [&]
                   {
                     QWidget *dialog = QApplication::activeModalWidget();
                     if (!dialog)
                       return;
                     probe.stop();
                     Settle();
                     figures->milliseconds.append(Milliseconds(timer));
                     figures->cpu_milliseconds.append(Cpu_Milliseconds() - cpu_start);
                     if (inside)
                       inside(dialog);
                     dialog->close();
                   });
  cpu_start = Cpu_Milliseconds();
  timer.start();
  probe.start();
  action->trigger();
  Settle();
}

// Writes the machine's log: acceptance, then re-verifications a month apart, each of 105 results.
bool Write_Log(const QString &location, const QStringList &machine, QTextStream &out)
{
  TDatabase database(QStringLiteral("bench_window_log"));
  if (!database.Connect(location))
  {
    out << "Cannot open the catalogue: " << database.Last_Error() << "\n";
    return false;
  }
  TVerificationLog log(&database);
  for (int number = 0; number < LOG_RECORDS; ++number)
  {
    TVerificationRecord record;
    record.date = QDate(2020, 1, 6).addMonths(number);
    record.kind = number == 0 ? TVerificationRecord::KIND_ACCEPTANCE
                              : TVerificationRecord::KIND_REVERIFICATION;
    record.uncertainty = QStringLiteral("0.5");
    record.rule = TVerificationRecord::RULE_CONFORMANCE;
    for (int position = 1; position <= 7; ++position)
      for (const double length : {100.0, 300.0, 500.0, 700.0, 950.0})
        for (int repetition = 1; repetition <= 3; ++repetition)
          record.results.append({length, QString::number(position), repetition,
                                 std::sin(number + position + length + repetition)});
    if (!log.Add_Record(machine.at(0), machine.at(1), machine.at(2), &record))
    {
      out << "Cannot write the verification log: " << database.Last_Error() << "\n";
      return false;
    }
  }
  return true;
}

void Select(QListWidget *list, const QString &text)
{
  const QList<QListWidgetItem *> items = list->findItems(text, Qt::MatchExactly);
  if (!items.isEmpty())
    list->setCurrentItem(items.first());
}

// The planner's statistics and the visibility map of a settled catalogue, without which the
// reads of the first minute scan the tables rather than their indexes: autovacuum gives them a
// minute after a write. Right after a write a vacuum marks no page all-visible yet (relallvisible
// stays 0, and reads by index alone go to the table for every row); the second pass marks them
// all, as autovacuum's later ones do.
bool Vacuum(const QString &server, QTextStream &out)
{
  PGconn *connection = PQconnectdb(server.toUtf8().constData());
  bool done = true;
  for (const char *statement : {"VACUUM ANALYZE", "VACUUM"})
  {
    PGresult *result = PQexec(connection, statement);
    done = done && PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
  }
  if (!done)
  {
    out << "Cannot vacuum the catalogue: " << PQerrorMessage(connection) << "\n";
  }
  PQfinish(connection);
  return done;
}

// Copies the imported file to the server's empty database.
bool Copy_To_Server(const QString &file_name, const QString &server, QTextStream &out)
{
  TDatabase source(QStringLiteral("bench_window_source"));
  TDatabase target(QStringLiteral("bench_window_server"));
  if (!source.Connect(file_name) || !target.Connect(server) || !target.Initialize())
  {
    out << "Cannot open the catalogues: " << source.Last_Error() << target.Last_Error() << "\n";
    return false;
  }
  TTransaction unit(&target);
  TCatalogueCopy copy(&source, &target);
  if (!unit.Begin() || !copy.Copy() || !unit.Commit())
  {
    out << "Cannot copy the catalogue to the server: " << copy.Error() << target.Last_Error()
        << "\n";
    return false;
  }
  return Vacuum(server, out);
}

int Run(QTextStream &out, int configurations, int large_make_models, const QString &server)
{
  QTemporaryDir directory;
  const QString exchange_name = directory.filePath(QStringLiteral("catalogue.csv"));
  const QString database_name = directory.filePath(QStringLiteral("catalogue.db"));
  QString error;
  if (!directory.isValid() ||
      !Write_Exchange_File(exchange_name, configurations, &error, 1, large_make_models))
  {
    out << "Cannot write the catalogue: " << error << "\n";
    return 1;
  }
  {
    TDatabase database(QStringLiteral("bench_window_import"));
    TExchangeFile exchange_file(&database);
    if (!database.Connect(database_name) || !database.Initialize() ||
        !exchange_file.Import(exchange_name))
    {
      out << "Cannot import the catalogue: " << database.Last_Error() << exchange_file.Error_Text()
          << "\n";
      return 1;
    }
  }
  // Where the window works: the file, or the server it was copied to.
  const QString location = server.isEmpty() ? database_name : server;
  if (!server.isEmpty() && !Copy_To_Server(database_name, server, out))
  {
    return 1;
  }
  TFigures models_query;
  {
    TDatabase database(QStringLiteral("bench_window_models"));
    bool valid = false;
    for (int run = 0; run < REPEATS && database.Connect(location); ++run)
      Time_Step(&models_query, [&] { database.Models(QLatin1String(LARGE_MAKE), &valid); });
  }
  out << "Catalogue: " << configurations << " configurations, make " << LARGE_MAKE << " with "
      << large_make_models << " models, on "
      << (server.isEmpty() ? QStringLiteral("SQLite") : TCatalogueLocation(server).Display_Name())
      << "\n";
  timespec resolution{};
  clock_getres(CLOCK_MONOTONIC, &resolution);
  out << "Timer: QElapsedTimer (monotonic clock), resolution " << resolution.tv_nsec
      << " ns; every click is timed until its repaint is done\n\n";

  // The start, from outside: a new process until its window has painted.
  TFigures start;
  for (int run = 0; run < 5; ++run)
  {
    QProcess child;
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(),
                {QLatin1String(START_CHILD_ARGUMENT), directory.path()});
    while (child.waitForReadyRead(10000) && !child.readAllStandardOutput().contains("painted"))
    {
    }
    start.milliseconds.append(Milliseconds(timer));
    child.waitForFinished();
  }
  out << "start to a painted window        " << start.Text() << "\n";

  TWindowSettings::Set_Application_Directory(directory.path());
  TMetrova window;
  window.show();
  Settle();
  QListWidget *makes = window.findChild<QListWidget *>(QStringLiteral("make_list"));
  QListWidget *models = window.findChild<QListWidget *>(QStringLiteral("model_list"));
  QListWidget *options = window.findChild<QListWidget *>(QStringLiteral("option_list"));
  const auto action = [&](const char *name)
  { return window.findChild<QAction *>(QLatin1String("action_") + QLatin1String(name)); };

  TFigures open;
  for (int run = 0; run < 5; ++run)
  {
    TFileDialog::Queue_File_Name(location);
    Time_Step(&open, [&] { action("open_database")->trigger(); });
  }
  out << "open and fill the make list      " << open.Text() << " (" << makes->count()
      << " makes)\n";

  // Makes in turn: the large one, then one of the others, which lists far fewer models.
  const QString small_make = makes->item(0)->text() == QLatin1String(LARGE_MAKE)
                                 ? makes->item(1)->text()
                                 : makes->item(0)->text();
  TFigures large_make;
  TFigures other_make;
  for (int run = 0; run < REPEATS; ++run)
  {
    Time_Step(&large_make, [&] { Select(makes, QLatin1String(LARGE_MAKE)); });
    const int large_count = models->count();
    Time_Step(&other_make, [&] { Select(makes, small_make); });
    if (run == REPEATS - 1)
      out << "select the large make            " << large_make.Text() << " (" << large_count
          << " models)\n";
  }
  // The same click on the catalogue just opened again, with none of its models kept.
  TFigures fresh_make;
  for (int run = 0; run < 5; ++run)
  {
    TFileDialog::Queue_File_Name(location);
    action("open_database")->trigger();
    Settle();
    Time_Step(&fresh_make, [&] { Select(makes, QLatin1String(LARGE_MAKE)); });
  }
  out << "  just after opening             " << fresh_make.Text() << "\n"
      << "  of it TDatabase::Models        " << models_query.Text() << "\n"
      << "select another make              " << other_make.Text() << "\n";

  Select(makes, QLatin1String(LARGE_MAKE));
  Settle();
  TFigures model;
  TFigures option;
  for (int run = 0; run < REPEATS; ++run)
  {
    Time_Step(&model, [&] { models->setCurrentRow((run * 331) % models->count()); });
    // The model's click selected its option again; the option click starts from none.
    options->clearSelection();
    Settle();
    Time_Step(&option, [&] { options->setCurrentRow(0, QItemSelectionModel::ClearAndSelect); });
  }
  out << "select a model of the large make " << model.Text() << "\n"
      << "select an option                 " << option.Text() << "\n";

  TFigures editor;
  TFigures limits;
  for (int run = 0; run < REPEATS; ++run)
  {
    Time_Dialog(&editor, action("edit_specification"));
    Time_Dialog(&limits, action("specification_limits"));
  }
  out << "open the specification editor    " << editor.Text() << "\n"
      << "open the limits dialog           " << limits.Text() << "\n";

  // The log of the selected machine: the dialog opens on its latest record; then each click on a
  // record shows it with its results judged and plotted.
  const QStringList machine{makes->currentItem()->text(), models->currentItem()->text(),
                            options->currentItem()->text()};
  // Written years apart, a machine's log is a settled one.
  if (!Write_Log(location, machine, out) || (!server.isEmpty() && !Vacuum(server, out)))
    return 1;
  TFigures log;
  TFigures record;
  int shown = 0;
  // Each opening follows records shown, as when one machine's log after another's is looked at.
  constexpr int RECORDS_PER_OPENING = 5;
  for (int run = 0; run < REPEATS; ++run)
  {
    Time_Dialog(&log, action("verification_log"),
                [&](QWidget *dialog)
                {
                  QTableView *records =
                      dialog->findChild<QTableView *>(QStringLiteral("records_table"));
                  shown = records->model()->rowCount();
                  for (int row = 0; row < RECORDS_PER_OPENING; ++row)
                  {
                    const int shown_row = ((run * RECORDS_PER_OPENING + row) * 7) % shown;
                    Time_Step(&record, [&] { records->selectRow(shown_row); });
                  }
                });
  }
  out << "open the verification log        " << log.Text() << " (" << shown << " records)\n"
      << "show a record of 105 results     " << record.Text() << "\n";
  TWindowSettings::Set_Application_Directory(QString());
  return 0;
}
} // namespace

int main(int argc, char *argv[])
{
  if (argc == 3 && qstrcmp(argv[1], START_CHILD_ARGUMENT) == 0)
    return Run_Start_Child(argc, argv);

  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
  QTextStream out(stdout);
  const QStringList arguments = QApplication::arguments();
  const int configurations = arguments.size() > 1 ? arguments.at(1).toInt() : 20000;
  const int large_make_models = arguments.size() > 2 ? arguments.at(2).toInt() : 5000;
  if (configurations <= 0 || large_make_models < 0 || large_make_models > configurations)
  {
    out << "usage: bench_window [CONFIGURATIONS [LARGE_MAKE_MODELS]]\n";
    return 2;
  }
  return Run(out, configurations, large_make_models, qEnvironmentVariable("METROVA_BENCH_SERVER"));
}
