// Times ranking a whole catalogue for a tolerance: the first ranking of an opened catalogue (the
// one read of every configuration's rows of a component and the evaluation of each), and the
// re-rankings after the tolerance, the length and the temperature change (the rows kept).
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

// One ranking of the catalogue, its read and its evaluation timed.
struct TTimed
{
  double read = 0.0;
  double read_cpu = 0.0;
  double rank_cpu = 0.0;
  double total = 0.0;
  int machines = 0;
  int capable = 0;
};

bool Rank_Timed(TDatabase *database, const TCapability::TRequest &request, TTimed *timed,
                QTextStream &err)
{
  QElapsedTimer timer;
  std::clock_t cpu = std::clock();
  timer.start();
  bool valid = false;
  const QList<TCapability::TMachine> machines =
      database->Component_Machines(request.standard, request.component, &valid);
  timed->read = timer.nsecsElapsed() / 1e9;
  timed->read_cpu = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
  if (!valid)
  {
    err << database->Last_Error() << "\n";
    return false;
  }
  cpu = std::clock();
  const QList<TCapability::TRanked> capable = TCapability::Rank(request, machines, true);
  timed->total = timer.nsecsElapsed() / 1e9;
  timed->rank_cpu = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
  timed->machines = static_cast<int>(machines.size());
  timed->capable = static_cast<int>(capable.size());
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

  // The usual question: which machines measure a 300 mm feature of 20 um tolerance at 4:1. Each
  // run opens the catalogue anew (the first ranking reads it), then asks again for another
  // tolerance, length and temperature (a re-ranking, as the Compare dialog does).
  TCapability::TRequest request;
  request.feature_length = 300.0;
  request.tolerance = 20.0;
  out << "run   first: read s (cpu)   rank s (cpu)   total s   re-rank s: tolerance   length   "
         "temperature   machines   capable\n";
  QList<double> firsts;
  QList<double> first_cpus;
  QList<double> reranks;
  QList<double> rerank_cpus;
  for (int run = 1; run <= RUNS; ++run)
  {
    TDatabase opened(QStringLiteral("bench_capability_%1").arg(run));
    if (!opened.Connect(database.Location()))
    {
      err << opened.Last_Error() << "\n";
      return 1;
    }
    TTimed first;
    if (!Rank_Timed(&opened, request, &first, err))
    {
      return 1;
    }
    firsts.append(first.total);
    first_cpus.append(first.read_cpu + first.rank_cpu);
    TTimed again[3];
    TCapability::TRequest changed = request;
    changed.tolerance = 10.0;
    bool ranked = Rank_Timed(&opened, changed, &again[0], err);
    changed.feature_length = 800.0;
    ranked = ranked && Rank_Timed(&opened, changed, &again[1], err);
    changed.temperature = 23.0;
    ranked = ranked && Rank_Timed(&opened, changed, &again[2], err);
    if (!ranked)
    {
      return 1;
    }
    for (const TTimed &timed : again)
    {
      reranks.append(timed.total);
      rerank_cpus.append(timed.read_cpu + timed.rank_cpu);
    }
    out << QString::asprintf(
        "%3d %12.3f (%5.3f) %7.3f (%5.3f) %9.3f %22.3f %8.3f %13.3f %10d %9d\n", run, first.read,
        first.read_cpu, first.total - first.read, first.rank_cpu, first.total, again[0].total,
        again[1].total, again[2].total, first.machines, first.capable);
    out.flush();
  }
  for (QList<double> *times : {&firsts, &first_cpus, &reranks, &rerank_cpus})
  {
    std::sort(times->begin(), times->end());
  }
  // The processor time tells what the ranking costs on a machine shared with other work.
  out << QString::asprintf("median first ranking %.3f s (best %.3f s, cpu %.3f s), median "
                           "re-ranking %.3f s (worst %.3f s, cpu %.3f s), goal 0.1 s\n",
                           firsts.at(firsts.size() / 2), firsts.first(),
                           first_cpus.at(first_cpus.size() / 2), reranks.at(reranks.size() / 2),
                           reranks.last(), rerank_cpus.at(rerank_cpus.size() / 2));
  return 0;
}
