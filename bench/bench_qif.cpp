// Times the QIF export of generated catalogues, and the import of such a document as a plant's
// own resources file would give it: every accuracy the manufacturer's.
//
//   bench_qif            N = 1,000, 5,000 and 20,000 configurations
//   bench_qif N...       the given sizes

#include "database.h"
#include "exchangefile.h"
#include "exchangegenerator.h"
#include "qifexchange.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>
#include <functional>

namespace
{
// Wall-clock and process processor seconds of one call; false when it failed.
bool Time(const std::function<bool()> &call, double *seconds, double *cpu_seconds)
{
  QElapsedTimer timer;
  const std::clock_t cpu_start = std::clock();
  timer.start();
  const bool done = call();
  *seconds = timer.nsecsElapsed() / 1e9;
  *cpu_seconds = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  return done;
}

bool Measure(int configurations, QTextStream &out, QTextStream &err)
{
  QTemporaryDir directory;
  const QString source = directory.filePath(QStringLiteral("catalogue.csv"));
  QString error;
  if (!directory.isValid() || !Write_Exchange_File(source, configurations, &error))
  {
    err << "cannot generate the catalogue: " << error << "\n";
    return false;
  }
  TDatabase database(QStringLiteral("bench_qif"));
  TExchangeFile csv(&database);
  if (!database.Connect(directory.filePath(QStringLiteral("catalogue.db"))) ||
      !database.Initialize() || !csv.Import(source))
  {
    err << "cannot fill the catalogue: " << database.Last_Error() << csv.Error_Text() << "\n";
    return false;
  }

  const QString target = directory.filePath(QStringLiteral("catalogue.qif"));
  TQifExchange qif(&database);
  double seconds = 0.0;
  double cpu_seconds = 0.0;
  if (!Time([&]() { return qif.Export(target); }, &seconds, &cpu_seconds))
  {
    err << "export failed: " << qif.Error_Text() << "\n";
    return false;
  }
  const double file_megabytes = QFileInfo(target).size() / 1e6;

  // The import skips Metrova's own estimates; a plant's document states every accuracy as the
  // manufacturer's, so each device is stored and estimated.
  QFile exported(target);
  if (!exported.open(QIODevice::ReadOnly))
  {
    err << "cannot read the export: " << exported.errorString() << "\n";
    return false;
  }
  QString document = QString::fromUtf8(exported.readAll());
  document.replace(
      QRegularExpression(QStringLiteral("<OtherAccuracySource>[^<]*</OtherAccuracySource>")),
      QStringLiteral("<AccuracySourceEnum>MANUFACTURER_SPECIFICATION</AccuracySourceEnum>"));
  const QString plant = directory.filePath(QStringLiteral("plant.qif"));
  QFile plant_file(plant);
  if (!plant_file.open(QIODevice::WriteOnly) || plant_file.write(document.toUtf8()) < 0 ||
      !plant_file.flush())
  {
    err << "cannot write the plant's document: " << plant_file.errorString() << "\n";
    return false;
  }
  plant_file.close();

  TDatabase imported(QStringLiteral("bench_qif_import"));
  if (!imported.Connect(directory.filePath(QStringLiteral("plant.db"))) || !imported.Initialize())
  {
    err << "cannot create the catalogue: " << imported.Last_Error() << "\n";
    return false;
  }
  TQifExchange reader(&imported);
  double import_seconds = 0.0;
  double import_cpu_seconds = 0.0;
  if (!Time([&]() { return reader.Import(plant); }, &import_seconds, &import_cpu_seconds))
  {
    err << "import failed: " << reader.Error_Text() << "\n";
    return false;
  }
  int stored = 0;
  bool valid = false;
  for (const QString &make : imported.Makes(&valid))
  {
    stored += imported.Configurations(make, &valid).size();
  }

  out << QString::asprintf("%14d %9.2f (%5.2f) %10.1f %9.2f (%5.2f) %8d\n", configurations, seconds,
                           cpu_seconds, file_megabytes, import_seconds, import_cpu_seconds, stored);
  out.flush();
  return true;
}
} // namespace

int main(int argc, char *argv[])
{
  QCoreApplication application(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);
  QList<int> sizes;
  for (const QString &argument : QCoreApplication::arguments().mid(1))
  {
    bool number = false;
    sizes.append(argument.toInt(&number));
    if (!number || sizes.last() <= 0)
    {
      err << "usage: bench_qif [N...]\n";
      return 2;
    }
  }
  if (sizes.isEmpty())
  {
    sizes = {1000, 5000, 20000};
  }
  out << "configurations  export s (cpu)    file MB  import s (cpu)   stored\n";
  for (const int size : qAsConst(sizes))
  {
    if (!Measure(size, out, err))
    {
      return 1;
    }
  }
  return 0;
}
