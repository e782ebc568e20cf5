// Times ranking a whole catalogue for a tolerance: the one read of every configuration's rows of
// a component and the evaluation of each.
//
//   bench_capability                  a generated catalogue of 20,000 configurations
//   bench_capability N                a generated catalogue of N configurations
//   bench_capability --database FILE  an existing catalogue (bench_exchange --keep writes one)

#include "capability.h"
#include "database.h"
#include "exchangegenerator.h"
#include "importexportthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <ctime>

namespace
{
constexpr int RUNS = 5;

bool Import_Generated(TDatabase *database, const QTemporaryDir &directory, int configurations,
                      QTextStream &err)
{
  const QString source = directory.filePath(QStringLiteral("catalogue.csv"));
  QString error;
  if (!Write_Exchange_File(source, configurations, &error))
  {
    err << error << "\n";
    return false;
  }
  if (!database->Connect(directory.filePath(QStringLiteral("catalogue.db"))) ||
      !database->Initialize())
  {
    err << database->Last_Error() << "\n";
    return false;
  }
  TImportExportThread thread;
  thread.Set_Database(database);
  thread.Set_Mode(TImportExportThread::MODE_IMPORT);
  thread.Set_File_Name(source);
  thread.start();
  thread.wait();
  if (thread.Has_Error())
  {
    err << thread.Error_Text() << "\n";
    return false;
  }
  return true;
}
} // namespace

int main(int argc, char *argv[])
{
  QCoreApplication application(argc, argv);
  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  QTextStream out(stdout);
  QTextStream err(stderr);

  TDatabase database(QStringLiteral("bench_capability"));
  QTemporaryDir directory;
  if (arguments.size() == 2 && arguments.first() == QStringLiteral("--database"))
  {
    if (!database.Connect(arguments.at(1)))
    {
      err << database.Last_Error() << "\n";
      return 1;
    }
  }
  else
  {
    bool number = arguments.isEmpty();
    const int configurations = number ? 20000 : arguments.value(0).toInt(&number);
    if (arguments.size() > 1 || !number || configurations <= 0)
    {
      err << "usage: bench_capability [N | --database FILE]\n";
      return 2;
    }
    out << "importing " << configurations << " generated configurations...\n";
    out.flush();
    if (!directory.isValid() || !Import_Generated(&database, directory, configurations, err))
    {
      return 1;
    }
  }

  // The usual question: which machines measure a 300 mm feature of 20 um tolerance at 4:1.
  TCapability::TRequest request;
  request.feature_length = 300.0;
  request.tolerance = 20.0;
  out << "run   read s (cpu)   rank s (cpu)   total s   machines   capable\n";
  QList<double> totals;
  for (int run = 1; run <= RUNS; ++run)
  {
    QElapsedTimer timer;
    std::clock_t cpu = std::clock();
    timer.start();
    bool valid = false;
    const QList<TCapability::TMachine> machines = TCapability::Machines(
        database.Read_Component_Rows(request.standard, request.component, &valid));
    const double read_seconds = timer.nsecsElapsed() / 1e9;
    const double read_cpu = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    if (!valid)
    {
      err << database.Last_Error() << "\n";
      return 1;
    }
    cpu = std::clock();
    const QList<TCapability::TRanked> capable = TCapability::Rank(request, machines, true);
    const double total_seconds = timer.nsecsElapsed() / 1e9;
    const double rank_cpu = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
    totals.append(total_seconds);
    out << QString::asprintf("%3d %7.3f (%5.3f) %7.3f (%5.3f) %9.3f %10d %9d\n", run, read_seconds,
                             read_cpu, total_seconds - read_seconds, rank_cpu, total_seconds,
                             static_cast<int>(machines.size()), static_cast<int>(capable.size()));
    out.flush();
  }
  std::sort(totals.begin(), totals.end());
  out << QString::asprintf("median total %.3f s, best %.3f s\n", totals.at(RUNS / 2),
                           totals.first());
  return 0;
}
