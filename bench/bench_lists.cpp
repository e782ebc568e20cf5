// Times the lists the window fills on a click: Models of a make, Options of a model, and the
// export's Configurations, on a generated catalogue (median of repeated calls).
//
//   bench_lists                 imports a generated file of 20,000 configurations first
//   bench_lists N [M]           ... of N configurations, M of them models of one more make
//   bench_lists --catalogue DB  uses an existing catalogue

#include "database.h"
#include "exchangefile.h"
#include "exchangegenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace
{
constexpr int REPEATS = 41;

// The median and the fastest of repeated calls, in milliseconds.
QString Timed(const std::function<void()> &call)
{
  std::vector<double> times;
  for (int repeat = 0; repeat < REPEATS; ++repeat)
  {
    QElapsedTimer timer;
    timer.start();
    call();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(times.begin(), times.end());
  return QString::asprintf("median %7.3f ms, fastest %7.3f ms", times[times.size() / 2],
                           times.front());
}
} // namespace

int main(int argc, char *argv[])
{
  QCoreApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments().mid(1);
  QTextStream out(stdout);
  QTextStream err(stderr);

  QTemporaryDir directory;
  QString catalogue = directory.filePath(QStringLiteral("catalogue.db"));
  TDatabase database(QStringLiteral("bench_lists"));
  if (arguments.value(0) == QStringLiteral("--catalogue"))
  {
    catalogue = arguments.value(1);
    if (!database.Connect(catalogue) || !database.Initialize())
    {
      err << database.Last_Error() << "\n";
      return 1;
    }
  }
  else
  {
    const int configurations = arguments.isEmpty() ? 20000 : arguments.first().toInt();
    const int large_make_models = arguments.value(1).toInt();
    const QString source = directory.filePath(QStringLiteral("catalogue.csv"));
    QString error;
    if (configurations <= 0 || large_make_models < 0 ||
        !Write_Exchange_File(source, configurations, &error, 1, large_make_models))
    {
      err << "usage: bench_lists [N [M] | --catalogue DB] " << error << "\n";
      return 2;
    }
    TExchangeFile exchange(&database);
    if (!database.Connect(catalogue) || !database.Initialize() || !exchange.Import(source))
    {
      err << database.Last_Error() << exchange.Error_Text() << "\n";
      return 1;
    }
  }

  bool valid = false;
  QString biggest;
  QStringList models;
  for (const QString &make : database.Makes(&valid))
  {
    const QStringList make_models = database.Models(make, &valid);
    if (make_models.size() > models.size())
    {
      biggest = make;
      models = make_models;
    }
  }
  if (models.isEmpty())
  {
    err << "no models\n";
    return 1;
  }
  out << QString::asprintf("make '%s': %d models (timer resolution 1 ns)\n", qPrintable(biggest),
                           models.size());
  out << "Models         " << Timed([&]() { database.Models(biggest, &valid); }) << "\n";
  out << "Options        " << Timed([&]() { database.Options(biggest, models.first(), &valid); })
      << "\n";
  out << "Configurations " << Timed([&]() { database.Configurations(biggest, &valid); }) << "\n";
  return 0;
}
