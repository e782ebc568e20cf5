// Times the import (with estimation) and the export of generated exchange files.
//
//   bench_exchange                      N = 1,000, 5,000 and 20,000
//   bench_exchange N...                 the given sizes
//   bench_exchange --generate N FILE    only write an exchange file of N configurations
//   bench_exchange --keep DIR [N...]    also copy each exported file to DIR/exported_N.csv, so
//                                       that two builds' exports can be compared byte for byte,
//                                       and the imported catalogue to DIR/catalogue_N.db

#include "database.h"
#include "exchangegenerator.h"
#include "importexportthread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>

namespace
{
struct TResult
{
  int configurations = 0;
  double import_seconds = 0.0;
  double import_cpu_seconds = 0.0;
  double export_seconds = 0.0;
  double export_cpu_seconds = 0.0;
};

// Wall-clock time, and the processor time of the whole process: on a machine shared with other
// work the second shows what the run itself costs.
bool Run(TImportExportThread *thread, double *seconds, double *cpu_seconds, QTextStream &err)
{
  QElapsedTimer timer;
  const std::clock_t cpu_start = std::clock();
  timer.start();
  thread->start();
  thread->wait();
  *seconds = timer.nsecsElapsed() / 1e9;
  *cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  if (thread->Has_Error())
  {
    err << "  failed: " << thread->Error_Text() << "\n";
    return false;
  }
  if (thread->Has_Warnings())
  {
    err << "  warnings:\n" << thread->Warning_Text() << "\n";
  }
  return true;
}

bool Measure(int configurations, const QString &keep_directory, TResult *result, QTextStream &err)
{
  QTemporaryDir directory;
  if (!directory.isValid())
  {
    err << "Cannot create a temporary folder\n";
    return false;
  }
  const QString source = directory.filePath(QStringLiteral("catalogue.csv"));
  QString error;
  if (!Write_Exchange_File(source, configurations, &error))
  {
    err << error << "\n";
    return false;
  }

  TDatabase database(QStringLiteral("bench_exchange"));
  if (!database.Connect(directory.filePath(QStringLiteral("catalogue.db"))) ||
      !database.Initialize())
  {
    err << database.Last_Error() << "\n";
    return false;
  }

  result->configurations = configurations;
  TImportExportThread thread;
  thread.Set_Database(&database);
  thread.Set_Mode(TImportExportThread::MODE_IMPORT);
  thread.Set_File_Name(source);
  if (!Run(&thread, &result->import_seconds, &result->import_cpu_seconds, err))
  {
    return false;
  }

  const QString target = directory.filePath(QStringLiteral("exported.csv"));
  thread.Set_Mode(TImportExportThread::MODE_EXPORT);
  thread.Set_File_Name(target);
  if (!Run(&thread, &result->export_seconds, &result->export_cpu_seconds, err))
  {
    return false;
  }

  if (!keep_directory.isEmpty())
  {
    // The catalogue is idle here: no transaction is open on it.
    const QDir keep(keep_directory);
    const QString pairs[][2] = {
        {target, keep.filePath(QStringLiteral("exported_%1.csv").arg(configurations))},
        {database.File_Name(),
         keep.filePath(QStringLiteral("catalogue_%1.db").arg(configurations))}};
    for (const auto &pair : pairs)
    {
      QFile::remove(pair[1]);
      if (!QFile::copy(pair[0], pair[1]))
      {
        err << "  cannot copy " << pair[0] << " to " << pair[1] << "\n";
        return false;
      }
    }
  }

  // Every generated record line must come back: the export reads what the import stored.
  QFile in(source);
  QFile out(target);
  if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::ReadOnly))
  {
    const int generated = in.readAll().count('\n');
    const int exported = out.readAll().count('\n');
    if (generated != exported)
    {
      err << "  line count differs: generated " << generated << ", exported " << exported << "\n";
      return false;
    }
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

  if (!arguments.isEmpty() && arguments.first() == QStringLiteral("--generate"))
  {
    bool number = false;
    const int configurations = arguments.value(1).toInt(&number);
    if (arguments.size() != 3 || !number || configurations < 0)
    {
      err << "usage: bench_exchange --generate N FILE\n";
      return 2;
    }
    QString error;
    if (!Write_Exchange_File(arguments.at(2), configurations, &error))
    {
      err << error << "\n";
      return 1;
    }
    return 0;
  }

  QString keep_directory;
  if (!arguments.isEmpty() && arguments.first() == QStringLiteral("--keep"))
  {
    if (arguments.size() < 2 || !QDir(arguments.at(1)).exists())
    {
      err << "usage: bench_exchange --keep DIR [N...]  (DIR must exist)\n";
      return 2;
    }
    keep_directory = arguments.at(1);
    arguments.erase(arguments.begin(), arguments.begin() + 2);
  }

  QList<int> sizes{1000, 5000, 20000};
  if (!arguments.isEmpty())
  {
    sizes.clear();
    for (const QString &argument : qAsConst(arguments))
    {
      bool number = false;
      const int size = argument.toInt(&number);
      if (!number || size <= 0)
      {
        err << "usage: bench_exchange [--keep DIR] [N...] | --generate N FILE\n";
        return 2;
      }
      sizes.append(size);
    }
  }

  out << "configurations   import s (cpu)   import ms/conf (cpu)   export s (cpu)   export "
         "ms/conf (cpu)\n";
  out.flush();
  QList<TResult> results;
  for (const int size : qAsConst(sizes))
  {
    TResult result;
    if (!Measure(size, keep_directory, &result, err))
    {
      err.flush();
      return 1;
    }
    results.append(result);
    const double count = result.configurations;
    out << QString::asprintf("%14d %7.2f (%5.2f) %11.3f (%6.3f) %8.2f (%5.2f) %11.3f (%6.3f)\n",
                             result.configurations, result.import_seconds,
                             result.import_cpu_seconds, 1000.0 * result.import_seconds / count,
                             1000.0 * result.import_cpu_seconds / count, result.export_seconds,
                             result.export_cpu_seconds, 1000.0 * result.export_seconds / count,
                             1000.0 * result.export_cpu_seconds / count);
    out.flush();
  }
  if (results.size() > 1)
  {
    const TResult &first = results.first();
    const TResult &last = results.last();
    out << QString::asprintf("import time per configuration at %d / at %d: %.2f (cpu %.2f)\n",
                             last.configurations, first.configurations,
                             (last.import_seconds / last.configurations) /
                                 (first.import_seconds / first.configurations),
                             (last.import_cpu_seconds / last.configurations) /
                                 (first.import_cpu_seconds / first.configurations));
  }
  return 0;
}
